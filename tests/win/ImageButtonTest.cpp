// Image buttons in real dialogs under Wine: what they show is read back from the screen, the
// pointer moves and clicks through the system's input queue, and messages go through the same
// pre-translation chain as the program's modal loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ImageButtonTestIds.h"
#include "WinTestSupport.h"
#include "draw/ImageButton.h"
#include "win/Dialog.h"
#include "win/Handles.h"

namespace brisalune {
namespace {

using namespace std::chrono_literals;
using State = ImageButton::State;

constexpr int kButtonSize = 40;  // smaller than the 48-pixel test picture: it is cut off
const POINT kPictureAt{20, 16}, kMissingAt{80, 16}, kGarbageAt{140, 16};

// What a window shows, copied to a canvas.
std::unique_ptr<test::Canvas> shotOf(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    auto shot = std::make_unique<test::Canvas>(client.right, client.bottom, RGB(0, 0, 0));
    win::WindowDc source(window);
    BitBlt(shot->dc(), 0, 0, client.right, client.bottom, source.get(), 0, 0, SRCCOPY);
    return shot;
}

// The host's background: every pixel differs from its neighbours, so a capture from the wrong
// place shows.
COLORREF patternAt(int x, int y, int seed) {
    return RGB((x * 3 + seed) % 256, (y * 5 + seed * 2) % 256, (x + y * 2 + 90 + seed) % 256);
}

struct Argb {
    int a, r, g, b;
};

// The test picture as make_button_picture.py writes it: colours that differ from each
// neighbour, values near 255, a clear band and a half-clear strip.
Argb pictureAt(int x, int y) {
    return {18 <= y && y < 26 ? 0
            : x >= 30         ? 128
                              : 255,
            (x * 9 + y * 4) % 256, (x * 3 + y * 11 + 60) % 256, (200 + x + y) % 256};
}

struct Expected {
    COLORREF colour;
    int tolerance;
};

// The colour `c` gives drawn over `background`, brightened by 1.05 x value + 0.05 for the hot
// state. Blending rounds once more than the formula; opaque and clear pixels are exact.
Expected over(COLORREF background, const Argb& c, bool brightened = false) {
    auto mix = [&](int top, int bottom) {
        if (brightened) {
            top = std::min(255, static_cast<int>(std::lround(1.05 * top + 0.05 * 255)));
        }
        return (top * c.a + bottom * (255 - c.a) + 127) / 255;
    };
    return {RGB(mix(c.r, GetRValue(background)), mix(c.g, GetGValue(background)),
                mix(c.b, GetBValue(background))),
            c.a == 0 || c.a == 255 ? 1 : 2};
}

// Empty when every pixel of the width x height area at `at` is as wanted; else how many
// differ, and the first.
std::string mismatches(const test::Canvas& shot, POINT at, int width, int height,
                       const std::function<Expected(int, int)>& want) {
    int count = 0;
    std::ostringstream text;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF got = shot.at(at.x + x, at.y + y);
            const Expected e = want(x, y);
            const int off = std::max({std::abs(GetRValue(got) - GetRValue(e.colour)),
                                      std::abs(GetGValue(got) - GetGValue(e.colour)),
                                      std::abs(GetBValue(got) - GetBValue(e.colour))});
            if (off > e.tolerance && count++ == 0) {
                text << " pixels differ, the first at (" << x << ", " << y << "): got " << std::hex
                     << got << " want " << e.colour;
            }
        }
    }
    return count == 0 ? "" : std::to_string(count) + text.str();
}

class ButtonHost : public win::Dialog {
  public:
    ButtonHost() : Dialog(IDD_BUTTON_HOST, nullptr) {}

    ImageButton& picture = addControl<ImageButton>(IDC_PICTURE_BUTTON);
    ImageButton& missing = addControl<ImageButton>(IDC_MISSING_BUTTON);
    ImageButton& garbage = addControl<ImageButton>(IDC_GARBAGE_BUTTON);
    bool loaded[3] = {};
    int seed = 0;
    std::vector<WORD> clicks;  // notification codes of the picture button

  protected:
    bool OnInitDialog() override {
        const UINT pictures[] = {IDP_TEST_PICTURE, IDP_MISSING, IDP_NOT_A_PICTURE};
        ImageButton* buttons[] = {&picture, &missing, &garbage};
        for (int i = 0; i < 3; ++i) {
            loaded[i] = buttons[i]->LoadImageResource(pictures[i], L"PNG");
            SetWindowPos(item(buttons[i]->id()), nullptr, 20 + 60 * i, 16, kButtonSize, kButtonSize,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return true;
    }
    bool OnCommand(WORD id, WORD code, HWND control) override {
        if (control != nullptr && id == IDC_PICTURE_BUTTON) {
            clicks.push_back(code);
        }
        return true;
    }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result) override {
        if (message != WM_ERASEBKGND) {
            return false;
        }
        RECT client{};
        GetClientRect(hwnd_, &client);
        std::vector<COLORREF> pixels;
        for (int y = 0; y < client.bottom; ++y) {
            for (int x = 0; x < client.right; ++x) {
                const COLORREF c = patternAt(x, y, seed);
                pixels.push_back(RGB(GetBValue(c), GetGValue(c), GetRValue(c)));  // 0x00RRGGBB
            }
        }
        BITMAPINFO info{};  // top row first
        info.bmiHeader = {
            sizeof info.bmiHeader, client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        SetDIBitsToDevice(reinterpret_cast<HDC>(wParam), 0, 0, client.right, client.bottom, 0, 0, 0,
                          client.bottom, pixels.data(), &info, DIB_RGB_COLORS);
        *result = 1;
        return true;
    }
};

void sendMouse(DWORD flags, POINT screen = {0, 0}) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags | ((flags & MOUSEEVENTF_MOVE) != 0 ? MOUSEEVENTF_ABSOLUTE : 0);
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    SendInput(1, &input, sizeof input);
}

// Moves the pointer to (x, y) of the window and lets the system settle there: the X server
// reports the pointer warp back a moment later, and a report still on its way from an earlier
// move would otherwise put the pointer back where it was for an instant.
void movePointer(HWND window, int x, int y) {
    POINT to{x, y};
    ClientToScreen(window, &to);
    sendMouse(MOUSEEVENTF_MOVE, to);
    test::pumpUntil([&] {
        POINT now{};
        GetCursorPos(&now);
        return std::abs(now.x - to.x) <= 1 && std::abs(now.y - to.y) <= 1;
    });
    test::pumpFor(100ms);
}

// Double-clicks and system timer ticks the thread takes for one window, counted before
// anything translates them.
HWND g_watched = nullptr;
int g_doubleClicks = 0;
int g_systemTicks = 0;
constexpr UINT kSystemTimer = 0x0118;  // WM_SYSTIMER, which the headers leave out
LRESULT CALLBACK countMessages(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->hwnd == g_watched) {
        g_doubleClicks += msg->message == WM_LBUTTONDBLCLK;
        g_systemTicks += msg->message == kSystemTimer;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class ImageButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetCursorPos(2, GetSystemMetrics(SM_CYSCREEN) - 3);  // away from every test window
        host = std::make_unique<ButtonHost>();
        ASSERT_TRUE(host->Create());
        SetWindowPos(host->hwnd(), HWND_TOP, 60, 60, 0, 0, SWP_NOSIZE);
        UpdateWindow(host->hwnd());
        test::pumpFor(100ms);
    }
    void TearDown() override {
        host.reset();
        win::pumpWaitingMessages();
    }

    HWND pictureButton() const { return host->picture.hwnd(); }

    // The picture button as it should look in `state` over the host's first background.
    std::function<Expected(int, int)> look(State state) const {
        return [this, state](int x, int y) {
            const COLORREF background = patternAt(kPictureAt.x + x, kPictureAt.y + y, 0);
            if (state == State::Pressed) {
                return x == 0 || y == 0 ? Expected{background, 1}
                                        : over(background, pictureAt(x - 1, y - 1));
            }
            return over(background, pictureAt(x, y), state == State::Hot);
        };
    }

    // How the picture button on screen differs from how `state` should look.
    std::string onScreen(State state) const {
        return mismatches(*shotOf(host->hwnd()), kPictureAt, kButtonSize, kButtonSize, look(state));
    }

    void repaintHostWith(int seed) {
        host->seed = seed;
        RedrawWindow(host->hwnd(), nullptr, nullptr,
                     RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        test::pumpFor(50ms);
    }

    std::unique_ptr<ButtonHost> host;
};

TEST_F(ImageButtonTest, EachStateShowsItsPictureComposedOnceOverTheFirstBackground) {
    ASSERT_TRUE(host->loaded[0]);
    // The host paints another background now: every state still stands on the one captured
    // at the first paint (seed 0).
    repaintHostWith(77);
    EXPECT_EQ(shotOf(host->hwnd())->at(5, 70), patternAt(5, 70, 77)) << "host repainted";
    EXPECT_EQ(onScreen(State::Normal), "");

    // Hot while the real pointer rests on it.
    movePointer(pictureButton(), 15, 25);
    ASSERT_TRUE(test::pumpUntil([&] { return host->picture.hover(); })) << "no hover";
    EXPECT_EQ(onScreen(State::Hot), "") << "1.05 x value + 0.05";

    // Resting there does not keep waking the thread: Wine watches for the leave with a timer,
    // at the 1 ms hover time until the hover is reported.
    g_watched = pictureButton();
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, countMessages, nullptr, GetCurrentThreadId());
    test::pumpFor(1s);
    EXPECT_LT(g_systemTicks, 10) << "timer ticks in a second of rest";

    // Pressed while held; hot again when released under the pointer.
    sendMouse(MOUSEEVENTF_LEFTDOWN);
    ASSERT_TRUE(test::pumpUntil([&] { return host->picture.current() == State::Pressed; }));
    EXPECT_EQ(onScreen(State::Pressed), "") << "one pixel right and down";
    sendMouse(MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(test::pumpUntil([&] { return host->clicks.size() == 1; }));
    EXPECT_EQ(host->picture.current(), State::Hot) << "released under the pointer";

    // Two more quick clicks are two more presses, though the system saw a double-click.
    for (int i = 0; i < 2; ++i) {
        sendMouse(MOUSEEVENTF_LEFTDOWN);
        sendMouse(MOUSEEVENTF_LEFTUP);
    }
    test::pumpUntil([&] { return host->clicks.size() >= 3; });
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(g_doubleClicks, 1);
    EXPECT_EQ(host->clicks, (std::vector<WORD>{BN_CLICKED, BN_CLICKED, BN_CLICKED}));

    // The pointer leaves: normal again.
    movePointer(host->hwnd(), 5, 70);
    ASSERT_TRUE(test::pumpUntil([&] { return !host->picture.hover(); })) << "no leave";
    EXPECT_EQ(onScreen(State::Normal), "");
}

// On screen the host shows where they stand, the pattern of its latest paint.
TEST_F(ImageButtonTest, AMissingResourceOrBytesThatAreNoPictureGiveAButtonThatPaintsNothing) {
    EXPECT_FALSE(host->loaded[1] || host->loaded[2]);
    repaintHostWith(31);
    auto shot = shotOf(host->hwnd());
    for (const auto& [empty, at] :
         {std::pair{&host->missing, kMissingAt}, std::pair{&host->garbage, kGarbageAt}}) {
        auto pattern = [&](int x, int y) { return Expected{patternAt(at.x + x, at.y + y, 31), 0}; };
        EXPECT_EQ(mismatches(*shot, at, kButtonSize, kButtonSize, pattern), "") << empty->id();
    }
}

}  // namespace
}  // namespace brisalune

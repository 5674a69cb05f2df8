// Figures only (`make bench-ui`): how long the Add City dialog takes from a keystroke to the
// refilled list painted, at the country level and in the largest country's largest province,
// and to open the largest country, under Wine in a real X server.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "WinTestSupport.h"
#include "engine/RefreshEngine.h"
#include "resource.h"
#include "ui/CAddCityDlg.h"
#include "win/Window.h"

namespace brisalune {
namespace {

using Clock = std::chrono::steady_clock;

// Runs `step` `rounds` times after `before` and prints minimum, median and maximum.
void measure(const char* what, int rounds, const std::function<void()>& before,
             const std::function<void()>& step) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        before();
        const auto start = Clock::now();
        step();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-62s min %6.2f ms  median %6.2f ms  max %6.2f ms  (%d runs)\n", what, ms.front(),
                ms[ms.size() / 2], ms.back(), rounds);
}

class Bench {
  public:
    Bench() : dialog_(nullptr, catalogue_, engine_, test::sourcePath("res")) {}

    int run() {
        if (!dialog_.Create()) {
            std::printf("the Add City dialog could not be made\n");
            return 1;
        }
        win::pumpWaitingMessages();
        SetForegroundWindow(dialog_.hwnd());
        SetFocus(dialog_.keyword().hwnd());

        // A letter narrows the 237 countries to a few; Backspace brings them all back. The
        // first pair also starts GDI+ and loads the first flags, which the figures leave out.
        keyAndPaint('C');
        const size_t narrowed = dialog_.shownNames().size();
        keyAndPaint(VK_BACK);
        char label[160];
        std::snprintf(label, sizeof label,
                      "keystroke to list painted, countries (\"c\": %zu -> %zu)",
                      dialog_.shownNames().size(), narrowed);
        const auto type = [this](WPARAM key) { return [this, key] { keyAndPaint(key); }; };
        measure(label, 60, type(VK_BACK), type('C'));
        measure("keystroke to list painted, countries (Backspace: all again)", 60, type('C'),
                type(VK_BACK));

        CatalogueCountry* largest = nullptr;
        for (CatalogueCountry& country : catalogue_.LoadCountryList()) {
            if (country.code == "us") {
                largest = &country;
            }
        }
        if (largest == nullptr) {
            std::printf("no United States in the catalogue\n");
            return 1;
        }
        measure(
            "open the largest country (us: 51 states, 1,021 cities)", 30,
            [this] { backToCountries(); }, [this] { openRow("United States"); });
        // The share of it that reads and parses the country's document.
        CatalogueCountry copy{largest->name, largest->code, std::nullopt, largest->key};
        measure(
            "  of which reading the document (us.xml, 106 kB)", 30,
            [&copy] { CityCatalogue::UnloadProvinces(copy); },
            [this, &copy] { catalogue_.LoadProvinces(copy); });

        // The state with the most cities, first in catalogue order among equals.
        const CatalogueProvince* province = &largest->provinces->front();
        for (const CatalogueProvince& p : *largest->provinces) {
            if (p.cities.size() > province->cities.size()) {
                province = &p;
            }
        }
        const std::string name = province->name;
        std::snprintf(label, sizeof label, "keystroke to list painted, %s (\"s\", %zu cities)",
                      name.c_str(), province->cities.size());
        openRow(name);
        measure(label, 60, type(VK_BACK), type('S'));
        std::snprintf(label, sizeof label, "keystroke to list painted, %s (Backspace)",
                      name.c_str());
        measure(label, 60, type('S'), type(VK_BACK));
        return 0;
    }

  private:
    // The key goes through the thread's queue and the dialog's pre-translation, as typed; the
    // list is then painted at once instead of at the next idle moment.
    void keyAndPaint(WPARAM key) {
        PostMessageW(dialog_.keyword().hwnd(), WM_KEYDOWN, key, 1);
        win::pumpWaitingMessages();
        UpdateWindow(dialog_.list().hwnd());
        GdiFlush();
    }
    void openRow(const std::string& name) {
        const std::vector<std::string> names = dialog_.shownNames();
        const auto found = std::find(names.begin(), names.end(), name);
        if (found == names.end()) {
            std::printf("%s is not shown\n", name.c_str());
            return;
        }
        dialog_.list().Select(static_cast<int>(found - names.begin()));
        SendMessageW(dialog_.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CATALOGUE_LIST, LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(dialog_.list().hwnd()));
        UpdateWindow(dialog_.list().hwnd());
        GdiFlush();
    }
    void backToCountries() {
        while (dialog_.level() != CAddCityDlg::Level::Country) {
            SendMessageW(dialog_.hwnd(), WM_COMMAND, IDCANCEL, 0);
        }
        dialog_.keyword().SetText("");
        win::pumpWaitingMessages();
        UpdateWindow(dialog_.list().hwnd());
    }

    CityCatalogue catalogue_;
    RefreshEngine engine_;
    CAddCityDlg dialog_;
};

}  // namespace
}  // namespace brisalune

int main() {
    brisalune::Bench bench;
    return bench.run();
}

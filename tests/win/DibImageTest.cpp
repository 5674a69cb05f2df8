// Pictures are written here, pixel by pixel, so every expectation comes from what was written.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "WinTestSupport.h"
#include "base/WideText.h"
#include "draw/DibImage.h"

namespace brisalune {
namespace {

// Writes a picture with GDI+'s own encoder of `mime`: `pixels` are the scan lines, top first,
// in `format`; `palette` (0xRRGGBB) for the indexed formats.
void writePicture(const std::string& path, const wchar_t* mime, int width,
                  const std::vector<std::string>& pixels, Gdiplus::PixelFormat format,
                  const std::vector<uint32_t>& palette = {}) {
    namespace flat = Gdiplus::DllExports;
    DibImage keepsGdiplusRunning;
    ASSERT_TRUE(GdiplusSession::instance().ensureStarted());
    const size_t stride = (pixels[0].size() + 3) / 4 * 4;
    std::string bits;
    for (const std::string& row : pixels) {
        bits += row + std::string(stride - row.size(), '\0');
    }
    Gdiplus::GpBitmap* bitmap = nullptr;
    ASSERT_EQ(flat::GdipCreateBitmapFromScan0(width, static_cast<INT>(pixels.size()),
                                              static_cast<INT>(stride), format,
                                              reinterpret_cast<BYTE*>(bits.data()), &bitmap),
              Gdiplus::Ok);
    if (!palette.empty()) {
        std::vector<uint32_t> table = {0, static_cast<uint32_t>(palette.size())};
        for (uint32_t colour : palette) {
            table.push_back(0xFF000000u | colour);
        }
        flat::GdipSetImagePalette(bitmap, reinterpret_cast<Gdiplus::ColorPalette*>(table.data()));
    }
    UINT count = 0, size = 0;
    flat::GdipGetImageEncodersSize(&count, &size);
    std::vector<uint8_t> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    flat::GdipGetImageEncoders(count, size, codecs);
    const auto* codec = std::find_if(codecs, codecs + count, [&](const Gdiplus::ImageCodecInfo& c) {
        return std::wstring(c.MimeType) == mime;
    });
    ASSERT_NE(codec, codecs + count) << "no encoder";
    EXPECT_EQ(flat::GdipSaveImageToFile(bitmap, widen(path).c_str(), &codec->Clsid, nullptr),
              Gdiplus::Ok);
    flat::GdipDisposeImage(bitmap);
}

const COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255),
               kWhite = RGB(255, 255, 255);

class DibImageTest : public ::testing::Test {
  protected:
    // 4 x 2: red green red green over blue blue white white.
    std::string quadrantsGif() {
        writePicture(dir.file("fc_4.gif"), L"image/gif", 4,
                     {std::string("\0\1\0\1", 4), std::string("\2\2\3\3", 4)},
                     PixelFormat8bppIndexed, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
        return dir.file("fc_4.gif");
    }
    test::ScratchDir dir;
};

TEST_F(DibImageTest, AFileThatDoesNotDecodeLeavesTheImageEmpty) {
    const std::string garbage = dir.file("fc_3.gif");
    test::writeFile(garbage, "GIF89a but nothing else");
    test::Canvas canvas(4, 4, kWhite);
    for (const std::string& path : {dir.file("fc_99.gif"), garbage, std::string()}) {
        DibImage image;
        ASSERT_EQ(image.Load(quadrantsGif()), S_OK);
        EXPECT_EQ(image.Load(path), E_FAIL) << path;
        EXPECT_TRUE(image.isNull());
        EXPECT_EQ(image.width(), 0);
        EXPECT_FALSE(image.StretchBlt(canvas.dc(), 0, 0, 4, 4, 0, 0, 4, 2));
    }
}

// The program's own formats: GIFs of 256 colours, PNGs of 24 bits; drawn as they are or
// stretched, top row first.
TEST_F(DibImageTest, EveryPixelIsDrawnInItsOwnColourTopRowFirstAtAnySize) {
    std::vector<uint32_t> palette;
    for (uint32_t i = 0; i < 256; ++i) {
        palette.push_back((i << 16) | ((255 - i) << 8) | ((i * 37) & 0xFF));
    }
    std::vector<std::string> rows(3, std::string(5, '\0'));
    for (int i = 0; i < 15; ++i) {
        rows[i / 5][i % 5] = static_cast<char>((i * 7 + i / 3) * 17 % 256);
    }
    const std::string gif = dir.file("\xE5\x9F\x8E\xE5\xB8\x82 \xE2\x98\x80.gif");
    writePicture(gif, L"image/gif", 5, rows, PixelFormat8bppIndexed, palette);
    // GDI+ keeps pixels as B G R bytes.
    writePicture(dir.file("rgb.png"), L"image/png", 3,
                 {std::string("\x00\x00\xFF\x00\xFF\x00\x03\x02\x01", 9),
                  std::string("\xFF\x00\x00\xFF\xFF\xFF\x20\x40\x80", 9)},
                 PixelFormat24bppRGB);
    DibImage indexed, rgb, quadrants;
    ASSERT_EQ(indexed.Load(gif), S_OK);
    ASSERT_EQ(rgb.Load(dir.file("rgb.png")), S_OK);
    ASSERT_EQ(quadrants.Load(quadrantsGif()), S_OK);
    test::Canvas canvas(16, 8, kWhite);
    ASSERT_TRUE(indexed.StretchBlt(canvas.dc(), 0, 0, 5, 3, 0, 0, 5, 3));
    ASSERT_TRUE(rgb.StretchBlt(canvas.dc(), 5, 0, 3, 2, 0, 0, 3, 2));
    ASSERT_TRUE(quadrants.StretchBlt(canvas.dc(), 8, 4, 8, 4, 0, 0, 4, 2));
    for (int i = 0; i < 15; ++i) {
        const uint32_t c = palette[static_cast<uint8_t>(rows[i / 5][i % 5])];
        EXPECT_EQ(canvas.at(i % 5, i / 5), RGB(c >> 16, (c >> 8) & 0xFF, c & 0xFF)) << i;
    }
    const struct {
        int x, y;
        COLORREF colour;
    } pixels[] = {{7, 0, RGB(1, 2, 3)}, {5, 1, kBlue},   {9, 5, kRed},   {10, 4, kGreen},
                  {8, 6, kBlue},        {15, 7, kWhite}, {7, 5, kWhite}, {8, 3, kWhite}};
    for (const auto& [x, y, colour] : pixels) {
        EXPECT_EQ(canvas.at(x, y), colour) << x << "," << y;
    }
}

TEST_F(DibImageTest, TheDcCacheKeepsFourDcsAndPutsEachPictureOutOnReturn) {
    DcCache& cache = DcCache::instance();
    std::vector<DibImage> images(5);
    for (DibImage& image : images) {
        ASSERT_EQ(image.Load(quadrantsGif()), S_OK);
    }
    // Whatever earlier drawing left, four borrowed at once and returned fill the cache.
    for (int i = 0; i < 4; ++i) {
        images[i].borrowDc();
    }
    for (int i = 0; i < 4; ++i) {
        images[i].returnDc();
    }
    const long created = cache.created(), deleted = cache.deleted();
    HDC dcs[5];
    for (int i = 0; i < 5; ++i) {
        dcs[i] = images[i].borrowDc();
        EXPECT_EQ(GetCurrentObject(dcs[i], OBJ_BITMAP), images[i].bitmap());
    }
    EXPECT_EQ(cache.created(), created + 1) << "only the fifth is new";
    for (int i = 0; i < 5; ++i) {
        images[i].returnDc();
        EXPECT_NE(GetCurrentObject(dcs[i], OBJ_BITMAP), images[i].bitmap()) << "put out";
    }
    EXPECT_EQ(cache.deleted(), deleted + 1) << "one of five returned is not kept";

    // Borrows nest; an image destroyed while it still holds the DC gives it back clean.
    HDC nested = nullptr;
    {
        DibImage holder;
        ASSERT_EQ(holder.Load(quadrantsGif()), S_OK);
        nested = holder.borrowDc();
        EXPECT_EQ(holder.borrowDc(), nested);
        holder.returnDc();
        EXPECT_EQ(GetCurrentObject(nested, OBJ_BITMAP), holder.bitmap());
    }
    EXPECT_EQ(cache.cached(0), nested);
    EXPECT_EQ(cache.created(), created + 1);
}

}  // namespace
}  // namespace brisalune

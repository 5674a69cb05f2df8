// Pictures are encoded here, byte by byte, so every expectation comes from what was written.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "WinTestSupport.h"
#include "base/WideText.h"
#include "draw/DibImage.h"

namespace brisalune {
namespace {

void putLe16(std::string& out, uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void putBe32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

// colours: 0xRRGGBB, three bytes each.
std::string rgbBytes(const std::vector<uint32_t>& colours) {
    std::string out;
    for (uint32_t colour : colours) {
        putBe32(out, colour);
        out.erase(out.size() - 4, 1);
    }
    return out;
}

// A table of 256 colours (unused ones black). The LZW stream sends a clear code (256) before
// every 253 literals, so the codes stay nine bits wide, which every decoder accepts; 257 ends it.
std::string gifFile(int width, int height, std::vector<uint32_t> colours,
                    const std::vector<uint8_t>& indices) {
    colours.resize(256);
    std::string out = "GIF89a";
    for (int value : {width, height}) {
        putLe16(out, static_cast<uint32_t>(value));
    }
    out += std::string("\xF7\0\0", 3) + rgbBytes(colours) + ',';
    for (int value : {0, 0, width, height}) {
        putLe16(out, static_cast<uint32_t>(value));
    }
    std::string data;
    uint32_t bits = 0;
    int pending = 0;
    auto emit = [&](uint32_t code) {
        bits |= code << pending;
        for (pending += 9; pending >= 8; pending -= 8, bits >>= 8) {
            data += static_cast<char>(bits & 0xFF);
        }
    };
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 253 == 0) {
            emit(256);
        }
        emit(indices[i]);
    }
    emit(257);
    data += static_cast<char>(bits & 0xFF);
    out += std::string("\0\x08", 2);
    for (size_t at = 0; at < data.size(); at += 255) {
        const std::string block = data.substr(at, 255);
        out += static_cast<char>(block.size()) + block;
    }
    return out + std::string("\0;", 2);
}

void putChunk(std::string& out, const std::string& type, const std::string& body) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : type + body) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    putBe32(out, static_cast<uint32_t>(body.size()));
    out += type + body;
    putBe32(out, ~crc);
}

// rows: the scan lines' bytes without the filter byte, in one stored deflate block.
std::string pngFile(int width, int bitDepth, int colourType, const std::vector<std::string>& rows,
                    const std::vector<uint32_t>& palette = {}) {
    std::string out = "\x89PNG\r\n\x1a\n";
    std::string header;
    putBe32(header, static_cast<uint32_t>(width));
    putBe32(header, static_cast<uint32_t>(rows.size()));
    header += std::string{static_cast<char>(bitDepth), static_cast<char>(colourType)};
    putChunk(out, "IHDR", header + std::string(3, '\0'));
    if (!palette.empty()) {
        putChunk(out, "PLTE", rgbBytes(palette));
    }
    std::string raw;
    for (const std::string& row : rows) {
        raw += '\0' + row;
    }
    uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    std::string zlib = "\x78\x01\x01";
    putLe16(zlib, static_cast<uint32_t>(raw.size()));
    putLe16(zlib, static_cast<uint32_t>(~raw.size()));
    zlib += raw;
    putBe32(zlib, (b << 16) | a);
    putChunk(out, "IDAT", zlib);
    putChunk(out, "IEND", "");
    return out;
}

// An uncompressed TIFF of premultiplied RGBA pixels: decoders hand it over in a format no DIB
// has, so loading it has to convert.
std::string premultipliedTiff(uint32_t width, uint32_t height, const std::string& rgba) {
    auto le32 = [](std::string& out, uint32_t value) {
        putLe16(out, value & 0xFFFF);
        putLe16(out, value >> 16);
    };
    // tag, type (3 short, 4 long), value; BitsPerSample points at four shorts after the IFD.
    const uint32_t bitsAt = 8 + 2 + 12 * 10 + 4, pixelsAt = bitsAt + 8;
    const uint32_t entries[][3] = {
        {256, 4, width}, {257, 4, height}, {258, 3, bitsAt},
        {259, 3, 1},     {262, 3, 2},      {273, 4, pixelsAt},
        {277, 3, 4},     {278, 4, height}, {279, 4, uint32_t(rgba.size())},
        {338, 3, 1}};
    std::string out("II*\0", 4);
    le32(out, 8);
    putLe16(out, 10);
    for (const auto& entry : entries) {
        putLe16(out, entry[0]);
        putLe16(out, entry[1]);
        le32(out, entry[0] == 258 ? 4 : 1);
        le32(out, entry[2]);
    }
    le32(out, 0);
    for (int i = 0; i < 4; ++i) {
        putLe16(out, 8);
    }
    return out + rgba;
}

// The palette index at (x, y), counted from the top; depths below 8 pack the leftmost pixel
// into the high bits.
unsigned indexAt(const DibImage& image, int x, int y) {
    const auto* row = static_cast<const uint8_t*>(image.bits()) + y * image.pitch();
    const int depth = image.bitsPerPixel(), bit = x * depth;
    return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

// The colour bytes at (x, y), counted from the top, as 0xAARRGGBB (alpha 0 for 24 bits).
uint32_t colourAt(const DibImage& image, int x, int y) {
    const auto* pixel = static_cast<const uint8_t*>(image.bits()) + y * image.pitch() +
                        x * (image.bitsPerPixel() / 8);
    const uint32_t alpha = image.bitsPerPixel() == 32 ? pixel[3] : 0;
    return (alpha << 24) | (uint32_t{pixel[2]} << 16) | (uint32_t{pixel[1]} << 8) | pixel[0];
}

const COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255),
               kWhite = RGB(255, 255, 255);

class DibImageTest : public ::testing::Test {
  protected:
    std::string write(const std::string& name, const std::string& bytes) {
        test::writeFile(dir.file(name), bytes);
        return dir.file(name);
    }
    // 4 x 2: red green red green over blue blue white white.
    std::string quadrantsGif() {
        return write("fc_4.gif", gifFile(4, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF},
                                         {0, 1, 0, 1, 2, 2, 3, 3}));
    }
    test::ScratchDir dir;
};

TEST_F(DibImageTest, AFileThatDoesNotDecodeLeavesTheImageEmpty) {
    const std::string garbage = write("fc_3.gif", "GIF89a but nothing else");
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

TEST_F(DibImageTest, IndexedPicturesKeepTheirDepthPaletteAndPixels) {
    // 8 bits from a GIF with a non-ASCII name, 1 and 4 from PNGs; rows bottom-up, padded to
    // four bytes.
    const struct {
        std::string name;
        int colours, width, depth, pitch;
    } cases[] = {{"\xE5\x9F\x8E\xE5\xB8\x82 \xE2\x98\x80.gif", 256, 5, 8, -8},
                 {"two.png", 2, 4, 1, -4},
                 {"sixteen.png", 16, 4, 4, -4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint32_t> palette;
        for (uint32_t i = 0; i < static_cast<uint32_t>(c.colours); ++i) {
            palette.push_back((i << 16) | ((255 - i) << 8) | ((i * 37) & 0xFF));
        }
        std::vector<uint8_t> indices;
        std::vector<std::string> rows(3, std::string((c.width * c.depth + 7) / 8, '\0'));
        for (int i = 0; i < c.width * 3; ++i) {
            indices.push_back(static_cast<uint8_t>((i * 7 + i / 3) * 17 % c.colours));
            const int bit = (i % c.width) * c.depth;
            rows[i / c.width][bit / 8] |= static_cast<char>(indices[i] << (8 - c.depth - bit % 8));
        }
        DibImage image;
        ASSERT_EQ(
            image.Load(write(c.name, c.depth == 8 ? gifFile(c.width, 3, palette, indices)
                                                  : pngFile(c.width, c.depth, 3, rows, palette))),
            S_OK);
        EXPECT_TRUE(image.isDibSection());
        EXPECT_FALSE(image.hasAlpha());
        EXPECT_EQ(image.width(), c.width);
        EXPECT_EQ(image.bitsPerPixel(), c.depth);
        EXPECT_EQ(image.pitch(), c.pitch);
        std::vector<RGBQUAD> table(256);
        table.resize(GetDIBColorTable(image.borrowDc(), 0, 256, table.data()));
        image.returnDc();
        ASSERT_GE(table.size(), palette.size());
        for (size_t i = 0; i < palette.size(); ++i) {
            const RGBQUAD q = table[i];
            ASSERT_EQ((uint32_t{q.rgbRed} << 16) | (uint32_t{q.rgbGreen} << 8) | q.rgbBlue,
                      palette[i])
                << i;
        }
        for (int i = 0; i < c.width * 3; ++i) {
            EXPECT_EQ(indexAt(image, i % c.width, i / c.width), indices[i]) << "pixel " << i;
        }
    }
}

TEST_F(DibImageTest, TrueColourPicturesKeepTheirDepthAlphaAndRowOrder) {
    DibImage rgb;
    ASSERT_EQ(rgb.Load(write("rgb.png",
                             pngFile(3, 8, 2,
                                     {std::string("\xFF\x00\x00\x00\xFF\x00\x01\x02\x03", 9),
                                      std::string("\x00\x00\xFF\xFF\xFF\xFF\x80\x40\x20", 9)}))),
              S_OK);
    EXPECT_EQ(rgb.bitsPerPixel(), 24);
    EXPECT_FALSE(rgb.hasAlpha());
    EXPECT_EQ(rgb.pitch(), -12);
    EXPECT_EQ(colourAt(rgb, 2, 0), 0x010203u);
    EXPECT_EQ(colourAt(rgb, 0, 1), 0x0000FFu);

    DibImage rgba;
    ASSERT_EQ(
        rgba.Load(write("rgba.png", pngFile(2, 8, 6,
                                            {std::string("\xFF\x00\x00\xFF\x10\x20\x30\x80", 8),
                                             std::string("\x00\x00\xFF\x00\x00\xFF\x00\x40", 8)}))),
        S_OK);
    EXPECT_EQ(rgba.bitsPerPixel(), 32);
    EXPECT_TRUE(rgba.hasAlpha());
    EXPECT_EQ(colourAt(rgba, 1, 0), 0x80102030u) << "straight alpha, copied unchanged";
    EXPECT_EQ(colourAt(rgba, 0, 1), 0x000000FFu);

    // Premultiplied pixels arrive in a format no DIB has and are drawn into the DIB instead.
    const std::string tiff = write(
        "premultiplied.tif",
        premultipliedTiff(
            2, 2,
            std::string("\xFF\x00\x00\xFF\x00\xFF\x00\xFF\x00\x00\xFF\xFF\x40\x40\x40\x80", 16)));
    {
        namespace flat = Gdiplus::DllExports;
        DibImage keepsGdiplusRunning;
        Gdiplus::GpBitmap* decoded = nullptr;
        Gdiplus::PixelFormat format = 0;
        ASSERT_TRUE(GdiplusSession::instance().ensureStarted());
        ASSERT_EQ(flat::GdipCreateBitmapFromFile(widen(tiff).c_str(), &decoded), Gdiplus::Ok);
        flat::GdipGetImagePixelFormat(decoded, &format);
        flat::GdipDisposeImage(decoded);
        ASSERT_EQ(format, PixelFormat32bppPARGB) << "the decoder's own format, as it should be";
    }
    DibImage converted;
    ASSERT_EQ(converted.Load(tiff), S_OK);
    EXPECT_EQ(converted.bitsPerPixel(), 32);
    EXPECT_TRUE(converted.hasAlpha());
    EXPECT_EQ(colourAt(converted, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(colourAt(converted, 0, 1), 0xFF0000FFu);
    const uint32_t half = colourAt(converted, 1, 1);
    EXPECT_NEAR(static_cast<int>(half >> 24), 0x80, 1);
    EXPECT_NEAR(static_cast<int>(half & 0xFF), 0x80, 2) << "un-premultiplied grey";
}

TEST_F(DibImageTest, StretchBltPutsTheTopRowAtTheTop) {
    DibImage image;
    ASSERT_EQ(image.Load(quadrantsGif()), S_OK);
    test::Canvas canvas(16, 16, kWhite);
    ASSERT_TRUE(image.StretchBlt(canvas.dc(), 2, 3, 4, 2, 0, 0, 4, 2));
    // Doubled, from the right half of the picture only.
    ASSERT_TRUE(image.StretchBlt(canvas.dc(), 8, 8, 4, 4, 2, 0, 2, 2));
    const struct {
        int x, y;
        COLORREF colour;
    } pixels[] = {{2, 3, kRed},    {3, 3, kGreen},  {2, 4, kBlue},   {5, 4, kWhite},
                  {1, 3, kWhite},  {2, 5, kWhite},  {8, 8, kRed},    {9, 9, kRed},
                  {10, 8, kGreen}, {11, 9, kGreen}, {8, 10, kWhite}, {12, 8, kWhite}};
    for (const auto& pixel : pixels) {
        EXPECT_EQ(canvas.at(pixel.x, pixel.y), pixel.colour) << pixel.x << "," << pixel.y;
    }
}

TEST_F(DibImageTest, GdiplusRunsWhileImagesLiveAndStartsAgainAfterTheLastIsGone) {
    const std::string path = quadrantsGif();
    GdiplusSession& session = GdiplusSession::instance();
    ASSERT_EQ(session.liveImages(), 0);
    EXPECT_FALSE(session.isRunning());
    {
        DibImage first;
        EXPECT_FALSE(session.isRunning()) << "started by a load, not earlier";
        ASSERT_EQ(first.Load(path), S_OK);
        EXPECT_TRUE(session.isRunning());
        DibImage second(std::move(first));
        EXPECT_EQ(session.liveImages(), 2);
        EXPECT_TRUE(first.isNull());
        { DibImage gone = std::move(second); }
        EXPECT_TRUE(session.isRunning());
    }
    EXPECT_FALSE(session.isRunning());
    DibImage again;
    ASSERT_EQ(again.Load(path), S_OK);
    test::Canvas canvas(4, 2, kWhite);
    ASSERT_TRUE(again.StretchBlt(canvas.dc(), 0, 0, 4, 2, 0, 0, 4, 2));
    EXPECT_EQ(canvas.at(1, 0), kGreen);
}

TEST_F(DibImageTest, TheDcCacheKeepsTheFourDcsReturnedLast) {
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
    EXPECT_EQ(cache.deleted(), deleted + 1);
    for (int slot = 0; slot < DcCache::kSlots; ++slot) {
        EXPECT_EQ(cache.cached(slot), dcs[4 - slot]) << slot;
    }
    EXPECT_EQ(GetObjectType(dcs[0]), 0u) << "the DC returned first was deleted";

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

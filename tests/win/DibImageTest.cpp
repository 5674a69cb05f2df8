// Pictures are encoded here, byte by byte, so every expectation comes from what was written.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "base/WideText.h"
#include "draw/DibImage.h"

namespace brisalune {
namespace {

// ---- A minimal GIF, PNG and TIFF encoder ---------------------------------------------------

void putLe16(std::string& out, int value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void putBe32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

// colours: 0xRRGGBB, written as three bytes each.
void putRgb(std::string& out, const std::vector<uint32_t>& colours) {
    for (uint32_t colour : colours) {
        putBe32(out, colour);
        out.erase(out.size() - 4, 1);
    }
}

// Always a table of 256 colours (unused ones black). The LZW stream sends a clear code (256)
// before every 253 literals, so the code width stays at nine bits, which every decoder must
// accept; 257 ends it.
std::string gifFile(int width, int height, std::vector<uint32_t> colours,
                    const std::vector<uint8_t>& indices) {
    colours.resize(256);
    std::string out = "GIF89a";
    putLe16(out, width);
    putLe16(out, height);
    out += std::string("\xF7\0\0", 3);
    putRgb(out, colours);
    out += ',';
    for (int value : {0, 0, width, height}) {
        putLe16(out, value);
    }
    std::string data;
    uint32_t accumulator = 0;
    int pending = 0;
    auto emit = [&](int code) {
        accumulator |= static_cast<uint32_t>(code) << pending;
        for (pending += 9; pending >= 8; pending -= 8) {
            data += static_cast<char>(accumulator & 0xFF);
            accumulator >>= 8;
        }
    };
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 253 == 0) {
            emit(256);
        }
        emit(indices[i]);
    }
    emit(257);
    data += static_cast<char>(accumulator & 0xFF);
    out += std::string("\0\x08", 2);
    for (size_t at = 0; at < data.size(); at += 255) {
        const std::string block = data.substr(at, 255);
        out += static_cast<char>(block.size()) + block;
    }
    return out + std::string("\0;", 2);
}

uint32_t crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void putChunk(std::string& out, const std::string& type, const std::string& body) {
    putBe32(out, static_cast<uint32_t>(body.size()));
    out += type + body;
    putBe32(out, crc32(type + body));
}

// rows: the scan lines' pixel bytes without the filter byte. One stored (uncompressed) deflate
// block keeps the encoder short; it holds up to 65535 bytes, plenty for these pictures.
std::string pngFile(int width, int height, int bitDepth, int colourType,
                    const std::vector<std::string>& rows,
                    const std::vector<uint32_t>& palette = {}) {
    std::string out = "\x89PNG\r\n\x1a\n";
    std::string header;
    putBe32(header, static_cast<uint32_t>(width));
    putBe32(header, static_cast<uint32_t>(height));
    header += std::string{static_cast<char>(bitDepth), static_cast<char>(colourType)};
    putChunk(out, "IHDR", header + std::string(3, '\0'));
    if (!palette.empty()) {
        std::string plte;
        putRgb(plte, palette);
        putChunk(out, "PLTE", plte);
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
    putLe16(zlib, static_cast<int>(raw.size()));
    putLe16(zlib, static_cast<int>(~raw.size() & 0xFFFF));
    zlib += raw;
    putBe32(zlib, (b << 16) | a);
    putChunk(out, "IDAT", zlib);
    putChunk(out, "IEND", "");
    return out;
}

// An uncompressed TIFF of premultiplied RGBA pixels, one strip: decoders hand it over in a
// format no DIB has, so loading it has to convert.
std::string premultipliedTiff(int width, int height, const std::string& rgba) {
    auto le32 = [](std::string& out, uint32_t value) {
        putLe16(out, static_cast<int>(value & 0xFFFF));
        putLe16(out, static_cast<int>(value >> 16));
    };
    const uint32_t w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
    const uint32_t count = static_cast<uint32_t>(rgba.size());
    // tag, type (3 short, 4 long), value; BitsPerSample points at four shorts after the IFD.
    const uint32_t entries[][3] = {{256, 4, w},     {257, 4, h}, {258, 3, 0}, {259, 3, 1},
                                   {262, 3, 2},     {273, 4, 0}, {277, 3, 4}, {278, 4, h},
                                   {279, 4, count}, {338, 3, 1}};
    const uint32_t bitsAt = 8 + 2 + 12 * 10 + 4;
    const uint32_t pixelsAt = bitsAt + 8;
    std::string out("II*\0", 4);
    le32(out, 8);
    putLe16(out, 10);
    for (const auto& entry : entries) {
        putLe16(out, static_cast<int>(entry[0]));
        putLe16(out, static_cast<int>(entry[1]));
        le32(out, entry[0] == 258 ? 4 : 1);
        le32(out, entry[0] == 258 ? bitsAt : entry[0] == 273 ? pixelsAt : entry[2]);
    }
    le32(out, 0);
    for (int i = 0; i < 4; ++i) {
        putLe16(out, 8);
    }
    return out + rgba;
}

// Packs palette indices of the given depth into PNG scan lines, leftmost pixel in the high bits.
std::vector<std::string> packedRows(int width, int height, int bitDepth,
                                    const std::vector<uint8_t>& indices) {
    std::vector<std::string> rows;
    for (int y = 0; y < height; ++y) {
        std::string row((width * bitDepth + 7) / 8, '\0');
        for (int x = 0; x < width; ++x) {
            const int bit = x * bitDepth;
            row[bit / 8] = static_cast<char>(row[bit / 8] |
                                             (indices[y * width + x] << (8 - bitDepth - bit % 8)));
        }
        rows.push_back(row);
    }
    return rows;
}

// ---- Reading what an image holds ----------------------------------------------------------

// The palette index at (x, y), counted from the top.
unsigned indexAt(const DibImage& image, int x, int y) {
    const auto* row = static_cast<const uint8_t*>(image.bits()) + y * image.pitch();
    const int depth = image.bitsPerPixel();
    const int bit = x * depth;
    return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

// The colour bytes at (x, y), counted from the top, as 0xAARRGGBB (alpha 0 for 24 bits).
uint32_t colourAt(const DibImage& image, int x, int y) {
    const auto* pixel = static_cast<const uint8_t*>(image.bits()) + y * image.pitch() +
                        x * (image.bitsPerPixel() / 8);
    const uint32_t alpha = image.bitsPerPixel() == 32 ? pixel[3] : 0;
    return (alpha << 24) | (uint32_t{pixel[2]} << 16) | (uint32_t{pixel[1]} << 8) | pixel[0];
}

// 0xRRGGBB of every entry of the DIB's colour table.
std::vector<uint32_t> colourTable(DibImage& image) {
    std::vector<RGBQUAD> table(256);
    HDC dc = image.borrowDc();
    table.resize(GetDIBColorTable(dc, 0, 256, table.data()));
    image.returnDc();
    std::vector<uint32_t> colours;
    for (const RGBQUAD& quad : table) {
        EXPECT_EQ(quad.rgbReserved, 0);
        colours.push_back((uint32_t{quad.rgbRed} << 16) | (uint32_t{quad.rgbGreen} << 8) |
                          quad.rgbBlue);
    }
    return colours;
}

// What GDI+ itself decodes a file to, to tell the decoder's choice from this code's.
int decodedFormat(const std::string& path) {
    namespace flat = Gdiplus::DllExports;
    DibImage keepsTheSessionCounted;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (!GdiplusSession::instance().ensureStarted() ||
        flat::GdipCreateBitmapFromFile(widen(path).c_str(), &bitmap) != Gdiplus::Ok) {
        return -1;
    }
    Gdiplus::PixelFormat format = 0;
    flat::GdipGetImagePixelFormat(bitmap, &format);
    flat::GdipDisposeImage(bitmap);
    return format;
}

// A white bitmap in a DC of its own, to draw on and read back.
class Canvas {
  public:
    Canvas(int width, int height) : bitmap_(CreateBitmap(width, height, 1, 32, nullptr)) {
        old_ = SelectObject(dc_, bitmap_);
        PatBlt(dc_, 0, 0, width, height, WHITENESS);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    uint32_t at(int x, int y) const {
        const COLORREF colour = GetPixel(dc_, x, y);
        return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    }

  private:
    HDC dc_ = CreateCompatibleDC(nullptr);
    HBITMAP bitmap_;
    HGDIOBJ old_ = nullptr;
};

const uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

class DibImageTest : public ::testing::Test {
  protected:
    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = dir.file(name);
        test::writeFile(path, bytes);
        return path;
    }
    // 4 x 2: red green red green over blue blue white white.
    std::string quadrantsGif(const std::string& name) {
        return write(name, gifFile(4, 2, {kRed, kGreen, kBlue, kWhite}, {0, 1, 0, 1, 2, 2, 3, 3}));
    }
    test::ScratchDir dir;
};

TEST_F(DibImageTest, AFileThatDoesNotDecodeLeavesTheImageEmpty) {
    const std::string garbage = write("fc_3.gif", "GIF89a but nothing else");
    const std::string good = quadrantsGif("fc_4.gif");
    Canvas canvas(4, 4);
    for (const std::string& path : {dir.file("fc_99.gif"), garbage, std::string()}) {
        DibImage image;
        ASSERT_EQ(image.Load(good), S_OK);
        EXPECT_EQ(image.Load(path), E_FAIL) << path;
        EXPECT_TRUE(image.isNull());
        EXPECT_EQ(image.width(), 0);
        EXPECT_EQ(image.height(), 0);
        EXPECT_FALSE(image.StretchBlt(canvas.dc(), 0, 0, 4, 4, 0, 0, 4, 2));
    }
}

TEST_F(DibImageTest, IndexedPicturesKeepTheirDepthPaletteAndPixels) {
    struct Case {
        std::string name;
        int colours, width, depth, pitch;
    };
    // 8 bits from a GIF with a non-ASCII name (城市 ☀), 1 and 4 from PNGs; each keeps the depth
    // of its file, in rows bottom-up and padded to four bytes.
    const Case cases[] = {{"\xE5\x9F\x8E\xE5\xB8\x82 \xE2\x98\x80.gif", 256, 5, 8, -8},
                          {"two.png", 2, 4, 1, -4},
                          {"sixteen.png", 16, 4, 4, -4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint32_t> palette;
        for (uint32_t i = 0; i < static_cast<uint32_t>(c.colours); ++i) {
            palette.push_back((i << 16) | ((255 - i) << 8) | ((i * 37) & 0xFF));
        }
        std::vector<uint8_t> indices;
        for (int i = 0; i < c.width * 3; ++i) {
            indices.push_back(static_cast<uint8_t>((i * 7 + i / 3) * 17 % c.colours));
        }
        const std::string bytes = c.depth == 8
                                      ? gifFile(c.width, 3, palette, indices)
                                      : pngFile(c.width, 3, c.depth, 3,
                                                packedRows(c.width, 3, c.depth, indices), palette);
        DibImage image;
        ASSERT_EQ(image.Load(write(c.name, bytes)), S_OK);
        EXPECT_TRUE(image.isDibSection());
        EXPECT_FALSE(image.hasAlpha());
        EXPECT_EQ(image.width(), c.width);
        EXPECT_EQ(image.height(), 3);
        EXPECT_EQ(image.bitsPerPixel(), c.depth);
        EXPECT_EQ(image.pitch(), c.pitch);
        const std::vector<uint32_t> table = colourTable(image);
        ASSERT_GE(table.size(), palette.size());
        EXPECT_EQ(std::vector<uint32_t>(table.begin(), table.begin() + palette.size()), palette);
        for (int i = 0; i < c.width * 3; ++i) {
            EXPECT_EQ(indexAt(image, i % c.width, i / c.width), indices[i]) << "pixel " << i;
        }
    }
}

TEST_F(DibImageTest, TrueColourPicturesKeepTheirDepthAlphaAndRowOrder) {
    DibImage rgb;
    ASSERT_EQ(rgb.Load(write("rgb.png",
                             pngFile(3, 2, 8, 2,
                                     {std::string("\xFF\x00\x00\x00\xFF\x00\x01\x02\x03", 9),
                                      std::string("\x00\x00\xFF\xFF\xFF\xFF\x80\x40\x20", 9)}))),
              S_OK);
    EXPECT_EQ(rgb.bitsPerPixel(), 24);
    EXPECT_FALSE(rgb.hasAlpha());
    EXPECT_EQ(rgb.pitch(), -12);
    EXPECT_EQ(colourAt(rgb, 2, 0), 0x010203u);
    EXPECT_EQ(colourAt(rgb, 0, 1), kBlue);

    DibImage rgba;
    ASSERT_EQ(
        rgba.Load(write("rgba.png", pngFile(2, 2, 8, 6,
                                            {std::string("\xFF\x00\x00\xFF\x10\x20\x30\x80", 8),
                                             std::string("\x00\x00\xFF\x00\x00\xFF\x00\x40", 8)}))),
        S_OK);
    EXPECT_EQ(rgba.bitsPerPixel(), 32);
    EXPECT_TRUE(rgba.hasAlpha());
    EXPECT_EQ(colourAt(rgba, 1, 0), 0x80102030u) << "straight alpha, copied unchanged";
    EXPECT_EQ(colourAt(rgba, 0, 1), 0x000000FFu);

    // Premultiplied pixels arrive in a format no DIB has and are drawn into the DIB instead.
    const std::string tiff =
        write("premultiplied.tif", premultipliedTiff(2, 2,
                                                     std::string("\xFF\x00\x00\xFF\x00\xFF\x00\xFF"
                                                                 "\x00\x00\xFF\xFF\x40\x40\x40\x80",
                                                                 16)));
    ASSERT_EQ(decodedFormat(tiff), PixelFormat32bppPARGB);
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
    ASSERT_EQ(image.Load(quadrantsGif("fc_32.gif")), S_OK);
    Canvas canvas(16, 16);
    ASSERT_TRUE(image.StretchBlt(canvas.dc(), 2, 3, 4, 2, 0, 0, 4, 2));
    // Doubled, from the right half of the picture only.
    ASSERT_TRUE(image.StretchBlt(canvas.dc(), 8, 8, 4, 4, 2, 0, 2, 2));
    const struct {
        int x, y;
        uint32_t colour;
    } pixels[] = {{2, 3, kRed},    {3, 3, kGreen},  {2, 4, kBlue},   {5, 4, kWhite},
                  {1, 3, kWhite},  {2, 5, kWhite},  {8, 8, kRed},    {9, 9, kRed},
                  {10, 8, kGreen}, {11, 9, kGreen}, {8, 10, kWhite}, {12, 8, kWhite}};
    for (const auto& pixel : pixels) {
        EXPECT_EQ(canvas.at(pixel.x, pixel.y), pixel.colour) << pixel.x << "," << pixel.y;
    }
}

TEST_F(DibImageTest, GdiplusRunsWhileImagesLiveAndStartsAgainAfterTheLastIsGone) {
    const std::string path = quadrantsGif("fc_1.gif");
    GdiplusSession& session = GdiplusSession::instance();
    ASSERT_EQ(session.liveImages(), 0);
    EXPECT_FALSE(session.isRunning());
    {
        DibImage first;
        EXPECT_EQ(session.liveImages(), 1);
        EXPECT_FALSE(session.isRunning()) << "started by a load, not earlier";
        ASSERT_EQ(first.Load(path), S_OK);
        EXPECT_TRUE(session.isRunning());

        DibImage second(std::move(first));
        EXPECT_EQ(session.liveImages(), 2);
        EXPECT_TRUE(first.isNull());
        EXPECT_EQ(second.width(), 4);
        { DibImage gone = std::move(second); }
        EXPECT_TRUE(session.isRunning());
    }
    EXPECT_EQ(session.liveImages(), 0);
    EXPECT_FALSE(session.isRunning());

    DibImage again;
    ASSERT_EQ(again.Load(path), S_OK);
    EXPECT_TRUE(session.isRunning());
    Canvas canvas(4, 2);
    ASSERT_TRUE(again.StretchBlt(canvas.dc(), 0, 0, 4, 2, 0, 0, 4, 2));
    EXPECT_EQ(canvas.at(1, 0), kGreen);
}

TEST_F(DibImageTest, TheDcCacheKeepsTheFourDcsReturnedLast) {
    DcCache& cache = DcCache::instance();
    const std::string path = quadrantsGif("fc_2.gif");
    std::vector<DibImage> images(5);
    for (DibImage& image : images) {
        ASSERT_EQ(image.Load(path), S_OK);
    }
    // Whatever earlier drawing left, four borrowed at once and returned fill the cache.
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(images[i].borrowDc(), nullptr);
    }
    for (int i = 0; i < 4; ++i) {
        images[i].returnDc();
    }

    const long created = cache.created();
    const long deleted = cache.deleted();
    HDC dcs[5];
    for (int i = 0; i < 5; ++i) {
        dcs[i] = images[i].borrowDc();
        EXPECT_EQ(GetCurrentObject(dcs[i], OBJ_BITMAP), images[i].bitmap());
    }
    EXPECT_EQ(cache.created(), created + 1) << "only the fifth is new";
    for (int slot = 0; slot < DcCache::kSlots; ++slot) {
        EXPECT_EQ(cache.cached(slot), nullptr);
    }
    for (int i = 0; i < 5; ++i) {
        images[i].returnDc();
        EXPECT_NE(GetCurrentObject(dcs[i], OBJ_BITMAP), images[i].bitmap());
    }
    EXPECT_EQ(cache.deleted(), deleted + 1);
    for (int slot = 0; slot < DcCache::kSlots; ++slot) {
        EXPECT_EQ(cache.cached(slot), dcs[4 - slot]) << slot;
    }
    EXPECT_EQ(GetObjectType(dcs[0]), 0u) << "the DC returned first was deleted";

    // Drawing one image after another takes and gives back the same DC.
    Canvas canvas(4, 2);
    for (DibImage& image : images) {
        ASSERT_TRUE(image.StretchBlt(canvas.dc(), 0, 0, 4, 2, 0, 0, 4, 2));
    }
    EXPECT_EQ(cache.cached(0), dcs[4]);
    EXPECT_EQ(cache.cached(1), dcs[3]);
    EXPECT_EQ(cache.created(), created + 1);

    // Borrows nest; an image destroyed while it still holds the DC gives it back clean.
    HDC nested = nullptr;
    {
        DibImage holder;
        ASSERT_EQ(holder.Load(path), S_OK);
        nested = holder.borrowDc();
        EXPECT_EQ(holder.borrowDc(), nested);
        holder.returnDc();
        EXPECT_EQ(GetCurrentObject(nested, OBJ_BITMAP), holder.bitmap());
        EXPECT_EQ(cache.cached(0), nullptr);
    }
    EXPECT_EQ(cache.cached(0), nested);
    EXPECT_NE(GetCurrentObject(nested, OBJ_BITMAP), nullptr);
    EXPECT_EQ(cache.created(), created + 1);
}

}  // namespace
}  // namespace brisalune

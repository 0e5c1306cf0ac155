#include "skin/CMyBitmap.h"
#include "tests/skin/SkinMachine.h"
#include "tests/support/BmpFile.h"

#include <functional>

namespace corvane_test {
namespace {

class BitmapTest : public SkinMachine {};

BmpFile quadrants(int width, int height) {
    BmpFile bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.palette = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0)};
    int rows = height < 0 ? -height : height;
    bmp.pixel = [width, rows](int x, int y) {
        return (x < width / 2 ? 0 : 1) + (y < rows / 2 ? 0 : 2);
    };
    return bmp;
}

std::string withBitCount(int bitCount) {
    BmpFile bmp;
    bmp.bitCount = bitCount;
    return bmp.bytes();
}

std::string changed(const std::function<void(BmpFile&)>& change) {
    BmpFile bmp;
    change(bmp);
    return bmp.bytes();
}

std::string cut(std::string bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

void put32(std::string& bytes, size_t offset, DWORD value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

std::string withBitsOffset(DWORD offset) {
    std::string bytes = BmpFile().bytes();
    put32(bytes, 10, offset);
    return bytes;
}

TEST_F(BitmapTest, LoadAcceptsPaletteBmpsAndRefusesEverythingElse) {
    const std::string good = BmpFile().bytes();
    const size_t table = 14 + 40 + 4 * 256;
    struct Row {
        const char* what;
        std::string bytes;
        int expected;
    } rows[] = {
        {"1 bit", withBitCount(1), 1},
        {"4 bits", withBitCount(4), 1},
        {"8 bits", withBitCount(8), 1},
        {"8 bits top-down", changed([](BmpFile& b) { b.height = -8; }), 1},
        {"widest accepted",
         changed([](BmpFile& b) { b.bitCount = 1, b.width = 16384, b.height = 1; }), 1},
        {"16 bits", withBitCount(16), 0},
        {"24 bits", withBitCount(24), 0},
        {"32 bits", withBitCount(32), 0},
        {"2 bits", withBitCount(2), 0},
        {"0 bits", withBitCount(0), 0},
        {"12-byte header", changed([](BmpFile& b) { b.headerSize = 12; }), 0},
        {"108-byte header", changed([](BmpFile& b) { b.headerSize = 108; }), 0},
        {"124-byte header", changed([](BmpFile& b) { b.headerSize = 124; }), 0},
        {"signature BA", changed([](BmpFile& b) { b.signature = "BA"; }), 0},
        {"signature MB", changed([](BmpFile& b) { b.signature = "MB"; }), 0},
        {"empty file", "", 0},
        {"signature only", "BM", 0},
        {"cut in the header size", cut(good, 16), 0},
        {"cut in the header", cut(good, 40), 0},
        {"cut in the colour table", cut(good, table - 1), 0},
        {"last pixel row short by a byte", cut(good, good.size() - 1), 0},
        {"pixel offset past the end", withBitsOffset(static_cast<DWORD>(good.size()) + 4), 0},
        {"pixel offset wrapping around", withBitsOffset(0xFFFFFFF0u), 0},
        {"pixel offset leaving too few rows", withBitsOffset(static_cast<DWORD>(table) + 1), 0},
        {"width 0", changed([](BmpFile& b) { b.width = 0; }), 0},
        {"negative width", changed([](BmpFile& b) { b.width = -8; }), 0},
        {"width over 16384",
         changed([](BmpFile& b) { b.bitCount = 1, b.width = 16385, b.height = 1; }), 0},
        {"height 0", changed([](BmpFile& b) { b.height = 0; }), 0},
        {"height over 16384",
         changed([](BmpFile& b) { b.bitCount = 1, b.width = 1, b.height = 16385; }), 0},
        {"top-down height over 16384",
         changed([](BmpFile& b) { b.bitCount = 1, b.width = 1, b.height = -16385; }), 0},
        {"two planes", changed([](BmpFile& b) { b.planes = 2; }), 0},
        {"run-length 8", changed([](BmpFile& b) { b.compression = BI_RLE8; }), 0},
        {"run-length 4", changed([](BmpFile& b) { b.bitCount = 4, b.compression = BI_RLE4; }), 0},
    };
    ScreenDC dc;
    for (const Row& row : rows) {
        writeDiskFile("PIC.BMP", row.bytes);
        CMyBitmap bitmap;
        EXPECT_EQ(bitmap.Load("PIC.BMP", &dc), row.expected) << row.what;
    }
}

TEST_F(BitmapTest, LoadRefusesMissingFilesAndEmptyNames) {
    ScreenDC dc;
    CMyBitmap missing;
    EXPECT_EQ(missing.Load("NOSUCH.BMP", &dc), 0);
    CMyBitmap unnamed;
    EXPECT_EQ(unnamed.Load("", &dc), 0);
}

TEST_F(BitmapTest, PictureRectIsThePictureSizeAlsoForTopDownRows) {
    ScreenDC dc;
    for (int height : {200, -200}) {
        writeDiskFile("PIC.BMP", quadrants(300, height).bytes());
        CMyBitmap bitmap;
        ASSERT_EQ(bitmap.Load("D:\\PIC.BMP", &dc), 1) << height;
        RECT rect = bitmap.GetPictureRect();
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.top, 0);
        EXPECT_EQ(rect.right, 300);
        EXPECT_EQ(rect.bottom, 200) << height;
    }
}

// Bottom-up and top-down pictures of the same quadrants land the same way up,
// stretched to cover the destination exactly.
TEST_F(BitmapTest, DrawStretchesTheWholePictureOverTheRectangle) {
    const COLORREF background = RGB(10, 20, 30);
    for (int height : {200, -200}) {
        fill(RECT{0, 0, 800, 600}, background);
        writeDiskFile("PIC.BMP", quadrants(300, height).bytes());
        ScreenDC dc;
        CMyBitmap bitmap;
        ASSERT_EQ(bitmap.Load("PIC.BMP", &dc), 1);
        bitmap.Draw(&dc, RECT{10, 10, 564, 383});

        EXPECT_EQ(pixel(10, 10), RGB(255, 0, 0)) << height;
        EXPECT_EQ(pixel(563, 10), RGB(0, 255, 0)) << height;
        EXPECT_EQ(pixel(10, 382), RGB(0, 0, 255)) << height;
        EXPECT_EQ(pixel(563, 382), RGB(255, 255, 0)) << height;
        EXPECT_EQ(pixel(564, 10), background);
        EXPECT_EQ(pixel(10, 383), background);
        EXPECT_EQ(pixel(9, 9), background);
    }
}

TEST_F(BitmapTest, PalettePicturesLoadOnPaletteAndSixteenColourDisplays) {
    for (int depth : {4, 8}) {
        bootMachine(depth);
        writeDiskFile("PIC.BMP", quadrants(30, 20).bytes());
        ScreenDC dc;
        CMyBitmap bitmap;
        EXPECT_EQ(bitmap.Load("PIC.BMP", &dc), 1) << depth;
        bitmap.Draw(&dc, RECT{0, 0, 30, 20});
    }
}

} // namespace
} // namespace corvane_test

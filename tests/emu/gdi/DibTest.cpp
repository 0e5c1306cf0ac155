#include "tests/emu/gdi/ScreenFixture.h"

#include "platform/emu/gdi/RunLengthDecoder.h"

#include <cstring>
#include <set>

namespace {

using corvane_test::PackedDib;
using corvane_test::ScreenFixture;
using emu::gdi::RunLengthDecoder;

int pictureIndex(int x, int y) {
    return (x / 7 + y / 5 * 3) % 256;
}

class Dibs : public ScreenFixture {
protected:
    void SetUp() override { bootScreen(640, 480, 32); }

    int stretch(const PackedDib& dib, RECT to, int width, int height) {
        SetStretchBltMode(dc(), COLORONCOLOR);
        return StretchDIBits(dc(), to.left, to.top, to.right - to.left, to.bottom - to.top, 0, 0,
                             width, height, dib.bits(), dib.info(), DIB_RGB_COLORS, SRCCOPY);
    }
};

TEST_F(Dibs, StretchedPictureCoversTheDestinationExactly) {
    fillScreen(RGB(1, 2, 3)); // not a colour of the picture's table
    const PackedDib dib(300, 200, 8, false, pictureIndex);
    std::set<COLORREF> tableColours;
    for (int i = 0; i < 256; ++i) {
        tableColours.insert(PackedDib::tableColour(i));
    }
    const RECT to{40, 30, 40 + 554, 30 + 373};
    EXPECT_EQ(stretch(dib, to, 300, 200), 200);
    const std::vector<COLORREF> shot = snapshot();
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const bool inside = x >= to.left && x < to.right && y >= to.top && y < to.bottom;
            if (inside) {
                ASSERT_TRUE(tableColours.count(at(shot, x, y))) << x << "," << y;
            } else {
                ASSERT_EQ(at(shot, x, y), RGB(1, 2, 3)) << x << "," << y;
            }
        }
    }
    // Corners show the picture's corners (the first row in memory is the bottom).
    EXPECT_EQ(at(shot, to.left, to.top), PackedDib::tableColour(pictureIndex(0, 0)));
    EXPECT_EQ(at(shot, to.right - 1, to.bottom - 1),
              PackedDib::tableColour(pictureIndex(299, 199)));
}

TEST_F(Dibs, BottomUpTopDownAndRunLengthPicturesLookTheSame) {
    const auto index = [](int x, int y) { return (x * 3 + y * 5) % 16; };
    struct Row {
        int bitCount;
        bool topDown;
    };
    const Row rows[] = {{8, false}, {8, true}, {4, false}, {4, true}, {1, false}, {1, true}};
    std::vector<COLORREF> reference;
    for (const Row& row : rows) {
        fillScreen(RGB(0, 0, 0));
        const auto masked = [&](int x, int y) { return index(x, y) & ((1 << row.bitCount) - 1); };
        const PackedDib dib(37, 23, row.bitCount, row.topDown, masked);
        EXPECT_EQ(stretch(dib, RECT{10, 10, 84, 79}, 37, 23), 23);
        const std::vector<COLORREF> shot = snapshot();
        if (row.bitCount == 1) {
            EXPECT_EQ(at(shot, 10, 10), PackedDib::tableColour(masked(0, 0)));
            EXPECT_EQ(at(shot, 83, 78), PackedDib::tableColour(masked(36, 22)));
            continue;
        }
        if (reference.empty()) {
            reference = shot;
        }
        EXPECT_EQ(shot, reference) << row.bitCount << (row.topDown ? " top-down" : " bottom-up");
    }

    // The same picture run-length encoded: per row encoded runs for the first
    // two pixels, an absolute run for the other 35, then end of line.
    for (const WORD bitCount : {WORD{8}, WORD{4}}) {
        fillScreen(RGB(0, 0, 0));
        const PackedDib plain(37, 23, bitCount, false, index);
        const bool nibbles = bitCount == 4;
        std::vector<uint8_t> rle;
        for (int y = 22; y >= 0; --y) { // bottom row first
            const auto pixel = [&](int x) {
                return static_cast<uint8_t>(x < 37 ? index(x, y) : 0);
            };
            if (nibbles) {
                rle.insert(rle.end(), {2, static_cast<uint8_t>(pixel(0) << 4 | pixel(1))});
            } else {
                rle.insert(rle.end(), {1, pixel(0), 1, pixel(1)});
            }
            rle.insert(rle.end(), {0, 35});
            size_t bytes = 0;
            for (int x = 2; x < 37; x += nibbles ? 2 : 1, ++bytes) {
                rle.push_back(nibbles ? static_cast<uint8_t>(pixel(x) << 4 | pixel(x + 1))
                                      : pixel(x));
            }
            if (bytes % 2) {
                rle.push_back(0); // absolute runs end on a word boundary
            }
            rle.insert(rle.end(), {0, 0});
        }
        rle.insert(rle.end(), {0, 1});
        std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 4 * (size_t{1} << bitCount));
        std::memcpy(info.data(), plain.info(), info.size());
        auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
        header->biCompression = nibbles ? BI_RLE4 : BI_RLE8;
        header->biSizeImage = static_cast<DWORD>(rle.size());
        EXPECT_EQ(StretchDIBits(dc(), 10, 10, 74, 69, 0, 0, 37, 23, rle.data(),
                                reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS,
                                SRCCOPY),
                  23);
        EXPECT_EQ(snapshot(), reference) << "run-length " << bitCount;
    }
}

TEST_F(Dibs, HeadersThatCannotBeDrawnSafelyAreRefused) {
    fillScreen(RGB(9, 9, 9));
    const std::vector<COLORREF> before = snapshot();
    PackedDib dib(16, 16, 8, false, pictureIndex);
    const BITMAPINFOHEADER good = dib.info()->bmiHeader;
    struct Row {
        const char* what;
        void (*spoil)(BITMAPINFOHEADER&);
    };
    const Row rows[] = {
        {"12-byte header", [](BITMAPINFOHEADER& h) { h.biSize = 12; }},
        {"zero width", [](BITMAPINFOHEADER& h) { h.biWidth = 0; }},
        {"negative width", [](BITMAPINFOHEADER& h) { h.biWidth = -16; }},
        {"zero height", [](BITMAPINFOHEADER& h) { h.biHeight = 0; }},
        {"huge width", [](BITMAPINFOHEADER& h) { h.biWidth = 0x7FFFFFFF; }},
        {"huge height", [](BITMAPINFOHEADER& h) { h.biHeight = -0x7FFFFFFF; }},
        {"2 bits", [](BITMAPINFOHEADER& h) { h.biBitCount = 2; }},
        {"bit fields", [](BITMAPINFOHEADER& h) { h.biCompression = BI_BITFIELDS; }},
        {"RLE8 without size", [](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE8; }},
        {"RLE4 on 8 bits", [](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE4; }},
    };
    for (const Row& row : rows) {
        dib.info()->bmiHeader = good;
        row.spoil(dib.info()->bmiHeader);
        EXPECT_EQ(StretchDIBits(dc(), 0, 0, 32, 32, 0, 0, 16, 16, dib.bits(), dib.info(),
                                DIB_RGB_COLORS, SRCCOPY),
                  0)
            << row.what;
    }
    dib.info()->bmiHeader = good;
    EXPECT_EQ(StretchDIBits(dc(), 0, 0, 32, 32, 0, 0, 16, 16, nullptr, dib.info(), DIB_RGB_COLORS,
                            SRCCOPY),
              0);
    EXPECT_EQ(StretchDIBits(nullptr, 0, 0, 32, 32, 0, 0, 16, 16, dib.bits(), dib.info(),
                            DIB_RGB_COLORS, SRCCOPY),
              0);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(Dibs, SourceRectanglesOutsideThePictureReadNothingBeyondIt) {
    const PackedDib dib(8, 8, 8, false, pictureIndex);
    // Asking for 32 x 32 source pixels of an 8 x 8 picture, from a left edge
    // before, at and inside the picture: only the picture's own pixels are
    // drawn, each where its column falls (AddressSanitizer watches the reads).
    for (int sourceX : {-3, 0, 5}) {
        fillScreen(RGB(9, 9, 9));
        StretchDIBits(dc(), 0, 0, 32, 32, sourceX, 0, 32, 32, dib.bits(), dib.info(),
                      DIB_RGB_COLORS, SRCCOPY);
        const std::vector<COLORREF> shot = snapshot();
        const int firstColumn = std::max(sourceX, 0);
        int drawn = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                bool picture = at(shot, x, y) != RGB(9, 9, 9);
                drawn += picture ? 1 : 0;
                if (picture) {
                    ASSERT_GE(sourceX + x, firstColumn) << sourceX << ": " << x << "," << y;
                    ASSERT_LT(sourceX + x, 8) << sourceX << ": " << x << "," << y;
                }
            }
        }
        EXPECT_EQ(drawn, (8 - firstColumn) * 8) << sourceX;
    }
}

TEST_F(Dibs, SetDIBitsToDeviceCopiesOneToOne) {
    fillScreen(RGB(9, 9, 9));
    const PackedDib dib(20, 10, 8, false, pictureIndex);
    EXPECT_EQ(
        SetDIBitsToDevice(dc(), 5, 6, 20, 10, 0, 0, 0, 10, dib.bits(), dib.info(), DIB_RGB_COLORS),
        10);
    const std::vector<COLORREF> shot = snapshot();
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            ASSERT_EQ(at(shot, 5 + x, 6 + y), PackedDib::tableColour(pictureIndex(x, y)));
        }
    }
    EXPECT_EQ(at(shot, 25, 6), RGB(9, 9, 9));
    EXPECT_EQ(at(shot, 5, 16), RGB(9, 9, 9));
}

TEST_F(Dibs, PaletteIndexTablesGoThroughTheSelectedPalette) {
    fillScreen(RGB(9, 9, 9));
    std::vector<uint8_t> record(4 + 4 * 3);
    auto* logical = reinterpret_cast<LOGPALETTE*>(record.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = 3;
    logical->palPalEntry[0] = PALETTEENTRY{10, 20, 30, 0};
    logical->palPalEntry[1] = PALETTEENTRY{40, 50, 60, 0};
    logical->palPalEntry[2] = PALETTEENTRY{70, 80, 90, 0};
    const HPALETTE palette = CreatePalette(logical);
    SelectPalette(dc(), palette, FALSE);
    // A 2 x 1 4-bit picture whose table holds palette indices 2 and 1.
    std::vector<uint8_t> dib(sizeof(BITMAPINFOHEADER) + 2 * 16 + 4);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = 2;
    header.biHeight = 1;
    header.biPlanes = 1;
    header.biBitCount = 4;
    header.biClrUsed = 2;
    std::memcpy(dib.data(), &header, sizeof(header));
    const WORD indices[] = {2, 1};
    std::memcpy(dib.data() + sizeof(header), indices, sizeof(indices));
    uint8_t* bits = dib.data() + sizeof(header) + 2 * 16;
    bits[0] = 0x01; // pixel 0 uses table entry 0, pixel 1 entry 1
    EXPECT_EQ(SetDIBitsToDevice(dc(), 0, 0, 2, 1, 0, 0, 0, 1, bits,
                                reinterpret_cast<BITMAPINFO*>(dib.data()), DIB_PAL_COLORS),
              1);
    EXPECT_EQ(GetPixel(dc(), 0, 0), RGB(70, 80, 90));
    EXPECT_EQ(GetPixel(dc(), 1, 0), RGB(40, 50, 60));
    SelectPalette(dc(), static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
    EXPECT_TRUE(DeleteObject(palette));
}

} // namespace

TEST(RunLengthDecoder, RunsAndEscapesLandInsideThePicture) {
    // A 6 x 3 picture, storage order (bottom row first), starting from 9s.
    using Packing = RunLengthDecoder::Packing;
    struct Case {
        const char* what;
        Packing packing;
        std::vector<uint8_t> data;
        bool ok;
        std::vector<uint8_t> rows; // 18 bytes, bottom row first
    };
    const std::vector<uint8_t> nines(18, 9);
    const Case cases[] = {
        {"encoded runs",
         Packing::Bytes,
         {3, 1, 2, 2, 0, 0, 6, 3, 0, 1},
         true,
         {1, 1, 1, 2, 2, 9, 3, 3, 3, 3, 3, 3, 9, 9, 9, 9, 9, 9}},
        {"absolute run with pad",
         Packing::Bytes,
         {0, 3, 4, 5, 6, 0, 1, 7, 0, 1},
         true,
         {4, 5, 6, 7, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}},
        {"delta keeps what it skips",
         Packing::Bytes,
         {0, 2, 2, 1, 2, 8, 0, 1},
         true,
         {9, 9, 9, 9, 9, 9, 9, 9, 8, 8, 9, 9, 9, 9, 9, 9, 9, 9}},
        {"runs past the edge are clipped",
         Packing::Bytes,
         {10, 4, 0, 0, 1, 5},
         true,
         {4, 4, 4, 4, 4, 4, 5, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}},
        {"rows past the top are dropped", Packing::Bytes, {0, 2, 0, 200, 3, 1}, true, nines},
        {"no end marker",
         Packing::Bytes,
         {2, 7},
         true,
         {7, 7, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}},
        {"count without value", Packing::Bytes, {2}, false, nines},
        {"delta without offsets", Packing::Bytes, {0, 2, 1}, false, nines},
        {"absolute run cut", Packing::Bytes, {0, 5, 1, 2}, false, nines},
        {"nibble runs alternate",
         Packing::Nibbles,
         {5, 0x12, 0, 0, 7, 0x34, 0, 1},
         true,
         {1, 2, 1, 2, 1, 9, 3, 4, 3, 4, 3, 4, 9, 9, 9, 9, 9, 9}},
        {"nibble absolute runs, the odd byte count padded",
         Packing::Nibbles,
         {0, 3, 0x45, 0x60, 0, 0, 0, 5, 0x12, 0x34, 0x50, 0xEE, 1, 0x88, 0, 1},
         true,
         {4, 5, 6, 9, 9, 9, 1, 2, 3, 4, 5, 8, 9, 9, 9, 9, 9, 9}},
        {"nibble absolute run cut", Packing::Nibbles, {0, 5, 0x12, 0x34}, false, nines},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> pixels = nines;
        RunLengthDecoder decoder(pixels.data(), 6, 3, 6, c.packing);
        EXPECT_EQ(decoder.apply(c.data.data(), c.data.size()), c.ok) << c.what;
        EXPECT_EQ(pixels, c.rows) << c.what;
    }

    // Rows padded past the picture's width: the padding is never written.
    std::vector<uint8_t> padded(24, 9);
    const std::vector<uint8_t> data{10, 4, 0, 0, 0, 8, 1, 2, 3, 4, 5, 6, 7, 8, 0, 1};
    RunLengthDecoder decoder(padded.data(), 6, 3, 8, Packing::Bytes);
    EXPECT_TRUE(decoder.apply(data.data(), data.size()));
    EXPECT_EQ(padded, (std::vector<uint8_t>{4, 4, 4, 4, 4, 4, 9, 9, 1, 2, 3, 4,
                                            5, 6, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}));
}

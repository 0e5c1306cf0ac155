#include "loader/author/PlaceholderPicture.h"

#include <cstdint>

namespace loader::author {

namespace {
const int kFileHeaderBytes = 14;
const int kInfoHeaderBytes = 40;
const int kFrame = 6; // pixels of the frame around the picture

struct Rgb {
    uint8_t red, green, blue;
};

// The 16 colours every 16-colour Windows display has, in their usual order.
const Rgb kDisplayColours[16] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                 {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                 {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                 {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
// Indexes of that table the 16-colour picture is drawn with.
const int kNavy = 4;
const int kTeal = 6;
const int kGrey = 8;

void putLittle(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// The 256-colour picture's palette: 0 to 191 a ramp from navy to teal for
// the background, 192 to 255 a ramp of greys for the frame and the band.
Rgb rampColour(int index) {
    if (index < 192) {
        return {0, static_cast<uint8_t>(index * 96 / 191), static_cast<uint8_t>(80 + index / 4)};
    }
    uint8_t grey = static_cast<uint8_t>(64 + (index - 192) * 2);
    return {grey, grey, grey};
}

// Which colour index the pixel at (x, y), counted from the top left, has.
int pixelIndex(int x, int y, int width, int height, int bitCount) {
    bool frame = x < kFrame || y < kFrame || x >= width - kFrame || y >= height - kFrame;
    // A slanted band on the left, where right-aligned items do not stand.
    int bandLeft = width / 8 + (height - y) / 4;
    bool band = x >= bandLeft && x < bandLeft + width / 10;
    if (bitCount == 4) {
        return frame ? kGrey : band ? kTeal : kNavy;
    }
    if (frame) {
        return 192 + 63 * y / (height - 1) / 2;
    }
    int shade = 191 * y / (height - 1);
    return band ? 192 + 16 + shade / 8 : shade;
}
} // namespace

std::string PlaceholderPicture::bmp(int width, int height, int bitCount) {
    const int colours = 1 << bitCount;
    const int stride = (width * bitCount + 31) / 32 * 4;
    const uint32_t bitsOffset = kFileHeaderBytes + kInfoHeaderBytes + 4 * colours;
    const uint32_t imageBytes = static_cast<uint32_t>(stride) * static_cast<uint32_t>(height);
    std::string out = "BM";
    putLittle(out, bitsOffset + imageBytes, 4);
    putLittle(out, 0, 4);
    putLittle(out, bitsOffset, 4);
    putLittle(out, kInfoHeaderBytes, 4);
    putLittle(out, static_cast<uint32_t>(width), 4);
    putLittle(out, static_cast<uint32_t>(height), 4); // positive: rows bottom-up
    putLittle(out, 1, 2);
    putLittle(out, static_cast<uint32_t>(bitCount), 2);
    putLittle(out, 0, 4); // BI_RGB
    putLittle(out, imageBytes, 4);
    putLittle(out, 2835, 4); // 72 dots per inch
    putLittle(out, 2835, 4);
    putLittle(out, static_cast<uint32_t>(colours), 4);
    putLittle(out, 0, 4);
    for (int i = 0; i < colours; ++i) {
        Rgb colour = bitCount == 4 ? kDisplayColours[i] : rampColour(i);
        out.push_back(static_cast<char>(colour.blue));
        out.push_back(static_cast<char>(colour.green));
        out.push_back(static_cast<char>(colour.red));
        out.push_back('\0');
    }
    for (int row = height - 1; row >= 0; --row) {
        std::string line(static_cast<size_t>(stride), '\0');
        for (int x = 0; x < width; ++x) {
            int index = pixelIndex(x, row, width, height, bitCount);
            if (bitCount == 8) {
                line[static_cast<size_t>(x)] = static_cast<char>(index);
            } else {
                char& pair = line[static_cast<size_t>(x / 2)];
                pair = static_cast<char>(pair | (x % 2 == 0 ? index << 4 : index));
            }
        }
        out += line;
    }
    return out;
}

} // namespace loader::author

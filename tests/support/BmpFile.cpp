#include "tests/support/BmpFile.h"

#include <cstdlib>

namespace corvane_test {

namespace {
void put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, DWORD value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void putPixel(std::string& row, int x, int bitCount, int value) {
    if (bitCount >= 8) {
        for (int i = 0; i < bitCount / 8; ++i) {
            row[x * bitCount / 8 + i] = static_cast<char>(value);
        }
        return;
    }
    int bit = x * bitCount;
    int shift = 8 - bitCount - bit % 8;
    row[bit / 8] = static_cast<char>(row[bit / 8] | (value & ((1 << bitCount) - 1)) << shift);
}
} // namespace

int BmpFile::stride() const {
    return ((std::abs(width) * bitCount + 31) / 32) * 4;
}

int BmpFile::tableEntries() const {
    return bitCount <= 8 && bitCount > 0 ? 1 << bitCount : 0;
}

DWORD BmpFile::bitsOffset() const {
    return 14 + headerSize + 4 * tableEntries();
}

std::string BmpFile::bytes() const {
    int rows = std::abs(height);
    DWORD imageSize = static_cast<DWORD>(stride() * rows);
    std::string out = signature.substr(0, 2);
    put32(out, bitsOffset() + imageSize);
    put32(out, 0);
    put32(out, bitsOffset());

    std::string header;
    put32(header, headerSize);
    put32(header, static_cast<DWORD>(width));
    put32(header, static_cast<DWORD>(height));
    put16(header, static_cast<unsigned>(planes));
    put16(header, static_cast<unsigned>(bitCount));
    put32(header, compression);
    put32(header, imageSize);
    put32(header, 2835);
    put32(header, 2835);
    put32(header, 0);
    put32(header, 0);
    header.resize(headerSize, '\0');
    out += header;

    for (int i = 0; i < tableEntries(); ++i) {
        COLORREF colour = i < static_cast<int>(palette.size()) ? palette[i] : 0;
        out += static_cast<char>(GetBValue(colour));
        out += static_cast<char>(GetGValue(colour));
        out += static_cast<char>(GetRValue(colour));
        out += '\0';
    }
    for (int stored = 0; stored < rows; ++stored) {
        int y = height > 0 ? rows - 1 - stored : stored;
        std::string row(static_cast<size_t>(stride()), '\0');
        for (int x = 0; x < std::abs(width); ++x) {
            putPixel(row, x, bitCount, pixel(x, y));
        }
        out += row;
    }
    return out;
}

} // namespace corvane_test

#include "tests/emu/gdi/ScreenFixture.h"

#include <cstring>

namespace corvane_test {

void ScreenFixture::bootScreen(int width, int height, int depth, std::optional<UINT> codePage) {
    emu::MachineConfig& config = m_machine.config();
    config.codePage = codePage;
    config.screenWidth = width;
    config.screenHeight = height;
    config.screenDepth = depth;
    m_machine.boot();
    m_dc = emu::gdi::createDeviceContext(POINT{0, 0}, {RECT{0, 0, width, height}});
}

void ScreenFixture::TearDown() {
    if (m_dc) {
        emu::gdi::destroyDeviceContext(m_dc);
        m_dc = nullptr;
    }
    m_machine.shutdown();
}

std::vector<COLORREF> ScreenFixture::snapshot() const {
    emu::gdi::FrameBuffer& s = emu::gdi::screen();
    std::vector<COLORREF> shot;
    shot.reserve(static_cast<size_t>(s.width()) * s.height());
    for (int y = 0; y < s.height(); ++y) {
        for (int x = 0; x < s.width(); ++x) {
            shot.push_back(s.pixel(x, y));
        }
    }
    return shot;
}

void ScreenFixture::paintPattern() {
    emu::gdi::FrameBuffer& s = emu::gdi::screen();
    for (int y = 0; y < s.height(); ++y) {
        for (int x = 0; x < s.width(); ++x) {
            SetPixel(m_dc, x, y,
                     RGB((x * 37 + y * 11) & 0xFF, (x * 5 + y * 71) & 0xFF, (x ^ y) & 0xFF));
        }
    }
}

void ScreenFixture::fillScreen(COLORREF colour) {
    emu::gdi::FrameBuffer& s = emu::gdi::screen();
    const HBRUSH brush = CreateSolidBrush(colour);
    const RECT all{0, 0, s.width(), s.height()};
    FillRect(m_dc, &all, brush);
    DeleteObject(brush);
}

COLORREF PackedDib::tableColour(int i) {
    return RGB((i * 53) & 0xFF, (i * 97 + 30) & 0xFF, (255 - i * 29) & 0xFF);
}

PackedDib::PackedDib(int width, int height, int bitCount, bool topDown,
                     const std::function<int(int, int)>& index) {
    const int colours = 1 << bitCount;
    const size_t stride = ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
    m_bitsOffset = sizeof(BITMAPINFOHEADER) + 4 * colours;
    m_data.assign(m_bitsOffset + stride * height, 0);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = topDown ? -height : height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bitCount);
    header.biCompression = BI_RGB;
    std::memcpy(m_data.data(), &header, sizeof(header));
    for (int i = 0; i < colours; ++i) {
        const COLORREF c = tableColour(i);
        uint8_t* q = m_data.data() + sizeof(BITMAPINFOHEADER) + 4 * i;
        q[0] = GetBValue(c);
        q[1] = GetGValue(c);
        q[2] = GetRValue(c);
    }
    for (int y = 0; y < height; ++y) {
        const int storageRow = topDown ? y : height - 1 - y;
        uint8_t* row = m_data.data() + m_bitsOffset + stride * storageRow;
        for (int x = 0; x < width; ++x) {
            const int bit = x * bitCount;
            const int shift = 8 - bitCount - (bit % 8);
            row[bit / 8] |= static_cast<uint8_t>((index(x, y) & (colours - 1)) << shift);
        }
    }
}

} // namespace corvane_test

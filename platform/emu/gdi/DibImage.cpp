#include "platform/emu/gdi/DibImage.h"

#include "platform/emu/gdi/RunLengthDecoder.h"

#include <algorithm>
#include <cstring>

namespace emu::gdi {

namespace {

constexpr LONG kMaxSide = 32768;
constexpr size_t kMaxBytes = size_t{1} << 28;

bool supportedFormat(WORD bpp, DWORD compression) {
    switch (compression) {
    case BI_RGB:
        return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    case BI_RLE8:
        return bpp == 8;
    case BI_RLE4:
        return bpp == 4;
    default:
        return false;
    }
}

// A header inside a BMP file starts at offset 14, which its 32-bit fields are
// not aligned to: it is copied out rather than read in place.
BITMAPINFOHEADER headerOf(const BITMAPINFO* info) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, info, sizeof header);
    return header;
}

} // namespace

std::optional<DibImage> DibImage::open(const Source& source, FrameBuffer& frameBuffer) {
    if (!source.info || !source.bits) {
        return std::nullopt;
    }
    const BITMAPINFOHEADER h = headerOf(source.info);
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biWidth > kMaxSide || h.biHeight > kMaxSide || h.biHeight < -kMaxSide ||
        !supportedFormat(h.biBitCount, h.biCompression)) {
        return std::nullopt;
    }
    DibImage image;
    image.m_frameBuffer = &frameBuffer;
    image.m_width = h.biWidth;
    image.m_height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    image.m_bottomUp = h.biHeight > 0;
    image.m_bpp = h.biBitCount;
    image.m_stride = ((static_cast<size_t>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
    if (image.m_stride * image.m_height > kMaxBytes) {
        return std::nullopt;
    }
    const auto* bits = static_cast<const uint8_t*>(source.bits);
    if (h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4) {
        if (!image.m_bottomUp || h.biSizeImage == 0 ||
            !image.decodeRunLength(bits, h.biSizeImage)) {
            return std::nullopt;
        }
    } else {
        image.m_bits = bits;
        image.m_firstScan = std::clamp(source.firstScan, 0, image.m_height);
        const int available = image.m_height - image.m_firstScan;
        image.m_scanCount =
            source.scanCount < 0 ? available : std::min(source.scanCount, available);
    }
    if (!image.readColourTable(source, frameBuffer)) {
        return std::nullopt;
    }
    return image;
}

bool DibImage::decodeRunLength(const uint8_t* bits, size_t size) {
    m_decoded.assign(static_cast<size_t>(m_width) * m_height, 0);
    // Damaged data is drawn as far as it goes, the rest of the picture index 0.
    RunLengthDecoder(m_decoded.data(), m_width, m_height, static_cast<size_t>(m_width),
                     m_bpp == 4 ? RunLengthDecoder::Packing::Nibbles
                                : RunLengthDecoder::Packing::Bytes)
        .apply(bits, size);
    m_bpp = 8;
    m_stride = static_cast<size_t>(m_width);
    m_bits = m_decoded.data();
    m_firstScan = 0;
    m_scanCount = m_height;
    return true;
}

bool DibImage::readColourTable(const Source& source, FrameBuffer& frameBuffer) {
    const BITMAPINFOHEADER h = headerOf(source.info);
    if (h.biBitCount > 8) {
        return true;
    }
    const size_t full = size_t{1} << h.biBitCount;
    const size_t count = h.biClrUsed != 0 && h.biClrUsed < full ? h.biClrUsed : full;
    const auto* table = reinterpret_cast<const uint8_t*>(source.info) + h.biSize;
    // Indices beyond the table show black.
    m_colours.assign(full, frameBuffer.deviceColour(RGB(0, 0, 0)));
    for (size_t i = 0; i < count; ++i) {
        if (source.usage == DIB_PAL_COLORS) {
            const auto* indices = reinterpret_cast<const WORD*>(table);
            const auto* palette = source.logicalPalette;
            if (palette && indices[i] < palette->size()) {
                const PALETTEENTRY& e = (*palette)[indices[i]];
                m_colours[i] = frameBuffer.deviceColour(RGB(e.peRed, e.peGreen, e.peBlue));
            }
        } else if (source.usage == DIB_RGB_COLORS) {
            const uint8_t* q = table + 4 * i;
            m_colours[i] = frameBuffer.deviceColour(RGB(q[2], q[1], q[0]));
        } else {
            return false;
        }
    }
    return true;
}

bool DibImage::hasRow(int rowFromTop) const {
    if (rowFromTop < 0 || rowFromTop >= m_height) {
        return false;
    }
    const int scan = storageIndex(rowFromTop);
    return scan >= m_firstScan && scan < m_firstScan + m_scanCount;
}

const uint8_t* DibImage::row(int rowFromTop) const {
    return m_bits + static_cast<size_t>(storageIndex(rowFromTop) - m_firstScan) * m_stride;
}

void DibImage::rowColours(const uint8_t* row, COLORREF* out) const {
    // The palette formats read their table straight; the others go through
    // colour() for the frame buffer's device colour.
    switch (m_bpp) {
    case 8:
        for (int x = 0; x < m_width; ++x) {
            out[x] = m_colours[row[x]];
        }
        return;
    case 4:
        for (int x = 0; x < m_width; ++x) {
            out[x] = m_colours[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
        }
        return;
    default:
        for (int x = 0; x < m_width; ++x) {
            out[x] = colour(row, x);
        }
    }
}

COLORREF DibImage::colour(const uint8_t* row, int x) const {
    switch (m_bpp) {
    case 1:
        return m_colours[(row[x >> 3] >> (7 - (x & 7))) & 1];
    case 4:
        return m_colours[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
    case 8:
        return m_colours[row[x]];
    case 16: {
        const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
        const auto widen = [](unsigned c) { return static_cast<BYTE>((c << 3) | (c >> 2)); };
        return m_frameBuffer->deviceColour(
            RGB(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31)));
    }
    case 24:
        return m_frameBuffer->deviceColour(RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
    default:
        return m_frameBuffer->deviceColour(RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]));
    }
}

} // namespace emu::gdi

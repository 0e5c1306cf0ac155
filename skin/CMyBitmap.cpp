#include "skin/CMyBitmap.h"

#include "platform/framework/CDC.h"

#include <vector>

IMPLEMENT_DYNCREATE(CMyBitmap, CObject)

namespace {
// BITMAPFILEHEADER and BITMAPINFOHEADER as they lie in the file.
const DWORD kFileHeaderSize = 14;
const DWORD kInfoHeaderSize = 40;
const DWORD kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
// Larger sides are no background picture; refusing them also keeps every
// size computed below far from overflowing.
const long long kMaxSide = 16384;

// The fields are read byte by byte: the header starts at file offset 14,
// which no 32-bit field of it is aligned to.
DWORD ReadDword(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 |
           static_cast<DWORD>(p[2]) << 16 | static_cast<DWORD>(p[3]) << 24;
}

WORD ReadWord(const BYTE* p) {
    return static_cast<WORD>(p[0] | p[1] << 8);
}

LONG ReadLong(const BYTE* p) {
    return static_cast<LONG>(ReadDword(p));
}

// Offset of the pixel data's file offset in the file header.
const int kBitsOffsetField = 10;
// Offsets inside the information header.
const int kBiWidth = 4;
const int kBiHeight = 8;
const int kBiPlanes = 12;
const int kBiBitCount = 14;
const int kBiCompression = 16;

// Entries in the colour table: 1 << bit count for the counts a palette can
// describe, 0 for every other count (16, 24 and 32 bits have no palette;
// other counts are no BMP layout at all).
int ColourTableEntries(int bitCount) {
    if (bitCount == 1 || bitCount == 4 || bitCount == 8) {
        return 1 << bitCount;
    }
    return 0;
}
} // namespace

CMyBitmap::CMyBitmap() = default;

CMyBitmap::~CMyBitmap() {
    m_palette.DeleteObject();
    m_bitmap.DeleteObject();
    if (m_pView != nullptr) {
        UnmapViewOfFile(m_pView);
    }
    if (m_hMapping != nullptr) {
        CloseHandle(m_hMapping);
    }
    if (m_hFile != nullptr) {
        CloseHandle(m_hFile);
    }
}

int CMyBitmap::Load(LPCSTR fileName, CDC* pDC) {
    if (!MapFile(fileName)) {
        return 0;
    }
    DWORD sizeHigh = 0;
    DWORD fileSize = GetFileSize(m_hFile, &sizeHigh);
    if (fileSize == INVALID_FILE_SIZE || sizeHigh != 0) {
        return 0;
    }
    const BYTE* file = static_cast<const BYTE*>(m_pView);
    if (fileSize < 2 || file[0] != 'B' || file[1] != 'M') {
        return 0;
    }
    if (fileSize < kFileHeaderSize + 4 || ReadDword(file + kFileHeaderSize) != kInfoHeaderSize) {
        return 0;
    }
    if (!CheckLayout(fileSize)) {
        return 0;
    }
    const BYTE* info = file + kFileHeaderSize;
    m_pHeader = reinterpret_cast<const BITMAPINFO*>(info);
    m_pBits = file + ReadDword(file + kBitsOffsetField);
    m_width = ReadLong(info + kBiWidth);
    // A negative height marks a top-down picture; it stays negative in the
    // header, where the platform reads the row order from it, while the
    // object keeps the row count for the picture's size and the stretch.
    LONG height = ReadLong(info + kBiHeight);
    m_height = height < 0 ? -height : height;
    m_planes = ReadWord(info + kBiPlanes);
    m_bitCount = ReadWord(info + kBiBitCount);

    if (!BuildPalette(reinterpret_cast<const BITMAPINFOHEADER*>(info), pDC)) {
        return 0;
    }
    // Never drawn; the device bitmap only has to exist with the picture.
    if (!m_bitmap.CreateBitmap(m_width, m_height, m_planes, m_bitCount, m_pBits)) {
        return 0;
    }
    return 1;
}

int CMyBitmap::MapFile(LPCSTR fileName) {
    HANDLE hFile = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_READONLY, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        return 0;
    }
    m_hFile = hFile;
    m_hMapping = CreateFileMappingA(m_hFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (m_hMapping == nullptr) {
        return 0;
    }
    m_pView = MapViewOfFile(m_hMapping, FILE_MAP_READ, 0, 0, 0);
    return m_pView != nullptr ? 1 : 0;
}

// Everything that drawing and the device bitmap will read must lie inside the
// file: the header, the whole colour table and every row of pixels.
// Compressed pictures are refused: the device bitmap is made from the bits
// as though they were plain rows, which would read past run-length data
// shorter than those rows.
int CMyBitmap::CheckLayout(DWORD fileSize) const {
    if (fileSize < kHeadersSize) {
        return 0;
    }
    const BYTE* file = static_cast<const BYTE*>(m_pView);
    const BYTE* info = file + kFileHeaderSize;
    long long width = ReadLong(info + kBiWidth);
    long long height = ReadLong(info + kBiHeight);
    long long rows = height < 0 ? -height : height;
    int bitCount = ReadWord(info + kBiBitCount);
    int entries = ColourTableEntries(bitCount);
    if (width <= 0 || width > kMaxSide || rows == 0 || rows > kMaxSide) {
        return 0;
    }
    if (ReadWord(info + kBiPlanes) != 1 || entries == 0 ||
        ReadDword(info + kBiCompression) != BI_RGB) {
        return 0;
    }
    if (kHeadersSize + 4LL * entries > fileSize) {
        return 0;
    }
    long long stride = (width * bitCount + 31) / 32 * 4;
    long long bitsOffset = ReadDword(file + kBitsOffsetField);
    return bitsOffset + stride * rows <= fileSize ? 1 : 0;
}

int CMyBitmap::BuildPalette(const BITMAPINFOHEADER* pHeader, CDC* pDC) {
    const BYTE* info = reinterpret_cast<const BYTE*>(pHeader);
    int entries = ColourTableEntries(ReadWord(info + kBiBitCount));
    if (entries == 0) {
        return 0;
    }
    // The table is taken from right behind the 40-byte header whatever the
    // header's count of used colours says.
    const BYTE* table = info + kInfoHeaderSize;
    std::vector<BYTE> record(4 + 4 * entries);
    LOGPALETTE* pLogPalette = reinterpret_cast<LOGPALETTE*>(record.data());
    pLogPalette->palVersion = 0x300;
    pLogPalette->palNumEntries = static_cast<WORD>(entries);
    PALETTEENTRY* pEntries = pLogPalette->palPalEntry;
    for (int i = 0; i < entries; ++i) {
        const BYTE* quad = table + 4 * i;
        PALETTEENTRY& entry = pEntries[i];
        entry.peRed = quad[2];
        entry.peGreen = quad[1];
        entry.peBlue = quad[0];
        entry.peFlags = PC_RESERVED;
    }
    if (!m_palette.CreatePalette(pLogPalette)) {
        return 0;
    }
    if (pDC->GetDeviceCaps(RASTERCAPS) & RC_PALETTE) {
        pDC->SelectPalette(&m_palette, FALSE);
        pDC->RealizePalette();
    }
    return 1;
}

int CMyBitmap::Draw(CDC* pDC, const RECT& rect) {
    pDC->SetStretchBltMode(COLORONCOLOR);
    pDC->SelectPalette(&m_palette, FALSE);
    pDC->RealizePalette();
    return pDC->StretchDIBits(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                              0, 0, m_width, m_height, m_pBits, m_pHeader, DIB_RGB_COLORS, SRCCOPY);
}

RECT CMyBitmap::GetPictureRect() const {
    RECT rect = {0, 0, m_width, m_height};
    return rect;
}

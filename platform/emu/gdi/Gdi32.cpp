// The gdi32 functions of the emulated machine.
#include "platform/emu/gdi/DibStretcher.h"
#include "platform/emu/gdi/FontEngine.h"
#include "platform/emu/gdi/GdiCall.h"
#include "platform/emu/gdi/TextPainter.h"
#include "platform/win32.h"

#include <algorithm>
#include <cstring>

using emu::gdi::Bitmap;
using emu::gdi::Brush;
using emu::gdi::DibImage;
using emu::gdi::DibStretcher;
using emu::gdi::Font;
using emu::gdi::FontEngine;
using emu::gdi::GdiCall;
using emu::gdi::LinePen;
using emu::gdi::Palette;
using emu::gdi::Pen;
using emu::gdi::SignedRect;
using emu::gdi::TextPainter;

namespace {

constexpr int kPsInsideFrame = 6;
constexpr int kScreenDpi = 96;
constexpr WORD kPaletteVersion = 0x300;
constexpr size_t kMaxBitmapBytes = size_t{1} << 26;

LinePen linePen(GdiCall& call) {
    const Pen* pen = call.objects().get<Pen>(call.state().pen);
    LinePen out;
    if (!pen) {
        return out;
    }
    out.colour = call.shown(pen->colour);
    out.gapColour = call.shown(call.state().bkColour);
    out.width = std::max(pen->width, 1);
    // Styles apply to one-pixel pens only; wider ones draw solid.
    out.dotted = pen->style == PS_DOT && out.width == 1;
    out.drawGaps = call.state().bkMode == OPAQUE;
    out.rop2 = call.state().rop2;
    return out;
}

bool penIsNull(GdiCall& call) {
    const Pen* pen = call.objects().get<Pen>(call.state().pen);
    return !pen || pen->style == PS_NULL;
}

// A packed DIB as a drawing call gives it, its colour indices (for
// DIB_PAL_COLORS) into the context's palette.
DibImage::Source dibSource(GdiCall& call, const BITMAPINFO* info, const void* bits, UINT usage) {
    DibImage::Source source;
    source.info = info;
    source.bits = bits;
    source.usage = usage;
    source.logicalPalette = call.gdi().paletteEntries(call.state().palette);
    return source;
}

bool validText(LPCSTR text, int count) {
    return count >= 0 && (count == 0 || text);
}

} // namespace

HGDIOBJ WINAPI GetStockObject(int i) {
    GdiCall call;
    return call.objects().stock(i);
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    GdiCall call(hdc);
    emu::gdi::GdiObject* object = call.objects().find(h);
    if (!call.dc() || !object) {
        return nullptr;
    }
    if (std::holds_alternative<Pen>(*object)) {
        return call.dc()->selectPen(static_cast<HPEN>(h));
    }
    if (std::holds_alternative<Brush>(*object)) {
        return call.dc()->selectBrush(static_cast<HBRUSH>(h));
    }
    if (std::holds_alternative<Font>(*object)) {
        return call.dc()->selectFont(static_cast<HFONT>(h));
    }
    // Bitmaps go only into memory contexts, palettes only through
    // SelectPalette: neither can be selected into a screen context.
    return nullptr;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
    GdiCall call;
    if (!call.objects().find(ho)) {
        return FALSE;
    }
    if (call.objects().isStock(ho)) {
        return TRUE; // stock objects are never deleted; asking is harmless
    }
    if (call.gdi().selectedAnywhere(ho)) {
        return FALSE;
    }
    return call.objects().remove(ho) ? TRUE : FALSE;
}

HPALETTE WINAPI SelectPalette(HDC hdc, HPALETTE hPal, BOOL) {
    GdiCall call(hdc);
    if (!call.dc() || !call.gdi().paletteEntries(hPal)) {
        return nullptr;
    }
    return call.dc()->selectPalette(hPal);
}

UINT WINAPI RealizePalette(HDC hdc) {
    GdiCall call(hdc);
    if (!call.dc()) {
        return GDI_ERROR;
    }
    const auto* entries = call.gdi().paletteEntries(call.state().palette);
    if (!entries || !call.frameBuffer().palette().isPaletteDevice()) {
        return 0;
    }
    return call.frameBuffer().palette().realize(*entries);
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
    GdiCall call(hdc);
    return call.dc() ? call.dc()->setTextColour(color) : CLR_INVALID;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
    GdiCall call(hdc);
    return call.dc() ? call.dc()->setBkColour(color) : CLR_INVALID;
}

int WINAPI SetBkMode(HDC hdc, int mode) {
    GdiCall call(hdc);
    if (!call.dc() || (mode != TRANSPARENT && mode != OPAQUE)) {
        return 0;
    }
    return call.dc()->setBkMode(mode);
}

int WINAPI SaveDC(HDC hdc) {
    GdiCall call(hdc);
    return call.dc() ? call.dc()->save() : 0;
}

BOOL WINAPI RestoreDC(HDC hdc, int nSavedDC) {
    GdiCall call(hdc);
    return call.dc() && call.dc()->restore(nSavedDC) ? TRUE : FALSE;
}

int WINAPI SetROP2(HDC hdc, int rop2) {
    GdiCall call(hdc);
    if (!call.dc() || rop2 < R2_BLACK || rop2 > R2_WHITE) {
        return 0;
    }
    return call.dc()->setRop2(rop2);
}

int WINAPI SetStretchBltMode(HDC hdc, int mode) {
    GdiCall call(hdc);
    if (!call.dc() || mode < BLACKONWHITE || mode > HALFTONE) {
        return 0;
    }
    return call.dc()->setStretchMode(mode);
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl) {
    GdiCall call(hdc);
    if (!call.dc() || !psizl || !validText(lpString, c)) {
        return FALSE;
    }
    emu::gdi::FontFace* face = call.face();
    if (!face) {
        return FALSE;
    }
    TextPainter painter(*face);
    psizl->cx = painter.width(std::string_view(lpString ? lpString : "", c));
    psizl->cy = painter.cellHeight();
    return TRUE;
}

BOOL WINAPI GetTextExtentPointA(HDC hdc, LPCSTR lpString, int c, LPSIZE lpsz) {
    return GetTextExtentPoint32A(hdc, lpString, c, lpsz);
}

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c) {
    GdiCall call(hdc);
    if (!call.dc() || !validText(lpString, c)) {
        return FALSE;
    }
    emu::gdi::FontFace* face = call.face();
    if (!face) {
        return FALSE;
    }
    TextPainter painter(*face);
    emu::gdi::Rasteriser out = call.rasteriser();
    painter.draw(out, x, y, std::string_view(lpString ? lpString : "", c), call.textColours());
    return TRUE;
}

BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt) {
    GdiCall call(hdc);
    if (!call.dc()) {
        return FALSE;
    }
    const POINT previous = call.dc()->moveTo(POINT{x, y});
    if (lppt) {
        *lppt = previous;
    }
    return TRUE;
}

BOOL WINAPI LineTo(HDC hdc, int x, int y) {
    GdiCall call(hdc);
    if (!call.dc()) {
        return FALSE;
    }
    const POINT from = call.dc()->moveTo(POINT{x, y});
    if (!penIsNull(call)) {
        emu::gdi::Rasteriser out = call.rasteriser();
        out.line(from, POINT{x, y}, linePen(call));
    }
    return TRUE;
}

BOOL WINAPI FloodFill(HDC hdc, int x, int y, COLORREF color) {
    GdiCall call(hdc);
    if (!call.dc()) {
        return FALSE;
    }
    const Brush* brush = call.objects().get<Brush>(call.state().brush);
    emu::gdi::Rasteriser out = call.rasteriser();
    const COLORREF border = call.shown(color);
    if (!brush || brush->hollow) {
        const COLORREF start = out.get(x, y);
        return start != CLR_INVALID && start != border ? TRUE : FALSE;
    }
    return out.floodFill(POINT{x, y}, border, call.shown(brush->colour)) ? TRUE : FALSE;
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    GdiCall call(hdc);
    if (!call.dc()) {
        return FALSE;
    }
    RECT r{std::min(left, right), std::min(top, bottom), std::max(left, right),
           std::max(top, bottom)};
    const bool outlined = !penIsNull(call);
    const Brush* brush = call.objects().get<Brush>(call.state().brush);
    emu::gdi::Rasteriser out = call.rasteriser();
    if (brush && !brush->hollow) {
        // Without a pen the filled area loses the right and bottom edge; with
        // one the outline takes the outermost pixels.
        const RECT inside = outlined ? RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}
                                     : RECT{r.left, r.top, r.right - 1, r.bottom - 1};
        out.fill(inside, call.shown(brush->colour), call.state().rop2);
    }
    if (outlined && r.right - r.left >= 1 && r.bottom - r.top >= 1) {
        const LinePen pen = linePen(call);
        const POINT corners[] = {{r.left, r.top},
                                 {r.left, r.bottom - 1},
                                 {r.right - 1, r.bottom - 1},
                                 {r.right - 1, r.top},
                                 {r.left, r.top}};
        for (int i = 0; i < 4; ++i) {
            out.line(corners[i], corners[i + 1], pen);
        }
    }
    return TRUE;
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
    GdiCall call(hdc);
    if (!call.dc()) {
        return CLR_INVALID;
    }
    const COLORREF shown = call.shown(color);
    emu::gdi::Rasteriser out = call.rasteriser();
    return out.set(x, y, shown, R2_COPYPEN) ? shown : CLR_INVALID;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
    GdiCall call(hdc);
    if (!call.dc()) {
        return CLR_INVALID;
    }
    return call.rasteriser().get(x, y);
}

HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color) {
    if (iStyle < PS_SOLID || iStyle > kPsInsideFrame) {
        return nullptr;
    }
    GdiCall call;
    return static_cast<HPEN>(call.objects().add(Pen{iStyle, std::max(cWidth, 1), color}));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    GdiCall call;
    return static_cast<HBRUSH>(call.objects().add(Brush{color & 0x00FFFFFF, false}));
}

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lplf) {
    if (!lplf) {
        return nullptr;
    }
    Font font;
    std::memcpy(&font.logical, lplf, sizeof(LOGFONTA));
    // The face name may fill all 32 bytes without a terminator; keep 31.
    const std::string face = FontEngine::faceName(*lplf).substr(0, LF_FACESIZE - 1);
    std::memset(font.logical.lfFaceName, 0, LF_FACESIZE);
    std::memcpy(font.logical.lfFaceName, face.data(), face.size());
    GdiCall call;
    const HFONT handle = static_cast<HFONT>(call.objects().add(std::move(font)));
    if (!call.gdi().face(handle)) {
        call.objects().remove(handle);
        return nullptr;
    }
    return handle;
}

HPALETTE WINAPI CreatePalette(const LOGPALETTE* plpal) {
    if (!plpal || plpal->palVersion != kPaletteVersion || plpal->palNumEntries == 0) {
        return nullptr;
    }
    Palette palette;
    palette.entries.assign(plpal->palPalEntry, plpal->palPalEntry + plpal->palNumEntries);
    GdiCall call;
    return static_cast<HPALETTE>(call.objects().add(std::move(palette)));
}

HBITMAP WINAPI CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount,
                            const void* lpBits) {
    const int width = nWidth < 0 ? -nWidth : nWidth;
    const int height = nHeight < 0 ? -nHeight : nHeight;
    const bool depthOk = nBitCount == 1 || nBitCount == 4 || nBitCount == 8 || nBitCount == 16 ||
                         nBitCount == 24 || nBitCount == 32;
    if (nPlanes != 1 || !depthOk || width > 32767 || height > 32767) {
        return nullptr;
    }
    Bitmap bitmap;
    bitmap.width = std::max(width, 1);
    bitmap.height = std::max(height, 1);
    bitmap.bitsPerPixel = width == 0 || height == 0 ? 1 : static_cast<int>(nBitCount);
    // Device bitmap rows are padded to 16 bits.
    const size_t stride = ((static_cast<size_t>(bitmap.width) * bitmap.bitsPerPixel + 15) / 16) * 2;
    const size_t bytes = stride * bitmap.height;
    if (bytes > kMaxBitmapBytes) {
        return nullptr;
    }
    bitmap.bits.assign(bytes, 0);
    if (lpBits && width > 0 && height > 0) {
        std::memcpy(bitmap.bits.data(), lpBits, bytes);
    }
    GdiCall call;
    return static_cast<HBITMAP>(call.objects().add(std::move(bitmap)));
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
    GdiCall call(hdc);
    if (!call.dc()) {
        return 0;
    }
    const emu::gdi::FrameBuffer& s = call.frameBuffer();
    const bool palette = s.depth() <= 8;
    switch (index) {
    case HORZRES:
        return s.width();
    case VERTRES:
        return s.height();
    case BITSPIXEL:
        return s.depth();
    case PLANES:
        return 1;
    case NUMCOLORS:
        return palette ? call.frameBuffer().palette().staticCount() : -1;
    case RASTERCAPS:
        return palette ? RC_PALETTE : 0;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return kScreenDpi;
    case SIZEPALETTE:
        return palette ? call.frameBuffer().palette().size() : 0;
    case NUMRESERVED:
        return palette ? call.frameBuffer().palette().staticCount() : 0;
    default:
        return 0;
    }
}

int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc,
                         int ySrc, int SrcWidth, int SrcHeight, const void* lpBits,
                         const BITMAPINFO* lpbmi, UINT iUsage, DWORD rop) {
    GdiCall call(hdc);
    if (!call.dc() || rop != SRCCOPY) {
        return 0;
    }
    const auto image = DibImage::open(dibSource(call, lpbmi, lpBits, iUsage), call.frameBuffer());
    if (!image) {
        return 0;
    }
    // Every stretch mode samples the nearest pixel: the modes differ only
    // when shrinking, and then only in how dropped pixels blend.
    emu::gdi::Rasteriser out = call.rasteriser();
    return DibStretcher(out, *image)
        .stretch(SignedRect{xDest, yDest, DestWidth, DestHeight},
                 SignedRect{xSrc, ySrc, SrcWidth, SrcHeight});
}

int WINAPI SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                             UINT StartScan, UINT cLines, const void* lpvBits,
                             const BITMAPINFO* lpbmi, UINT ColorUse) {
    GdiCall call(hdc);
    if (!call.dc() || cLines == 0 || StartScan > 0x7FFF || cLines > 0x7FFF) {
        return 0;
    }
    DibImage::Source source = dibSource(call, lpbmi, lpvBits, ColorUse);
    source.firstScan = static_cast<int>(StartScan);
    source.scanCount = static_cast<int>(cLines);
    const auto image = DibImage::open(source, call.frameBuffer());
    if (!image) {
        return 0;
    }
    emu::gdi::Rasteriser out = call.rasteriser();
    DibStretcher(out, *image)
        .copy(POINT{xDest, yDest}, POINT{xSrc, ySrc}, static_cast<int>(std::min<DWORD>(w, 0x7FFF)),
              static_cast<int>(std::min<DWORD>(h, 0x7FFF)));
    const auto height = static_cast<UINT>(image->height());
    return StartScan >= height ? 0 : static_cast<int>(std::min(cLines, height - StartScan));
}

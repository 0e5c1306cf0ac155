#include "platform/emu/gdi/ObjectTable.h"

#include "platform/emu/gdi/SystemPalette.h"

#include <cstring>

namespace emu::gdi {

namespace {

// Stock font indices without a name in win32.h.
constexpr int kOemFixedFont = 10;
constexpr int kAnsiFixedFont = 11;
constexpr int kAnsiVarFont = 12;
constexpr int kDeviceDefaultFont = 14;
constexpr int kSystemFixedFont = 16;

constexpr uintptr_t kHandleStep = 4;

LOGFONTA makeLogFont(LONG height, LONG weight, const char* face) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = ANSI_CHARSET;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

Palette defaultPalette() {
    Palette palette;
    for (COLORREF c : SystemPalette::staticColours()) {
        palette.entries.push_back(PALETTEENTRY{GetRValue(c), GetGValue(c), GetBValue(c), 0});
    }
    return palette;
}

} // namespace

LOGFONTA stockLogFont(int index) {
    switch (index) {
    case kOemFixedFont:
    case kAnsiFixedFont:
    case kSystemFixedFont:
        return makeLogFont(16, FW_NORMAL, "Courier New");
    case kAnsiVarFont:
    case DEFAULT_GUI_FONT:
        return makeLogFont(-11, FW_NORMAL, "MS Sans Serif");
    default:
        return makeLogFont(16, FW_BOLD, "System");
    }
}

ObjectTable::ObjectTable() {
    addStockObjects();
}

void ObjectTable::addStockObjects() {
    const std::pair<int, GdiObject> stock[] = {
        {WHITE_BRUSH, Brush{RGB(255, 255, 255), false}},
        {LTGRAY_BRUSH, Brush{RGB(192, 192, 192), false}},
        {GRAY_BRUSH, Brush{RGB(128, 128, 128), false}},
        {DKGRAY_BRUSH, Brush{RGB(64, 64, 64), false}},
        {BLACK_BRUSH, Brush{RGB(0, 0, 0), false}},
        {NULL_BRUSH, Brush{RGB(0, 0, 0), true}},
        {WHITE_PEN, Pen{PS_SOLID, 1, RGB(255, 255, 255)}},
        {BLACK_PEN, Pen{PS_SOLID, 1, RGB(0, 0, 0)}},
        {NULL_PEN, Pen{PS_NULL, 1, RGB(0, 0, 0)}},
        {DEFAULT_PALETTE, defaultPalette()},
    };
    for (const auto& [index, object] : stock) {
        m_stock[index] = insert(object, true);
    }
    for (int font : {kOemFixedFont, kAnsiFixedFont, kAnsiVarFont, SYSTEM_FONT, kDeviceDefaultFont,
                     kSystemFixedFont, DEFAULT_GUI_FONT}) {
        m_stock[font] = insert(Font{stockLogFont(font), nullptr}, true);
    }
}

HGDIOBJ ObjectTable::insert(GdiObject object, bool stock) {
    const uintptr_t key = m_next;
    m_next += kHandleStep;
    m_objects.emplace(key, Entry{std::move(object), stock});
    return reinterpret_cast<HGDIOBJ>(key);
}

GdiObject* ObjectTable::find(HGDIOBJ handle) {
    const auto it = m_objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == m_objects.end() ? nullptr : &it->second.object;
}

bool ObjectTable::isStock(HGDIOBJ handle) const {
    const auto it = m_objects.find(reinterpret_cast<uintptr_t>(handle));
    return it != m_objects.end() && it->second.stock;
}

bool ObjectTable::remove(HGDIOBJ handle) {
    const auto it = m_objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == m_objects.end() || it->second.stock) {
        return false;
    }
    m_objects.erase(it);
    return true;
}

HGDIOBJ ObjectTable::stock(int index) const {
    const auto it = m_stock.find(index);
    return it == m_stock.end() ? nullptr : it->second;
}

HBRUSH ObjectTable::sysColourBrush(int index, COLORREF colour) {
    auto it = m_sysBrushes.find(index);
    if (it == m_sysBrushes.end()) {
        it = m_sysBrushes.emplace(index, static_cast<HBRUSH>(insert(Brush{colour, false}, true)))
                 .first;
    }
    return it->second;
}

} // namespace emu::gdi

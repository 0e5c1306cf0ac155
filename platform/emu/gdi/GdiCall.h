// What every GDI entry point starts with: the display, locked for the whole
// call, and the device context the call names (null when it names none).
#pragma once

#include "platform/emu/gdi/Display.h"
#include "platform/emu/gdi/Rasteriser.h"
#include "platform/emu/gdi/TextPainter.h"

#include <mutex>

namespace emu::gdi {

class GdiCall {
public:
    explicit GdiCall(HDC hdc = nullptr)
        : m_display(Display::current()), m_lock(m_display.lock()), m_dc(m_display.dc(hdc)) {}

    Display& display() { return m_display; }
    Surface& surface() { return m_display.surface(); }
    ObjectTable& objects() { return m_display.objects(); }
    DeviceContext* dc() { return m_dc; }
    const DcState& state() const { return m_dc->state(); }

    Rasteriser rasteriser() {
        return Rasteriser(surface(), m_dc->state().origin, m_dc->state().clip);
    }
    COLORREF shown(COLORREF colour) { return surface().deviceColour(colour); }
    FontFace* face() { return m_display.face(m_dc->state().font); }
    TextColours textColours() {
        return TextColours{shown(state().textColour), shown(state().bkColour),
                           state().bkMode == OPAQUE};
    }

private:
    Display& m_display;
    std::unique_lock<std::mutex> m_lock;
    DeviceContext* m_dc;
};

} // namespace emu::gdi

// What every GDI entry point starts with: GDI's state, locked for the whole
// call, and the device context the call names (null when it names none).
#pragma once

#include "platform/emu/gdi/GdiState.h"
#include "platform/emu/gdi/Rasteriser.h"
#include "platform/emu/gdi/TextPainter.h"

#include <mutex>

namespace emu::gdi {

class GdiCall {
public:
    explicit GdiCall(HDC hdc = nullptr)
        : m_gdi(GdiState::current()), m_lock(m_gdi.lock()), m_dc(m_gdi.dc(hdc)) {}

    GdiState& gdi() { return m_gdi; }
    FrameBuffer& frameBuffer() { return m_gdi.frameBuffer(); }
    ObjectTable& objects() { return m_gdi.objects(); }
    DeviceContext* dc() { return m_dc; }
    const DcState& state() const { return m_dc->state(); }

    Rasteriser rasteriser() {
        return Rasteriser(frameBuffer(), m_dc->state().origin, m_dc->state().clip);
    }
    COLORREF shown(COLORREF colour) { return frameBuffer().deviceColour(colour); }
    FontFace* face() { return m_gdi.face(m_dc->state().font); }
    TextColours textColours() {
        return TextColours{shown(state().textColour), shown(state().bkColour),
                           state().bkMode == OPAQUE};
    }

private:
    GdiState& m_gdi;
    std::unique_lock<std::mutex> m_lock;
    DeviceContext* m_dc;
};

} // namespace emu::gdi

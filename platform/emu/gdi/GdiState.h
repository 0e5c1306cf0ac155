// Everything GDI keeps for the one emulated display: the frame buffer, the
// table of GDI objects (pens, brushes, fonts, palettes), every device context
// and the font engine. The Win32 GDI entry points (Gdi32.cpp,
// User32Drawing.cpp, through GdiCall) and ScreenAccess reach it through
// current() and hold the frame buffer's mutex while they use it; nothing
// outside gdi/ sees it.
#pragma once

#include "platform/emu/gdi/DeviceContext.h"
#include "platform/emu/gdi/FontEngine.h"
#include "platform/emu/gdi/FrameBuffer.h"
#include "platform/emu/gdi/ObjectTable.h"

#include <map>
#include <memory>
#include <mutex>

namespace emu::gdi {

class GdiState {
public:
    GdiState(int width, int height, int depth);

    // The display of the booted machine; one of the default size when no
    // machine has been booted.
    static GdiState& current();
    static void boot(int width, int height, int depth);
    static void shutdown();

    FrameBuffer& frameBuffer() { return m_frameBuffer; }
    ObjectTable& objects() { return m_objects; }
    std::unique_lock<std::mutex> lock() { return std::unique_lock(m_frameBuffer.mutex()); }

    HDC createDc(POINT origin, std::vector<RECT> visible);
    DeviceContext* dc(HDC handle);
    bool destroyDc(HDC handle);
    bool selectedAnywhere(HGDIOBJ object) const;

    // The face of a font object, loaded on first use; nullptr when none.
    FontFace* face(HFONT font);
    // The entries of a palette object; nullptr for anything else.
    const std::vector<PALETTEENTRY>* paletteEntries(HPALETTE palette);

private:
    FrameBuffer m_frameBuffer;
    FontEngine m_fonts;
    ObjectTable m_objects;
    std::map<uintptr_t, std::unique_ptr<DeviceContext>> m_dcs;
    uintptr_t m_nextDc = 0x10002; // objects use multiples of 4, so the two never meet
};

} // namespace emu::gdi

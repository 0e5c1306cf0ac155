// The emulated display as a whole: the screen surface, every GDI object,
// every device context and the fonts. The Win32 entry points reach it
// through current() and hold the surface's mutex while they use it.
#pragma once

#include "platform/emu/gdi/DeviceContext.h"
#include "platform/emu/gdi/FontEngine.h"
#include "platform/emu/gdi/ObjectTable.h"
#include "platform/emu/gdi/Surface.h"

#include <map>
#include <memory>
#include <mutex>

namespace emu::gdi {

class Display {
public:
    Display(int width, int height, int depth);

    // The display of the booted machine; one of the default size when no
    // machine has been booted.
    static Display& current();
    static void boot(int width, int height, int depth);
    static void shutdown();

    Surface& surface() { return m_surface; }
    ObjectTable& objects() { return m_objects; }
    std::unique_lock<std::mutex> lock() { return std::unique_lock(m_surface.mutex()); }

    HDC createDc(POINT origin, std::vector<RECT> visible);
    DeviceContext* dc(HDC handle);
    bool destroyDc(HDC handle);
    bool selectedAnywhere(HGDIOBJ object) const;

    // The face of a font object, loaded on first use; nullptr when none.
    FontFace* face(HFONT font);
    // The entries of a palette object; nullptr for anything else.
    const std::vector<PALETTEENTRY>* paletteEntries(HPALETTE palette);

private:
    Surface m_surface;
    FontEngine m_fonts;
    ObjectTable m_objects;
    std::map<uintptr_t, std::unique_ptr<DeviceContext>> m_dcs;
    uintptr_t m_nextDc = 0x10002; // objects use multiples of 4, so the two never meet
};

} // namespace emu::gdi

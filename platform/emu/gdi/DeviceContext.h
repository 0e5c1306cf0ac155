// A device context drawing onto the screen. Its whole state is one value,
// so it can be saved and restored as a whole (SaveDC, RestoreDC); the drawing
// entry points change it only through the setters, which return the previous
// value as Win32 does.
#pragma once

#include "platform/win32.h"

#include <vector>

namespace emu::gdi {

struct DcState {
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    HPALETTE palette = nullptr;
    COLORREF textColour = RGB(0, 0, 0);
    COLORREF bkColour = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    int stretchMode = BLACKONWHITE;
    POINT position{0, 0};
    // Screen point of logical (0, 0).
    POINT origin{0, 0};
    // Screen rectangles output is clipped to; empty draws nothing.
    std::vector<RECT> clip;
};

class DeviceContext {
public:
    explicit DeviceContext(DcState initial) : m_state(std::move(initial)) {}

    const DcState& state() const { return m_state; }
    // SaveDC: keeps a copy of the state; returns its level, 1 for the first.
    int save();
    // RestoreDC: a positive level names a saved state, a negative one counts
    // back from the newest (-1). That state becomes current, and it and every
    // state saved after it are gone. False for a level that was not saved.
    bool restore(int level);

    HPEN selectPen(HPEN pen) { return exchange(m_state.pen, pen); }
    HBRUSH selectBrush(HBRUSH brush) { return exchange(m_state.brush, brush); }
    HFONT selectFont(HFONT font) { return exchange(m_state.font, font); }
    HPALETTE selectPalette(HPALETTE palette) { return exchange(m_state.palette, palette); }
    COLORREF setTextColour(COLORREF c) { return exchange(m_state.textColour, c); }
    COLORREF setBkColour(COLORREF c) { return exchange(m_state.bkColour, c); }
    int setBkMode(int mode) { return exchange(m_state.bkMode, mode); }
    int setRop2(int rop2) { return exchange(m_state.rop2, rop2); }
    int setStretchMode(int mode) { return exchange(m_state.stretchMode, mode); }
    POINT moveTo(POINT p) { return exchange(m_state.position, p); }
    void setClip(std::vector<RECT> clip) { m_state.clip = std::move(clip); }

    // Whether `object` is selected here (any kind).
    // Saved states count: a restore would select the object again.
    bool uses(const void* object) const;

private:
    template <typename T> static T exchange(T& field, T value) {
        T previous = field;
        field = value;
        return previous;
    }

    DcState m_state;
    std::vector<DcState> m_saved; // oldest first: level n is m_saved[n - 1]
};

} // namespace emu::gdi

#include "tests/skin/SkinMachine.h"

#include "platform/emu/gdi/ScreenAccess.h"

namespace corvane_test {

ScreenDC::ScreenDC() : CDC(GetDC(nullptr)) {}

ScreenDC::~ScreenDC() {
    ReleaseDC(nullptr, m_hDC);
}

bool ScreenArea::operator==(const ScreenArea& other) const {
    return rect.left == other.rect.left && rect.top == other.rect.top &&
           rect.right == other.rect.right && rect.bottom == other.rect.bottom &&
           pixels == other.pixels;
}

void SkinMachine::bootMachine(int depth) {
    m_machine.config().screenDepth = depth;
    m_machine.boot();
}

COLORREF SkinMachine::pixel(int x, int y) {
    return emu::gdi::screen().pixel(x, y);
}

ScreenArea SkinMachine::capture(const RECT& rect) {
    ScreenArea area{rect, {}};
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            area.pixels.push_back(pixel(x, y));
        }
    }
    return area;
}

void SkinMachine::fill(const RECT& rect, COLORREF colour) {
    ScreenDC dc;
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

} // namespace corvane_test

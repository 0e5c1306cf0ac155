#include "platform/emu/user/controls/ProgressBar.h"

#include "platform/emu/user/DefaultWindowProc.h"
#include "platform/emu/user/Look95.h"
#include "platform/emu/user/controls/ControlAccess.h"

namespace emu::user {

namespace {

// Windows 95 defaults: range 0 to 100, step 10.
struct ProgressState : ControlState {
    int low = 0;
    int high = 100;
    int pos = 0;
    int step = 10;
    // Chunk pixels drawn last time, so that a step that changes nothing
    // visible costs no drawing.
    int drawnFill = -1;
};

constexpr int kBevel = 2;
constexpr int kPadding = 1;

ProgressState* stateOf(HWND handle) {
    return controlStateAs<ProgressState>(handle);
}

int clampToRange(const ProgressState& s, int pos) {
    return pos < s.low ? s.low : pos > s.high ? s.high : pos;
}

// Past the upper bound the bar starts over from the lower one, carrying what
// went past (and the other way round for a negative step).
int wrapIntoRange(const ProgressState& s, long long pos) {
    long long span = static_cast<long long>(s.high) - s.low;
    if (span <= 0) {
        return s.low;
    }
    if (pos > s.high) {
        return static_cast<int>(s.low + (pos - s.high - 1) % span + 1);
    }
    if (pos < s.low) {
        return static_cast<int>(s.high - (s.low - pos - 1) % span - 1);
    }
    return static_cast<int>(pos);
}

RECT clientRect(HWND window) {
    RECT client{0, 0, 0, 0};
    GetClientRect(window, &client);
    return client;
}

RECT chunkArea(const RECT& client) {
    const int inset = kBevel + kPadding;
    return RECT{client.left + inset, client.top + inset, client.right - inset,
                client.bottom - inset};
}

int filledWidth(const ProgressState& s, const RECT& area) {
    int width = area.right - area.left;
    if (s.high <= s.low || width <= 0) {
        return 0;
    }
    return static_cast<int>(static_cast<long long>(s.pos - s.low) * width / (s.high - s.low));
}

void paintBar(HDC dc, const RECT& client, ProgressState& s) {
    RECT area = chunkArea(client);
    int fill = filledWidth(s, area);
    Look95::fillFace(dc, RECT{client.left + kBevel, client.top + kBevel, client.right - kBevel,
                              client.bottom - kBevel});
    Look95::paintBevel(dc, client, true);
    Look95::paintProgressChunks(dc, area, fill);
    s.drawnFill = fill;
}

void redrawNow(HWND window, ProgressState& s) {
    RECT client = clientRect(window);
    if (filledWidth(s, chunkArea(client)) == s.drawnFill || !IsWindowVisible(window)) {
        return;
    }
    HDC dc = GetDC(window);
    if (dc != nullptr) {
        paintBar(dc, client, s);
        ReleaseDC(window, dc);
    }
}

LRESULT setRange(HWND window, ProgressState& s, LPARAM range) {
    LRESULT previous = MAKELONG(s.low, s.high);
    s.low = LOWORD(range);
    s.high = HIWORD(range);
    s.pos = clampToRange(s, s.pos);
    redrawNow(window, s);
    return previous;
}

LRESULT setPos(HWND window, ProgressState& s, int pos) {
    LRESULT previous = s.pos;
    s.pos = clampToRange(s, pos);
    redrawNow(window, s);
    return previous;
}

LRESULT setStep(ProgressState& s, int step) {
    LRESULT previous = s.step;
    s.step = step;
    return previous;
}

LRESULT stepIt(HWND window, ProgressState& s) {
    LRESULT previous = s.pos;
    s.pos = wrapIntoRange(s, static_cast<long long>(s.pos) + s.step);
    redrawNow(window, s);
    return previous;
}

LRESULT paint(HWND window, ProgressState& s) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc != nullptr) {
        paintBar(dc, clientRect(window), s);
    }
    EndPaint(window, &ps);
    return 0;
}

LRESULT create(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (controlWindow(handle) == nullptr) {
        return FALSE;
    }
    setControlState(handle, std::make_unique<ProgressState>());
    // The bar draws its own sunken box in place of a plain border.
    clearStyleBits(handle, WS_BORDER);
    return DefaultWindowProc::windowProc(handle, message, wParam, lParam);
}

} // namespace

void ProgressBar::registerClass(ClassTable& classes) {
    addCommonControlClass(classes, PROGRESS_CLASSA, windowProc);
}

LRESULT CALLBACK ProgressBar::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        return create(window, message, wParam, lParam);
    }
    ProgressState* s = stateOf(window);
    if (s == nullptr) {
        return DefaultWindowProc::windowProc(window, message, wParam, lParam);
    }
    switch (message) {
    case PBM_SETRANGE:
        return setRange(window, *s, lParam);
    case PBM_SETPOS:
        return setPos(window, *s, static_cast<int>(wParam));
    case PBM_DELTAPOS:
        return setPos(window, *s, s->pos + static_cast<int>(wParam));
    case PBM_SETSTEP:
        return setStep(*s, static_cast<int>(wParam));
    case PBM_STEPIT:
        return stepIt(window, *s);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        return paint(window, *s);
    case WM_SETFONT:
        return 0;
    default:
        return DefaultWindowProc::windowProc(window, message, wParam, lParam);
    }
}

} // namespace emu::user

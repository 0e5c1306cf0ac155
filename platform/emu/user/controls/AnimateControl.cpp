#include "platform/emu/user/controls/AnimateControl.h"

#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/user/DefaultWindowProc.h"
#include "platform/emu/user/Look95.h"
#include "platform/emu/user/controls/AnimationPlayer.h"
#include "platform/emu/user/controls/AviClip.h"
#include "platform/emu/user/controls/ControlAccess.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace emu::user {

namespace {

constexpr WORD kLastFrame = 0xFFFF;

struct AnimateState : ControlState {
    explicit AnimateState(HWND window) : handle(window) {}
    ~AnimateState() override { player.stop(); }
    AnimateState(const AnimateState&) = delete;
    AnimateState& operator=(const AnimateState&) = delete;

    void showFrameFromThread(int index);

    HWND handle;
    // Fixed while a clip plays, so the thread may read them.
    DWORD style = 0;
    std::shared_ptr<const AviClip> clip;
    // BITMAPINFOHEADER and colour table of every frame, transparency applied.
    std::vector<unsigned char> bitmapInfo;
    std::atomic<int> frame{-1};
    // The client area's size, kept up to date from WM_SIZE.
    std::atomic<int> width{0};
    std::atomic<int> height{0};
    // Last, so that the thread is gone before anything it uses.
    AnimationPlayer player{[this](int index) { showFrameFromThread(index); }};
};

AnimateState* stateOf(HWND handle) {
    return controlStateAs<AnimateState>(handle);
}

void drawFrame(HDC dc, const AnimateState& s, int index, int width, int height) {
    const AviClip& clip = *s.clip;
    int x = 0;
    int y = 0;
    if ((s.style & ACS_CENTER) != 0) {
        x = (width - clip.width()) / 2;
        y = (height - clip.height()) / 2;
    }
    const auto* info = reinterpret_cast<const BITMAPINFO*>(s.bitmapInfo.data());
    SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(clip.width()), static_cast<DWORD>(clip.height()),
                      0, 0, 0, static_cast<UINT>(clip.height()), clip.frameBits(index), info,
                      DIB_RGB_COLORS);
}

// Drawn on what of the control shows, with the windows held still until the
// frame is on the screen: the thread never draws over a window that comes up
// in front of it.
void AnimateState::showFrameFromThread(int index) {
    frame.store(index);
    drawClientNow(handle, [this, index](HDC dc) {
        drawFrame(dc, *this, index, width.load(), height.load());
    });
}

RECT clientRect(HWND window) {
    RECT client{0, 0, 0, 0};
    GetClientRect(window, &client);
    return client;
}

// Shows the current frame now, from the program's thread.
void showCurrentFrame(HWND window, AnimateState& s) {
    int index = s.frame.load();
    if (s.clip == nullptr || index < 0 || !IsWindowVisible(window)) {
        return;
    }
    HDC dc = GetDC(window);
    if (dc != nullptr) {
        RECT client = clientRect(window);
        drawFrame(dc, s, index, client.right, client.bottom);
        ReleaseDC(window, dc);
    }
}

std::vector<unsigned char> makeBitmapInfo(const AviClip& clip, bool transparent) {
    std::vector<RGBQUAD> colours = clip.colours();
    if (transparent) {
        uint8_t keyIndex = clip.pixel(0, 0, 0);
        RGBQUAD key = keyIndex < colours.size() ? colours[keyIndex] : RGBQUAD{0, 0, 0, 0};
        COLORREF face = GetSysColor(COLOR_BTNFACE);
        for (RGBQUAD& colour : colours) {
            if (colour.rgbRed == key.rgbRed && colour.rgbGreen == key.rgbGreen &&
                colour.rgbBlue == key.rgbBlue) {
                colour = RGBQUAD{GetBValue(face), GetGValue(face), GetRValue(face), 0};
            }
        }
    }
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = clip.width();
    header.biHeight = clip.height();
    header.biPlanes = 1;
    header.biBitCount = 8;
    header.biCompression = BI_RGB;
    header.biClrUsed = static_cast<DWORD>(colours.size());
    std::vector<unsigned char> info(sizeof header + colours.size() * sizeof(RGBQUAD));
    std::memcpy(info.data(), &header, sizeof header);
    std::memcpy(info.data() + sizeof header, colours.data(), colours.size() * sizeof(RGBQUAD));
    return info;
}

void closeClip(HWND window, AnimateState& s) {
    s.player.stop();
    bool hadClip = s.clip != nullptr;
    s.clip.reset();
    s.frame.store(-1);
    if (hadClip) {
        InvalidateRect(window, nullptr, TRUE);
    }
}

std::shared_ptr<const AviClip> loadResourceClip(HWND window, WPARAM instanceParam, LPARAM id) {
    const Window* w = controlWindow(window);
    HINSTANCE instance = instanceParam != 0 ? reinterpret_cast<HINSTANCE>(instanceParam)
                                            : (w != nullptr ? w->instance() : nullptr);
    // The program's module is the only one with resources here.
    if (instance != nullptr && instance != emu::kernel::moduleInstance()) {
        return nullptr;
    }
    const auto& clips = emu::kernel::moduleResources().clips;
    auto found = clips.find(static_cast<UINT>(id));
    if (found == clips.end()) {
        return nullptr;
    }
    std::string why;
    return AviClip::load(found->second.data(), found->second.size(), why);
}

LRESULT play(AnimateState& s, WPARAM repeat, LPARAM range) {
    if (s.clip == nullptr) {
        return FALSE;
    }
    int last = s.clip->frameCount() - 1;
    int from = LOWORD(range) == kLastFrame ? last : LOWORD(range);
    int to = HIWORD(range) == kLastFrame ? last : HIWORD(range);
    if (from > last || to > last || from > to) {
        return FALSE;
    }
    s.player.stop();
    int times = static_cast<int>(static_cast<UINT>(repeat));
    // A repeat count of 0 asks for nothing to be played: playback halts on
    // the frame it shows.
    if (times == 0) {
        return TRUE;
    }
    s.frame.store(from);
    s.player.start(from, to, times < 0 ? -1 : times,
                   std::chrono::microseconds(s.clip->microsecondsPerFrame()));
    return TRUE;
}

LRESULT open(HWND window, AnimateState& s, WPARAM wParam, LPARAM lParam) {
    closeClip(window, s);
    if (lParam == 0) {
        return TRUE;
    }
    // Clips from files are not supported: only the program's own resources.
    if (!IS_INTRESOURCE(lParam)) {
        return FALSE;
    }
    std::shared_ptr<const AviClip> clip = loadResourceClip(window, wParam, lParam);
    if (clip == nullptr) {
        return FALSE;
    }
    s.clip = clip;
    s.bitmapInfo = makeBitmapInfo(*clip, (s.style & ACS_TRANSPARENT) != 0);
    s.frame.store(0);
    if ((s.style & ACS_CENTER) == 0) {
        SetWindowPos(window, nullptr, 0, 0, clip->width(), clip->height(),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    showCurrentFrame(window, s);
    if ((s.style & ACS_AUTOPLAY) != 0) {
        play(s, static_cast<WPARAM>(-1), MAKELPARAM(0, kLastFrame));
    }
    return TRUE;
}

LRESULT paint(HWND window, AnimateState& s) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc != nullptr) {
        RECT client = clientRect(window);
        int index = s.frame.load();
        if (s.clip != nullptr && index >= 0) {
            drawFrame(dc, s, index, client.right, client.bottom);
        }
    }
    EndPaint(window, &ps);
    return 0;
}

LRESULT eraseBackground(HWND window, WPARAM wParam) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    if (dc != nullptr) {
        Look95::fillFace(dc, clientRect(window));
    }
    return 1;
}

LRESULT create(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    const Window* window = controlWindow(handle);
    if (window == nullptr) {
        return FALSE;
    }
    auto state = std::make_unique<AnimateState>(handle);
    state->style = window->style();
    setControlState(handle, std::move(state));
    return DefaultWindowProc::windowProc(handle, message, wParam, lParam);
}

} // namespace

void AnimateControl::registerClass(ClassTable& classes) {
    addCommonControlClass(classes, ANIMATE_CLASSA, windowProc);
}

int AnimateControl::currentFrame(HWND window) {
    AnimateState* s = stateOf(window);
    return s != nullptr ? s->frame.load() : -1;
}

LRESULT CALLBACK AnimateControl::windowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_NCCREATE) {
        return create(window, message, wParam, lParam);
    }
    AnimateState* s = stateOf(window);
    if (s == nullptr) {
        return DefaultWindowProc::windowProc(window, message, wParam, lParam);
    }
    switch (message) {
    case ACM_OPENA:
        return open(window, *s, wParam, lParam);
    case ACM_PLAY:
        return play(*s, wParam, lParam);
    case ACM_STOP:
        s->player.stop();
        return TRUE;
    case WM_ERASEBKGND:
        return eraseBackground(window, wParam);
    case WM_PAINT:
        return paint(window, *s);
    case WM_SETFONT:
        return 0;
    case WM_SIZE:
        s->width.store(LOWORD(lParam));
        s->height.store(HIWORD(lParam));
        return 0;
    case WM_DESTROY:
        s->player.stop();
        return DefaultWindowProc::windowProc(window, message, wParam, lParam);
    default:
        return DefaultWindowProc::windowProc(window, message, wParam, lParam);
    }
}

} // namespace emu::user

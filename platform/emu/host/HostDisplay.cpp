#include "platform/emu/host/HostDisplay.h"

#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/host/SdlLibrary.h"
#include "platform/emu/user/HostInput.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace emu::host {

namespace {

UINT virtualKey(SDL_Keycode key) {
    switch (key) {
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_BACKSPACE:
        return VK_BACK;
    default:
        break;
    }
    if (key >= SDLK_a && key <= SDLK_z) {
        return static_cast<UINT>(key - SDLK_a + 'A');
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return static_cast<UINT>(key - SDLK_0 + '0');
    }
    return 0;
}

bool hostHasDisplay() {
    // A driver asked for by name is taken at its word (offscreen runs included).
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    if (chosen != nullptr && *chosen != '\0') {
        return true;
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// SDL falls back to drivers that show nothing; unless asked for, they are no
// display to a user.
bool showsNothing(const char* driver) {
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    if (driver != nullptr && chosen != nullptr && std::strcmp(driver, chosen) == 0) {
        return false;
    }
    return driver == nullptr || std::strcmp(driver, "offscreen") == 0 ||
           std::strcmp(driver, "dummy") == 0;
}

// The display libraries SDL loads keep some allocations for the life of the
// process (past SDL_Quit); a sanitizer build is not to count them as ours.
class LibraryAllocations {
public:
#if defined(__SANITIZE_ADDRESS__)
    LibraryAllocations() {
        __lsan_disable();
    }
    ~LibraryAllocations() {
        __lsan_enable();
    }
#else
    LibraryAllocations() {}
#endif
    LibraryAllocations(const LibraryAllocations&) = delete;
    LibraryAllocations& operator=(const LibraryAllocations&) = delete;
};

} // namespace

std::unique_ptr<HostDisplay> HostDisplay::open(int width, int height, std::string& error) {
    // Without a display server SDL is not even loaded, so nothing of it stays behind.
    if (!hostHasDisplay()) {
        error = "no display server";
        return nullptr;
    }
    LibraryAllocations ignored;
    const SdlLibrary* sdl = SdlLibrary::load(error);
    if (sdl == nullptr) {
        return nullptr;
    }
    if (sdl->Init(SDL_INIT_VIDEO) != 0) {
        error = sdl->GetError();
        sdl->Quit();
        return nullptr;
    }
    if (showsNothing(sdl->GetCurrentVideoDriver())) {
        error = "no display server";
        sdl->Quit();
        return nullptr;
    }
    std::unique_ptr<HostDisplay> display(new HostDisplay(*sdl));
    display->m_window = sdl->CreateWindow("corvane", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          width, height, 0);
    if (display->m_window != nullptr) {
        display->m_renderer = sdl->CreateRenderer(display->m_window, -1, 0);
    }
    if (display->m_renderer != nullptr) {
        display->m_texture = sdl->CreateTexture(display->m_renderer, SDL_PIXELFORMAT_BGR888,
                                                SDL_TEXTUREACCESS_STREAMING, width, height);
    }
    if (display->m_texture == nullptr) {
        error = sdl->GetError();
        return nullptr;
    }
    return display;
}

HostDisplay::~HostDisplay() {
    LibraryAllocations ignored;
    if (m_texture != nullptr) {
        m_sdl.DestroyTexture(m_texture);
    }
    if (m_renderer != nullptr) {
        m_sdl.DestroyRenderer(m_renderer);
    }
    if (m_window != nullptr) {
        m_sdl.DestroyWindow(m_window);
    }
    m_sdl.Quit();
}

void HostDisplay::presentIfDue() {
    auto now = std::chrono::steady_clock::now();
    if (now - m_lastPresent < std::chrono::milliseconds(30)) {
        return;
    }
    present();
    LibraryAllocations ignored;
    m_sdl.PumpEvents();
}

void HostDisplay::present() {
    m_lastPresent = std::chrono::steady_clock::now();
    LibraryAllocations ignored;
    gdi::FrameBuffer& surface = gdi::screen();
    if (surface.generation() == m_shownGeneration) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(surface.mutex());
        m_shownGeneration = surface.generation();
        // COLORREF is 0x00BBGGRR: the texture's XBGR layout takes it as it is.
        m_sdl.UpdateTexture(m_texture, nullptr, surface.row(0),
                            surface.width() * static_cast<int>(sizeof(COLORREF)));
    }
    m_sdl.RenderCopy(m_renderer, m_texture, nullptr, nullptr);
    m_sdl.RenderPresent(m_renderer);
}

bool HostDisplay::pumpEvents(int timeoutMs) {
    LibraryAllocations ignored;
    SDL_Event event;
    if (m_sdl.WaitEventTimeout(&event, timeoutMs) == 0) {
        return true;
    }
    do {
        if (!handleEvent(&event)) {
            return false;
        }
    } while (m_sdl.PollEvent(&event) != 0);
    return true;
}

bool HostDisplay::handleEvent(const void* raw) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(raw);
    switch (event.type) {
    case SDL_QUIT:
        return false;
    case SDL_MOUSEMOTION:
        user::postMouseMove(POINT{event.motion.x, event.motion.y});
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT) {
            user::postMouseButton(POINT{event.button.x, event.button.y},
                                  event.type == SDL_MOUSEBUTTONDOWN);
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (UINT vk = virtualKey(event.key.keysym.sym)) {
            user::postKey(vk, event.type == SDL_KEYDOWN);
        }
        break;
    case SDL_WINDOWEVENT:
        // Exposed host window: show the screen again.
        m_shownGeneration = 0;
        break;
    default:
        break;
    }
    return true;
}

} // namespace emu::host

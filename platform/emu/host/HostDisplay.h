// The emulated screen shown in an SDL2 window, 1:1, and the host's mouse and
// keys turned into emulated input. SDL2 is loaded when the first display is
// opened (SdlLibrary); a headless session has no HostDisplay at all and never
// loads or initialises SDL.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace emu::host {

struct SdlLibrary;

class HostDisplay {
public:
    // Opens the host window; nullptr, with a reason in error, when the host
    // has no display.
    static std::unique_ptr<HostDisplay> open(int width, int height, std::string& error);
    ~HostDisplay();
    HostDisplay(const HostDisplay&) = delete;
    HostDisplay& operator=(const HostDisplay&) = delete;

    // Copies the screen to the host window when it changed since the last time.
    void present();
    // present(), at most about every 30 ms, for a program that draws without
    // waiting for messages; host events are fetched but left queued.
    void presentIfDue();
    // Waits up to timeoutMs for host events and posts them as emulated input.
    // False once the user closed the host window.
    bool pumpEvents(int timeoutMs);

private:
    explicit HostDisplay(const SdlLibrary& sdl) : m_sdl(sdl) {}
    bool handleEvent(const void* event);

    const SdlLibrary& m_sdl;
    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    uint64_t m_shownGeneration = 0;
    std::chrono::steady_clock::time_point m_lastPresent;
};

} // namespace emu::host

// The SDL2 functions the host display calls, taken from the SDL2 library when
// a window is first opened. The executable does not link SDL2: its shared
// library and the many it needs (audio, X11, Wayland, DRM...) are mapped only
// by a run that shows a window, so headless runs and the command-line
// answers start without them.
#pragma once

#include "platform/emu/hostsupport/HostLibrary.h"

#include <SDL.h>

#include <string>

namespace emu::host {

struct SdlLibrary {
    // The library's file name as the dynamic loader looks it up (SDL2's
    // soname).
    static constexpr const char* kFileName = "libSDL2-2.0.so.0";

    // The functions, loaded once per process and kept for its life; nullptr,
    // with the loader's reason in error, when the library or one of the
    // functions is missing.
    static const SdlLibrary* load(std::string& error) {
        return hostsupport::loadOnce<SdlLibrary>(error);
    }
    // Looks every function up in the opened library.
    void resolveAll(hostsupport::HostLibrary& library);

    decltype(&SDL_Init) Init = nullptr;
    decltype(&SDL_Quit) Quit = nullptr;
    decltype(&SDL_GetError) GetError = nullptr;
    decltype(&SDL_GetCurrentVideoDriver) GetCurrentVideoDriver = nullptr;
    decltype(&SDL_CreateWindow) CreateWindow = nullptr;
    decltype(&SDL_DestroyWindow) DestroyWindow = nullptr;
    decltype(&SDL_CreateRenderer) CreateRenderer = nullptr;
    decltype(&SDL_DestroyRenderer) DestroyRenderer = nullptr;
    decltype(&SDL_CreateTexture) CreateTexture = nullptr;
    decltype(&SDL_DestroyTexture) DestroyTexture = nullptr;
    decltype(&SDL_UpdateTexture) UpdateTexture = nullptr;
    decltype(&SDL_RenderCopy) RenderCopy = nullptr;
    decltype(&SDL_RenderPresent) RenderPresent = nullptr;
    decltype(&SDL_PumpEvents) PumpEvents = nullptr;
    decltype(&SDL_PollEvent) PollEvent = nullptr;
    decltype(&SDL_WaitEventTimeout) WaitEventTimeout = nullptr;
};

} // namespace emu::host

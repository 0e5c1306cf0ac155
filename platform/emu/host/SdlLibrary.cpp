#include "platform/emu/host/SdlLibrary.h"

#include "platform/emu/hostsupport/HostLibrary.h"

namespace emu::host {

namespace {

struct Loaded {
    SdlLibrary functions;
    bool complete = false;
    std::string error;
};

Loaded loadLibrary() {
    Loaded loaded;
    hostsupport::HostLibrary library;
    if (!library.open(SdlLibrary::kFileName, loaded.error)) {
        return loaded;
    }
    SdlLibrary& sdl = loaded.functions;
    library.resolve("SDL_Init", sdl.Init);
    library.resolve("SDL_Quit", sdl.Quit);
    library.resolve("SDL_GetError", sdl.GetError);
    library.resolve("SDL_GetCurrentVideoDriver", sdl.GetCurrentVideoDriver);
    library.resolve("SDL_CreateWindow", sdl.CreateWindow);
    library.resolve("SDL_DestroyWindow", sdl.DestroyWindow);
    library.resolve("SDL_CreateRenderer", sdl.CreateRenderer);
    library.resolve("SDL_DestroyRenderer", sdl.DestroyRenderer);
    library.resolve("SDL_CreateTexture", sdl.CreateTexture);
    library.resolve("SDL_DestroyTexture", sdl.DestroyTexture);
    library.resolve("SDL_UpdateTexture", sdl.UpdateTexture);
    library.resolve("SDL_RenderCopy", sdl.RenderCopy);
    library.resolve("SDL_RenderPresent", sdl.RenderPresent);
    library.resolve("SDL_PumpEvents", sdl.PumpEvents);
    library.resolve("SDL_PollEvent", sdl.PollEvent);
    library.resolve("SDL_WaitEventTimeout", sdl.WaitEventTimeout);
    loaded.complete = library.complete(loaded.error);
    return loaded;
}

} // namespace

const SdlLibrary* SdlLibrary::load(std::string& error) {
    static const Loaded loaded = loadLibrary();
    if (!loaded.complete) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.functions;
}

} // namespace emu::host

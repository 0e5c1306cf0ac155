#include "platform/emu/host/SdlLibrary.h"

#include <dlfcn.h>

namespace emu::host {

namespace {

struct Loaded {
    SdlLibrary functions;
    bool complete = false;
    std::string error;
};

template <typename Function>
void resolve(void* library, const char* name, Function& function, std::string& missing) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    if (function == nullptr && missing.empty()) {
        missing = name;
    }
}

Loaded loadLibrary() {
    Loaded loaded;
    // Local: nothing else in the process is to bind to SDL's symbols.
    void* library = dlopen(SdlLibrary::kFileName, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        loaded.error =
            reason != nullptr ? reason : std::string("cannot load ") + SdlLibrary::kFileName;
        return loaded;
    }
    SdlLibrary& sdl = loaded.functions;
    std::string missing;
    resolve(library, "SDL_Init", sdl.Init, missing);
    resolve(library, "SDL_Quit", sdl.Quit, missing);
    resolve(library, "SDL_GetError", sdl.GetError, missing);
    resolve(library, "SDL_GetCurrentVideoDriver", sdl.GetCurrentVideoDriver, missing);
    resolve(library, "SDL_CreateWindow", sdl.CreateWindow, missing);
    resolve(library, "SDL_DestroyWindow", sdl.DestroyWindow, missing);
    resolve(library, "SDL_CreateRenderer", sdl.CreateRenderer, missing);
    resolve(library, "SDL_DestroyRenderer", sdl.DestroyRenderer, missing);
    resolve(library, "SDL_CreateTexture", sdl.CreateTexture, missing);
    resolve(library, "SDL_DestroyTexture", sdl.DestroyTexture, missing);
    resolve(library, "SDL_UpdateTexture", sdl.UpdateTexture, missing);
    resolve(library, "SDL_RenderCopy", sdl.RenderCopy, missing);
    resolve(library, "SDL_RenderPresent", sdl.RenderPresent, missing);
    resolve(library, "SDL_PumpEvents", sdl.PumpEvents, missing);
    resolve(library, "SDL_PollEvent", sdl.PollEvent, missing);
    resolve(library, "SDL_WaitEventTimeout", sdl.WaitEventTimeout, missing);
    if (!missing.empty()) {
        loaded.error = std::string(SdlLibrary::kFileName) + " has no " + missing;
        dlclose(library);
        return loaded;
    }
    // Never closed: the drivers SDL starts (X11, audio) keep handlers and
    // threads of their own that may outlive SDL_Quit.
    loaded.complete = true;
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

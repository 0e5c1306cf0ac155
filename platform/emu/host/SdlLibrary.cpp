#include "platform/emu/host/SdlLibrary.h"

namespace emu::host {

void SdlLibrary::resolveAll(hostsupport::HostLibrary& library) {
    library.resolve("SDL_Init", Init);
    library.resolve("SDL_Quit", Quit);
    library.resolve("SDL_GetError", GetError);
    library.resolve("SDL_GetCurrentVideoDriver", GetCurrentVideoDriver);
    library.resolve("SDL_CreateWindow", CreateWindow);
    library.resolve("SDL_DestroyWindow", DestroyWindow);
    library.resolve("SDL_CreateRenderer", CreateRenderer);
    library.resolve("SDL_DestroyRenderer", DestroyRenderer);
    library.resolve("SDL_CreateTexture", CreateTexture);
    library.resolve("SDL_DestroyTexture", DestroyTexture);
    library.resolve("SDL_UpdateTexture", UpdateTexture);
    library.resolve("SDL_RenderCopy", RenderCopy);
    library.resolve("SDL_RenderPresent", RenderPresent);
    library.resolve("SDL_PumpEvents", PumpEvents);
    library.resolve("SDL_PollEvent", PollEvent);
    library.resolve("SDL_WaitEventTimeout", WaitEventTimeout);
}

} // namespace emu::host

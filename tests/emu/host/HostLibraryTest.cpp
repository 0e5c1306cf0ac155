// Libraries of the host loaded on first use, once per process: the display's
// SDL2 and the font matcher's fontconfig are both loaded this way.
#include "platform/emu/hostsupport/HostLibrary.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Init = int (*)(unsigned);

struct WithInit {
    static constexpr const char* kFileName = "libSDL2-2.0.so.0";
    void resolveAll(emu::hostsupport::HostLibrary& library) { library.resolve("SDL_Init", init); }
    Init init = nullptr;
};

struct WithAMissingFunction {
    static constexpr const char* kFileName = "libSDL2-2.0.so.0";
    void resolveAll(emu::hostsupport::HostLibrary& library) {
        library.resolve("SDL_Init", init);
        library.resolve("SDL_NoSuchFunction", missing);
        library.resolve("SDL_NoOtherFunction", missing);
    }
    Init init = nullptr;
    Init missing = nullptr;
};

struct NotInstalled {
    static constexpr const char* kFileName = "libcorvane-none.so.9";
    void resolveAll(emu::hostsupport::HostLibrary& library) { library.resolve("SDL_Init", init); }
    Init init = nullptr;
};

// Loads twice; both answers must be the same.
template <typename Functions> const Functions* loadTwice(std::string& error) {
    std::string first;
    const Functions* loaded = emu::hostsupport::loadOnce<Functions>(first);
    const Functions* again = emu::hostsupport::loadOnce<Functions>(error);
    EXPECT_EQ(loaded, again);
    EXPECT_EQ(first, error);
    return loaded;
}

} // namespace

TEST(HostLibrary, LoadsOnceAndNamesWhatIsMissing) {
    std::string error;
    const WithInit* sdl = loadTwice<WithInit>(error);
    ASSERT_NE(sdl, nullptr) << error;
    EXPECT_NE(sdl->init, nullptr);

    EXPECT_EQ(loadTwice<WithAMissingFunction>(error), nullptr);
    EXPECT_EQ(error, "libSDL2-2.0.so.0 has no SDL_NoSuchFunction");

    EXPECT_EQ(loadTwice<NotInstalled>(error), nullptr);
    EXPECT_NE(error.find("libcorvane-none.so.9"), std::string::npos) << error;
}

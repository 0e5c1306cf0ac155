// A shared library of the host opened when it is first needed (dlopen), so
// that runs which never need it never map it, with its functions looked up
// by name. Used by the parts that reach a host library only on some runs:
// the display (SDL2) and the font matcher (fontconfig).
#pragma once

#include <string>

namespace emu::hostsupport {

class HostLibrary {
public:
    // Opens the library under its file name as the dynamic loader looks it
    // up (its soname), with its symbols kept to itself. false, with the
    // loader's reason in error, when it cannot be loaded.
    bool open(const char* fileName, std::string& error);

    // Looks a function up; a missing one is remembered for complete().
    template <typename Function> void resolve(const char* name, Function& function) {
        function = reinterpret_cast<Function>(lookUp(name));
        if (function == nullptr && m_missing.empty()) {
            m_missing = name;
        }
    }

    // true when every function looked up was found; else error names the
    // first missing one and the library is closed again. A complete library
    // stays open for the life of the process.
    bool complete(std::string& error);

private:
    void* lookUp(const char* name);

    void* m_handle = nullptr;
    std::string m_fileName;
    std::string m_missing;
};

// The functions of one library, loaded the first time they are asked for and
// kept for the life of the process. Functions names its library's file
// (kFileName) and looks its functions up (resolveAll(HostLibrary&)).
// nullptr, with the loader's reason in error, when the library or one of the
// functions is missing; a failed load is not tried again.
template <typename Functions> const Functions* loadOnce(std::string& error) {
    struct Loaded {
        Functions functions;
        bool complete = false;
        std::string error;
    };
    static const Loaded loaded = [] {
        Loaded result;
        HostLibrary library;
        if (library.open(Functions::kFileName, result.error)) {
            result.functions.resolveAll(library);
            result.complete = library.complete(result.error);
        }
        return result;
    }();
    if (!loaded.complete) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.functions;
}

} // namespace emu::hostsupport

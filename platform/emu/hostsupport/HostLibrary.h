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

} // namespace emu::hostsupport

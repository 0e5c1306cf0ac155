#include "platform/emu/hostsupport/HostLibrary.h"

#include <dlfcn.h>

namespace emu::hostsupport {

bool HostLibrary::open(const char* fileName, std::string& error) {
    m_fileName = fileName;
    // Local: nothing else in the process is to bind to the library's symbols.
    m_handle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : std::string("cannot load ") + fileName;
        return false;
    }
    return true;
}

void* HostLibrary::lookUp(const char* name) {
    return m_handle != nullptr ? dlsym(m_handle, name) : nullptr;
}

bool HostLibrary::complete(std::string& error) {
    if (m_handle == nullptr) {
        error = "cannot load " + m_fileName;
        return false;
    }
    if (!m_missing.empty()) {
        error = m_fileName + " has no " + m_missing;
        dlclose(m_handle);
        m_handle = nullptr;
        return false;
    }
    // Never closed: a library may leave handlers and threads of its own
    // (SDL's drivers do) that outlive its last call.
    return true;
}

} // namespace emu::hostsupport

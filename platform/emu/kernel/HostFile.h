// One opener of a host file, as CreateFileA makes it: the host descriptor,
// the access it was granted and its place in the file's share modes.
#pragma once

#include "platform/emu/hostsupport/UniqueFd.h"
#include "platform/win32.h"

#include <memory>
#include <optional>
#include <string>

namespace emu::kernel {

using hostsupport::UniqueFd;

struct OpenRequest {
    DWORD access = GENERIC_READ;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    DWORD disposition = OPEN_EXISTING;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    // The system holding its own file while it replaces it whole: the
    // read-only attribute does not bind it, and its descriptor is opened for
    // reading only, since it writes nothing through it; its write access
    // counts in the share modes all the same.
    bool bySystem = false;
};

class HostFile {
public:
    // Opens or creates hostPath as the request says. On failure nullptr with
    // error holding the Win32 error code; on success error is
    // ERROR_ALREADY_EXISTS when CREATE_ALWAYS or OPEN_ALWAYS found the file,
    // else ERROR_SUCCESS.
    static std::unique_ptr<HostFile> open(const std::string& hostPath, const OpenRequest& request,
                                          DWORD& error);

    int fd() const { return m_fd.get(); }
    bool canRead() const { return (m_access & GENERIC_READ) != 0; }
    bool canWrite() const { return (m_access & GENERIC_WRITE) != 0; }
    const std::string& hostPath() const { return m_hostPath; }

    // Reads and writes at the file pointer; false with a Win32 error code in
    // error when the handle lacks the access or the host refuses.
    bool read(void* buffer, DWORD count, DWORD& done, DWORD& error);
    bool write(const void* buffer, DWORD count, DWORD& done, DWORD& error);
    std::optional<unsigned long long> size() const;
    // The rest of the file; nullopt when a read fails or it grows past
    // limit bytes while it is read.
    std::optional<std::string> readAll(unsigned long long limit);

    HostFile(UniqueFd fd, DWORD access, std::string hostPath);

private:
    static DWORD checkRequest(const OpenRequest& request);
    static DWORD checkTarget(const std::string& hostPath, const OpenRequest& request, bool& exists);
    static std::unique_ptr<HostFile>
    openOnce(const std::string& hostPath, const OpenRequest& request, DWORD& error, bool& raced);
    bool finishCreation(bool existed, const OpenRequest& request);

    UniqueFd m_fd;
    DWORD m_access;
    std::string m_hostPath;
};

} // namespace emu::kernel

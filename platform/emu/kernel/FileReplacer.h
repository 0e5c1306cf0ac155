// Writes that replace a whole file: the new content goes into a temporary
// file in the target's folder, which is then renamed over the target, so a
// crash leaves the old or the new file and never a torn one.
//
// The temporary has no name while it is written (where the host file system
// allows that), so a crash then leaves nothing behind. It gets a name, one
// starting with kTemporaryPrefix, only for the instant before the rename;
// such a name left by a crash is removed by the next replace in that folder.
// A writer holds an exclusive flock on its temporary until it is in place,
// which tells a live temporary from a stale one.
#pragma once

#include "platform/emu/hostsupport/UniqueFd.h"
#include "platform/win32.h"

#include <functional>
#include <string>
#include <sys/types.h>

namespace emu::kernel {

using hostsupport::UniqueFd;

class FileReplacer {
public:
    static constexpr const char* kTemporaryPrefix = ".corvane-";

    // Who replaces the file: a program, which a read-only target refuses, or
    // the system writing a file of its own (the registry), which it refuses
    // not.
    enum class Writer { Program, System };

    // Fills a temporary file with fill (false: give up) and puts it in
    // place of target with the permission bits mode. The target must not be
    // held by an opener that denies writing, nor be read-only to a program;
    // with failIfExists it must not exist at all. Returns ERROR_SUCCESS or the Win32 error code
    // of the reason; on failure target is unchanged and no temporary is left.
    static DWORD replace(const std::string& target, mode_t mode, bool failIfExists,
                         const std::function<bool(int fd)>& fill, Writer writer = Writer::Program);

private:
    // The temporary, locked; named stays empty while it has no name.
    static UniqueFd createTemporary(const std::string& folder, std::string& named);
    static UniqueFd createNamedTemporary(const std::string& folder, std::string& named);
    static bool giveName(int fd, const std::string& folder, std::string& named);
    static DWORD writeTemporary(int fd, mode_t mode, const std::function<bool(int fd)>& fill);
    static DWORD putInPlace(int fd, const std::string& folder, std::string& named,
                            const std::string& target, bool failIfExists);
    static DWORD linkInPlace(int fd, const std::string& named, const std::string& target);
    static void removeStaleTemporaries(const std::string& folder);
};

} // namespace emu::kernel

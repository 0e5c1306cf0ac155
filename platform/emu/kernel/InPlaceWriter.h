// Writes a file of the system's own (the registry's SYSTEM.DAT) in place: of
// its new content only the pages that differ from the old, behind an
// hostsupport::UndoJournal, so a crash leaves the old file or the new one
// once the next roll-back has run. Hard links stay, and so do the file's
// mode, owner and read-only, hidden and system attributes.
#pragma once

#include "platform/win32.h"

#include <string>
#include <string_view>
#include <sys/stat.h>

namespace emu::kernel {

class InPlaceWriter {
public:
    enum class Outcome {
        Written,     // the file holds the new content
        NotPossible, // nothing written: no regular file, or not to be opened for writing
        Changed,     // nothing written: the file is no longer the one read
        Failed,      // nothing written, or put back: the reason says why
    };

    // Writes after over the file at hostPath (a link is followed), which
    // held before when it was read, as asRead describes it (device, inode,
    // size and times); reason says why it Failed, error holds the Win32
    // error code.
    static Outcome write(const std::string& hostPath, std::string_view before,
                         std::string_view after, const struct stat& asRead, std::string& reason,
                         DWORD& error);

    // The granularity of what is written: whole pages of the file.
    static constexpr size_t kPageSize = 4096;
};

} // namespace emu::kernel

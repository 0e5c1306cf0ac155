// Runs one of the host's command-line tools (mtools, fsck.fat, cp) as a
// child process and collects what it printed. The child sees a fixed locale
// (C.UTF-8: names outside ASCII come and go exactly, in UTF-8) and no user
// configuration of mtools, only the code page of short names, so its output
// reads the same on every machine, and it dies with the process that
// started it.
#pragma once

#include <string>
#include <vector>

namespace emu::hostsupport {

struct ToolResult {
    int status = -1; // the exit status; -1 when the tool could not run or was killed
    std::string output;
    std::string errors;

    bool succeeded() const { return status == 0; }
    // "NAME: first line of what it printed on stderr", for messages.
    std::string failure(const std::string& name) const;
};

class HostTool {
public:
    // The OEM code page mtools reads and writes short names in unless the
    // caller names another: 437, that of the Windows 95 family's releases
    // in the United States, whose ANSI code page is 1252, the emulated
    // machine's.
    static constexpr int kShortNameCodePage = 437;

    // Runs argv (argv[0] found on PATH); its standard input holds the
    // settings mtools reads (MTOOLSRC=/dev/stdin) and then ends.
    static ToolResult run(const std::vector<std::string>& argv,
                          int shortNameCodePage = kShortNameCodePage);
};

} // namespace emu::hostsupport

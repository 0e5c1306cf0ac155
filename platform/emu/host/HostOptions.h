// The command line of the host program: what the emulated machine looks like
// and how the session is driven. The system itself never sees it.
#pragma once

#include "platform/emu/MachineConfig.h"

#include <string>
#include <vector>

namespace emu::host {

// What the command line asks the host to do.
// Check reads the disk as the program would and reports its mistakes instead
// of running the program.
enum class HostAction { Run, Check, DryRun, Sheet, Help, Version };

struct HostOptions {
    MachineConfig machine;
    std::string inputScript;   // host path; empty: no script
    std::string dryRunCommand; // --dry-run: a command number or an item's text
    std::string sheetFile;     // --sheet: host path of the PNG file
    bool watch = false;        // --watch: reload the layout when it changes
    // --disk: the driver disk, a host folder or a disk image; empty: the
    // host's current folder.
    std::string disk;
    HostAction action = HostAction::Run;
};

// Parses argv[1..]. On a bad option returns false and puts a one-line
// explanation into error that names the option and what is wrong with it.
// --help and --version set the action and end the parse.
bool parseHostOptions(const std::vector<std::string>& args, HostOptions& options,
                      std::string& error);

// The short usage printed after an error, for the program called program.
std::string hostUsage(const std::string& program);
// What --help prints: what the program is, every option with one line each,
// and the exit statuses.
std::string hostHelp(const std::string& program);

} // namespace emu::host

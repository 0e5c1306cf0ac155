// The host program's command line: what it is asked to do (run the program,
// or one of the disk authors' tools), the options of that action, and the
// machine's own options, which emu::host reads. Also the usage and the help.
#pragma once

#include "platform/emu/host/HostOptions.h"

#include <string>
#include <vector>

namespace loader {

// Check reads the disk as the program would and reports its mistakes instead
// of running the program; NewDisk and MakeDisk start and finish a driver
// disk.
enum class Action { Run, Check, DryRun, Sheet, NewDisk, MakeDisk, Help, Version };

struct CommandLine {
    emu::host::HostOptions host; // the machine and its session
    Action action = Action::Run;
    std::string dryRunCommand; // --dry-run: a command number or an item's text
    std::string sheetFile;     // --sheet: host path of the PNG file
    bool watch = false;        // --watch: reload the layout when it changes
    std::string newDiskFolder; // --new-disk DIR
    std::string diskOutput;    // --make-disk OUT: a folder, or a floppy image (.img)
    int sizeKiB = 1440;        // --size: 1440 or 2880
    std::string setupExe;      // --setup-exe FILE; empty: looked for beside the program
};

// Parses argv[1..]. On a bad option, a missing or bad value, two actions or
// an option that does not go with the action, returns false and puts a
// one-line explanation into error that names the option and what is wrong.
// --help and --version set the action and end the parse.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error);

// The short usage printed after an error, for the program called program.
std::string commandUsage(const std::string& program);
// What --help prints: what the program is, every option with one line each,
// and the exit statuses.
std::string commandHelp(const std::string& program);

} // namespace loader

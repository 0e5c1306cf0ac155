// The options that start a driver disk from a template (--new-disk) or
// write a finished one (--make-disk with --size and --setup-exe). They are
// taken out of the command line before the host options are read; --make-disk
// keeps the host options that describe the machine the disk is checked on.
#pragma once

#include <string>
#include <vector>

namespace loader {

enum class DiskAction { None, NewDisk, MakeDisk };

struct DiskOptions {
    DiskAction action = DiskAction::None;
    std::string folder;   // --new-disk DIR
    std::string output;   // --make-disk OUT: a folder, or a floppy image when it ends in .img
    int sizeKiB = 1440;   // --size: 1440 or 2880
    std::string setupExe; // --setup-exe FILE; empty: looked for beside the program
};

// Removes the disk options and their values from args into options. false,
// with a one-line reason, for a missing or bad value, two actions, or --size
// or --setup-exe without --make-disk.
bool takeDiskOptions(std::vector<std::string>& args, DiskOptions& options, std::string& error);

// The usage lines of the disk options, to follow the host's usage.
std::string diskUsage(const std::string& program);
// The help of the disk options, to follow the host's help.
std::string diskHelp();

} // namespace loader

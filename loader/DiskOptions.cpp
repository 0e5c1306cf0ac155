#include "loader/DiskOptions.h"

#include <algorithm>

namespace loader {

namespace {
struct DiskOption {
    const char* name; // nullptr: a second line of the help above
    const char* value;
    const char* help;
};

const DiskOption kDiskOptions[] = {
    {"--new-disk", "DIR", "make DIR, new or empty, a driver disk to start from"},
    {"--make-disk", "OUT", "check the disk here, then write it with setup.exe to the new folder"},
    {nullptr, nullptr, "OUT, or to a floppy image OUT.img (replacing an older one)"},
    {"--size", "KB", "the floppy --make-disk fills: 1440 (the default) or 2880"},
    {"--setup-exe", "FILE", "the setup.exe --make-disk writes (default: found beside the program)"},
};

bool isDiskOption(const std::string& arg) {
    return std::any_of(
        std::begin(kDiskOptions), std::end(kDiskOptions),
        [&arg](const DiskOption& option) { return option.name != nullptr && arg == option.name; });
}

bool setAction(DiskOptions& options, DiskAction action, const std::string& value,
               std::string& error) {
    if (options.action != DiskAction::None) {
        error = "only one of --new-disk and --make-disk, and that once";
        return false;
    }
    options.action = action;
    (action == DiskAction::NewDisk ? options.folder : options.output) = value;
    return true;
}
} // namespace

bool takeDiskOptions(std::vector<std::string>& args, DiskOptions& options, std::string& error) {
    std::vector<std::string> rest;
    bool sizeGiven = false;
    bool setupExeGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (!isDiskOption(name)) {
            rest.push_back(name);
            continue;
        }
        if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1].rfind("--", 0) == 0) {
            error = "option " + name + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (name == "--new-disk" || name == "--make-disk") {
            if (!setAction(options,
                           name == "--new-disk" ? DiskAction::NewDisk : DiskAction::MakeDisk, value,
                           error)) {
                return false;
            }
        } else if (name == "--size") {
            if (value != "1440" && value != "2880") {
                error = "option --size: \"" + value + "\" is neither 1440 nor 2880";
                return false;
            }
            options.sizeKiB = value == "1440" ? 1440 : 2880;
            sizeGiven = true;
        } else {
            options.setupExe = value;
            setupExeGiven = true;
        }
    }
    if ((sizeGiven || setupExeGiven) && options.action != DiskAction::MakeDisk) {
        error = std::string("option ") + (sizeGiven ? "--size" : "--setup-exe") +
                " goes with --make-disk only";
        return false;
    }
    if (options.action == DiskAction::NewDisk && !rest.empty()) {
        error = "--new-disk takes no other option than its folder";
        return false;
    }
    args = rest;
    return true;
}

std::string diskUsage(const std::string& program) {
    return "       " + program + " --new-disk DIR\n" + "       " + program +
           " --make-disk OUT [--size 1440|2880] [--setup-exe FILE] [--drive X=DIR]...\n";
}

std::string diskHelp() {
    std::string text = "\nDriver disks for authors:\n";
    for (const DiskOption& option : kDiskOptions) {
        // An entry without a name goes on with the help of the one above.
        std::string column =
            option.name == nullptr ? "" : std::string("  ") + option.name + " " + option.value;
        column.resize(std::max<size_t>(column.size() + 2, 24), ' ');
        text += column + option.help + "\n";
    }
    text += "Exit status with --new-disk and --make-disk: 0 when the disk was made, 1 when\n"
            "it was refused (a folder in use, a check error, a disk too big for the floppy)\n"
            "or could not be written.\n";
    return text;
}

} // namespace loader

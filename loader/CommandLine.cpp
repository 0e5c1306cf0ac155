#include "loader/CommandLine.h"

#include <algorithm>

namespace loader {

namespace {

// One of the program's own options. Its handler's message is the whole
// line of the error: it may be about the option's company (two actions)
// rather than its value.
using Option = emu::hostsupport::OptionRow<CommandLine>;

bool isDiskAction(Action action) {
    return action == Action::NewDisk || action == Action::MakeDisk;
}

bool setAction(CommandLine& line, Action action, std::string& error) {
    if (line.action == Action::Run) {
        line.action = action;
        return true;
    }
    if (isDiskAction(action) && isDiskAction(line.action)) {
        error = "only one of --new-disk and --make-disk, and that once";
    } else if (isDiskAction(action) || isDiskAction(line.action)) {
        error = "--new-disk and --make-disk go with no other action";
    } else {
        error = "only one of --check, --dry-run and --sheet, and that once";
    }
    return false;
}

bool applyCheck(const std::string&, CommandLine& line, std::string& error) {
    return setAction(line, Action::Check, error);
}

bool applyDryRun(const std::string& value, CommandLine& line, std::string& error) {
    line.dryRunCommand = value;
    return setAction(line, Action::DryRun, error);
}

bool applySheet(const std::string& value, CommandLine& line, std::string& error) {
    line.sheetFile = value;
    return setAction(line, Action::Sheet, error);
}

bool applyWatch(const std::string&, CommandLine& line, std::string&) {
    line.watch = true;
    return true;
}

// --help and --version end the parse, whatever came before them.
bool applyHelp(const std::string&, CommandLine& line, std::string&) {
    line.action = Action::Help;
    return true;
}

bool applyVersion(const std::string&, CommandLine& line, std::string&) {
    line.action = Action::Version;
    return true;
}

bool applyNewDisk(const std::string& value, CommandLine& line, std::string& error) {
    line.newDiskFolder = value;
    return setAction(line, Action::NewDisk, error);
}

bool applyMakeDisk(const std::string& value, CommandLine& line, std::string& error) {
    line.diskOutput = value;
    return setAction(line, Action::MakeDisk, error);
}

bool applySize(const std::string& value, CommandLine& line, std::string& error) {
    if (value != "1440" && value != "2880") {
        error = "option --size: \"" + value + "\" is neither 1440 nor 2880";
        return false;
    }
    line.sizeKiB = value == "1440" ? 1440 : 2880;
    return true;
}

bool applySetupExe(const std::string& value, CommandLine& line, std::string&) {
    line.setupExe = value;
    return true;
}

// The actions and their options, after the machine's options in the help.
const Option kActionOptions[] = {
    {"--check", nullptr, "check the driver disk in the current folder, print what is wrong",
     &applyCheck},
    {"--dry-run", "COMMAND",
     "run COMMAND (100, 101 or an item's text) on a copy of C: and print what it would change",
     &applyDryRun},
    {"--sheet", "FILE.png", "write the window on 16 and 256 colours side by side to FILE.png",
     &applySheet},
    {"--watch", nullptr, "remake the window when layout.ini or a picture changes on disk",
     &applyWatch},
    {"--help", nullptr, "print this help and exit", &applyHelp},
    {"--version", nullptr, "print the version and exit", &applyVersion},
};

// Starting and finishing a driver disk, in a section of the help of their own.
const Option kDiskOptions[] = {
    {"--new-disk", "DIR", "make DIR, new or empty, a driver disk to start from", &applyNewDisk},
    {"--make-disk", "OUT",
     "check the disk here, then write it with setup.exe to the new folder\n"
     "OUT, or to a floppy image OUT.img (replacing an older one)",
     &applyMakeDisk},
    {"--size", "KB", "the floppy --make-disk fills: 1440 (the default) or 2880", &applySize},
    {"--setup-exe", "FILE", "the setup.exe --make-disk writes (default: found beside the program)",
     &applySetupExe},
};

// One of the program's own options.
const Option* findOwnOption(const std::string& name) {
    using emu::hostsupport::findOptionRow;
    const Option* found = findOptionRow(std::begin(kActionOptions), std::end(kActionOptions), name);
    return found != nullptr ? found
                            : findOptionRow(std::begin(kDiskOptions), std::end(kDiskOptions), name);
}

bool isOption(const std::string& text) {
    return findOwnOption(text) != nullptr || emu::host::findHostOption(text) != nullptr;
}

// The help of a table's rows: the option and its value in a column, then
// each line of its help, the lines after the first under the first.
template <typename Row> std::string helpLines(const Row* begin, const Row* end) {
    std::string text;
    for (const Row* option = begin; option != end; ++option) {
        std::string column = std::string("  ") + option->name;
        if (option->value != nullptr) {
            column += std::string(" ") + option->value;
        }
        const std::string help = option->help;
        for (std::string::size_type at = 0; at < help.size();) {
            std::string::size_type next = std::min(help.find('\n', at), help.size());
            column.resize(std::max<size_t>(column.size() + 2, 24), ' ');
            text += column + help.substr(at, next - at) + "\n";
            column.clear();
            at = next + 1;
        }
    }
    return text;
}

} // namespace

bool parseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error) {
    line.host.machine.headless = false; // the host shows a window unless told otherwise
    bool sizeGiven = false;
    bool setupExeGiven = false;
    bool besidesNewDisk = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        const Option* own = findOwnOption(name);
        const emu::host::HostOptionRow* host = emu::host::findHostOption(name);
        if (own == nullptr && host == nullptr) {
            error = name.rfind("-", 0) == 0
                        ? "unknown option " + name
                        : "unexpected argument \"" + name + "\"; the program takes options only";
            return false;
        }
        const char* valueForm = own != nullptr ? own->value : host->value;
        std::string value;
        if (valueForm != nullptr) {
            // A following option is a forgotten value, not a value.
            if (i + 1 >= args.size() || isOption(args[i + 1])) {
                error = "option " + name + " needs a value (" + valueForm + ")";
                return false;
            }
            value = args[++i];
        }
        if (own != nullptr) {
            if (own->refusesEmpty(value)) {
                error = "option " + name + ": the value is empty";
                return false;
            }
            if (!own->apply(value, line, error)) {
                return false;
            }
        } else {
            std::string why;
            if (!emu::host::applyHostOption(*host, value, line.host, why)) {
                error = "option " + name + ": " + why;
                return false;
            }
        }
        if (line.action == Action::Help || line.action == Action::Version) {
            return true;
        }
        sizeGiven = sizeGiven || name == "--size";
        setupExeGiven = setupExeGiven || name == "--setup-exe";
        besidesNewDisk = besidesNewDisk || name != "--new-disk";
    }
    if ((sizeGiven || setupExeGiven) && line.action != Action::MakeDisk) {
        error = std::string("option ") + (sizeGiven ? "--size" : "--setup-exe") +
                " goes with --make-disk only";
        return false;
    }
    if (line.action == Action::NewDisk && besidesNewDisk) {
        error = "--new-disk takes no other option than its folder";
        return false;
    }
    if (isDiskAction(line.action) && line.watch) {
        error = "--new-disk and --make-disk go with no other action";
        return false;
    }
    return true;
}

std::string commandUsage(const std::string& program) {
    std::string pad(program.size(), ' ');
    return "usage: " + program + " [--drive X=DIR|IMAGE]... [--disk DIR|IMAGE]\n" + "       " +
           pad + " [--windows-dir PATH] [--registry FILE]\n" + "       " + pad +
           " [--platform-id N] [--csd TEXT] [--screen WxH] [--depth BITS]\n" + "       " + pad +
           " [--headless] [--input FILE] [--trace FILE] [--watch]\n" + "       " + pad +
           " [--clock real|virtual] [--tick-start N] [--restart accept|refuse]\n" + "       " +
           pad + " [--dry-run COMMAND | --sheet FILE.png]\n" + "       " + program +
           " --check [--drive X=DIR|IMAGE]... [--disk DIR|IMAGE] [--windows-dir PATH]\n" +
           "       " + program + " --help | --version\n" + "       " + program +
           " --new-disk DIR\n" + "       " + program +
           " --make-disk OUT [--size 1440|2880] [--setup-exe FILE] [--drive X=DIR]...\n";
}

std::string commandHelp(const std::string& program) {
    std::string text = "usage: " + program +
                       " [OPTION]...\n"
                       "Runs the corvane driver-disk launcher in an emulated Windows 95.\n"
                       "Start it in the driver disk's folder (or name it with --disk), which\n"
                       "becomes drive D: unless it lies inside a mapped drive. A disk image\n"
                       "as a drive is changed only when the run ends by itself, and then\n"
                       "with every change at once.\n\n";
    const std::vector<emu::host::HostOptionRow>& machine = emu::host::hostOptions();
    text += helpLines(machine.data(), machine.data() + machine.size());
    text += helpLines(std::begin(kActionOptions), std::end(kActionOptions));
    text += "\nExit status with --check: 0 when no finding is an error, 1 when one is.\n"
            "Exit status: 0 when the program ended by itself, 1 when no display is\n"
            "available without --headless, 2 for a bad command line, a bad input script,\n"
            "a machine that cannot start or a script command that failed, 3 when a\n"
            "headless input script ran out while the program waited for input, 4 when\n"
            "the command of --dry-run would not succeed, 5 when the changes of the run\n"
            "could not be written into a disk image (which is left as it was).\n";
    text += "\nDriver disks for authors:\n";
    text += helpLines(std::begin(kDiskOptions), std::end(kDiskOptions));
    text += "Exit status with --new-disk and --make-disk: 0 when the disk was made, 1 when\n"
            "it was refused (a folder in use, a check error, a disk too big for the floppy)\n"
            "or could not be written.\n";
    return text;
}

} // namespace loader

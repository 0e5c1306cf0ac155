#include "platform/emu/host/HostOptions.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace emu::host {

namespace {

constexpr long long kDwordMax = 0xFFFFFFFFLL;

bool parseNumber(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// One option's value into the options; false with the reason in why.
using Apply = bool (*)(const std::string& text, HostOptions& options, std::string& why);

bool applyDrive(const std::string& text, HostOptions& options, std::string& why) {
    if (text.size() < 3 || text[1] != '=' || !std::isalpha(static_cast<unsigned char>(text[0]))) {
        why = quoted(text) + " is not a drive letter, \"=\" and a folder (X=DIR)";
        return false;
    }
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    options.machine.drives[letter] = text.substr(2);
    return true;
}

bool applyDisk(const std::string& text, HostOptions& options, std::string&) {
    options.disk = text;
    return true;
}

bool applyWindowsDir(const std::string& text, HostOptions& options, std::string& why) {
    if (text.size() < 2 || text[1] != ':' || !std::isalpha(static_cast<unsigned char>(text[0]))) {
        why = quoted(text) + " is not a Windows path with a drive letter (like C:\\WINDOWS)";
        return false;
    }
    options.machine.windowsDir = text;
    return true;
}

bool applyRegistry(const std::string& text, HostOptions& options, std::string&) {
    options.machine.registryFile = text;
    return true;
}

bool applyDword(const std::string& text, DWORD& out, std::string& why) {
    long long number = 0;
    if (!parseNumber(text, 0, kDwordMax, number)) {
        why = quoted(text) + " is not a whole number from 0 to 4294967295";
        return false;
    }
    out = static_cast<DWORD>(number);
    return true;
}

bool applyPlatformId(const std::string& text, HostOptions& options, std::string& why) {
    return applyDword(text, options.machine.platformId, why);
}

bool applyCsd(const std::string& text, HostOptions& options, std::string& why) {
    // OSVERSIONINFOA keeps the text in 128 characters with its terminator.
    if (text.size() >= 128) {
        why = "the text has " + std::to_string(text.size()) + " characters; at most 127 fit";
        return false;
    }
    options.machine.csdVersion = text;
    return true;
}

bool applyScreen(const std::string& text, HostOptions& options, std::string& why) {
    auto x = text.find('x');
    long long w = 0;
    long long h = 0;
    if (x == std::string::npos || !parseNumber(text.substr(0, x), 320, 4096, w) ||
        !parseNumber(text.substr(x + 1), 200, 4096, h)) {
        why = quoted(text) + " is not WIDTHxHEIGHT with a width of 320 to 4096 and a height of " +
              "200 to 4096";
        return false;
    }
    options.machine.screenWidth = static_cast<int>(w);
    options.machine.screenHeight = static_cast<int>(h);
    return true;
}

bool applyDepth(const std::string& text, HostOptions& options, std::string& why) {
    long long number = 0;
    if (!parseNumber(text, 1, 32, number) ||
        (number != 4 && number != 8 && number != 16 && number != 24 && number != 32)) {
        why = quoted(text) + " is not one of 4, 8, 16, 24 or 32";
        return false;
    }
    options.machine.screenDepth = static_cast<int>(number);
    return true;
}

bool applyInput(const std::string& text, HostOptions& options, std::string&) {
    options.inputScript = text;
    return true;
}

bool applyTrace(const std::string& text, HostOptions& options, std::string&) {
    options.machine.traceFile = text;
    return true;
}

bool applyClock(const std::string& text, HostOptions& options, std::string& why) {
    if (text != "real" && text != "virtual") {
        why = quoted(text) + " is neither real nor virtual";
        return false;
    }
    options.machine.clock = text == "virtual" ? ClockMode::Virtual : ClockMode::Real;
    return true;
}

bool applyTickStart(const std::string& text, HostOptions& options, std::string& why) {
    return applyDword(text, options.machine.tickStart, why);
}

bool applyRestart(const std::string& text, HostOptions& options, std::string& why) {
    if (text != "accept" && text != "refuse") {
        why = quoted(text) + " is neither accept nor refuse";
        return false;
    }
    options.machine.restart = text == "refuse" ? RestartAnswer::Refuse : RestartAnswer::Accept;
    return true;
}

bool applyDryRun(const std::string& text, HostOptions& options, std::string&) {
    options.dryRunCommand = text;
    options.action = HostAction::DryRun;
    return true;
}

bool applySheet(const std::string& text, HostOptions& options, std::string&) {
    options.sheetFile = text;
    options.action = HostAction::Sheet;
    return true;
}

struct OptionSpec {
    const char* name;
    const char* value; // what the value looks like; nullptr: the option takes none
    const char* help;
    Apply apply; // nullptr for the options that take no value
};

const OptionSpec kOptions[] = {
    {"--drive", "X=DIR|IMAGE",
     "map drive letter X to host folder DIR or a disk image (FILE or FILE@N, partition N)",
     &applyDrive},
    {"--disk", "DIR|IMAGE",
     "the driver disk: a folder, or a floppy image mounted read-only as A: (default: here)",
     &applyDisk},
    {"--windows-dir", "PATH",
     "the Windows directory as a Windows path (default: C:\\MSDOS.SYS's WinDir, else "
     "C:\\WINDOWS)",
     &applyWindowsDir},
    {"--registry", "FILE", "host file of HKEY_LOCAL_MACHINE (default SYSTEM.REG in it)",
     &applyRegistry},
    {"--platform-id", "N", "the platform GetVersionExA reports (default 1, Windows 95)",
     &applyPlatformId},
    {"--csd", "TEXT", "the service-pack text GetVersionExA reports (default empty)", &applyCsd},
    {"--screen", "WxH", "size of the emulated display (default 800x600)", &applyScreen},
    {"--depth", "BITS", "colour depth: 4, 8, 16, 24 or 32 (default 32)", &applyDepth},
    {"--headless", nullptr, "no host window; the screen exists only in memory", nullptr},
    {"--input", "FILE", "run the input script FILE (move, click, key, wait, screenshot, close)",
     &applyInput},
    {"--trace", "FILE", "write one line per traced platform call to FILE", &applyTrace},
    {"--clock", "MODE", "real milliseconds, or virtual time that moves 1 ms a tick read",
     &applyClock},
    {"--tick-start", "N", "the tick count the clock starts from (default 0)", &applyTickStart},
    {"--restart", "ANSWER", "accept or refuse a restart request (default accept)", &applyRestart},
    {"--check", nullptr, "check the driver disk in the current folder, print what is wrong",
     nullptr},
    {"--dry-run", "COMMAND",
     "run COMMAND (100, 101 or an item's text) on a copy of C: and print what it would change",
     &applyDryRun},
    {"--sheet", "FILE.png", "write the window on 16 and 256 colours side by side to FILE.png",
     &applySheet},
    {"--watch", nullptr, "remake the window when layout.ini or a picture changes on disk", nullptr},
    {"--help", nullptr, "print this help and exit", nullptr},
    {"--version", nullptr, "print the version and exit", nullptr},
};

const OptionSpec* findOption(const std::string& name) {
    for (const OptionSpec& spec : kOptions) {
        if (name == spec.name) {
            return &spec;
        }
    }
    return nullptr;
}

std::string optionColumn(const OptionSpec& spec) {
    std::string text = spec.name;
    if (spec.value != nullptr) {
        text += ' ';
        text += spec.value;
    }
    return text;
}

} // namespace

std::string hostUsage(const std::string& program) {
    std::string pad(program.size(), ' ');
    return "usage: " + program + " [--drive X=DIR|IMAGE]... [--disk DIR|IMAGE]\n" + "       " +
           pad + " [--windows-dir PATH] [--registry FILE]\n" + "       " + pad +
           " [--platform-id N] [--csd TEXT] [--screen WxH] [--depth BITS]\n" + "       " + pad +
           " [--headless] [--input FILE] [--trace FILE] [--watch]\n" + "       " + pad +
           " [--clock real|virtual] [--tick-start N] [--restart accept|refuse]\n" + "       " +
           pad + " [--dry-run COMMAND | --sheet FILE.png]\n" + "       " + program +
           " --check [--drive X=DIR|IMAGE]... [--disk DIR|IMAGE] [--windows-dir PATH]\n" +
           "       " + program + " --help | --version\n";
}

std::string hostHelp(const std::string& program) {
    std::string text = "usage: " + program +
                       " [OPTION]...\n"
                       "Runs the corvane driver-disk launcher in an emulated Windows 95.\n"
                       "Start it in the driver disk's folder (or name it with --disk), which\n"
                       "becomes drive D: unless it lies inside a mapped drive. A disk image\n"
                       "as a drive is changed only when the run ends by itself, and then\n"
                       "with every change at once.\n\n";
    for (const OptionSpec& spec : kOptions) {
        std::string column = "  " + optionColumn(spec);
        column.resize(std::max<size_t>(column.size() + 2, 24), ' ');
        text += column + spec.help + "\n";
    }
    text += "\nExit status with --check: 0 when no finding is an error, 1 when one is.\n"
            "Exit status: 0 when the program ended by itself, 1 when no display is\n"
            "available without --headless, 2 for a bad command line, a bad input script,\n"
            "a machine that cannot start or a script command that failed, 3 when a\n"
            "headless input script ran out while the program waited for input, 4 when\n"
            "the command of --dry-run would not succeed, 5 when the changes of the run\n"
            "could not be written into a disk image (which is left as it was).\n";
    return text;
}

bool parseHostOptions(const std::vector<std::string>& args, HostOptions& options,
                      std::string& error) {
    options.machine.headless = false; // the host shows a window unless told otherwise
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        const OptionSpec* spec = findOption(name);
        if (spec == nullptr) {
            error = name.rfind("-", 0) == 0
                        ? "unknown option " + name
                        : "unexpected argument \"" + name + "\"; the program takes options only";
            return false;
        }
        if (spec->apply == nullptr) {
            if (name == "--help") {
                options.action = HostAction::Help;
                return true;
            }
            if (name == "--version") {
                options.action = HostAction::Version;
                return true;
            }
            if (name == "--check") {
                options.action = HostAction::Check;
                continue;
            }
            if (name == "--watch") {
                options.watch = true;
                continue;
            }
            options.machine.headless = true;
            continue;
        }
        // A following option is a forgotten value, not a value.
        if (i + 1 >= args.size() || findOption(args[i + 1]) != nullptr) {
            error = "option " + name + " needs a value (" + spec->value + ")";
            return false;
        }
        const std::string& text = args[++i];
        std::string why;
        // An empty service-pack text is what Windows reports without one.
        if (text.empty() && spec->apply != &applyCsd) {
            why = "the value is empty";
        }
        if (!why.empty() || !spec->apply(text, options, why)) {
            error = "option " + name + ": " + why;
            return false;
        }
    }
    return true;
}

} // namespace emu::host

#include "platform/emu/host/HostOptions.h"

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
    DWORD platformId = 0;
    if (!applyDword(text, platformId, why)) {
        return false;
    }
    options.machine.platformId = platformId;
    return true;
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

bool applyHeadless(const std::string&, HostOptions& options, std::string&) {
    options.machine.headless = true;
    return true;
}

} // namespace

const std::vector<HostOptionRow>& hostOptions() {
    static const std::vector<HostOptionRow> rows = {
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
        {"--platform-id", "N",
         "the platform GetVersionExA reports (default 1, the Windows 95 family)", &applyPlatformId},
        // An empty service-pack text is what Windows reports without one.
        {"--csd", "TEXT",
         "the service-pack text GetVersionExA reports (default: the registry's SubVersionNumber, "
         "else empty)",
         &applyCsd, true},
        {"--screen", "WxH", "size of the emulated display (default 800x600)", &applyScreen},
        {"--depth", "BITS", "colour depth: 4, 8, 16, 24 or 32 (default 32)", &applyDepth},
        {"--headless", nullptr, "no host window; the screen exists only in memory", &applyHeadless},
        {"--input", "FILE", "run the input script FILE (move, click, key, wait, screenshot, close)",
         &applyInput},
        {"--trace", "FILE", "write one line per traced platform call to FILE", &applyTrace},
        {"--clock", "MODE", "real milliseconds, or virtual time that moves 1 ms a tick read",
         &applyClock},
        {"--tick-start", "N", "the tick count the clock starts from (default 0)", &applyTickStart},
        {"--restart", "ANSWER", "accept or refuse a restart request (default accept)",
         &applyRestart},
    };
    return rows;
}

const HostOptionRow* findHostOption(const std::string& name) {
    const std::vector<HostOptionRow>& rows = hostOptions();
    return hostsupport::findOptionRow(rows.data(), rows.data() + rows.size(), name);
}

bool applyHostOption(const HostOptionRow& option, const std::string& value, HostOptions& options,
                     std::string& why) {
    if (option.refusesEmpty(value)) {
        why = "the value is empty";
        return false;
    }
    return option.apply(value, options, why);
}

} // namespace emu::host

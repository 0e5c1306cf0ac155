#include "platform/emu/host/HostOptions.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace emu::host {

namespace {

bool parseNumber(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty()) {
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

bool parseDrive(const std::string& text, MachineConfig& machine) {
    if (text.size() < 3 || text[1] != '=' || !std::isalpha(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    machine.drives[letter] = text.substr(2);
    return true;
}

bool parseScreen(const std::string& text, MachineConfig& machine) {
    auto x = text.find('x');
    long long w = 0;
    long long h = 0;
    if (x == std::string::npos || !parseNumber(text.substr(0, x), 320, 4096, w) ||
        !parseNumber(text.substr(x + 1), 200, 4096, h)) {
        return false;
    }
    machine.screenWidth = static_cast<int>(w);
    machine.screenHeight = static_cast<int>(h);
    return true;
}

} // namespace

std::string hostUsage() {
    return "usage: setup [--drive X=DIR]... [--windows-dir PATH] [--registry FILE]\n"
           "             [--platform-id N] [--csd TEXT] [--screen WxH] [--depth 4|8|16|24|32]\n"
           "             [--headless] [--input FILE] [--trace FILE]\n"
           "             [--clock real|virtual] [--tick-start N] [--restart accept|refuse]";
}

bool parseHostOptions(const std::vector<std::string>& args, HostOptions& options,
                      std::string& error) {
    MachineConfig& machine = options.machine;
    machine.headless = false; // the host shows a window unless told otherwise
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = "option " + option + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string text;
        long long number = 0;
        if (option == "--headless") {
            machine.headless = true;
            continue;
        }
        if (!value(text)) {
            return false;
        }
        bool ok = true;
        if (option == "--drive") {
            ok = parseDrive(text, machine);
        } else if (option == "--windows-dir") {
            machine.windowsDir = text;
            ok = text.size() >= 2 && text[1] == ':';
        } else if (option == "--registry") {
            machine.registryFile = text;
        } else if (option == "--platform-id") {
            ok = parseNumber(text, 0, 0xFFFFFFFFLL, number);
            machine.platformId = static_cast<DWORD>(number);
        } else if (option == "--csd") {
            machine.csdVersion = text;
            ok = text.size() < 128;
        } else if (option == "--screen") {
            ok = parseScreen(text, machine);
        } else if (option == "--depth") {
            ok = parseNumber(text, 1, 32, number) &&
                 (number == 4 || number == 8 || number == 16 || number == 24 || number == 32);
            machine.screenDepth = static_cast<int>(number);
        } else if (option == "--input") {
            options.inputScript = text;
        } else if (option == "--trace") {
            machine.traceFile = text;
        } else if (option == "--clock") {
            ok = text == "real" || text == "virtual";
            machine.clock = text == "virtual" ? ClockMode::Virtual : ClockMode::Real;
        } else if (option == "--tick-start") {
            ok = parseNumber(text, 0, 0xFFFFFFFFLL, number);
            machine.tickStart = static_cast<DWORD>(number);
        } else if (option == "--restart") {
            ok = text == "accept" || text == "refuse";
            machine.restart = text == "refuse" ? RestartAnswer::Refuse : RestartAnswer::Accept;
        } else {
            error = "unknown option " + option;
            return false;
        }
        if (!ok) {
            error = "bad value for " + option + ": " + text;
            return false;
        }
    }
    return true;
}

} // namespace emu::host

#include "platform/emu/kernel/WindowsRelease.h"

#include "platform/emu/kernel/Registry.h"

#include <cctype>
#include <string_view>
#include <utility>

namespace emu::kernel {

namespace {

// Reads a decimal number of 1 to 5 digits up to the next dot or the end.
bool readNumber(std::string_view& text, DWORD limit, DWORD& number) {
    size_t digits = 0;
    number = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) {
        number = number * 10 + static_cast<DWORD>(text[digits] - '0');
        if (++digits > 5 || number >= limit) {
            return false;
        }
    }
    text.remove_prefix(digits);
    return digits > 0;
}

// The release letter of Windows 95's service releases, as the system
// properties show it after the version (4.00.950B): the first letter of the
// subversion text.
char releaseLetter(const std::optional<std::string>& text) {
    for (char c : text.value_or("")) {
        if (std::isalpha(static_cast<unsigned char>(c))) {
            return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return '\0';
}

// The first build of Windows 95 OSR2 is above this one.
constexpr DWORD kLastBuildBeforeOsr2 = 1080;
constexpr DWORD kFirstBuildOf98Se = 2222;

} // namespace

std::optional<WindowsRelease> WindowsRelease::installed() {
    auto version = localMachineString(kKey, "VersionNumber");
    auto subVersion = localMachineString(kKey, "SubVersionNumber");
    if (!version && !subVersion) {
        return std::nullopt;
    }
    return WindowsRelease(std::move(version), std::move(subVersion));
}

WindowsRelease::WindowsRelease(std::optional<std::string> versionNumber,
                               std::optional<std::string> subVersionNumber)
    : m_versionNumber(std::move(versionNumber)), m_subVersionNumber(std::move(subVersionNumber)) {}

bool WindowsRelease::numbers(DWORD& major, DWORD& minor, DWORD& build) const {
    if (!m_versionNumber) {
        return false;
    }
    std::string_view text = *m_versionNumber;
    auto dot = [&text] {
        if (text.empty() || text.front() != '.') {
            return false;
        }
        text.remove_prefix(1);
        return true;
    };
    return readNumber(text, 256, major) && dot() && readNumber(text, 256, minor) && dot() &&
           readNumber(text, 65536, build) && text.empty();
}

std::string WindowsRelease::name() const {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    if (!numbers(major, minor, build) || major != 4) {
        return "Windows " + m_versionNumber.value_or("of no recorded version");
    }
    if (minor == 0 || minor == 3) {
        switch (releaseLetter(m_subVersionNumber)) {
        case 'A':
            return "Windows 95 OSR1";
        case 'B':
            return minor == 3 ? "Windows 95 OSR2.1" : "Windows 95 OSR2";
        case 'C':
            return "Windows 95 OSR2.5";
        default:
            return build > kLastBuildBeforeOsr2 ? "Windows 95 OSR2" : "Windows 95";
        }
    }
    if (minor == 10) {
        return build >= kFirstBuildOf98Se ? "Windows 98 SE" : "Windows 98";
    }
    if (minor == 90) {
        return "Windows ME";
    }
    return "Windows " + *m_versionNumber;
}

} // namespace emu::kernel

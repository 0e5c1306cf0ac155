// The release of Windows an installation is, as its registry records it:
// HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion, values
// VersionNumber ("4.00.950", "4.10.2222") and SubVersionNumber (" B",
// " A "). GetVersionExA reports the numbers of the one and the text of the
// other; kernel/README.md lists the published facts behind the names.
#pragma once

#include "platform/win32.h"

#include <optional>
#include <string>

namespace emu::kernel {

class WindowsRelease {
public:
    static constexpr const char* kKey = "Software\\Microsoft\\Windows\\CurrentVersion";

    // The values of the machine's registry; nullopt when it records neither.
    static std::optional<WindowsRelease> installed();

    WindowsRelease(std::optional<std::string> versionNumber,
                   std::optional<std::string> subVersionNumber);

    const std::optional<std::string>& versionNumber() const { return m_versionNumber; }
    const std::optional<std::string>& subVersionNumber() const { return m_subVersionNumber; }

    // Major, minor and build from "major.minor.build" (decimal numbers, the
    // major and minor below 256, the build below 65536); false when the
    // version number is missing or has another shape.
    bool numbers(DWORD& major, DWORD& minor, DWORD& build) const;

    // The release's name: "Windows 95", "Windows 95 OSR2", "Windows 98 SE",
    // "Windows ME"...; "Windows" and the version number for numbers no
    // release is known by.
    std::string name() const;

private:
    std::optional<std::string> m_versionNumber;
    std::optional<std::string> m_subVersionNumber;
};

} // namespace emu::kernel

// A driver disk and a C: drive written for one test: a layout.ini whose menu
// is driven from the keyboard (focus starts on Install; Down moves to
// Uninstall, Other, Quit), fragments, Windows INF files and a registry file.
#pragma once

#include "tests/support/TempDir.h"

#include <string>

namespace corvane_test {

class TestDisk {
public:
    // With usb, C:\WINDOWS\INF holds USB.INF too.
    explicit TestDisk(bool usb = true);

    std::string disk() const { return m_root / "disk"; }
    std::string cDrive() const { return m_root / "c"; }
    std::string infPath(const std::string& name) const { return cDrive() + "/WINDOWS/INF/" + name; }
    std::string registryPath() const { return cDrive() + "/WINDOWS/SYSTEM.REG"; }
    std::string inf(const std::string& name) const { return readHostFile(infPath(name)); }
    bool infExists(const std::string& name) const { return hostFileExists(infPath(name)); }
    std::string registry() const { return readHostFile(registryPath()); }
    void writeDisk(const std::string& name, const std::string& text) const;

    // The Windows INF files as the disk starts them.
    static const char* const kOneInf;
    static const char* const kTwoInf;
    static const char* const kUsbInf;
    static const char* const kRegistry;

private:
    TempDir m_root;
};

} // namespace corvane_test

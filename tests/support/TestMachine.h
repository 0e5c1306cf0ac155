// A small emulated machine for one test: a C: drive with C:\WINDOWS\INF and a
// registry file, a driver disk as D: and the current directory, both in a
// temporary folder, and the program's own resources registered.
#pragma once

#include "platform/emu/Machine.h"
#include "tests/support/TempDir.h"

#include <string>

namespace corvane_test {

class TestMachine {
public:
    TestMachine();
    ~TestMachine();

    // Host paths of the two drives' folders.
    std::string cDrive() const { return m_root / "c"; }
    std::string disk() const { return m_root / "disk"; }
    // Host path of a file on C: or on the disk, given with '/' or '\\'.
    std::string onC(const std::string& relative) const;
    std::string onDisk(const std::string& relative) const;

    void writeC(const std::string& relative, const std::string& text) const;
    void writeDisk(const std::string& relative, const std::string& text) const;
    std::string readC(const std::string& relative) const;
    bool existsOnC(const std::string& relative) const;

    // The configuration boot() uses; change it before booting.
    emu::MachineConfig& config() { return m_config; }
    void boot();

private:
    TempDir m_root;
    emu::MachineConfig m_config;
};

} // namespace corvane_test

// The demo driver disk in this process: copies of demo/disk (as D: and the
// current directory) and demo/c (as C:) in a temporary folder, so the
// repository's files are never changed, and an emulated headless machine
// booted on them with the program's resources registered.
#pragma once

#include "platform/emu/Machine.h"
#include "tests/support/TempDir.h"

#include <string>

namespace corvane_test {

class DemoMachine {
public:
    DemoMachine();
    ~DemoMachine();
    DemoMachine(const DemoMachine&) = delete;
    DemoMachine& operator=(const DemoMachine&) = delete;

    // Host folders of the repository's demo and of the two copies.
    static std::string demoSource();
    std::string disk() const { return m_root / "disk"; }
    std::string cDrive() const { return m_root / "c"; }

    emu::MachineConfig& config() { return m_config; }
    void boot();
    void shutdown();
    // Replaces the C: copy with a fresh one: the INF files and the registry
    // as the demo starts them, no backups.
    void freshC() const;

private:
    TempDir m_root;
    emu::MachineConfig m_config;
};

} // namespace corvane_test

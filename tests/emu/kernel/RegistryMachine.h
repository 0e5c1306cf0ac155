// A booted machine for the registry tests: C:\Windows on an otherwise empty C:
// drive, HKEY_LOCAL_MACHINE kept in the given host file (empty: the default
// in the Windows directory) and the trace on.
#pragma once

#include "tests/support/TestMachine.h"

#include <string>

namespace corvane_test {

class RegistryMachine {
public:
    // failingWrite: the write of file data of that number fails as on a
    // full disk (MachineConfig::failingWrite).
    explicit RegistryMachine(const std::string& registryFile, int failingWrite = -1)
        : m_machine(options()) {
        m_machine.config().registryFile = registryFile;
        m_machine.config().failingWrite = failingWrite;
        m_machine.boot();
    }

    // Host path of the Windows directory.
    std::string windows() const { return m_machine.onC("Windows"); }
    std::string trace() const { return m_machine.traceText(); }

private:
    static TestMachine::Options options() {
        TestMachine::Options options;
        options.drives = TestMachine::Drives::COnly;
        options.cFolders = {"Windows"};
        options.trace = true;
        return options;
    }

    TestMachine m_machine;
};

} // namespace corvane_test

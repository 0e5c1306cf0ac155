// A booted machine whose C: drive is a fresh temporary folder holding
// C:\WINDOWS\INF\Mshdc.inf, for the file tests, with the trace on.
#pragma once

#include "platform/win32.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>
#include <string>

class FileMachine : public ::testing::Test {
protected:
    FileMachine() : machine(onlyC()) {}

    void SetUp() override {
        machine.writeC("WINDOWS/INF/Mshdc.inf", "[Version]\n");
        boot("C:\\");
    }

    void boot(const std::string& currentDir) {
        machine.config().currentDir = currentDir;
        machine.boot();
    }

    // Host path of a file on C:.
    std::string onC(const std::string& relative) const { return machine.onC(relative); }

    // The trace written so far (the machine is shut down to flush it).
    std::string traceAfterShutdown() {
        machine.shutdown();
        return machine.traceText();
    }

    static HANDLE open(const std::string& path, DWORD access, DWORD share,
                       DWORD disposition = OPEN_EXISTING,
                       DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        return CreateFileA(path.c_str(), access, share, nullptr, disposition, attributes, nullptr);
    }

    corvane_test::TestMachine machine;

private:
    static corvane_test::TestMachine::Options onlyC() {
        corvane_test::TestMachine::Options options;
        options.drives = corvane_test::TestMachine::Drives::COnly;
        options.trace = true;
        return options;
    }
};

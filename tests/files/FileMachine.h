// A booted machine whose C: drive is a fresh temporary folder, for the file
// tests. The trace goes to a file beside the drive.
#pragma once

#include "platform/emu/Machine.h"
#include "platform/win32.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <string>

class FileMachine : public ::testing::Test {
protected:
    void SetUp() override {
        corvane_test::writeHostFile(drive / "WINDOWS/INF/Mshdc.inf", "[Version]\n");
        boot("C:\\");
    }
    void TearDown() override { emu::shutdown(); }

    void boot(const std::string& currentDir) {
        emu::MachineConfig config;
        config.drives['C'] = drive.path();
        config.currentDir = currentDir;
        config.traceFile = outside / "trace.txt";
        emu::boot(config);
    }

    // The trace written so far (the machine is shut down to flush it).
    std::string traceAfterShutdown() {
        emu::shutdown();
        return corvane_test::readHostFile(outside / "trace.txt");
    }

    static HANDLE open(const std::string& path, DWORD access, DWORD share,
                       DWORD disposition = OPEN_EXISTING,
                       DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        return CreateFileA(path.c_str(), access, share, nullptr, disposition, attributes, nullptr);
    }

    corvane_test::TempDir drive;
    corvane_test::TempDir outside;
};

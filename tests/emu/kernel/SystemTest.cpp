#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/kernel/SystemInfo.h"
#include "platform/emu/kernel/WindowsRelease.h"
#include "platform/win32.h"
#include "tests/support/CregSamples.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <set>
#include <thread>
#include <vector>

using corvane_test::TestMachine;

namespace {

void bootVirtualClock(TestMachine& machine, DWORD tickStart) {
    machine.config().clock = emu::ClockMode::Virtual;
    machine.config().tickStart = tickStart;
    machine.boot();
}

// The minimum-display loop of the progress dialog: steps until 5000 ms of the
// 32-bit counter have passed.
int stepsInFiveSeconds() {
    DWORD start = GetTickCount();
    int steps = 0;
    while (GetTickCount() - start < 5000) {
        ++steps;
    }
    return steps;
}

} // namespace

// The version record is that of the release the registry records (binary
// or text), as that release reports it; --platform-id and --csd decide over
// it, and without the values it is the first release's.
TEST(System, GetVersionExAReportsTheInstalledReleaseOrTheConfiguredOne) {
    const std::string longText(200, 'x');
    struct Case {
        const char* name;
        const char* version;    // VersionNumber; nullptr: none
        const char* subVersion; // SubVersionNumber; nullptr: none
        bool binary;            // SYSTEM.DAT, else SYSTEM.REG
        std::optional<DWORD> platformId;
        std::optional<std::string> csd;
        DWORD major, minor, build;
        std::string reported;
    };
    const Case cases[] = {
        {"no release", nullptr, nullptr, true, VER_PLATFORM_WIN32_WINDOWS, "", 4, 0, 0x040003B6,
         ""},
        {"no release", nullptr, nullptr, true, VER_PLATFORM_WIN32_WINDOWS, " A ", 4, 0, 0x040003B6,
         " A "},
        {"no release", nullptr, nullptr, true, VER_PLATFORM_WIN32_WINDOWS, longText, 4, 0,
         0x040003B6, longText.substr(0, 127)},
        {"no release", nullptr, nullptr, true, VER_PLATFORM_WIN32_NT, "Service Pack 3", 4, 0, 1381,
         "Service Pack 3"},
        {"no release", nullptr, nullptr, true, VER_PLATFORM_WIN32s, "", 3, 10, 0, ""},
        {"Windows 95", "4.00.950", "", true, {}, {}, 4, 0, 0x040003B6, ""},
        {"Windows 95 OSR1", "4.00.950", " A", false, {}, {}, 4, 0, 0x040003B6, " A"},
        {"Windows 95 OSR2", "4.00.1111", " B", true, {}, {}, 4, 0, 0x04000457, " B"},
        {"Windows 95 OSR2.1", "4.03.1212", " B", false, {}, {}, 4, 3, 0x040304BC, " B"},
        {"Windows 95 OSR2.5", "4.03.1214", " C", true, {}, {}, 4, 3, 0x040304BE, " C"},
        {"Windows 98", "4.10.1998", " ", false, {}, {}, 4, 10, 0x040A07CE, " "},
        {"Windows 98 SE", "4.10.2222", " A ", true, {}, {}, 4, 10, 0x040A08AE, " A "},
        {"Windows ME", "4.90.3000", " ", false, {}, {}, 4, 90, 0x045A0BB8, " "},
        {"Windows 95 OSR2", "4.00.1111", " B", true, {}, " A ", 4, 0, 0x04000457, " A "},
        {"Windows 95 OSR2", "4.00.1111", " B", false, VER_PLATFORM_WIN32_NT, {}, 4, 0, 1381, " B"},
        {"no release", nullptr, nullptr, true, {}, {}, 4, 0, 0x040003B6, ""},
        {"Windows 4.0.950.7", "4.0.950.7", " B", false, {}, {}, 4, 0, 0x040003B6, " B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.binary ? " in SYSTEM.DAT" : " in SYSTEM.REG"));
        TestMachine machine;
        if (c.version != nullptr || c.subVersion != nullptr) {
            machine.writeC(c.binary ? "WINDOWS/SYSTEM.DAT" : "WINDOWS/SYSTEM.REG",
                           c.binary ? corvane_test::cregReleaseHive(c.version, c.subVersion)
                                    : corvane_test::regeditReleaseText(c.version, c.subVersion));
        }
        machine.config().platformId = c.platformId;
        machine.config().csdVersion = c.csd;
        machine.boot();
        OSVERSIONINFOA record;
        std::memset(&record, 0x5A, sizeof record);
        record.dwOSVersionInfoSize = sizeof record;
        ASSERT_EQ(GetVersionExA(&record), TRUE);
        EXPECT_EQ(record.dwOSVersionInfoSize, 148u);
        EXPECT_EQ(record.dwPlatformId, c.platformId.value_or(VER_PLATFORM_WIN32_WINDOWS));
        EXPECT_EQ(record.dwMajorVersion, c.major);
        EXPECT_EQ(record.dwMinorVersion, c.minor);
        EXPECT_EQ(record.dwBuildNumber, c.build);
        EXPECT_EQ(std::string(record.szCSDVersion), c.reported);
        for (size_t i = c.reported.size(); i < sizeof record.szCSDVersion; ++i) {
            EXPECT_EQ(record.szCSDVersion[i], '\0') << i;
        }
        auto release = emu::kernel::WindowsRelease::installed();
        EXPECT_EQ(release ? release->name() : "no release", c.name);
    }
}

TEST(System, GetVersionExARefusesAnyOtherRecordSizeAndLeavesTheRecordAlone) {
    TestMachine machine;
    machine.boot();
    for (DWORD size : {0u, 147u, 149u, 156u}) {
        OSVERSIONINFOA record;
        std::memset(&record, 0x5A, sizeof record);
        record.dwOSVersionInfoSize = size;
        OSVERSIONINFOA before = record;
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetVersionExA(&record), FALSE) << size;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << size;
        EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0) << size;
    }
    EXPECT_EQ(GetVersionExA(nullptr), FALSE);
}

TEST(System, VirtualClockAdvancesPerReadingAndWhenTold) {
    TestMachine machine;
    bootVirtualClock(machine, 1000);
    EXPECT_EQ(GetTickCount(), 1000u);
    EXPECT_EQ(GetTickCount(), 1001u);
    emu::kernel::advanceVirtualClock(500);
    EXPECT_EQ(GetTickCount(), 1502u);
    Sleep(10);
    EXPECT_EQ(GetTickCount(), 1513u);
    Sleep(0);
    EXPECT_EQ(GetTickCount(), 1514u);

    bootVirtualClock(machine, 7);
    EXPECT_EQ(GetTickCount(), 7u);
}

TEST(System, VirtualClockWrapsAt32BitsAndTheFiveSecondLoopStillEnds) {
    TestMachine machine;
    bootVirtualClock(machine, 0xFFFFFF00);
    DWORD last = 0;
    for (int i = 0; i < 256; ++i) {
        last = GetTickCount();
    }
    EXPECT_EQ(last, 0xFFFFFFFFu);
    EXPECT_EQ(GetTickCount(), 0u);

    bootVirtualClock(machine, 0);
    int plain = stepsInFiveSeconds();
    bootVirtualClock(machine, 0xFFFFFF00);
    EXPECT_EQ(stepsInFiveSeconds(), plain);
    EXPECT_EQ(plain, 4999);
}

TEST(System, VirtualClockGivesEveryReaderItsOwnTick) {
    TestMachine machine;
    bootVirtualClock(machine, 0xFFFFF000);
    constexpr int kReads = 5000;
    std::vector<DWORD> first(kReads), second(kReads);
    std::thread other([&] {
        for (DWORD& tick : second) {
            tick = GetTickCount();
        }
    });
    for (DWORD& tick : first) {
        tick = GetTickCount();
    }
    other.join();
    std::set<DWORD> seen(first.begin(), first.end());
    seen.insert(second.begin(), second.end());
    EXPECT_EQ(seen.size(), 2u * kReads);
    EXPECT_EQ(GetTickCount(), 0xFFFFF000u + 2 * kReads);
}

TEST(System, RealClockStartsAtTheTickStartAndSleepLetsTimePass) {
    TestMachine machine;
    machine.config().clock = emu::ClockMode::Real;
    machine.config().tickStart = 0x10000000;
    machine.boot();
    DWORD before = GetTickCount();
    EXPECT_GE(before, 0x10000000u);
    emu::kernel::advanceVirtualClock(100000); // no effect on real time
    Sleep(20);
    DWORD after = GetTickCount();
    EXPECT_GE(after - before, 20u);
    EXPECT_LT(after - before, 100000u);
}

TEST(System, ExitWindowsExAnswersAsConfiguredAndNeverTouchesTheHost) {
    struct Case {
        emu::RestartAnswer answer;
        BOOL result;
        const char* trace;
    };
    const Case cases[] = {
        {emu::RestartAnswer::Accept, TRUE, "ExitWindowsEx(2, 0) = 1\n"},
        {emu::RestartAnswer::Refuse, FALSE, "ExitWindowsEx(2, 0) = 0\n"},
    };
    for (const Case& c : cases) {
        TestMachine machine(TestMachine::traced());
        machine.config().restart = c.answer;
        machine.boot();
        EXPECT_FALSE(emu::kernel::restartRequested().has_value());
        EXPECT_FALSE(emu::kernel::sessionEnding());
        EXPECT_EQ(ExitWindowsEx(EWX_REBOOT, 0), c.result);
        EXPECT_EQ(emu::kernel::restartRequested(), std::optional<UINT>(EWX_REBOOT));
        EXPECT_EQ(emu::kernel::sessionEnding(), c.result == TRUE);
        machine.shutdown();
        EXPECT_EQ(machine.traceText(), c.trace);
    }
    // A new boot is a new session.
    TestMachine machine;
    machine.boot();
    EXPECT_FALSE(emu::kernel::sessionEnding());
    EXPECT_FALSE(emu::kernel::restartRequested().has_value());
}

TEST(System, LoadStringACopiesWhatFitsAndTerminatesIt) {
    emu::kernel::ModuleResources resources;
    resources.strings[130] = "Quit this program?";
    resources.strings[57344] = "corvane";
    emu::kernel::setModuleResources(resources);
    HINSTANCE module = GetModuleHandleA(nullptr);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetModuleHandleA("SETUP.EXE"), module);
    EXPECT_EQ(GetModuleHandleA("OTHER.DLL"), nullptr);

    struct Case {
        HINSTANCE instance;
        UINT id;
        int size;
        int result;
        std::string text;
    };
    const Case cases[] = {
        {module, 130, 64, 18, "Quit this program?"},
        {module, 130, 19, 18, "Quit this program?"},
        {module, 130, 18, 17, "Quit this program"},
        {module, 130, 5, 4, "Quit"},
        {module, 130, 1, 0, ""},
        {nullptr, 57344, 64, 7, "corvane"},
        {module, 131, 64, 0, ""},
        {reinterpret_cast<HINSTANCE>(0x1234), 130, 64, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " into " << c.size);
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(LoadStringA(c.instance, c.id, buffer, c.size), c.result);
        EXPECT_EQ(std::string(buffer), c.text);
        for (int i = c.size; i < static_cast<int>(sizeof buffer); ++i) {
            ASSERT_EQ(buffer[i], '#') << "written past the buffer at " << i;
        }
    }
    char untouched = '#';
    EXPECT_EQ(LoadStringA(module, 130, &untouched, 0), 0);
    EXPECT_EQ(untouched, '#');
    EXPECT_EQ(LoadStringA(module, 130, nullptr, 10), 0);
}

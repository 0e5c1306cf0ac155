#include "platform/emu/host/HostOptions.h"

#include <gtest/gtest.h>

using emu::host::HostOptions;
using emu::host::parseHostOptions;

TEST(HostOptions, ReadsEveryMachineOption) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(parseHostOptions({"--drive", "c=/tmp/c", "--drive", "D=/tmp/disk", "--windows-dir",
                                  "C:\\WIN", "--registry", "/tmp/r.reg", "--platform-id", "2",
                                  "--csd", " A ", "--screen", "640x480", "--depth", "8",
                                  "--headless", "--input", "s.txt", "--trace", "t.txt", "--clock",
                                  "virtual", "--tick-start", "4294967000", "--restart", "refuse"},
                                 options, error))
        << error;
    const emu::MachineConfig& m = options.machine;
    EXPECT_EQ(m.drives.at('C'), "/tmp/c");
    EXPECT_EQ(m.drives.at('D'), "/tmp/disk");
    EXPECT_EQ(m.windowsDir, "C:\\WIN");
    EXPECT_EQ(m.registryFile, "/tmp/r.reg");
    EXPECT_EQ(m.platformId, 2u);
    EXPECT_EQ(m.csdVersion, " A ");
    EXPECT_EQ(m.screenWidth, 640);
    EXPECT_EQ(m.screenHeight, 480);
    EXPECT_EQ(m.screenDepth, 8);
    EXPECT_TRUE(m.headless);
    EXPECT_EQ(options.inputScript, "s.txt");
    EXPECT_EQ(m.traceFile, "t.txt");
    EXPECT_EQ(m.clock, emu::ClockMode::Virtual);
    EXPECT_EQ(m.tickStart, 4294967000u);
    EXPECT_EQ(m.restart, emu::RestartAnswer::Refuse);
}

TEST(HostOptions, DefaultsShowAWindowOnTheStandardMachine) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(parseHostOptions({}, options, error));
    EXPECT_FALSE(options.machine.headless);
    EXPECT_EQ(options.machine.windowsDir, "C:\\WINDOWS");
    EXPECT_EQ(options.machine.platformId, 1u);
    EXPECT_EQ(options.machine.screenWidth, 800);
    EXPECT_EQ(options.machine.screenHeight, 600);
    EXPECT_EQ(options.machine.screenDepth, 32);
    EXPECT_EQ(options.machine.restart, emu::RestartAnswer::Accept);
}

TEST(HostOptions, RefusesBadOptionsWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},          {"--drive"},           {"--drive", "CC=/x"},
        {"--depth", "12"},    {"--screen", "800"},   {"--screen", "10x10"},
        {"--clock", "fast"},  {"--restart", "maybe"}, {"--tick-start", "-1"},
        {"--platform-id", "x"}, {"--windows-dir", "WINDOWS"},
    };
    for (const auto& args : bad) {
        HostOptions options;
        std::string error;
        EXPECT_FALSE(parseHostOptions(args, options, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

#include "platform/emu/host/HostOptions.h"

#include <gtest/gtest.h>

using emu::host::HostOptions;
using emu::host::parseHostOptions;

TEST(HostOptions, ReadsEveryMachineOption) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(
        parseHostOptions({"--drive",   "c=/tmp/c",   "--drive",    "D=/tmp/disk",   "--windows-dir",
                          "C:\\WIN",   "--registry", "/tmp/r.reg", "--platform-id", "2",
                          "--csd",     " A ",        "--screen",   "640x480",       "--depth",
                          "8",         "--headless", "--input",    "s.txt",         "--trace",
                          "t.txt",     "--clock",    "virtual",    "--tick-start",  "4294967000",
                          "--restart", "refuse",     "--disk",     "/tmp/qx.img"},
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
    EXPECT_EQ(options.disk, "/tmp/qx.img");
}

TEST(HostOptions, DefaultsShowAWindowOnTheStandardMachine) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(parseHostOptions({}, options, error));
    EXPECT_FALSE(options.machine.headless);
    // Empty: C:'s MSDOS.SYS names it when the machine boots, else C:\WINDOWS.
    EXPECT_EQ(options.machine.windowsDir, "");
    EXPECT_EQ(options.disk, "");
    EXPECT_EQ(options.machine.platformId, 1u);
    EXPECT_EQ(options.machine.screenWidth, 800);
    EXPECT_EQ(options.machine.screenHeight, 600);
    EXPECT_EQ(options.machine.screenDepth, 32);
    EXPECT_EQ(options.machine.restart, emu::RestartAnswer::Accept);
}

TEST(HostOptions, RefusesBadOptionsNamingTheOptionAndWhatIsWrong) {
    struct Row {
        std::vector<std::string> args;
        const char* error;
    };
    const Row rows[] = {
        {{"--bogus"}, "unknown option --bogus"},
        {{"--headless", "-x"}, "unknown option -x"},
        {{"disk"}, "unexpected argument \"disk\"; the program takes options only"},
        {{"--check", "disk"}, "unexpected argument \"disk\"; the program takes options only"},
        {{"--drive"}, "option --drive needs a value (X=DIR|IMAGE)"},
        {{"--input", "--headless"}, "option --input needs a value (FILE)"},
        {{"--dry-run"}, "option --dry-run needs a value (COMMAND)"},
        {{"--sheet", ""}, "option --sheet: the value is empty"},
        {{"--trace", ""}, "option --trace: the value is empty"},
        {{"--drive", "CC=/x"},
         "option --drive: \"CC=/x\" is not a drive letter, \"=\" and a "
         "folder (X=DIR)"},
        {{"--depth", "12"}, "option --depth: \"12\" is not one of 4, 8, 16, 24 or 32"},
        {{"--screen", "800"},
         "option --screen: \"800\" is not WIDTHxHEIGHT with a width of 320 "
         "to 4096 and a height of 200 to 4096"},
        {{"--screen", "10x10"}, "option --screen: \"10x10\" is not WIDTHxHEIGHT"},
        {{"--screen", "800x 600"}, "option --screen: \"800x 600\" is not WIDTHxHEIGHT"},
        {{"--clock", "fast"}, "option --clock: \"fast\" is neither real nor virtual"},
        {{"--restart", "maybe"}, "option --restart: \"maybe\" is neither accept nor refuse"},
        {{"--tick-start", "-1"},
         "option --tick-start: \"-1\" is not a whole number from 0 to "
         "4294967295"},
        {{"--tick-start", "4294967296"}, "option --tick-start: \"4294967296\" is not a whole"},
        {{"--platform-id", "x"}, "option --platform-id: \"x\" is not a whole number"},
        {{"--windows-dir", "WINDOWS"}, "option --windows-dir: \"WINDOWS\" is not a Windows path"},
        {{"--csd", std::string(128, 'a')},
         "option --csd: the text has 128 characters; at most 127"},
    };
    for (const Row& row : rows) {
        HostOptions options;
        std::string error;
        EXPECT_FALSE(parseHostOptions(row.args, options, error)) << row.error;
        EXPECT_EQ(error.rfind(row.error, 0), 0u) << "got: " << error;
    }
}

TEST(HostOptions, HelpAndVersionEndTheParseAndTheHelpNamesEveryOption) {
    struct Row {
        std::vector<std::string> args;
        emu::host::HostAction action;
    };
    const Row rows[] = {
        {{"--help"}, emu::host::HostAction::Help},
        {{"--headless", "--version", "--bogus"}, emu::host::HostAction::Version},
        {{"--csd", ""}, emu::host::HostAction::Run},
        {{"--check", "--drive", "C=/tmp/c"}, emu::host::HostAction::Check},
        {{"--drive", "C=/tmp/c", "--check"}, emu::host::HostAction::Check},
        {{"--dry-run", "Install QX-20 drivers", "--drive", "C=/c"}, emu::host::HostAction::DryRun},
        {{"--sheet", "s.png"}, emu::host::HostAction::Sheet},
        {{"--watch", "--headless"}, emu::host::HostAction::Run},
    };
    for (const Row& row : rows) {
        HostOptions options;
        std::string error;
        EXPECT_TRUE(parseHostOptions(row.args, options, error)) << error;
        EXPECT_EQ(options.action, row.action) << row.args[0];
        EXPECT_EQ(options.watch, row.args[0] == "--watch") << row.args[0];
        EXPECT_EQ(options.dryRunCommand,
                  row.action == emu::host::HostAction::DryRun ? row.args[1] : "");
        EXPECT_EQ(options.sheetFile, row.action == emu::host::HostAction::Sheet ? row.args[1] : "");
    }
    std::string help = emu::host::hostHelp("corvane-setup");
    EXPECT_EQ(help.rfind("usage: corvane-setup [OPTION]...\n", 0), 0u) << help;
    for (const char* option : {"--drive X=DIR|IMAGE",
                               "--disk DIR|IMAGE",
                               "--windows-dir PATH",
                               "--registry FILE",
                               "--platform-id N",
                               "--csd TEXT",
                               "--screen WxH",
                               "--depth BITS",
                               "--headless",
                               "--input FILE",
                               "--trace FILE",
                               "--clock MODE",
                               "--tick-start N",
                               "--restart ANSWER",
                               "--check",
                               "--dry-run COMMAND",
                               "--sheet FILE.png",
                               "--watch",
                               "--help",
                               "--version"}) {
        // One line each: the option at the start of a line, its meaning after it.
        size_t at = help.find(std::string("\n  ") + option + " ");
        ASSERT_NE(at, std::string::npos) << option;
        size_t end = help.find('\n', at + 1);
        EXPECT_GT(end - at, std::string(option).size() + 20) << option;
    }
}

#include "loader/CommandLine.h"

#include <gtest/gtest.h>

#include <algorithm>

using loader::Action;
using loader::CommandLine;
using loader::parseCommandLine;

TEST(CommandLine, ReadsEveryMachineOption) {
    CommandLine line;
    std::string error;
    ASSERT_TRUE(
        parseCommandLine({"--drive",   "c=/tmp/c",   "--drive",    "D=/tmp/disk",   "--windows-dir",
                          "C:\\WIN",   "--registry", "/tmp/r.reg", "--platform-id", "2",
                          "--csd",     " A ",        "--screen",   "640x480",       "--depth",
                          "8",         "--headless", "--input",    "s.txt",         "--trace",
                          "t.txt",     "--clock",    "virtual",    "--tick-start",  "4294967000",
                          "--restart", "refuse",     "--disk",     "/tmp/qx.img",   "--codepage",
                          "950"},
                         line, error))
        << error;
    const emu::host::HostOptions& options = line.host;
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
    EXPECT_EQ(m.codePage, 950u);
}

TEST(CommandLine, DefaultsShowAWindowOnTheStandardMachine) {
    CommandLine line;
    std::string error;
    ASSERT_TRUE(parseCommandLine({}, line, error));
    EXPECT_EQ(line.action, Action::Run);
    const emu::host::HostOptions& options = line.host;
    EXPECT_FALSE(options.machine.headless);
    // Empty: C:'s MSDOS.SYS names it when the machine boots, else C:\WINDOWS.
    EXPECT_EQ(options.machine.windowsDir, "");
    EXPECT_EQ(options.disk, "");
    // Unset: the release the registry records decides, else Windows 95.
    EXPECT_FALSE(options.machine.platformId.has_value());
    EXPECT_FALSE(options.machine.csdVersion.has_value());
    EXPECT_FALSE(options.machine.codePage.has_value());
    EXPECT_EQ(options.machine.screenWidth, 800);
    EXPECT_EQ(options.machine.screenHeight, 600);
    EXPECT_EQ(options.machine.screenDepth, 32);
    EXPECT_EQ(options.machine.restart, emu::RestartAnswer::Accept);
}

TEST(CommandLine, RefusesBadOptionsNamingTheOptionAndWhatIsWrong) {
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
        {{"--codepage", "437"},
         "option --codepage: \"437\" is not one of the code pages 1252, 932, 936, 949 or 950"},
        {{"--codepage", "65001"}, "option --codepage: \"65001\" is not one of the code pages"},
        {{"--platform-id", "x"}, "option --platform-id: \"x\" is not a whole number"},
        {{"--windows-dir", "WINDOWS"}, "option --windows-dir: \"WINDOWS\" is not a Windows path"},
        {{"--csd", std::string(128, 'a')},
         "option --csd: the text has 128 characters; at most 127"},
        // Two actions, or an option of one action given to another.
        {{"--check", "--dry-run", "100"}, "only one of --check, --dry-run and --sheet"},
        {{"--sheet", "a.png", "--sheet", "b.png"}, "only one of --check, --dry-run and --sheet"},
        {{"--new-disk", "a", "--make-disk", "b"}, "only one of --new-disk and --make-disk"},
        {{"--make-disk", "b", "--make-disk", "c"}, "only one of --new-disk and --make-disk"},
        {{"--make-disk", "out.img", "--check"},
         "--new-disk and --make-disk go with no other action"},
        {{"--sheet", "s.png", "--new-disk", "a"},
         "--new-disk and --make-disk go with no other action"},
        {{"--make-disk", "out", "--watch"}, "--new-disk and --make-disk go with no other action"},
        {{"--new-disk", "a", "--headless"}, "--new-disk takes no other option than its folder"},
        {{"--size", "2880"}, "option --size goes with --make-disk only"},
        {{"--setup-exe", "s.exe", "--check"}, "option --setup-exe goes with --make-disk only"},
        {{"--make-disk", "o", "--size", "720"}, "option --size: \"720\" is neither 1440 nor 2880"},
        {{"--new-disk"}, "option --new-disk needs a value (DIR)"},
        {{"--make-disk", "--size", "1440"}, "option --make-disk needs a value (OUT)"},
        {{"--new-disk", ""}, "option --new-disk: the value is empty"},
    };
    for (const Row& row : rows) {
        CommandLine line;
        std::string error;
        EXPECT_FALSE(parseCommandLine(row.args, line, error)) << row.error;
        EXPECT_EQ(error.rfind(row.error, 0), 0u) << "got: " << error;
    }
}

TEST(CommandLine, HelpAndVersionEndTheParseAndTheHelpNamesEveryOption) {
    struct Row {
        std::vector<std::string> args;
        Action action;
    };
    const Row rows[] = {
        {{"--help"}, Action::Help},
        {{"--headless", "--version", "--bogus"}, Action::Version},
        {{"--csd", ""}, Action::Run},
        {{"--check", "--drive", "C=/tmp/c"}, Action::Check},
        {{"--drive", "C=/tmp/c", "--check"}, Action::Check},
        {{"--dry-run", "Install QX-20 drivers", "--drive", "C=/c"}, Action::DryRun},
        {{"--sheet", "s.png"}, Action::Sheet},
        {{"--watch", "--headless"}, Action::Run},
        {{"--new-disk", "qx"}, Action::NewDisk},
        {{"--make-disk", "out.img", "--drive", "C=/c", "--size", "2880", "--setup-exe", "s.exe"},
         Action::MakeDisk},
    };
    for (const Row& row : rows) {
        CommandLine line;
        std::string error;
        EXPECT_TRUE(parseCommandLine(row.args, line, error)) << error;
        EXPECT_EQ(line.action, row.action) << row.args[0];
        EXPECT_EQ(line.watch, row.args[0] == "--watch") << row.args[0];
        EXPECT_EQ(line.dryRunCommand, row.action == Action::DryRun ? row.args[1] : "");
        EXPECT_EQ(line.sheetFile, row.action == Action::Sheet ? row.args[1] : "");
        EXPECT_EQ(line.newDiskFolder, row.action == Action::NewDisk ? row.args[1] : "");
        EXPECT_EQ(line.diskOutput, row.action == Action::MakeDisk ? row.args[1] : "");
        // The machine options of --make-disk describe the machine the disk is
        // checked on; the floppy's size and setup.exe are its own.
        EXPECT_EQ(line.sizeKiB, row.action == Action::MakeDisk ? 2880 : 1440) << row.args[0];
        EXPECT_EQ(line.setupExe, row.action == Action::MakeDisk ? "s.exe" : "") << row.args[0];
        bool driveGiven = std::find(row.args.begin(), row.args.end(), "--drive") != row.args.end();
        EXPECT_EQ(line.host.machine.drives.count('C'), driveGiven ? 1u : 0u) << row.args[0];
    }
    std::string help = loader::commandHelp("corvane-setup");
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
                               "--version",
                               "--new-disk DIR",
                               "--make-disk OUT",
                               "--size KB",
                               "--setup-exe FILE"}) {
        // One line each: the option at the start of a line, its meaning after it.
        size_t at = help.find(std::string("\n  ") + option + " ");
        ASSERT_NE(at, std::string::npos) << option;
        size_t end = help.find('\n', at + 1);
        EXPECT_GT(end - at, std::string(option).size() + 20) << option;
    }
}

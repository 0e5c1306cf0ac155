// The disk author's kit through the real program: a new disk from the
// template, checked, written as a folder or a floppy image (read back with
// mtools), the program run from the image's files on a copy of the demo's
// C: drive, and the disks the kit refuses to make.
#include "tests/support/BmpFile.h"
#include "tests/support/SetupRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace corvane_test {
namespace {

struct Outcome {
    int status = -1;
    std::string output;
    std::string errors;
};

// Runs a shell command line in folder, with stdout and stderr apart.
Outcome runIn(const std::string& folder, const std::string& command) {
    TempDir streams;
    std::string line = "cd '" + folder + "' && " + command + " </dev/null >'" + (streams / "out") +
                       "' 2>'" + (streams / "err") + "'";
    int raw = std::system(line.c_str());
    Outcome run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.output = readHostFile(streams / "out");
    run.errors = readHostFile(streams / "err");
    return run;
}

std::string setup() {
    return std::string("env -u DISPLAY -u WAYLAND_DISPLAY '") + CORVANE_SETUP_EXE + "'";
}

// The Windows program the disks get: the cross-built one when the build has
// it (then found beside the program, as an installed one is), else a small
// stand-in named on the command line.
struct WindowsProgram {
    std::string bytes;
    std::string option; // what --make-disk is given to find it
};

WindowsProgram windowsProgram(const TempDir& dir) {
#ifdef CORVANE_WINDOWS_SETUP
    (void)dir;
    return {readHostFile(CORVANE_WINDOWS_SETUP), ""};
#else
    std::string stub(64, '\0');
    stub[0] = 'M';
    stub[1] = 'Z';
    stub[60] = 64;
    stub += std::string("PE\0\0", 4) + "stand-in for setup.exe";
    writeHostFile(dir / "stub.exe", stub);
    return {stub, " --setup-exe '" + (dir / "stub.exe") + "'"};
#endif
}

const std::set<std::string> kDiskFiles = {"SETUP.EXE", "LAYOUT.INI", "BACK16.BMP", "BACK256.BMP",
                                          "TB5IDE.ADD"};
// The host file of each name on the disk, in the new disk's folder.
std::string sourceOf(const std::string& name) {
    return name == "LAYOUT.INI" ? "layout.ini" : name;
}

// A work folder with a new disk in disk/ and a copy of the demo's C: in c/.
struct Workbench {
    TempDir dir;
    WindowsProgram program = windowsProgram(dir);

    Workbench() {
        Outcome made = runIn(dir.path(), setup() + " --new-disk disk");
        EXPECT_EQ(made.status, 0) << made.errors;
        copyHostTree(TestMachine::demoSource() + "/c", dir / "c");
    }
    std::string disk() const { return dir / "disk"; }
    Outcome makeDisk(const std::string& output, const std::string& more = "") const {
        return runIn(disk(), setup() + " --make-disk '" + output + "'" + program.option +
                                 " --drive C=../c" + more);
    }
    // Dot-named leftovers of an interrupted output beside the disk.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> found;
        for (const std::string& name : folderEntries(dir.path())) {
            if (name[0] == '.') {
                found.push_back(name);
            }
        }
        return found;
    }
};

std::set<std::string> imageNames(const std::string& image) {
    Outcome listing = runIn("/", "mdir -b -i '" + image + "' ::");
    EXPECT_EQ(listing.status, 0) << listing.errors;
    std::set<std::string> names;
    std::istringstream lines(listing.output);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.rfind("::/", 0), 0u) << line;
        names.insert(line.substr(3));
    }
    return names;
}

// The "NNN bytes free" mdir prints, digits only.
std::string imageFreeBytes(const std::string& image) {
    Outcome listing = runIn("/", "mdir -i '" + image + "' ::");
    size_t end = listing.output.find(" bytes free");
    size_t start = listing.output.rfind('\n', end) + 1;
    std::string digits;
    for (char c : listing.output.substr(start, end - start)) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    return digits;
}

std::string digitsOf(const std::string& line) {
    std::string digits;
    for (char c : line) {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c != ',' && !digits.empty()) {
            break;
        }
    }
    return digits;
}

std::string lineStarting(const std::string& text, const std::string& start) {
    size_t at = text.find("\n" + start);
    if (at == std::string::npos) {
        return "";
    }
    return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

TEST(DiskKit, ANewDiskChecksCleanAndItsFilesAreAllTheFinishedDiskHolds) {
    Workbench bench;
    Outcome check = runIn(bench.disk(), setup() + " --check --drive C=../c");
    EXPECT_EQ(check.status, 0) << check.output;
    // The empty release, USB and USB device sections, and a device the demo's
    // machine lacks: warnings only.
    EXPECT_NE(check.output.find("check: 0 errors, 6 warnings\n"), std::string::npos)
        << check.output;

    struct Row {
        const char* output;
        const char* options;
        bool image;
        const char* label;
    };
    const Row rows[] = {
        {"disk.img", "", true, "of 1,457,664 on a 1.44 MB floppy"},
        {"DISK288.IMG", " --size 2880", true, "of 2,931,712 on a 2.88 MB floppy"},
        {"folder", "", false, "of 1,457,664 on a 1.44 MB floppy"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.output);
        std::string output = bench.dir / row.output;
        Outcome made = bench.makeDisk(output, row.options);
        ASSERT_EQ(made.status, 0) << made.output << made.errors;
        EXPECT_NE(made.output.find(row.label), std::string::npos) << made.output;
        for (const std::string& name : kDiskFiles) {
            std::string line = lineStarting(made.output, name + " ");
            EXPECT_FALSE(line.empty()) << name << " not listed in\n" << made.output;
        }
        std::set<std::string> names;
        std::string copies = output + ".files";
        if (row.image) {
            names = imageNames(output);
            EXPECT_EQ(digitsOf(lineStarting(made.output, "free ")), imageFreeBytes(output))
                << made.output;
            Outcome fsck = runIn("/", "fsck.fat -n '" + output + "'");
            EXPECT_EQ(fsck.status, 0) << fsck.output << fsck.errors;
            std::filesystem::create_directories(copies);
            for (const std::string& name : names) {
                Outcome out = runIn(copies, "mcopy -n -i '" + output + "' '::/" + name + "' .");
                EXPECT_EQ(out.status, 0) << out.errors;
            }
        } else {
            std::vector<std::string> entries = folderEntries(output);
            names.insert(entries.begin(), entries.end());
            copies = output;
        }
        EXPECT_EQ(names, kDiskFiles);
        for (const std::string& name : kDiskFiles) {
            std::string expected = name == "SETUP.EXE"
                                       ? bench.program.bytes
                                       : readHostFile(bench.disk() + "/" + sourceOf(name));
            EXPECT_TRUE(readHostFile(copies + "/" + name) == expected) << name;
        }
        EXPECT_TRUE(bench.leftovers().empty());
    }

    // The program started from the image's files opens the window and
    // installs on a copy of the demo's C: drive; the restart is declined and
    // Quit closes it.
    SetupRun session;
    session.disk = bench.dir / "disk.img.files";
    session.cDrive = bench.dir / "c";
    session.script = "key enter\nkey n\nkey up\nkey enter\nkey y\n";
    const std::string inf = session.cDrive + "/WINDOWS/INF/";
    const std::string before = readHostFile(inf + "MSHDC.INF");
    SetupResult result = session.run();
    EXPECT_EQ(result.exitStatus, 0) << result.errors;
    EXPECT_TRUE(result.traced("SetWindowTextA(0x1, \"Quentor - TB-5 Chipset Driver Disk\") = 1"));
    EXPECT_TRUE(result.traced("ShowWindow(0x1, 5) = 0"));
    EXPECT_TRUE(result.traced("CopyFileA(\"C:\\\\WINDOWS\\\\inf\\\\MSHDC.INF\", "
                              "\"C:\\\\WINDOWS\\\\inf\\\\MSHDC.TBK\", 0) = 1"))
        << testing::PrintToString(result.trace);
    EXPECT_EQ(readHostFile(inf + "MSHDC.TBK"), before);
    EXPECT_NE(readHostFile(inf + "MSHDC.INF")
                  .find("%PCI\\VEN_6D2E&DEV_0B51.DeviceDesc%=atadisk_inst,PCI\\VEN_6D2E&DEV_0B51"),
              std::string::npos);
}

std::string bigPicture() {
    BmpFile bmp;
    bmp.width = 1400;
    bmp.height = 1000;
    bmp.bitCount = 8;
    return bmp.bytes();
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
}

void editLayout(const Workbench& bench, const std::string& from, const std::string& to) {
    std::string text = readHostFile(bench.disk() + "/layout.ini");
    ASSERT_NE(text.find(from), std::string::npos) << from;
    replaceAll(text, from, to);
    writeHostFile(bench.disk() + "/layout.ini", text);
}

TEST(DiskKit, DisksThatCannotBeMadeAreRefusedAndLeaveNothing) {
    struct Row {
        const char* name;
        std::function<void(const Workbench&)> prepare;
        std::function<Outcome(const Workbench&)> run;
        int status;
        const char* errors; // words stderr must hold
        const char* output; // words stdout must hold, or ""
        const char* absent; // what must not exist afterwards below the work folder; nullptr: the
                            // run succeeds and out.img is there
    };
    auto makeImage = [](const Workbench& bench) { return bench.makeDisk("../out.img"); };
    const Row rows[] = {
        {"a new disk in a folder that holds a file",
         [](const Workbench& bench) { writeHostFile(bench.dir / "taken/notes.txt", "mine"); },
         [](const Workbench& bench) {
             return runIn(bench.dir.path(), setup() + " --new-disk taken");
         },
         1, "taken exists and is not empty", "", "taken/layout.ini"},
        {"a disk with a check error",
         [](const Workbench& bench) { editLayout(bench, "Focus=255,216,72", "Focus=255,216"); },
         makeImage, 1, "the check found an error; no disk was written",
         "error: Focus \"255,216\" has 2 of the 3 parts", "out.img"},
        {"a disk too big for the floppy",
         [](const Workbench& bench) { writeHostFile(bench.disk() + "/BACK256.BMP", bigPicture()); },
         makeImage, 1, "bytes too many; nothing was written", "total", "out.img"},
        {"a fragment with a long name",
         [](const Workbench& bench) {
             std::filesystem::rename(bench.disk() + "/TB5IDE.ADD",
                                     bench.disk() + "/TB5IDEXTRA.ADD");
             editLayout(bench, "TB5IDE.ADD", "TB5IDEXTRA.ADD");
         },
         makeImage, 1, "the check found an error",
         "error: fragment \"TB5IDEXTRA.ADD\" is no 8.3 name", "out.img"},
        // Sparse files of 3 GB: refused by their size, never read whole.
        {"a fragment of 3 GB",
         [](const Workbench& bench) {
             std::filesystem::resize_file(bench.disk() + "/TB5IDE.ADD", 3ull << 30);
         },
         makeImage, 1, "the check found an error",
         "error: fragment \"TB5IDE.ADD\" is 3,221,225,472 bytes, over 32 KB", "out.img"},
        {"a setup.exe of 3 GB",
         [](const Workbench& bench) {
             writeHostFile(bench.dir / "huge.exe", "MZ");
             std::filesystem::resize_file(bench.dir / "huge.exe", 3ull << 30);
         },
         [](const Workbench& bench) {
             return runIn(bench.disk(), setup() + " --make-disk ../out.img --setup-exe '" +
                                            bench.dir / "huge.exe" + "' --drive C=../c");
         },
         1, "huge.exe is over 16 MB: no setup.exe for a driver disk", "", "out.img"},
        {"an output folder that holds a file",
         [](const Workbench& bench) { writeHostFile(bench.dir / "out/notes.txt", "mine"); },
         [](const Workbench& bench) { return bench.makeDisk("../out"); }, 1,
         "out exists and is not an empty folder", "", "out/LAYOUT.INI"},
        // The same big disk fits the larger floppy: the refusal is the size's.
        {"a big disk on a 2.88 MB floppy",
         [](const Workbench& bench) { writeHostFile(bench.disk() + "/BACK256.BMP", bigPicture()); },
         [](const Workbench& bench) { return bench.makeDisk("../out.img", " --size 2880"); }, 0, "",
         "on a 2.88 MB floppy", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Workbench bench;
        row.prepare(bench);
        Outcome run = row.run(bench);
        EXPECT_EQ(run.status, row.status) << run.output << run.errors;
        EXPECT_NE(run.errors.find(row.errors), std::string::npos) << run.errors;
        EXPECT_EQ(run.errors.empty(), std::string(row.errors).empty()) << run.errors;
        EXPECT_NE(run.output.find(row.output), std::string::npos) << run.output;
        EXPECT_EQ(hostFileExists(bench.dir / (row.absent ? row.absent : "out.img")),
                  row.absent == nullptr);
        EXPECT_TRUE(bench.leftovers().empty());
    }
}

} // namespace
} // namespace corvane_test

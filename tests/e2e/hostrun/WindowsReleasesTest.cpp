// Install then uninstall through the real setup on every release of the
// Windows 95 family, each on a C: folder and on a disk image made as that
// release leaves a drive: SYSTEM.DAT hidden, system and read-only, the
// release's own version values, INF files and Enum tree. The install merges
// the release's own section, deletes the device keys (libcreg and the
// structure check agree) and keeps SYSTEM.DAT's attributes; the uninstall
// puts every INF file back byte for byte and leaves nothing else changed.
#include "loader/ProgramResources.h"
#include "platform/emu/kernel/CregCheck.h"
#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/CregHabits.h"
#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/kernel/Trace.h"
#include "resources/resource.h"
#include "tests/support/CregOracle.h"
#include "tests/support/SetupRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/WindowsInstallation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <sys/stat.h>

namespace corvane_test {
namespace {

const std::string kDemo = std::string(CORVANE_TEST_DATA) + "/../demo";
// Install (or uninstall), say No to the restart question, close the window.
const char kInstall[] = "wait 300\nkey enter\nkey n\nclose\n";
const char kUninstall[] = "wait 300\nkey down\nkey enter\nkey n\nclose\n";

struct Row {
    const char* release;
    bool image;
    const char* section; // the install section the release's service-pack text selects
};

// The service-pack texts: "" and " C" give 950, " A " gives 950A, " B"
// gives 950B.
const Row kRows[] = {
    {"Windows 95", false, "950"},        {"Windows 95", true, "950"},
    {"Windows 95 OSR1", false, "950A"},  {"Windows 95 OSR1", true, "950A"},
    {"Windows 95 OSR2", false, "950B"},  {"Windows 95 OSR2", true, "950B"},
    {"Windows 95 OSR2.5", false, "950"}, {"Windows 95 OSR2.5", true, "950"},
    {"Windows 98", false, "950"},        {"Windows 98", true, "950"},
    {"Windows 98 SE", false, "950A"},    {"Windows 98 SE", true, "950A"},
    {"Windows ME", false, "950"},        {"Windows ME", true, "950"},
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.release << (row.image ? " on a disk image" : " on a folder") << ", section ["
         << row.section << "]";
}

const char* const kReleaseSections[] = {"950", "950A", "950B"};

// The demo disk, with a fragment of its own for [950A] (the demo's [950]
// and [950A] merge the same one), so that each release section merges lines
// the other two do not.
void makeDisk(const std::string& folder) {
    copyHostTree(kDemo + "/disk", folder);
    std::string layout = readHostFile(folder + "/layout.ini");
    const std::string demoFragment = "=MACHINE1.QTR,";
    size_t section = layout.find("[950A]");
    size_t at = layout.find(demoFragment, section);
    if (section == std::string::npos || at == std::string::npos ||
        layout.find('[', section + 1) < at) {
        throw std::runtime_error("the demo's layout.ini has no [950A] line to replace");
    }
    layout.replace(at, demoFragment.size(), "=MACHINE3.QTR,");
    writeHostFile(folder + "/layout.ini", layout);
    writeHostFile(folder + "/MACHINE3.QTR",
                  "; Quentor QX-20 chipset: system devices (service pack A of the system)\r\n"
                  "[Std_System]\r\n"
                  "%PCI\\VEN_5A17&DEV_7110.DeviceDesc%=NO_DRV,PCI\\VEN_5A17&DEV_7110\r\n"
                  "%PCI\\VEN_5A17&DEV_7113.DeviceDesc%=NO_DRV,PCI\\VEN_5A17&DEV_7113\r\n"
                  "%PCI\\VEN_5A17&DEV_7180.DeviceDesc%=NO_DRV,PCI\\VEN_5A17&DEV_7180\r\n"
                  "\r\n"
                  "[Strings]\r\n"
                  "PCI\\VEN_5A17&DEV_7110.DeviceDesc=\"Quentor QX-20 PCI to ISA Bridge\"\r\n"
                  "PCI\\VEN_5A17&DEV_7113.DeviceDesc=\"Quentor QX-20 Power Management "
                  "Controller\"\r\n"
                  "PCI\\VEN_5A17&DEV_7180.DeviceDesc=\"Quentor QX-20 AGP Bridge\"\r\n");
}

// One install line of a layout.ini section: target, fragment, backup.
struct InstallLine {
    std::string target;
    std::string fragment;
    std::string backup;
};

std::vector<InstallLine> installLines(const std::string& layout, const std::string& section) {
    std::vector<InstallLine> lines;
    for (const std::string& line : iniSection(layout, section)) {
        size_t equals = line.find('=');
        size_t comma = line.find(',', equals);
        lines.push_back({line.substr(0, equals), line.substr(equals + 1, comma - equals - 1),
                         line.substr(comma + 1)});
    }
    return lines;
}

// The install lines the install walks: COMMON, the release's section and,
// with USB.INF, USB INF.
std::vector<InstallLine> walkedLines(const std::string& layout, const std::string& release,
                                     bool usb) {
    std::vector<InstallLine> lines = installLines(layout, "COMMON");
    for (const char* section : {release.c_str(), usb ? "USB INF" : nullptr}) {
        if (section != nullptr) {
            std::vector<InstallLine> more = installLines(layout, section);
            lines.insert(lines.end(), more.begin(), more.end());
        }
    }
    return lines;
}

// The keys below HKEY_LOCAL_MACHINE the install deletes: ControlFlags and,
// with USB.INF, USB ControlFlags.
std::vector<std::string> deviceKeys(const std::string& layout, bool usb) {
    std::vector<std::string> keys;
    for (const char* section : {"ControlFlags", usb ? "USB ControlFlags" : nullptr}) {
        if (section != nullptr) {
            for (const std::string& line : iniSection(layout, section)) {
                keys.push_back("Enum\\" + line.substr(0, line.find('=')));
            }
        }
    }
    return keys;
}

// "Section|line" for every line of every section of an INI text.
std::vector<std::string> sectionLines(const std::string& text) {
    std::vector<std::string> result;
    std::string section;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            section = line;
        } else {
            result.push_back(section + "|" + line);
        }
    }
    return result;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// What a drive holds, read back from the host side: the bytes of every file
// by path, the attributes the drive keeps by path, and every name.
struct DriveState {
    std::map<std::string, std::string> files;
    std::map<std::string, std::string> attributes;
    std::vector<std::string> names;
};

class Drive {
public:
    Drive(const WindowsInstallation& installation, bool image, const TempDir& work) {
        if (image) {
            m_image = std::make_unique<FatImage>(installation.writeImage(work / "c.img"));
            m_value = m_image->driveValue;
        } else {
            m_folder = work / "c";
            installation.writeFolder(m_folder);
            m_value = m_folder;
        }
    }

    const std::string& value() const { return m_value; }
    bool image() const { return m_image != nullptr; }

    DriveState state() const {
        DriveState state;
        if (m_image) {
            state.files = m_image->files();
            state.attributes = m_image->attributes();
            state.names = m_image->longNames();
            return state;
        }
        for (const auto& [path, bytes] : treeContents(m_folder)) {
            state.names.push_back(path);
            if (bytes == "<folder>") {
                continue;
            }
            state.files[path] = bytes;
            struct stat info {};
            stat((m_folder + "/" + path).c_str(), &info);
            state.attributes[path] = (info.st_mode & S_IWUSR) != 0 ? "writable" : "read-only";
        }
        return state;
    }

    std::string fsckReport() const { return m_image ? m_image->fsckReport() : ""; }

private:
    std::unique_ptr<FatImage> m_image;
    std::string m_folder;
    std::string m_value;
};

// The files whose bytes differ between two states, and those only one has.
std::vector<std::string> changedFiles(const DriveState& before, const DriveState& after) {
    std::vector<std::string> changed;
    for (const auto& [path, bytes] : after.files) {
        auto old = before.files.find(path);
        if (old == before.files.end() || old->second != bytes) {
            changed.push_back(path);
        }
    }
    for (const auto& [path, bytes] : before.files) {
        if (after.files.count(path) == 0) {
            changed.push_back(path);
        }
    }
    std::sort(changed.begin(), changed.end());
    return changed;
}

std::string restartQuestion() {
    loader::registerProgramResources();
    return ", " + emu::quoteForTrace(emu::kernel::moduleString(IDS_RESTART).value_or("").c_str()) +
           ", \"corvane\", 36) = 7";
}

// The run ended by itself after asking the restart question once, and said
// nothing else.
void expectRestartQuestionOnly(const SetupResult& run) {
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    std::vector<std::string> boxes = run.calls("MessageBoxA(");
    ASSERT_EQ(boxes.size(), 1u) << (boxes.empty() ? run.errors : boxes.back());
    EXPECT_NE(boxes[0].find(restartQuestion()), std::string::npos) << boxes[0];
}

// SYSTEM.DAT holds the installation's keys less the deleted ones, as
// libcreg reads it, passes the structure check and keeps the habits of its
// release (Windows 98's for 98, 98 SE and ME).
void expectHive(const std::string& bytes, const WindowsInstallation& installation,
                const std::vector<std::string>& deleted) {
    TempDir work;
    writeHostFile(work / "SYSTEM.DAT", bytes);
    auto theirs = CregOracle::listing(work / "SYSTEM.DAT");
    ASSERT_TRUE(theirs.has_value()) << "libcreg cannot read SYSTEM.DAT";
    EXPECT_TRUE(*theirs == installation.systemHive().listing(deleted))
        << "libcreg reads other keys than the installation's less the deleted ones";
    auto findings = emu::kernel::checkCregFile(bytes);
    EXPECT_TRUE(findings.empty()) << findings.size() << " findings, the first: "
                                  << (findings.empty() ? "" : findings[0].what);
    emu::kernel::CregHabits habits = emu::kernel::cregHabitsOf(emu::kernel::CregFile(bytes));
    EXPECT_EQ(habits.habit, installation.systemHive().habit());
    EXPECT_TRUE(habits.certain);
}

void expectProtected(const Drive& drive, const DriveState& state) {
    const std::string& attributes = state.attributes.at(WindowsInstallation::kSystemDat);
    if (drive.image()) {
        for (char flag : {'H', 'S', 'R'}) {
            EXPECT_NE(attributes.find(flag), std::string::npos)
                << "SYSTEM.DAT's attributes are \"" << attributes << "\"";
        }
    } else {
        EXPECT_EQ(attributes, "read-only");
    }
}

std::string rowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name;
    for (const char* c = info.param.release; *c != '\0'; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c))) {
            name += *c;
        }
    }
    return name + (info.param.image ? "Image" : "Folder");
}

class WindowsReleases : public ::testing::TestWithParam<Row> {};

} // namespace

TEST_P(WindowsReleases, InstallThenUninstallOnTheReleasesOwnInstallation) {
    const Row& row = GetParam();
    const WindowsInstallation installation(windowsRelease(row.release));
    const bool usb = installation.release().usb;
    TempDir work;
    makeDisk(work / "disk");
    const std::string layout = readHostFile(work / "disk/layout.ini");

    // The three release sections merge fragments whose lines differ, so the
    // lines merged tell which section ran.
    std::map<std::string, std::vector<std::string>> fragmentLines;
    for (const char* section : kReleaseSections) {
        std::vector<InstallLine> lines = installLines(layout, section);
        ASSERT_EQ(lines.size(), 1u) << section;
        fragmentLines[section] = sectionLines(readHostFile(work / "disk/" + lines[0].fragment));
    }
    auto holdsAll = [&](const char* one, const char* other) {
        return std::all_of(
            fragmentLines[other].begin(), fragmentLines[other].end(),
            [&](const std::string& line) { return contains(fragmentLines[one], line); });
    };
    for (const char* one : kReleaseSections) {
        for (const char* other : kReleaseSections) {
            ASSERT_TRUE(std::string(one) == other || !holdsAll(one, other) || !holdsAll(other, one))
                << "[" << one << "] and [" << other << "] merge the same lines";
        }
    }

    // What the install changes: the INF files it merges into, with their
    // backups, and SYSTEM.DAT.
    std::vector<InstallLine> merged = walkedLines(layout, row.section, usb);
    std::vector<std::string> expectedChanges = {WindowsInstallation::kSystemDat};
    for (const InstallLine& line : merged) {
        expectedChanges.push_back("WINDOWS/INF/" + line.target);
        expectedChanges.push_back("WINDOWS/INF/" + line.backup);
    }
    std::sort(expectedChanges.begin(), expectedChanges.end());

    Drive drive(installation, row.image, work);
    const DriveState before = drive.state();
    ASSERT_EQ(before.files.count(WindowsInstallation::kSystemDat), 1u);
    // Windows ME's third hive is there, and no run changes it (below).
    bool me = std::string(installation.release().versionNumber).rfind("4.90", 0) == 0;
    EXPECT_EQ(before.files.count("WINDOWS/CLASSES.DAT"), me ? 1u : 0u);
    ASSERT_TRUE(contains(before.names, WindowsInstallation::kNonAsciiFile));
    expectProtected(drive, before);

    SetupRun install;
    install.cDrive = drive.value();
    install.disk = work / "disk";
    install.script = kInstall;
    SetupResult installed = install.run();
    {
        SCOPED_TRACE("install");
        expectRestartQuestionOnly(installed);
        for (const std::string& call : installed.calls("RegDeleteKeyA(")) {
            EXPECT_EQ(call.substr(call.size() - 4), " = 0") << call;
        }
    }
    const DriveState afterInstall = drive.state();
    EXPECT_EQ(changedFiles(before, afterInstall), expectedChanges);
    EXPECT_EQ(afterInstall.attributes.size(), before.attributes.size() + merged.size());
    for (const auto& [path, attributes] : before.attributes) {
        auto now = afterInstall.attributes.find(path);
        EXPECT_EQ(now == afterInstall.attributes.end() ? "<gone>" : now->second, attributes)
            << path;
    }

    // The release's section ran, and no other: MACHINE.INF holds every line
    // of its fragment and none that only the other sections' fragments hold.
    std::string machineInf = afterInstall.files.at("WINDOWS/INF/MACHINE.INF");
    std::vector<std::string> machineLines = sectionLines(machineInf);
    for (const std::string& line : fragmentLines[row.section]) {
        EXPECT_TRUE(contains(machineLines, line)) << "[" << row.section << "] not merged: " << line;
    }
    for (const char* section : kReleaseSections) {
        for (const std::string& line : fragmentLines[section]) {
            if (!contains(fragmentLines[row.section], line)) {
                EXPECT_FALSE(contains(machineLines, line))
                    << "[" << section << "] merged on " << row.release << ": " << line;
            }
        }
    }
    EXPECT_EQ(afterInstall.files.count("WINDOWS/INF/USB.INF"), usb ? 1u : 0u);

    expectHive(afterInstall.files.at(WindowsInstallation::kSystemDat), installation,
               deviceKeys(layout, usb));
    expectProtected(drive, afterInstall);
    EXPECT_EQ(drive.fsckReport(), "");

    SetupRun uninstall = install;
    uninstall.script = kUninstall;
    SetupResult uninstalled = uninstall.run();
    {
        SCOPED_TRACE("uninstall");
        expectRestartQuestionOnly(uninstalled);
    }
    const DriveState afterUninstall = drive.state();
    // Every file as before, the INF files byte for byte; SYSTEM.DAT as the
    // install left it, since its keys are gone already.
    EXPECT_EQ(changedFiles(before, afterUninstall),
              std::vector<std::string>{WindowsInstallation::kSystemDat});
    for (const std::string& inf : installation.infFiles()) {
        EXPECT_TRUE(afterUninstall.files.count(inf) == 1 &&
                    afterUninstall.files.at(inf) == before.files.at(inf))
            << inf << " is not as it was before the install";
    }
    EXPECT_TRUE(afterUninstall.files.at(WindowsInstallation::kSystemDat) ==
                afterInstall.files.at(WindowsInstallation::kSystemDat))
        << "the uninstall changed SYSTEM.DAT";
    EXPECT_EQ(afterUninstall.attributes, before.attributes);
    EXPECT_EQ(afterUninstall.names, before.names);
    expectProtected(drive, afterUninstall);
    EXPECT_EQ(drive.fsckReport(), "");
}

INSTANTIATE_TEST_SUITE_P(EveryReleaseInBothForms, WindowsReleases, ::testing::ValuesIn(kRows),
                         rowName);

} // namespace corvane_test

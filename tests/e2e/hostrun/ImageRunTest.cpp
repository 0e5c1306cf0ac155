// The real setup on disk images: an install and an uninstall on an image
// give, file for file, the bytes the same runs give on a folder; the driver
// disk runs from a floppy image that is never written; a run that does not
// finish leaves the image as it was; two runs on one image take turns.
#include "platform/emu/host/ImageDrive.h"
#include "platform/emu/hostsupport/UndoJournal.h"
#include "tests/support/FatImage.h"
#include "tests/support/SetupRun.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace corvane_test {
namespace {

namespace fs = std::filesystem;

const std::string kDemo = std::string(CORVANE_TEST_DATA) + "/../demo";
const char kInstall[] = "wait 300\nkey enter\nkey n\nclose\n";
const char kUninstall[] = "wait 300\nkey down\nkey enter\nkey n\nclose\n";

// Every file below root: relative path to content.
std::map<std::string, std::string> folderFiles(const std::string& root,
                                               const std::string& relative = "") {
    std::map<std::string, std::string> files;
    std::string folder = relative.empty() ? root : root + "/" + relative;
    for (const std::string& name : folderEntries(folder)) {
        std::string path = relative.empty() ? name : relative + "/" + name;
        struct stat info {};
        stat((root + "/" + path).c_str(), &info);
        if (S_ISDIR(info.st_mode)) {
            files.merge(folderFiles(root, path));
        } else {
            files[path] = readHostFile(root + "/" + path);
        }
    }
    return files;
}

SetupResult runOn(const std::string& cDrive, const std::string& disk, const std::string& script,
                  std::vector<std::string> extra = {}) {
    SetupRun run;
    run.cDrive = cDrive;
    run.disk = disk;
    run.script = script;
    run.extraArgs = std::move(extra);
    return run.run();
}

} // namespace

TEST(ImageRun, InstallAndUninstallOnAnImageGiveTheBytesOfTheSameRunsOnAFolder) {
    TempDir work;
    copyHostTree(kDemo + "/disk", work / "disk");
    copyHostTree(kDemo + "/c", work / "c");
    std::map<std::string, std::string> original = folderFiles(work / "c");
    ASSERT_EQ(runOn(work / "c", work / "disk", kInstall).exitStatus, 0);
    std::map<std::string, std::string> installed = folderFiles(work / "c");
    ASSERT_NE(installed, original) << "the install changed nothing";
    ASSERT_EQ(runOn(work / "c", work / "disk", kUninstall).exitStatus, 0);
    std::map<std::string, std::string> uninstalled = folderFiles(work / "c");
    ASSERT_NE(uninstalled, installed) << "the uninstall changed nothing";

    for (ImageKind kind : {ImageKind::Fat16Disk, ImageKind::Fat32Disk, ImageKind::SecondPartition,
                           ImageKind::FixedVhd}) {
        SCOPED_TRACE(static_cast<int>(kind));
        TempDir images;
        FatImage image = FatImage::make(kind, images / "c.img", kDemo + "/c");
        EXPECT_EQ(image.files(), original);
        SetupResult install = runOn(image.driveValue, work / "disk", kInstall);
        EXPECT_EQ(install.exitStatus, 0) << install.errors;
        EXPECT_EQ(image.files(), installed);
        EXPECT_EQ(image.fsckReport(), "");
        SetupResult uninstall = runOn(image.driveValue, work / "disk", kUninstall);
        EXPECT_EQ(uninstall.exitStatus, 0) << uninstall.errors;
        EXPECT_EQ(image.files(), uninstalled);
        EXPECT_EQ(image.fsckReport(), "");
        EXPECT_FALSE(hostFileExists(emu::host::ImageDrive::workFolderOf(image.path)));
    }
}

// Windows keeps SYSTEM.DAT hidden, system and read-only; the install
// changes it all the same, and its directory entry keeps its name and all
// three attributes.
TEST(ImageRun, AHiddenSystemReadOnlyHiveIsChangedAndKeepsItsAttributes) {
    TempDir work;
    copyHostTree(kDemo + "/disk", work / "disk");
    copyHostTree(kDemo + "/c", work / "c");
    fs::remove(work / "c/WINDOWS/SYSTEM.REG");
    fs::copy_file(kDemo + "/SYSTEM.DAT", work / "c/WINDOWS/SYSTEM.DAT");
    FatImage image = FatImage::make(ImageKind::Fat32Disk, work / "c.img", work / "c");
    runTool({"mattrib", "-i", image.path + "@@" + std::to_string(image.offset), "+h", "+s", "+r",
             "::/WINDOWS/SYSTEM.DAT"});
    const std::string before = image.files().at("WINDOWS/SYSTEM.DAT");
    const std::string flags = image.attributes().at("WINDOWS/SYSTEM.DAT");
    ASSERT_NE(flags.find("SHR"), std::string::npos) << flags;

    SetupResult install = runOn(image.driveValue, work / "disk", kInstall);
    EXPECT_EQ(install.exitStatus, 0) << install.errors;
    EXPECT_EQ(
        install.calls("RegDeleteKeyA(HKEY_LOCAL_MACHINE, \"Enum\\\\PCI\\\\VEN_5A17&DEV_7110\") = 0")
            .size(),
        1u);
    const std::map<std::string, std::string> files = image.files();
    ASSERT_EQ(files.count("WINDOWS/SYSTEM.DAT"), 1u);
    EXPECT_NE(files.at("WINDOWS/SYSTEM.DAT"), before);
    EXPECT_EQ(image.attributes().at("WINDOWS/SYSTEM.DAT"), flags);
    EXPECT_EQ(image.fsckReport(), "");
}

TEST(ImageRun, TheDriverDiskRunsFromAFloppyImageThatIsNeverWritten) {
    TempDir work;
    copyHostTree(kDemo + "/c", work / "folder-c");
    copyHostTree(kDemo + "/c", work / "image-c");
    copyHostTree(kDemo + "/disk", work / "disk");
    FatImage floppy = FatImage::make(ImageKind::Floppy, work / "qx20.img", kDemo + "/disk");
    std::string before = readHostFile(floppy.path);
    runTool({"mkdir", work / "elsewhere"});
    ASSERT_EQ(runOn(work / "folder-c", work / "disk", kInstall).exitStatus, 0);
    // The run starts in an empty folder: the program finds its disk only
    // on A:, the floppy image.
    SetupResult run =
        runOn(work / "image-c", work / "elsewhere", kInstall, {"--disk", floppy.path});
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(folderFiles(work / "image-c"), folderFiles(work / "folder-c"));
    EXPECT_EQ(readHostFile(floppy.path), before);
    EXPECT_FALSE(run.calls("MessageBoxA").empty());
    // --disk naming a folder starts the program there.
    copyHostTree(kDemo + "/c", work / "third-c");
    SetupResult fromFolder =
        runOn(work / "third-c", work / "elsewhere", kInstall, {"--disk", work / "disk"});
    EXPECT_EQ(fromFolder.exitStatus, 0) << fromFolder.errors;
    EXPECT_EQ(folderFiles(work / "third-c"), folderFiles(work / "folder-c"));
}

TEST(ImageRun, ARunThatDoesNotFinishLeavesTheImageAsItWas) {
    TempDir work;
    copyHostTree(kDemo + "/disk", work / "disk");
    FatImage image = FatImage::make(ImageKind::Fat16Disk, work / "c.img", kDemo + "/c");
    std::string before = readHostFile(image.path);
    // The script runs out at the restart question, after the install's
    // file work: exit status 3, nothing written back.
    SetupResult run = runOn(image.driveValue, work / "disk", "wait 300\nkey enter\n");
    EXPECT_EQ(run.exitStatus, 3);
    EXPECT_NE(run.errors.find("left as they were"), std::string::npos) << run.errors;
    EXPECT_EQ(readHostFile(image.path), before);
    EXPECT_FALSE(hostFileExists(emu::host::ImageDrive::workFolderOf(image.path)));
    // A dry run shows the install and changes nothing, on an image file
    // that is read-only too.
    ASSERT_EQ(chmod(image.path.c_str(), 0444), 0);
    SetupRun dry;
    dry.cDrive = image.driveValue;
    dry.disk = work / "disk";
    dry.extraArgs = {"--dry-run", "100"};
    SetupResult dryRun = dry.run();
    EXPECT_EQ(dryRun.exitStatus, 0) << dryRun.errors;
    EXPECT_EQ(readHostFile(image.path), before);
}

// An image too full for the install's changes: the run ends with status 5
// and puts back what it wrote. A journal left beside an image by a
// write-back that was cut short is put back by the next run, which says so.
TEST(ImageRun, AnImageThatCannotTakeTheChangesIsPutBackAndTheRunEndsWithStatus5) {
    TempDir work;
    copyHostTree(kDemo + "/disk", work / "disk");
    FatImage image = FatImage::make(ImageKind::Floppy, work / "c.img", kDemo + "/c");
    std::string listing = runTool({"mdir", "-i", image.path, "::/"});
    size_t end = listing.find(" bytes free");
    ASSERT_NE(end, std::string::npos) << listing;
    size_t begin = listing.find_last_not_of("0123456789 ", end - 1) + 1;
    std::string digits;
    for (char c : listing.substr(begin, end - begin)) {
        if (c != ' ') {
            digits += c;
        }
    }
    writeHostFile(work / "FILLER.BIN", std::string(std::stoul(digits) - 1024, 'f'));
    runTool({"mcopy", "-i", image.path, work / "FILLER.BIN", "::/FILLER.BIN"});
    const auto freeAreas = image.freeClusters();
    const std::string before = FatImage::without(image.path, freeAreas);
    SetupResult run = runOn(image.driveValue, work / "disk", kInstall);
    EXPECT_EQ(run.exitStatus, 5) << run.errors;
    EXPECT_NE(run.errors.find("drive C: not written back"), std::string::npos) << run.errors;
    EXPECT_TRUE(FatImage::without(image.path, freeAreas) == before) << "the image is changed";
    EXPECT_EQ(image.fsckReport(), "");
    EXPECT_FALSE(hostFileExists(emu::hostsupport::UndoJournal::pathFor(image.path)));

    // A write-back cut short: its journal sealed, the image's boot sector
    // and FATs overwritten, the writer gone.
    {
        emu::hostsupport::UndoJournal journal(image.path);
        journal.keep(0, 8192);
        ASSERT_TRUE(journal.seal().ok());
        int fd = open(image.path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        std::string torn(8192, 'x');
        ASSERT_EQ(pwrite(fd, torn.data(), torn.size(), 0), 8192);
        close(fd);
    }
    SetupResult next = runOn(image.driveValue, work / "disk", "close\nkey y\n");
    EXPECT_NE(next.errors.find(image.path + ": the write-back of an earlier run was cut short"),
              std::string::npos)
        << next.errors;
    EXPECT_TRUE(FatImage::without(image.path, freeAreas) == before) << "the image is not put back";
    EXPECT_EQ(image.fsckReport(), "");
}

TEST(ImageRun, TwoRunsOnOneImageTakeTurns) {
    TempDir work;
    copyHostTree(kDemo + "/disk", work / "disk");
    FatImage image = FatImage::make(ImageKind::Fat16Disk, work / "c.img", kDemo + "/c");
    std::string before = readHostFile(image.path);
    // Another run holds the image: this one waits, says so, and goes on
    // once the other is done.
    emu::host::ImageLock other;
    auto taken = other.take(image.path, true, nullptr);
    ASSERT_TRUE(taken) << taken.reason();
    SetupRun waiting;
    waiting.cDrive = image.driveValue;
    waiting.disk = work / "disk";
    waiting.script = kInstall;
    bool toldWaiting = false;
    waiting.watchErrors = [&](const std::string& errors) {
        if (toldWaiting || errors.find("is in use by another copy") == std::string::npos) {
            return;
        }
        toldWaiting = true;
        EXPECT_EQ(readHostFile(image.path), before)
            << "the image changed while another run held it";
        EXPECT_FALSE(hostFileExists(emu::host::ImageDrive::workFolderOf(image.path)))
            << "the second run started on the image while another held it";
        other.release();
    };
    SetupResult run = waiting.run();
    EXPECT_TRUE(toldWaiting) << run.errors;
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_NE(readHostFile(image.path), before);
    EXPECT_EQ(image.fsckReport(), "");

    // Two real runs started at once, each an install: both finish, and the
    // image ends as one install leaves a folder (a second install finds
    // every line in place and the backups made), its file system clean.
    // Without the turns, the second would clear the first's work folder
    // beside the image under it.
    copyHostTree(kDemo + "/c", work / "c");
    ASSERT_EQ(runOn(work / "c", work / "disk", kInstall).exitStatus, 0);
    FatImage fresh = FatImage::make(ImageKind::Fat16Disk, work / "fresh.img", kDemo + "/c");
    SetupResult first;
    SetupResult secondRun;
    std::thread one([&] { first = runOn(fresh.driveValue, work / "disk", kInstall); });
    std::thread two([&] { secondRun = runOn(fresh.driveValue, work / "disk", kInstall); });
    one.join();
    two.join();
    EXPECT_EQ(first.exitStatus, 0) << first.errors;
    EXPECT_EQ(secondRun.exitStatus, 0) << secondRun.errors;
    EXPECT_EQ(fresh.files(), folderFiles(work / "c"));
    EXPECT_EQ(fresh.fsckReport(), "");
}

} // namespace corvane_test

namespace corvane_test {

TEST(ImageRun, ARefusedImageEndsTheRunBeforeItStartsWithStatus2) {
    TempDir work;
    copyHostTree(kDemo + "/disk", work / "disk");
    runTool({"mkdir", work / "tree"});
    FatImage locked = FatImage::make(ImageKind::Floppy, work / "locked.img", work / "tree");
    writeHostFile(work / "qemu.qcow2", std::string("QFI\xfb\0\0\0\3", 8) + std::string(600, '\0'));
    writeHostFile(work / "empty.img", "");
    // As QEMU holds an image it runs.
    int fd = open(locked.path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 201;
    lock.l_len = 1;
    ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &lock), 0);
    struct Row {
        std::string image;
        std::vector<std::string> says;
    };
    const std::vector<Row> rows = {
        {work / "qemu.qcow2",
         {"(qcow2)", "qemu-img convert -f qcow2 -O raw " + work / "qemu.qcow2"}},
        {work / "empty.img", {"is empty"}},
        {locked.path, {"in use by another program"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.image);
        std::string before = readHostFile(row.image);
        SetupResult run = runOn(row.image, work / "disk", kInstall);
        EXPECT_EQ(run.exitStatus, 2);
        for (const std::string& text : row.says) {
            EXPECT_NE(run.errors.find(text), std::string::npos) << run.errors;
        }
        EXPECT_TRUE(run.trace.empty()) << "the machine started";
        EXPECT_EQ(readHostFile(row.image), before);
    }
    close(fd);
}

} // namespace corvane_test

namespace corvane_test {

namespace {

// A copy of the demo disk whose layout.ini has every old text replaced.
std::string diskWith(const std::string& folder,
                     const std::vector<std::pair<std::string, std::string>>& replaced) {
    copyHostTree(kDemo + "/disk", folder);
    std::string layout = readHostFile(folder + "/layout.ini");
    for (const auto& [from, to] : replaced) {
        for (size_t at = layout.find(from); at != std::string::npos;
             at = layout.find(from, at + to.size())) {
            layout.replace(at, from.size(), to);
        }
    }
    writeHostFile(folder + "/layout.ini", layout);
    return folder;
}

} // namespace

// What an install and then an uninstall leave on a copy of the folder tree.
std::pair<std::map<std::string, std::string>, std::map<std::string, std::string>>
folderRuns(const std::string& disk, const std::string& tree, const std::string& work) {
    copyHostTree(tree, work);
    EXPECT_EQ(runOn(work, disk, kInstall).exitStatus, 0);
    std::map<std::string, std::string> installed = folderFiles(work);
    EXPECT_EQ(runOn(work, disk, kUninstall).exitStatus, 0);
    return {installed, folderFiles(work)};
}

// Names as the image holds them: a stray file whose name differs from the
// real backup's only outside ASCII stays apart from it, and a backup whose
// name is a pattern to mtools is written, found and deleted as itself. Each
// gives what the same runs give on a folder.
TEST(ImageRun, EveryNameIsTheImagesOwnNeverAnotherFilesNorAPattern) {
    TempDir work;
    const std::string stray = "WINDOWS/INF/MACH\xC3\x84.QBK"; // MACHÄ.QBK, 437's 0x8E
    {
        SCOPED_TRACE("MACH_.QBK and a stray MACHÄ.QBK");
        std::string disk = diskWith(work / "twin", {{"MACHINE.QBK", "MACH_.QBK"}});
        auto [installed, uninstalled] = folderRuns(disk, kDemo + "/c", work / "twin-c");
        ASSERT_EQ(installed.count("WINDOWS/INF/MACH_.QBK"), 1u);
        FatImage image = FatImage::make(ImageKind::Fat16Disk, work / "twin.img", kDemo + "/c");
        SetupResult install = runOn(image.driveValue, disk, kInstall);
        ASSERT_EQ(install.exitStatus, 0) << install.errors;
        EXPECT_EQ(image.files(), installed);
        image.addFile(stray, "; not a backup\r\n");
        SetupResult uninstall = runOn(image.driveValue, disk, kUninstall);
        EXPECT_EQ(uninstall.exitStatus, 0) << uninstall.errors;
        uninstalled[stray] = "; not a backup\r\n";
        EXPECT_EQ(image.files(), uninstalled);
        EXPECT_EQ(image.fsckReport(), "");
    }
    {
        SCOPED_TRACE("a backup named MSPORTS.IN[F] beside MSPORTS.INF");
        std::string disk = diskWith(work / "bracket", {{"MSHDC.QBK", "MSPORTS.IN[F]"}});
        copyHostTree(kDemo + "/c", work / "c");
        writeHostFile(work / "c/WINDOWS/INF/MSPORTS.INF", "[Version]\r\n; ports\r\n");
        auto [installed, uninstalled] = folderRuns(disk, work / "c", work / "bracket-c");
        ASSERT_EQ(installed.count("WINDOWS/INF/MSPORTS.IN[F]"), 1u);
        ASSERT_EQ(uninstalled.count("WINDOWS/INF/MSPORTS.INF"), 1u);
        FatImage image = FatImage::make(ImageKind::Fat32Disk, work / "bracket.img", work / "c");
        image.setAttributes("WINDOWS/INF/MSPORTS.INF", {"+r", "+s"});
        const std::string flags = image.attributes().at("WINDOWS/INF/MSPORTS.INF");
        SetupResult install = runOn(image.driveValue, disk, kInstall);
        EXPECT_EQ(install.exitStatus, 0) << install.errors;
        EXPECT_EQ(image.files(), installed);
        EXPECT_EQ(image.attributes().at("WINDOWS/INF/MSPORTS.INF"), flags);
        SetupResult uninstall = runOn(image.driveValue, disk, kUninstall);
        EXPECT_EQ(uninstall.exitStatus, 0) << uninstall.errors;
        EXPECT_EQ(image.files(), uninstalled);
        EXPECT_EQ(image.attributes().at("WINDOWS/INF/MSPORTS.INF"), flags);
        EXPECT_EQ(image.fsckReport(), "");
    }
}

// The images each case is made of, through the real setup: the refusal
// (exit 2, what was found, the image as it was, the machine never started)
// or the install's exact result, the other volumes byte for byte as they
// were and every volume clean.
TEST(ImageRun, ATableOfImagesEachRefusedOrChangedExactlyInItsOwnVolume) {
    TempDir work;
    copyHostTree(kDemo + "/disk", work / "disk");
    copyHostTree(kDemo + "/c", work / "c");
    ASSERT_EQ(runOn(work / "c", work / "disk", kInstall).exitStatus, 0);
    const std::map<std::string, std::string> installed = folderFiles(work / "c");
    copyHostTree(kDemo + "/c", work / "cyrillic");
    writeHostFile(work / "cyrillic/WINDOWS/\xD0\x96URNAL.TXT", "log\r\n"); // ЖURNAL.TXT
    struct Row {
        const char* what;
        ImageKind kind;
        std::string tree;
        std::function<void(const FatImage&)> damage;
        std::vector<std::string> says; // empty: installed exactly
    };
    const std::vector<Row> rows = {
        {"two logical partitions, the files on 6",
         ImageKind::TwoLogical,
         kDemo + "/c",
         nullptr,
         {}},
        {"three logical partitions, the files on 7",
         ImageKind::ThreeLogical,
         kDemo + "/c",
         nullptr,
         {}},
        {"partition 2 starting inside partition 1",
         ImageKind::Fat16Disk,
         kDemo + "/c",
         [](const FatImage& i) { i.setTableEntry(0, 1, 0x06, 40000, 8000); },
         {"partition 1 (sectors 2048 to 65535) and partition 2 (sectors 40000 to 47999) overlap"}},
        {"a FAT volume larger than its partition",
         ImageKind::Fat16Disk,
         kDemo + "/c",
         [](const FatImage& i) { i.setTableEntry(0, 0, 0x06, 2048, 60000); },
         {"larger than the partition's 30720000 bytes"}},
        {"a name the machine's code page cannot hold",
         ImageKind::Fat16Disk,
         work / "cyrillic",
         nullptr,
         {"WINDOWS/\xD0\x96URNAL.TXT", "U+0416"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir images;
        FatImage image = FatImage::make(row.kind, images / "c.img", row.tree);
        if (row.damage) {
            row.damage(image);
        }
        const std::string before = readHostFile(image.path);
        const std::string beside = image.bytesBeside();
        SetupResult run = runOn(image.driveValue, work / "disk", kInstall);
        if (row.says.empty()) {
            EXPECT_EQ(run.exitStatus, 0) << run.errors;
            EXPECT_EQ(image.files(), installed);
        } else {
            EXPECT_EQ(run.exitStatus, 2);
            for (const std::string& text : row.says) {
                EXPECT_NE(run.errors.find(text), std::string::npos) << run.errors;
            }
            EXPECT_TRUE(run.trace.empty()) << "the machine started";
            EXPECT_TRUE(readHostFile(image.path) == before) << "the image changed";
            continue;
        }
        EXPECT_TRUE(image.bytesBeside() == beside) << "a neighbour or the table changed";
        EXPECT_EQ(image.fsckReport(), "");
        for (const FatImage& neighbour : image.neighbours) {
            EXPECT_EQ(neighbour.fsckReport(), "") << neighbour.offset;
        }
    }
}

} // namespace corvane_test

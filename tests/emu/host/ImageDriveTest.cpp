// A disk image as a drive folder and back: what the folder shows, what a
// session's changes make of the image, and which files are refused before
// anything starts.
#include "platform/emu/host/ImageDrive.h"
#include "platform/emu/host/DiskImage.h"
#include "platform/emu/host/ImageDrives.h"
#include "platform/emu/hostsupport/UndoJournal.h"
#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using corvane_test::FatImage;
using corvane_test::ImageKind;
using corvane_test::readHostFile;
using corvane_test::runTool;
using corvane_test::TempDir;
using corvane_test::writeHostFile;
using emu::host::DiskImage;
using emu::host::ImageDrive;
using emu::hostsupport::UndoJournal;

namespace {

// A C: drive with a long-named folder, a read-only hidden system file and a
// file the session replaces.
void fillDrive(const std::string& root) {
    runTool({"mkdir", "-p", root + "/WINDOWS/INF", root + "/Program Files/Quentor Tools"});
    writeHostFile(root + "/MSDOS.SYS", "[Paths]\r\nWinDir=C:\\WINDOWS\r\n");
    writeHostFile(root + "/WINDOWS/INF/MACHINE.INF", "[Version]\r\nSignature=\"$CHICAGO$\"\r\n");
    writeHostFile(root + "/WINDOWS/INF/OLD.INF", "[Old]\r\n");
    writeHostFile(root + "/Program Files/Quentor Tools/Read Me First.txt", "hello\r\n");
}

std::unique_ptr<ImageDrive> openDrive(const std::string& imageName) {
    auto drive = ImageDrive::open(imageName, false, nullptr);
    EXPECT_TRUE(drive) << drive.reason();
    return drive ? std::move(*drive) : nullptr;
}

} // namespace

TEST(ImageDrive, ShowsTheImageAndWritesBackExactlyWhatChangedOnEveryKindOfImage) {
    for (ImageKind kind : {ImageKind::Floppy, ImageKind::Fat16Disk, ImageKind::Fat32Disk,
                           ImageKind::SecondPartition, ImageKind::FixedVhd}) {
        SCOPED_TRACE(static_cast<int>(kind));
        TempDir work;
        fillDrive(work / "tree");
        FatImage image = FatImage::make(kind, work / "c.img", work / "tree");
        runTool({"mattrib", "-i", image.path + "@@" + std::to_string(image.offset), "+r", "+h",
                 "+s", "::/MSDOS.SYS"});
        std::unique_ptr<ImageDrive> drive = openDrive(image.driveValue);
        ASSERT_TRUE(drive);
        const std::string& folder = drive->folder();

        // As a FAT disk shows it: contents, read-only, short names.
        EXPECT_EQ(readHostFile(folder + "/WINDOWS/INF/MACHINE.INF"),
                  "[Version]\r\nSignature=\"$CHICAGO$\"\r\n");
        struct stat info {};
        ASSERT_EQ(stat((folder + "/MSDOS.SYS").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0222, 0u) << "MSDOS.SYS is read-only on the image";
        ASSERT_EQ(stat((folder + "/WINDOWS/INF/OLD.INF").c_str(), &info), 0);
        EXPECT_NE(info.st_mode & S_IWUSR, 0u);
        EXPECT_EQ(drive->shortNames().at(folder).at("PROGRA~1"), "Program Files");
        EXPECT_EQ(drive->shortNames().at(folder + "/Program Files").at("QUENTO~1"),
                  "Quentor Tools");

        // A session: one file replaced, one made, one folder made, one deleted.
        std::string before = readHostFile(image.path);
        writeHostFile(folder + "/WINDOWS/INF/MACHINE.INF", "[Version]\r\nmerged\r\n");
        writeHostFile(folder + "/WINDOWS/INF/MACHINE.QBK", "backup\r\n");
        runTool({"mkdir", folder + "/WINDOWS/New Folder"});
        writeHostFile(folder + "/WINDOWS/New Folder/A Long Name.txt", "long\r\n");
        ASSERT_EQ(unlink((folder + "/WINDOWS/INF/OLD.INF").c_str()), 0);
        EXPECT_EQ(readHostFile(image.path), before) << "nothing is written before the end";
        emu::hostsupport::Result<void> written = drive->commit();
        ASSERT_TRUE(written) << written.reason();
        EXPECT_EQ(drive->changesWritten(), 5);

        std::map<std::string, std::string> files = image.files();
        std::map<std::string, std::string> expected = {
            {"MSDOS.SYS", "[Paths]\r\nWinDir=C:\\WINDOWS\r\n"},
            {"WINDOWS/INF/MACHINE.INF", "[Version]\r\nmerged\r\n"},
            {"WINDOWS/INF/MACHINE.QBK", "backup\r\n"},
            {"WINDOWS/New Folder/A Long Name.txt", "long\r\n"},
            {"Program Files/Quentor Tools/Read Me First.txt", "hello\r\n"},
        };
        EXPECT_EQ(files, expected);
        EXPECT_EQ(image.attributes().at("MSDOS.SYS"), "  A  SHR     ");
        EXPECT_EQ(image.fsckReport(), "");
        if (kind == ImageKind::FixedVhd) {
            std::string now = readHostFile(image.path);
            EXPECT_EQ(now.substr(now.size() - 512), before.substr(before.size() - 512))
                << "the VHD footer stays";
        }

        // A second commit with nothing new leaves the file as it is.
        struct stat first {};
        stat(image.path.c_str(), &first);
        written = drive->commit();
        ASSERT_TRUE(written) << written.reason();
        EXPECT_EQ(drive->changesWritten(), 0);
        struct stat second {};
        stat(image.path.c_str(), &second);
        EXPECT_EQ(first.st_ino, second.st_ino);
        drive.reset();
        EXPECT_FALSE(corvane_test::hostFileExists(ImageDrive::workFolderOf(image.path)));
    }
}

// Every file of the folder below root ('/'), with its bytes, its time and
// whether it is read-only.
std::map<std::string, std::string> filesWithTimes(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const std::string& line :
         {runTool({"find", root, "-type", "f", "-printf", "%P|%T@|%m\\n"})}) {
        std::istringstream lines(line);
        std::string entry;
        while (std::getline(lines, entry)) {
            std::string path = entry.substr(0, entry.find('|'));
            files[path] = readHostFile(root + "/" + path) + "|" + entry.substr(path.size());
        }
    }
    return files;
}

TEST(ImageDrive, ReadsTheFoldersAsMcopyCopiesThemAndFetchesAFileOnlyWhenItIsUsed) {
    // FAT keeps local time: nine hours east of UTC (a POSIX rule, no zone
    // file needed) shows a time read as UTC.
    const char* zone = std::getenv("TZ");
    const std::string keptZone = zone ? zone : "";
    setenv("TZ", "JST-9", 1);
    tzset();
    for (ImageKind kind : {ImageKind::Floppy, ImageKind::Fat16Disk, ImageKind::Fat32Disk}) {
        SCOPED_TRACE(static_cast<int>(kind));
        TempDir work;
        fillDrive(work / "tree");
        FatImage image = FatImage::make(kind, work / "c.img", work / "tree");
        const std::string volume = image.path + "@@" + std::to_string(image.offset);
        // A file in pieces: a gap freed before it was written; a name in
        // small letters (an 8.3 entry with NT's case marks); a long name
        // outside ASCII; a read-only file.
        image.addFile("GAP.BIN", std::string(5000, 'g'));
        image.addFile("WINDOWS/TAIL.BIN", "t");
        runTool({"mdel", "-i", volume, "::/GAP.BIN"});
        std::string pieces;
        for (int i = 0; i < 3000; ++i) {
            pieces += "piece " + std::to_string(i) + "\r\n";
        }
        image.addFile("WINDOWS/PIECES.DAT", pieces);
        image.addFile("WINDOWS/readme.txt", "small letters\r\n");
        image.addFile("WINDOWS/Übersicht der Treiber.txt", "non-ASCII\r\n");
        image.setAttributes("WINDOWS/TAIL.BIN", {"+r"});

        // Copied out whole: what mcopy -s -m makes of the volume, byte for
        // byte, time for time, read-only kept.
        runTool({"mkdir", work / "mcopy"});
        runTool(
            {"env", "LC_ALL=C.UTF-8", "mcopy", "-s", "-m", "-i", volume, "::/*", work / "mcopy/"});
        runTool({"chmod", "a-w", work / "mcopy/WINDOWS/TAIL.BIN"});
        runTool({"mv", work / "mcopy/WINDOWS/Übersicht der Treiber.txt",
                 work / "mcopy/WINDOWS/\xDC"
                        "bersicht der Treiber.txt"});
        {
            std::unique_ptr<ImageDrive> whole = openDrive(image.driveValue);
            ASSERT_TRUE(whole);
            EXPECT_EQ(whole->unfetched(), 0u);
            EXPECT_EQ(filesWithTimes(whole->folder()), filesWithTimes(work / "mcopy"));
        }

        // Fetched when used: until then every file is a hole of its size.
        auto opened = ImageDrive::open(image.driveValue, false, nullptr, nullptr,
                                       ImageDrive::Bytes::WhenUsed);
        ASSERT_TRUE(opened) << opened.reason();
        std::unique_ptr<ImageDrive>& drive = *opened;
        const std::string& folder = drive->folder();
        EXPECT_EQ(drive->unfetched(), filesWithTimes(work / "mcopy").size());
        struct stat info {};
        ASSERT_EQ(stat((folder + "/WINDOWS/PIECES.DAT").c_str(), &info), 0);
        EXPECT_EQ(info.st_size, static_cast<off_t>(pieces.size()));
        EXPECT_EQ(info.st_blocks, 0) << "no byte of it is copied yet";
        EXPECT_TRUE(drive->fetch(folder + "/WINDOWS/PIECES.DAT"));
        EXPECT_TRUE(drive->fetch(folder + "/WINDOWS/TAIL.BIN"));
        EXPECT_EQ(readHostFile(folder + "/WINDOWS/PIECES.DAT"), pieces);
        EXPECT_EQ(readHostFile(folder + "/WINDOWS/TAIL.BIN"), "t");
        std::map<std::string, std::string> fetched = filesWithTimes(folder);
        std::map<std::string, std::string> copied = filesWithTimes(work / "mcopy");
        for (const char* path : {"WINDOWS/PIECES.DAT", "WINDOWS/TAIL.BIN"}) {
            EXPECT_EQ(fetched.at(path), copied.at(path)) << path;
        }
        EXPECT_TRUE(drive->fetch(folder + "/WINDOWS/PIECES.DAT")) << "once is enough";
        EXPECT_TRUE(drive->fetch(folder + "/WINDOWS/NOT THERE.TXT"));
        EXPECT_EQ(drive->unfetched(), copied.size() - 2);
        std::string before = readHostFile(image.path);
        emu::hostsupport::Result<void> written = drive->commit();
        ASSERT_TRUE(written) << written.reason();
        EXPECT_EQ(drive->changesWritten(), 0) << "fetched is not changed";
        EXPECT_EQ(readHostFile(image.path), before);

        // A folder moved with files never fetched: they are written back
        // with the bytes they had.
        runTool({"mv", folder + "/Program Files/Quentor Tools", folder + "/Program Files/Moved"});
        written = drive->commit();
        ASSERT_TRUE(written) << written.reason();
        EXPECT_EQ(image.files().at("Program Files/Moved/Read Me First.txt"), "hello\r\n");
        EXPECT_EQ(image.files().count("Program Files/Quentor Tools/Read Me First.txt"), 0u);
        EXPECT_EQ(image.fsckReport(), "");

        // Written to as a hole, never fetched: refused, never written back
        // with the image's bytes over what was written, nor as a hole.
        before = readHostFile(image.path);
        writeHostFile(folder + "/WINDOWS/INF/OLD.INF", "written blind\r\n");
        written = drive->commit();
        ASSERT_FALSE(written);
        EXPECT_NE(written.reason().find("OLD.INF was written to before its bytes were fetched"),
                  std::string::npos)
            << written.reason();
        EXPECT_EQ(readHostFile(image.path), before);
        ASSERT_EQ(unlink((folder + "/WINDOWS/INF/OLD.INF").c_str()), 0);

        // A change the machine could not finish left its journal: nothing
        // of the folder goes in, neither the half-changed file nor the journal.
        writeHostFile(folder + "/WINDOWS/SYSTEM.REG.corvane-undo", "journal");
        written = drive->commit();
        ASSERT_FALSE(written);
        EXPECT_NE(written.reason().find("a change of WINDOWS/SYSTEM.REG was cut short"),
                  std::string::npos)
            << written.reason();
        EXPECT_EQ(readHostFile(image.path), before);
        ASSERT_EQ(unlink((folder + "/WINDOWS/SYSTEM.REG.corvane-undo").c_str()), 0);

        // A file whose bytes cannot be had is not to be used, and the run
        // that went on without it is not written back.
        writeHostFile(folder + "/WINDOWS/INF/NEW.INF", "new\r\n");
        runTool({"mv", image.path, image.path + ".away"});
        EXPECT_FALSE(drive->fetch(folder + "/WINDOWS/INF/MACHINE.INF"));
        runTool({"mv", image.path + ".away", image.path});
        before = readHostFile(image.path);
        written = drive->commit();
        ASSERT_FALSE(written);
        EXPECT_NE(written.reason().find("MACHINE.INF"), std::string::npos) << written.reason();
        EXPECT_EQ(readHostFile(image.path), before);
    }
    if (zone) {
        setenv("TZ", keptZone.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

TEST(ImageDrive, RefusesWhatIsNoFatImageNamingItAndTheConversion) {
    TempDir work;
    runTool({"mkdir", work / "tree"});
    writeHostFile(work / "tree/A.TXT", "a");
    FatImage disk = FatImage::make(ImageKind::Fat16Disk, work / "disk.img", work / "tree");
    std::string diskBytes = readHostFile(disk.path);
    std::string ntfsBoot(512, '\0');
    ntfsBoot.replace(0, 11, "\xEB\x52\x90NTFS    ");
    ntfsBoot[510] = '\x55';
    ntfsBoot[511] = '\xAA';
    // An MBR whose one partition holds NTFS.
    std::string ntfsDisk = diskBytes.substr(0, 1048576) + ntfsBoot + std::string(1048576, '\0');
    std::string ntfsTable = ntfsDisk;
    ntfsTable[446 + 4] = 0x07;
    ntfsTable.replace(446 + 12, 4,
                      std::string("\x00\x08\x00\x00", 4)); // 2048 sectors, as the file holds
    std::string sector0 = diskBytes.substr(0, 512);
    struct Row {
        const char* what;
        std::string bytes;
        const char* suffix; // appended to the file name given
        const char* says;
        bool convertible;
    };
    // A floppy whose dirty flag is set, as a system that was not shut down
    // leaves it: fsck.fat -n does not find it clean.
    runTool({"mkfs.fat", "-C", work / "dirty.img", "1440"});
    std::string dirty = readHostFile(work / "dirty.img");
    dirty[37] = '\x01';
    std::string vdi(512, '\0');
    vdi.replace(0, 4, "<<< ");
    vdi.replace(0x40, 4, "\x7F\x10\xDA\xBE");
    const std::vector<Row> rows = {
        {"empty", "", "", "is empty", false},
        {"shorter than a sector", diskBytes.substr(0, 300), "", "is truncated", false},
        {"partition cut off", diskBytes.substr(0, 4 * 1048576), "", "is truncated", false},
        {"qcow2", std::string("QFI\xfb\0\0\0\3", 8) + std::string(1000, '\0'), "", "(qcow2)", true},
        {"VDI", vdi, "", "(VDI)", true},
        {"VMDK sparse", std::string("KDMV") + std::string(1000, '\0'), "", "(VMDK)", true},
        {"VMDK descriptor", "# Disk DescriptorFile\nversion=1\n" + std::string(600, ' '), "",
         "(VMDK)", true},
        {"dynamic VHD",
         corvane_test::vhdFooter(1 << 20, 3) + std::string(1024, '\0') +
             corvane_test::vhdFooter(1 << 20, 3),
         "", "dynamic VHD", true},
        {"bare NTFS", ntfsBoot + std::string(4096, '\0'), "", "NTFS", false},
        {"NTFS partition", ntfsTable, "", "partition 1 of", false},
        {"no partition 3", diskBytes, "@3", "has no partition 3", false},
        {"no table, no FAT", std::string(2048, 'x'), "", "neither a FAT", false},
        {"bare volume asked for a partition", "", "@2", "no partition table", false},
        {"not clean", dirty, "", "not clean: Dirty bit is set", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::string path = work / "image.bin";
        if (std::string(row.what) == "bare volume asked for a partition") {
            runTool({"rm", "-f", path});
            runTool({"mkfs.fat", "-C", path, "1440"});
        } else {
            writeHostFile(path, row.bytes);
        }
        std::string before = readHostFile(path);
        auto drive = ImageDrive::open(path + row.suffix, false, nullptr);
        ASSERT_FALSE(drive);
        const std::string& error = drive.reason();
        EXPECT_NE(error.find(row.says), std::string::npos) << error;
        EXPECT_EQ(error.find("qemu-img convert") != std::string::npos, row.convertible) << error;
        EXPECT_EQ(readHostFile(path), before);
        EXPECT_FALSE(corvane_test::hostFileExists(ImageDrive::workFolderOf(path)));
    }
}

TEST(ImageDrive, AnImageAnotherProgramHoldsARecordLockOnIsRefused) {
    TempDir work;
    runTool({"mkdir", work / "tree"});
    FatImage image = FatImage::make(ImageKind::Floppy, work / "a.img", work / "tree");
    // As QEMU locks its images: open-file locks on single bytes.
    int fd = open(image.path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 100;
    lock.l_len = 1;
    ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &lock), 0);
    // A machine may be running on a locked image: a driver disk image is
    // refused as plainly.
    for (bool readOnly : {false, true}) {
        auto refused = ImageDrive::open(image.path, readOnly, nullptr);
        ASSERT_FALSE(refused);
        EXPECT_NE(refused.reason().find("in use by another program"), std::string::npos)
            << refused.reason();
    }
    close(fd);
    auto drive = ImageDrive::open(image.path, false, nullptr);
    EXPECT_TRUE(drive) << drive.reason();
    // While a run uses the image, a program that checks for record locks
    // (QEMU) finds one.
    int other = open(image.path.c_str(), O_RDWR);
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    ASSERT_EQ(fcntl(other, F_OFD_GETLK, &probe), 0);
    EXPECT_NE(probe.l_type, F_UNLCK);
    close(other);
}

TEST(ImageDrive, WhatCannotBeWrittenLeavesTheImageAsItWas) {
    TempDir work;
    runTool({"mkdir", work / "tree"});
    writeHostFile(work / "tree/A.TXT", "a");
    FatImage image = FatImage::make(ImageKind::Floppy, work / "a.img", work / "tree");
    std::string before = readHostFile(image.path);

    // More than the volume holds: mcopy fails in the work copy.
    std::unique_ptr<ImageDrive> drive = openDrive(image.path);
    ASSERT_TRUE(drive);
    writeHostFile(drive->folder() + "/BIG.BIN", std::string(2 * 1024 * 1024, 'x'));
    emu::hostsupport::Result<void> written = drive->commit();
    ASSERT_FALSE(written);
    EXPECT_NE(written.reason().find("mcopy"), std::string::npos) << written.reason();
    EXPECT_EQ(readHostFile(image.path), before);
    drive.reset();
    EXPECT_FALSE(corvane_test::hostFileExists(ImageDrive::workFolderOf(image.path)));

    // A written volume that fsck.fat does not find clean (here its second
    // FAT made to differ after the copy) is put back, not kept.
    drive = openDrive(image.path);
    ASSERT_TRUE(drive);
    const auto freeAreas = image.freeClusters();
    const std::string used = FatImage::without(image.path, freeAreas);
    writeHostFile(drive->folder() + "/C.TXT", "c");
    drive->setStepHook([&](const std::string& step) {
        if (step == "mcopy") {
            writeHostFile(work / "byte", "\x77");
            runTool({"dd", "if=" + work / "byte", "of=" + image.path, "bs=1", "seek=5124",
                     "conv=notrunc", "status=none"});
        }
    });
    written = drive->commit();
    ASSERT_FALSE(written);
    EXPECT_NE(written.reason().find("not clean"), std::string::npos) << written.reason();
    EXPECT_TRUE(FatImage::without(image.path, freeAreas) == used) << "the image is not put back";
    EXPECT_EQ(image.fsckReport(), "");
    EXPECT_FALSE(corvane_test::hostFileExists(UndoJournal::pathFor(image.path)));
    drive.reset();

    // A read-only image file is not replaced; read-only use is fine.
    ASSERT_EQ(chmod(image.path.c_str(), 0444), 0);
    auto refused = ImageDrive::open(image.path, false, nullptr);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.reason().find("is read-only"), std::string::npos) << refused.reason();
    EXPECT_TRUE(ImageDrive::open(image.path, true, nullptr).ok());
    ASSERT_EQ(chmod(image.path.c_str(), 0640), 0);

    // Through a link, the file the link leads to takes the changes and the
    // link stays a link; a hard link to the image is the image still.
    ASSERT_EQ(symlink(image.path.c_str(), (work / "link.img").c_str()), 0);
    ASSERT_EQ(link(image.path.c_str(), (work / "hard.img").c_str()), 0);
    drive = openDrive(work / "link.img");
    ASSERT_TRUE(drive);
    writeHostFile(drive->folder() + "/B.TXT", "b");
    written = drive->commit();
    ASSERT_TRUE(written) << written.reason();
    struct stat link {};
    ASSERT_EQ(lstat((work / "link.img").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(image.files().at("B.TXT"), "b");
    struct stat info {};
    ASSERT_EQ(stat(image.path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u) << "the image keeps its permissions";
    EXPECT_EQ(readHostFile(work / "hard.img"), readHostFile(image.path));
    EXPECT_EQ(info.st_nlink, 2u);
}

// A copy that waited for the image while its file was replaced locks the
// file the name leads to when its turn comes, not the one it waited on.
TEST(ImageLock, AWaitingCopyLocksTheFileTheNameNowLeadsTo) {
    TempDir work;
    writeHostFile(work / "c.img", "old");
    writeHostFile(work / "new.img", "new");
    emu::host::ImageLock other;
    auto taken = other.take(work / "c.img", true, nullptr);
    ASSERT_TRUE(taken) << taken.reason();
    emu::host::ImageLock waiting;
    auto waited = waiting.take(work / "c.img", true, [&] {
        runTool({"mv", work / "new.img", work / "c.img"});
        other.release();
    });
    ASSERT_TRUE(waited) << waited.reason();
    int fd = open((work / "c.img").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0) << "the file the name leads to is not locked";
    close(fd);
}

// mtools takes no lock: another program may write the image while a run
// holds it. The write-back sees that and keeps the other program's change.
TEST(ImageDrive, AnImageAnotherProgramChangedWhileTheRunUsedItIsNotWrittenBack) {
    TempDir work;
    runTool({"mkdir", work / "tree"});
    writeHostFile(work / "tree/A.TXT", "a");
    struct Row {
        const char* what;
        std::function<void(const FatImage&)> otherProgram;
        const char* says;
    };
    const Row rows[] = {
        {"mcopy into the image",
         [&](const FatImage& image) {
             writeHostFile(work / "OTHER.TXT", "other");
             runTool({"mcopy", "-i", image.path + "@@" + std::to_string(image.offset),
                      work / "OTHER.TXT", "::/OTHER.TXT"});
         },
         "its file system's FATs and directories"},
        {"a new time only",
         [](const FatImage& image) {
             runTool({"touch", "-d", "2001-02-03", image.path});
         },
         "its modification time"},
        {"another file renamed over it",
         [&](const FatImage& image) {
             runTool({"cp", image.path, work / "other.img"});
             runTool({"mv", work / "other.img", image.path});
         },
         "it is another file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FatImage image = FatImage::make(ImageKind::Fat16Disk, work / "c.img", work / "tree");
        std::unique_ptr<ImageDrive> drive = openDrive(image.driveValue);
        ASSERT_TRUE(drive);
        writeHostFile(drive->folder() + "/MINE.TXT", "mine");
        row.otherProgram(image);
        std::string theirs = readHostFile(image.path);
        emu::hostsupport::Result<void> written = drive->commit();
        ASSERT_FALSE(written);
        EXPECT_NE(written.reason().find("changed by another program"), std::string::npos)
            << written.reason();
        EXPECT_NE(written.reason().find(row.says), std::string::npos) << written.reason();
        EXPECT_EQ(readHostFile(image.path), theirs);
        EXPECT_FALSE(corvane_test::hostFileExists(UndoJournal::pathFor(image.path)));
        drive.reset();
        runTool({"rm", "-f", image.path});
    }
}

// Two image drives take a run's changes all or nothing: when the second
// cannot be written, the first is put back.
TEST(ImageDrives, ASecondDriveThatCannotBeWrittenLeavesTheFirstAsItWas) {
    TempDir work;
    fillDrive(work / "tree");
    FatImage c = FatImage::make(ImageKind::Fat32Disk, work / "c.img", work / "tree");
    FatImage d = FatImage::make(ImageKind::Floppy, work / "d.img", work / "tree");
    struct Row {
        const char* what;
        std::size_t dSize; // of the file written to D:
        bool written;
    };
    for (const Row& row : {Row{"D: too small for its change", 2 * 1024 * 1024, false},
                           Row{"both fit", 1000, true}}) {
        SCOPED_TRACE(row.what);
        // A write may fill free clusters: the FATs put back keep them free.
        const auto cFree = c.freeClusters();
        const auto dFree = d.freeClusters();
        const std::string cBefore = FatImage::without(c.path, cFree);
        const std::string dBefore = FatImage::without(d.path, dFree);
        emu::host::HostOptions options;
        options.machine.drives['C'] = c.driveValue;
        options.machine.drives['D'] = d.driveValue;
        emu::host::ImageDrives drives;
        auto opened = drives.open(options, true, nullptr);
        ASSERT_TRUE(opened) << opened.reason();
        std::string error;
        writeHostFile(options.machine.drives['C'] + "/WINDOWS/INF/NEW.INF", "[New]\r\n");
        writeHostFile(options.machine.drives['D'] + "/BIG.BIN", std::string(row.dSize, 'x'));
        EXPECT_EQ(drives.commit(error), row.written) << error;
        drives.discard();
        if (row.written) {
            EXPECT_EQ(c.files().at("WINDOWS/INF/NEW.INF"), "[New]\r\n");
            EXPECT_EQ(d.files().at("BIG.BIN").size(), row.dSize);
        } else {
            EXPECT_NE(error.find("drive D: not written back"), std::string::npos) << error;
            EXPECT_NE(error.find("no image is changed"), std::string::npos) << error;
            EXPECT_TRUE(FatImage::without(c.path, cFree) == cBefore) << "C: is changed";
            EXPECT_TRUE(FatImage::without(d.path, dFree) == dBefore) << "D: is changed";
        }
        EXPECT_EQ(c.fsckReport(), "");
        EXPECT_EQ(d.fsckReport(), "");
        EXPECT_FALSE(corvane_test::hostFileExists(UndoJournal::pathFor(c.path)));
        EXPECT_FALSE(corvane_test::hostFileExists(UndoJournal::pathFor(d.path)));
    }
}

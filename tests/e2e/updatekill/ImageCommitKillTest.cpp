// A run killed at any step of writing its changes into a disk image (the
// image tools writing in place, the journal's own host calls) leaves the
// image with a journal that the next run puts back before anything else:
// byte for byte the original over every used cluster and all of the file
// system's own areas, or holding every change; a clean file system either
// way.
#include "platform/emu/MachineConfig.h"
#include "platform/emu/host/ImageDrive.h"
#include "platform/emu/hostsupport/UndoJournal.h"
#include "tests/e2e/updatekill/CrashChild.h"
#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"
#include "update/CUpdateInf.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

using corvane_test::ChildEnding;
using corvane_test::FatImage;
using corvane_test::ImageKind;
using corvane_test::readHostFile;
using corvane_test::runTool;
using corvane_test::TempDir;
using corvane_test::TestMachine;
using corvane_test::writeHostFile;
using emu::host::ImageDrive;
using emu::hostsupport::UndoJournal;

namespace {

constexpr int kMaxSteps = 200;

// The session's changes: a file replaced by a longer one, a folder with its
// files removed, one made with a file, one file removed.
void changeFiles(const std::string& folder) {
    std::string inf = "[Version]\r\n";
    for (int line = 0; line < 400; ++line) {
        inf += "merged line " + std::to_string(line) + "\r\n";
    }
    writeHostFile(folder + "/WINDOWS/INF/MACHINE.INF", inf);
    runTool({"rm", "-r", folder + "/WINDOWS/OLDDRV"});
    runTool({"mkdir", folder + "/WINDOWS/Quentor Backups"});
    writeHostFile(folder + "/WINDOWS/Quentor Backups/MACHINE.QBK", "backup\r\n");
    if (unlink((folder + "/WINDOWS/INF/USB.INF").c_str()) != 0) {
        throw std::runtime_error("USB.INF is not in the image's folder");
    }
}

// Opens the image, makes the changes and writes them back, ending the
// process after afterSteps steps of the write-back or of the journal's host
// calls (-1: never). The steps' names go to names when given.
void session(const std::string& imageName, int afterSteps,
             std::vector<std::string>* names = nullptr) {
    auto opened = ImageDrive::open(imageName, false, nullptr);
    if (!opened) {
        throw std::runtime_error(opened.reason());
    }
    std::unique_ptr<ImageDrive>& drive = *opened;
    changeFiles(drive->folder());
    int steps = 0;
    auto count = [&](const std::string& name) {
        if (names != nullptr) {
            names->push_back(name);
        }
        if (++steps == afterSteps) {
            std::_Exit(emu::kCrashExitStatus);
        }
    };
    drive->setStepHook(count);
    UndoJournal::setStepHook([&](const char* name, bool made) {
        if (made) {
            count(name);
        }
        return 0;
    });
    emu::hostsupport::Result<void> written = drive->commit();
    UndoJournal::setStepHook(nullptr);
    if (!written) {
        throw std::runtime_error(written.reason());
    }
}

} // namespace

TEST(ImageCommitKill, AKillAtAnyStepIsRolledBackByTheNextRunOrLeavesEveryChange) {
    for (ImageKind kind : {ImageKind::SecondPartition, ImageKind::Fat32Disk}) {
        SCOPED_TRACE(kind == ImageKind::Fat32Disk ? "FAT32" : "FAT16 logical partition");
        TempDir work;
        runTool({"cp", "-r", std::string(CORVANE_TEST_DATA) + "/../demo/c", work / "tree"});
        runTool({"mkdir", work / "tree/WINDOWS/OLDDRV"});
        writeHostFile(work / "tree/WINDOWS/OLDDRV/OLD.DRV", std::string(40000, 'd'));
        writeHostFile(work / "tree/WINDOWS/OLDDRV/OLD.INF", "[Old]\r\n");
        FatImage image = FatImage::make(kind, work / "c.img", work / "tree");
        runTool({"cp", "--sparse=always", image.path, work / "original.img"});
        // A write may fill free clusters: the FATs put back keep them free.
        const auto freeAreas = image.freeClusters();
        const std::string original = FatImage::without(image.path, freeAreas);
        std::map<std::string, std::string> before = image.files();

        // The order a power cut depends on: the journal synced before the
        // first tool writes, the written volume checked and synced before
        // the journal goes.
        std::vector<std::string> names;
        session(image.driveValue, -1, &names);
        auto first = [&](const std::string& name) {
            return std::find(names.begin(), names.end(), name) - names.begin();
        };
        auto last = [&](const std::string& name) {
            return names.rend() - std::find(names.rbegin(), names.rend(), name) - 1;
        };
        EXPECT_LT(last("sync folder"), first("seal"));
        EXPECT_LT(first("seal"), first("mdeltree"));
        EXPECT_LT(last("mcopy"), first("fsck"));
        EXPECT_LT(first("fsck"), first("sync target"));
        EXPECT_LT(first("sync target"), last("remove journal"));
        EXPECT_EQ(last("remove journal"), static_cast<long>(names.size()) - 2) << "then finish";
        std::string detail;
        std::map<std::string, std::string> whole = image.files();
        runTool({"cp", "--sparse=always", work / "original.img", image.path});
        ASSERT_NE(whole, before);

        int crashes = 0;
        int rolledBack = 0;
        for (int steps = 1; steps <= kMaxSteps; ++steps) {
            SCOPED_TRACE("killed after step " + std::to_string(steps));
            runTool({"cp", "--sparse=always", work / "original.img", image.path});
            ChildEnding ending =
                corvane_test::runInChild([&] { session(image.driveValue, steps); }, detail);
            ASSERT_NE(ending, ChildEnding::Failed) << detail;
            if (ending == ChildEnding::Completed) {
                EXPECT_EQ(image.files(), whole);
                EXPECT_EQ(image.fsckReport(), "");
                break;
            }
            ++crashes;
            bool journal = corvane_test::hostFileExists(UndoJournal::pathFor(image.path));
            // The next run puts the journal back before anything else and
            // says so.
            bool told = false;
            {
                auto reopened =
                    ImageDrive::open(image.driveValue, false, nullptr, [&] { told = true; });
                ASSERT_TRUE(reopened) << reopened.reason();
            }
            EXPECT_EQ(told, journal);
            rolledBack += told ? 1 : 0;
            EXPECT_FALSE(corvane_test::hostFileExists(UndoJournal::pathFor(image.path)));
            EXPECT_FALSE(corvane_test::hostFileExists(ImageDrive::workFolderOf(image.path)));
            EXPECT_EQ(image.fsckReport(), "");
            bool asItWas = FatImage::without(image.path, freeAreas) == original;
            EXPECT_TRUE(asItWas || image.files() == whole)
                << "the image is neither as it was nor whole";
            if (asItWas) {
                // On the image as it was, the next run finishes.
                ASSERT_EQ(corvane_test::runInChild([&] { session(image.driveValue, -1); }, detail),
                          ChildEnding::Completed)
                    << detail;
                EXPECT_EQ(image.files(), whole);
            }
        }
        // The journal's unnamed file, its seal, the tools (mdeltree, mattrib,
        // mdel, mmd, mcopy, mattrib), fsck, finish.
        EXPECT_GE(crashes, 10);
        EXPECT_GE(rolledBack, 7);
    }
}

// The demo's install (its INF merges) on the folder of an image drive,
// cut short at each file step by the machine, then the write-back the
// finished run would do: nothing of a killed run reaches the image.
TEST(ImageCommitKill, AKillDuringTheInstallLeavesTheImageAsItWas) {
    TempDir work;
    // A small image keeps the many rounds short; the write-back's own kills
    // are the test above.
    FatImage image = FatImage::make(ImageKind::Floppy, work / "c.img",
                                    std::string(CORVANE_TEST_DATA) + "/../demo/c");
    runTool({"cp", "--sparse=always", image.path, work / "original.img"});
    const std::string original = readHostFile(image.path);
    auto install = [&](int crashAfter) {
        auto opened = ImageDrive::open(image.driveValue, false, nullptr);
        if (!opened) {
            throw std::runtime_error(opened.reason());
        }
        std::unique_ptr<ImageDrive>& drive = *opened;
        TestMachine machine{TestMachine::demo()};
        machine.config().drives['C'] = drive->folder();
        machine.config().crashAfterFileSteps = crashAfter;
        machine.boot();
        CUpdateInf update;
        update.UpdateFile("MSHDC.INF", "MSHDC.QTR", "MSHDC.QBK");
        update.UpdateFile("MACHINE.INF", "MACHINE1.QTR", "MACHINE.QBK");
        update.UpdateFile("USB.INF", "USB.QTR", "USB.QBK");
        machine.shutdown();
        emu::hostsupport::Result<void> written = drive->commit();
        if (!written) {
            throw std::runtime_error(written.reason());
        }
    };
    std::string detail;
    int crashes = 0;
    // Every third of the install's hundred or so file steps: nothing is
    // written to the image before the write-back, whatever the step.
    for (int steps = 1; steps <= 300; steps += 3) {
        SCOPED_TRACE("killed after file step " + std::to_string(steps));
        runTool({"cp", "--sparse=always", work / "original.img", image.path});
        ChildEnding ending = corvane_test::runInChild([&] { install(steps); }, detail);
        ASSERT_NE(ending, ChildEnding::Failed) << detail;
        if (ending == ChildEnding::Completed) {
            EXPECT_NE(readHostFile(image.path), original) << "the finished install wrote nothing";
            EXPECT_EQ(image.fsckReport(), "");
            break;
        }
        ++crashes;
        EXPECT_EQ(readHostFile(image.path), original);
    }
    EXPECT_GE(crashes, 20) << "the install took fewer file steps than it should";
}

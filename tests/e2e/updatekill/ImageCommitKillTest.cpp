// A run killed at any step of writing its changes into a disk image leaves
// the image byte for byte as it was or holding every change, and a clean
// file system either way; the next run clears what the killed one left.
#include "platform/emu/MachineConfig.h"
#include "platform/emu/host/ImageDrive.h"
#include "tests/e2e/updatekill/CrashChild.h"
#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"
#include "update/CUpdateInf.h"

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

namespace {

constexpr int kMaxSteps = 100;

// The session's changes: a file replaced, one made in a new folder, one
// removed.
void changeFiles(const std::string& folder) {
    writeHostFile(folder + "/WINDOWS/INF/MACHINE.INF", "[Version]\r\nmerged\r\n");
    runTool({"mkdir", folder + "/WINDOWS/Quentor Backups"});
    writeHostFile(folder + "/WINDOWS/Quentor Backups/MACHINE.QBK", "backup\r\n");
    if (unlink((folder + "/WINDOWS/INF/USB.INF").c_str()) != 0) {
        throw std::runtime_error("USB.INF is not in the image's folder");
    }
}

// Opens the image, makes the changes and writes them back, ending the
// process after afterSteps steps of the write-back (-1: never).
void session(const std::string& imageName, int afterSteps) {
    auto opened = ImageDrive::open(imageName, false, nullptr);
    if (!opened) {
        throw std::runtime_error(opened.reason());
    }
    std::unique_ptr<ImageDrive>& drive = *opened;
    changeFiles(drive->folder());
    int steps = 0;
    drive->setStepHook([&](const std::string&) {
        if (++steps == afterSteps) {
            std::_Exit(emu::kCrashExitStatus);
        }
    });
    emu::hostsupport::Result<void> written = drive->commit();
    if (!written) {
        throw std::runtime_error(written.reason());
    }
}

} // namespace

TEST(ImageCommitKill, AKillAtAnyStepLeavesTheImageAsItWasOrWhole) {
    TempDir work;
    FatImage image = FatImage::make(ImageKind::SecondPartition, work / "c.img",
                                    std::string(CORVANE_TEST_DATA) + "/../demo/c");
    std::string original = readHostFile(image.path);
    // Kept sparse, as the image is, so each round costs its data only.
    runTool({"cp", "--sparse=always", image.path, work / "original.img"});
    std::map<std::string, std::string> before = image.files();

    std::string detail;
    ASSERT_EQ(corvane_test::runInChild([&] { session(image.driveValue, -1); }, detail),
              ChildEnding::Completed)
        << detail;
    std::map<std::string, std::string> whole = image.files();
    ASSERT_NE(whole, before);

    int crashes = 0;
    for (int steps = 1; steps <= kMaxSteps; ++steps) {
        SCOPED_TRACE("killed after step " + std::to_string(steps));
        runTool({"cp", "--sparse=always", work / "original.img", image.path});
        ChildEnding ending =
            corvane_test::runInChild([&] { session(image.driveValue, steps); }, detail);
        ASSERT_NE(ending, ChildEnding::Failed) << detail;
        std::string now = readHostFile(image.path);
        bool asItWas = now == original;
        EXPECT_TRUE(asItWas || image.files() == whole)
            << "the image is neither as it was nor whole";
        EXPECT_EQ(image.fsckReport(), "");
        if (ending == ChildEnding::Completed) {
            EXPECT_EQ(image.files(), whole);
            break;
        }
        ++crashes;
        // The next run clears the killed one's work folder and, on the image
        // as it was, finishes.
        if (asItWas) {
            ASSERT_EQ(corvane_test::runInChild([&] { session(image.driveValue, -1); }, detail),
                      ChildEnding::Completed)
                << detail;
        } else {
            auto reopened = ImageDrive::open(image.driveValue, false, nullptr);
            EXPECT_TRUE(reopened) << reopened.reason();
        }
        EXPECT_EQ(image.files(), whole);
        EXPECT_FALSE(corvane_test::hostFileExists(ImageDrive::workFolderOf(image.path)));
    }
    // Copy, mdeltree/mdel/mmd/mcopy/mattrib, fsck, sync, rename.
    EXPECT_GE(crashes, 6);
}

// The demo's install (its INF merges) on the folder of an image drive,
// cut short at each file step by the machine, then the write-back the
// finished run would do: nothing of a killed run reaches the image.
TEST(ImageCommitKill, AKillDuringTheInstallLeavesTheImageAsItWas) {
    TempDir work;
    // A small image keeps the many rounds short; the write-back's own kills
    // are the test above, on a partition.
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

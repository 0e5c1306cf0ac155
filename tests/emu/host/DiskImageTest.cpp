// Which volume of a disk image is found, and which partition tables are
// refused because a write into one volume could land in another.
#include "platform/emu/host/DiskImage.h"
#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>

using corvane_test::FatImage;
using corvane_test::ImageKind;
using corvane_test::readHostFile;
using corvane_test::runTool;
using corvane_test::TempDir;
using emu::host::DiskImage;

TEST(DiskImage, FindsTheVolumeOfEachKindAndFollowsTheChainOfLogicalPartitions) {
    TempDir work;
    runTool({"mkdir", work / "tree"});
    struct Row {
        ImageKind kind;
        const char* partition; // "" for the image's own choice
        std::uint64_t firstSector;
        const char* description;
    };
    for (const Row& row : {
             Row{ImageKind::Floppy, "", 0, "a FAT12 volume"},
             Row{ImageKind::Fat16Disk, "", 2048, "the FAT16 partition 1 of"},
             Row{ImageKind::Fat32Disk, "", 2048, "the FAT32 partition 1 of"},
             Row{ImageKind::FixedVhd, "", 2048, "partition 1 of"},
             Row{ImageKind::SecondPartition, "@5", 20480, "the FAT16 partition 5 of"},
             Row{ImageKind::TwoLogical, "@5", 20480, "partition 5 of"},
             Row{ImageKind::TwoLogical, "@6", 30720, "the FAT16 partition 6 of"},
             Row{ImageKind::ThreeLogical, "@5", 20480, "partition 5 of"},
             Row{ImageKind::ThreeLogical, "@6", 30720, "partition 6 of"},
             Row{ImageKind::ThreeLogical, "@7", 40960, "the FAT16 partition 7 of"},
             Row{ImageKind::ThreeLogical, "", 2048, "partition 1 of"},
         }) {
        SCOPED_TRACE(std::to_string(static_cast<int>(row.kind)) + row.partition);
        FatImage image = FatImage::make(row.kind, work / "x.img", work / "tree");
        auto volume = DiskImage::findVolume(image.path + row.partition);
        ASSERT_TRUE(volume) << volume.reason();
        EXPECT_EQ(volume->offset, row.firstSector * 512);
        if (image.driveValue == image.path + row.partition) {
            EXPECT_EQ(volume->offset, image.offset);
            EXPECT_EQ(volume->length, image.length);
        }
        EXPECT_NE(volume->description.find(row.description), std::string::npos)
            << volume->description;
        if (row.kind == ImageKind::FixedVhd) {
            EXPECT_NE(volume->description.find("in a fixed VHD image"), std::string::npos);
        }
        runTool({"rm", "-f", image.path});
    }
}

TEST(DiskImage, RefusesATableWhoseVolumesCouldBeWrittenIntoEachOther) {
    TempDir work;
    runTool({"mkdir", work / "tree"});
    // The sfdisk layouts: FAT16 disk, partition 1 at 2048 to the end (65535);
    // three logical ones: partition 1 2048-18431, extended 18432-65535 with
    // records at 18432, 28672 and 38912, logical 20480 (8192), 30720 (8192),
    // 40960 to the end.
    struct Row {
        const char* what;
        ImageKind kind;
        std::function<void(const FatImage&)> damage;
        const char* partition; // the one asked for
        const char* says;
    };
    const std::vector<Row> rows = {
        {"a second partition on the first one's last sector", ImageKind::Fat16Disk,
         [](const FatImage& i) { i.setTableEntry(0, 1, 0x06, 65535, 1); }, "@1",
         "partition 1 (sectors 2048 to 65535) and partition 2 (sectors 65535 to 65535) overlap"},
        {"a second partition inside the first one's free space", ImageKind::Fat16Disk,
         [](const FatImage& i) { i.setTableEntry(0, 1, 0x06, 40000, 8000); }, "@1", "overlap"},
        {"a partition over the MBR", ImageKind::Fat16Disk,
         [](const FatImage& i) { i.setTableEntry(0, 0, 0x06, 0, 65536); }, "@1",
         "overlaps the partition table at sector 0"},
        {"a logical partition over the next record", ImageKind::ThreeLogical,
         [](const FatImage& i) { i.setTableEntry(18432, 0, 0x06, 2048, 10241); }, "@7",
         "partition 5 (sectors 20480 to 30720) overlaps the partition table at sector 28672"},
        {"a logical partition over its own record", ImageKind::TwoLogical,
         [](const FatImage& i) { i.setTableEntry(18432, 0, 0x06, 0, 8192); }, "@6",
         "partition 5 (sectors 18432 to 26623) overlaps the partition table at sector 18432"},
        {"a logical partition one sector past its extended partition", ImageKind::ThreeLogical,
         [](const FatImage& i) { i.setTableEntry(0, 1, 0x05, 18432, 47103); }, "@5",
         "partition 7 (sectors 40960 to 65535) lies outside the extended partition 2"},
        {"a partition one sector past the file's end", ImageKind::Fat16Disk,
         [](const FatImage& i) { i.setTableEntry(0, 0, 0x06, 2048, 63489); }, "@1",
         "is truncated: partition 1 (sectors 2048 to 65536) ends at byte 33554944"},
        {"a neighbour past the file's end", ImageKind::TwoLogical,
         [](const FatImage& i) { i.setTableEntry(0, 2, 0x06, 65536, 8); }, "@1",
         "is truncated: partition 3"},
        {"a chain that loops", ImageKind::ThreeLogical,
         [](const FatImage& i) { i.setTableEntry(38912, 1, 0x05, 10240, 10240); }, "@1",
         "loops: the record at sector 28672 comes round again"},
        {"a chain that leaves its extended partition", ImageKind::ThreeLogical,
         [](const FatImage& i) { i.setTableEntry(28672, 1, 0x05, 50000, 2048); }, "@1",
         "the record at sector 68432 is outside the extended partition"},
        {"a FAT volume larger than its partition", ImageKind::Fat16Disk,
         [](const FatImage& i) { i.setTableEntry(0, 0, 0x06, 2048, 63487); }, "",
         "holds a FAT16 volume of 32505856 bytes, larger than the partition's 32505344 bytes"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FatImage image = FatImage::make(row.kind, work / "x.img", work / "tree");
        ASSERT_TRUE(DiskImage::findVolume(image.path + row.partition)) << "sound before";
        row.damage(image);
        std::string before = readHostFile(image.path);
        auto volume = DiskImage::findVolume(image.path + row.partition);
        EXPECT_FALSE(volume);
        if (!volume) {
            EXPECT_NE(volume.reason().find(row.says), std::string::npos) << volume.reason();
            EXPECT_NE(volume.reason().find(image.path), std::string::npos) << volume.reason();
        }
        EXPECT_EQ(readHostFile(image.path), before);
        runTool({"rm", "-f", image.path});
    }
}

// fsck.fat on volumes whose short names are in a double-byte code page: a
// name whose trail byte is '\\' or '|' is no fault, every real fault beside
// it or in it still is.
#include "platform/emu/host/VolumeCheck.h"
#include "platform/emu/host/DiskImage.h"
#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using corvane_test::FatImage;
using corvane_test::ImageKind;
using corvane_test::TempDir;

namespace {

// Short names as their directory entries hold them (11 bytes).
const char kSoft932[] = "\x83\x5C\x83\x74\x83\x67  TXT";  // ソフト, trail '\\'
const char kAfuto932[] = "\x83\x41\x83\x74\x83\x67  TXT"; // アフト, trail 'A'
const char kGbk936[] = "\xC8\xED\x83\x7C\x81\x5C  TXT";   // 软億乗, trails '|' and '\\'
const char kBig5950[] = "\xA5\x5C\xAF\xE0    TXT";        // 功能, trail '\\'
const char kAlias932[] = "\x83\x5C\x83\x74\x83\x67~1TXT"; // ソフト~1, an alias

} // namespace

TEST(VolumeCheck, ADoubleByteShortNameIsNoFaultAndEveryRealFaultStillIs) {
    struct Row {
        const char* what;
        ImageKind kind;
        int codePage;
        std::vector<std::pair<std::string, std::string>> names; // (now, then)
        bool clean;
    };
    const Row rows[] = {
        {"a trail byte '\\\\' in 932", ImageKind::Floppy, 932, {{"PLAIN1  TXT", kSoft932}}, true},
        {"the same in a partition", ImageKind::Fat32Disk, 932, {{"PLAIN1  TXT", kSoft932}}, true},
        {"trail bytes '|' and '\\\\' in 936",
         ImageKind::Floppy,
         936,
         {{"PLAIN1  TXT", kGbk936}},
         true},
        {"a trail byte '\\\\' in 950",
         ImageKind::Fat16Disk,
         950,
         {{"PLAIN1  TXT", kBig5950}},
         true},
        // Replacing the trail byte '\\' by 'A' would make them one name.
        {"two names one replacement would make one",
         ImageKind::Floppy,
         932,
         {{"PLAIN1  TXT", kSoft932}, {"PLAIN2  TXT", kAfuto932}},
         true},
        {"an alias of a long name", ImageKind::Floppy, 932, {{"LONGNA~1TXT", kAlias932}}, true},
        {"the double-byte name twice",
         ImageKind::Floppy,
         932,
         {{"PLAIN1  TXT", kSoft932}, {"PLAIN2  TXT", kSoft932}},
         false},
        {"a name twice beside a double-byte name",
         ImageKind::Floppy,
         932,
         {{"PLAIN1  TXT", kSoft932}, {"PLAIN3  TXT", "PLAIN2  TXT"}},
         false},
        {"a double-byte name on a volume of code page 437",
         ImageKind::Floppy,
         437,
         {{"PLAIN1  TXT", kSoft932}},
         false},
        {"a backslash that is no trail byte",
         ImageKind::Floppy,
         932,
         {{"PLAIN1  TXT", "AB\\     TXT"}},
         false},
        {"a lead byte ending the base, '\\\\' starting the extension",
         ImageKind::Floppy,
         932,
         {{"PLAIN1  TXT", "ABCDEFG\x83\x5CXT"}},
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir work;
        for (const char* name : {"PLAIN1.TXT", "PLAIN2.TXT", "PLAIN3.TXT", "Long Name File.txt"}) {
            corvane_test::writeHostFile(work / ("tree/" + std::string(name)), name);
        }
        FatImage image = FatImage::make(row.kind, work / "a.img", work / "tree");
        ASSERT_EQ(image.fsckReport(), "");
        for (const auto& [now, then] : row.names) {
            image.setShortName(now, then);
        }
        // fsck.fat alone calls every one of them bad.
        EXPECT_NE(image.fsckReport(), "");
        auto volume = emu::host::DiskImage::findVolume(image.driveValue);
        ASSERT_TRUE(volume) << volume.reason();
        const std::string before = corvane_test::readHostFile(image.path);
        auto checked = emu::host::VolumeCheck::run(*volume, image.path, work.path(), row.codePage);
        EXPECT_EQ(checked.ok(), row.clean) << (checked ? "" : checked.reason());
        if (!checked) {
            EXPECT_NE(checked.reason().find("fsck.fat -n finds the file system of"),
                      std::string::npos)
                << checked.reason();
        }
        EXPECT_TRUE(corvane_test::readHostFile(image.path) == before) << "the check changed it";
    }
}

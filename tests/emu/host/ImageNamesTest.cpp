// Names between a disk image, mtools and the emulated machine: what comes
// back the same is carried, what would not is refused.
#include "platform/emu/host/ImageNames.h"
#include "platform/emu/host/ImageDrive.h"
#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using corvane_test::runTool;
using corvane_test::TempDir;
using emu::host::ImageNames;

const emu::kernel::CodePage& k1252 = emu::kernel::CodePage::windows1252();

namespace {

// The name mtools gives a file named name in a new floppy image.
std::string writtenAs(const std::string& name) {
    TempDir work;
    corvane_test::writeHostFile(work / name, "x");
    runTool({"mkfs.fat", "-C", work / "f.img", "1440"});
    runTool({"mcopy", "-i", work / "f.img", work / name, "::/"});
    std::string listing = runTool({"mdir", "-b", "-i", work / "f.img", "::/"});
    return listing.substr(3, listing.find('\n') - 3);
}

} // namespace

TEST(ImageNames, CarryANameOnlyWhereItComesBackTheSame) {
    struct Row {
        const char* name;     // UTF-8, as mtools prints it
        const char* ansi;     // in code page 1252; nullptr: refused
        const char* refusal;  // a part of the reason
        bool writable = true; // mtools writes it back exactly
    };
    const Row rows[] = {
        {"MACH_.QBK", "MACH_.QBK", ""},
        {"MACH\xC3\x84.QBK", "MACH\xC4.QBK", ""}, // Ä, 437's 0x8E
        {"Gr\xC3\xBC\xC3\x9F"
         "e.txt",
         "Gr\xFC\xDF"
         "e.txt",
         ""}, // ü, ß
        {"\xE2\x82\xAC"
         "uro Notes.txt",
         "\x80uro Notes.txt", ""},                   // € with a long name
        {"\xE2\x82\xAC.TXT", "\x80.TXT", "", false}, // €: mtools writes E.TXT
        {"\xC3\x98RE.TXT", "\xD8RE.TXT", "", false}, // Ø: not in 437
        {"\xC3\x98re.TXT", "\xD8re.TXT", ""},        // mixed case: a long name
        {"\xC3\xA4.txt", "\xE4.txt", "", false},     // ä: mtools writes Ä
        {"\xC3\x84.TXT", "\xC4.TXT", ""},            // Ä
        {"\xD0\x96URNAL.TXT", nullptr, "U+0416"},    // Cyrillic
        {"\xE2\x96\x91.TXT", nullptr, "U+2591"},     // 437's 0xB0, not 1252's
        {"A\x01.TXT", nullptr, "U+0001"},
        {"\xC3\x28.TXT", nullptr, "no UTF-8"},
        {"\xC0\x80.TXT", nullptr, "no UTF-8"}, // overlong
        {"\xE2\x82", nullptr, "no UTF-8"},     // cut short
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto ansi = ImageNames::toAnsi(row.name, k1252);
        ASSERT_EQ(ansi.ok(), row.ansi != nullptr) << (ansi ? *ansi : ansi.reason());
        if (!ansi) {
            EXPECT_NE(ansi.reason().find(row.refusal), std::string::npos) << ansi.reason();
            continue;
        }
        EXPECT_EQ(*ansi, row.ansi);
        auto back = ImageNames::toTool(*ansi, k1252, 437);
        EXPECT_EQ(back.ok(), row.writable) << (back ? *back : back.reason());
        // What mtools itself makes of it, through the tools' settings.
        EXPECT_EQ(writtenAs(row.name) == row.name, row.writable) << writtenAs(row.name);
        if (back) {
            EXPECT_EQ(*back, row.name);
        } else {
            EXPECT_NE(back.reason().find("no long name"), std::string::npos) << back.reason();
        }
    }
    EXPECT_TRUE(ImageNames::sameName("MACH\xC4.QBK", "mach\xE4.qbk", k1252));
    EXPECT_FALSE(ImageNames::sameName("MACH\xC4.QBK", "MACH_.QBK", k1252));
}

TEST(ImageNames, APathReachesMtoolsAsItselfNeverAsAPattern) {
    EXPECT_EQ(ImageNames::literal("WINDOWS/INF/MSPORTS.IN[F]"), "::/WINDOWS/INF/MSPORTS.IN\\[F\\]");
    EXPECT_EQ(ImageNames::literal("A*/B?"), "::/A\\*/B\\?");
    EXPECT_EQ(ImageNames::literal(""), "::/");
    EXPECT_EQ(ImageNames::literalNew("D[1]/E[2]"), "::/D\\[1\\]/E[2]");
    EXPECT_EQ(ImageNames::literalNew("E[2]"), "::/E[2]");
}

// An image with a name the machine's code page cannot spell, or two names
// of one folder that are one name to the machine, is refused when it is
// opened, naming the entry, and left as it was.
TEST(ImageNames, AnImageWhoseNamesCannotBeCarriedIsRefusedNamingTheEntry) {
    struct Row {
        std::vector<std::string> files;
        const char* says;
    };
    const Row rows[] = {
        {{"LOGS/\xD0\x96URNAL.TXT"}, "the name \"LOGS/\xD0\x96URNAL.TXT\" holds U+0416"},
        // The second long name is made "ab.txt" in the image's own bytes:
        // mtools would not make it beside "Ab.txt".
        {{"Ab.txt", "Xb.txt"}, "are one name to Windows"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.says);
        TempDir work;
        runTool({"mkdir", "-p", work / "tree/LOGS"});
        corvane_test::FatImage image = corvane_test::FatImage::make(corvane_test::ImageKind::Floppy,
                                                                    work / "a.img", work / "tree");
        for (const std::string& file : row.files) {
            image.addFile(file, "x");
        }
        std::string bytes = corvane_test::readHostFile(image.path);
        const std::string longX("X\0b\0.\0t\0x\0", 10);
        size_t at = bytes.find(longX);
        if (at != std::string::npos) {
            bytes[at] = 'a';
            corvane_test::writeHostFile(image.path, bytes);
        }
        auto refused = emu::host::ImageDrive::open(image.path, false, nullptr);
        ASSERT_FALSE(refused);
        EXPECT_NE(refused.reason().find(row.says), std::string::npos) << refused.reason();
        EXPECT_TRUE(corvane_test::readHostFile(image.path) == bytes);
        EXPECT_FALSE(corvane_test::hostFileExists(emu::host::ImageDrive::workFolderOf(image.path)));
    }
}

// Through an image drive: names that differ only outside ASCII stay two
// files, spelt in code page 1252 in the folder, and come back unchanged; a
// new name mtools would spell otherwise is refused before anything is
// written.
TEST(ImageNames, AnImageDriveKeepsEveryNameAsTheImageHoldsIt) {
    TempDir work;
    runTool({"mkdir", work / "tree"});
    corvane_test::FatImage image = corvane_test::FatImage::make(corvane_test::ImageKind::Floppy,
                                                                work / "a.img", work / "tree");
    image.addFile("MACH\xC3\x84.QBK", "stray"); // MACHÄ.QBK
    image.addFile("MACH_.QBK", "real");
    image.addFile("Gr\xC3\xBC\xC3\x9F"
                  "e Stra\xC3\x9F"
                  "e.txt",
                  "long"); // Grüße Straße.txt
    image.addFile("Gr_sse Strasse.txt", "twin");
    const std::map<std::string, std::string> before = image.files();
    ASSERT_EQ(before.size(), 4u);

    auto drive = emu::host::ImageDrive::open(image.path, false, nullptr);
    ASSERT_TRUE(drive) << drive.reason();
    const std::string folder = (*drive)->folder();
    EXPECT_EQ(corvane_test::readHostFile(folder + "/MACH\xC4.QBK"), "stray");
    EXPECT_EQ(corvane_test::readHostFile(folder + "/MACH_.QBK"), "real");
    EXPECT_EQ(corvane_test::readHostFile(folder + "/Gr\xFC\xDF"
                                                  "e Stra\xDF"
                                                  "e.txt"),
              "long");
    EXPECT_EQ(corvane_test::readHostFile(folder + "/Gr_sse Strasse.txt"), "twin");

    corvane_test::writeHostFile(folder + "/\xC4RGER.TXT", "new"); // ÄRGER.TXT
    auto written = (*drive)->commit();
    ASSERT_TRUE(written) << written.reason();
    std::map<std::string, std::string> expected = before;
    expected["\xC3\x84RGER.TXT"] = "new";
    EXPECT_EQ(image.files(), expected);

    const std::string bytes = corvane_test::readHostFile(image.path);
    corvane_test::writeHostFile(folder + "/\x80.TXT", "euro"); // €.TXT would become E.TXT
    written = (*drive)->commit();
    ASSERT_FALSE(written);
    EXPECT_NE(
        written.reason().find("the name \"\xE2\x82\xAC.TXT\" cannot be written into the image"),
        std::string::npos)
        << written.reason();
    EXPECT_TRUE(corvane_test::readHostFile(image.path) == bytes);
    EXPECT_EQ(image.fsckReport(), "");
}

// An installation whose registry names OEM code page 850 has its short
// names read and written in 850: byte 0x9D is Ø there, ¥ in 437.
TEST(ImageNames, TheInstallationsOemCodePageSpellsItsShortNames) {
    for (const char* codePage : {"850", ""}) {
        SCOPED_TRACE(codePage);
        TempDir work;
        runTool({"mkdir", "-p", work / "tree/WINDOWS"});
        corvane_test::writeHostFile(
            work / "tree/WINDOWS/SYSTEM.REG",
            std::string("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\"
                        "Nls\\CodePage]\r\n") +
                (*codePage ? std::string("\"OEMCP\"=\"") + codePage + "\"\r\n" : ""));
        corvane_test::FatImage image = corvane_test::FatImage::make(corvane_test::ImageKind::Floppy,
                                                                    work / "a.img", work / "tree");
        corvane_test::writeHostFile(work / "\xC3\x98RE.TXT", "o"); // ØRE.TXT
        runTool({"sh", "-c",
                 "printf 'default_codepage=850\\n' | mcopy -i " + image.path + " '" +
                     work / "\xC3\x98RE.TXT" + "' ::/"});

        auto drive = emu::host::ImageDrive::open(image.path, false, nullptr);
        ASSERT_TRUE(drive) << drive.reason();
        const std::string folder = (*drive)->folder();
        const bool in850 = *codePage != '\0';
        EXPECT_EQ(corvane_test::hostFileExists(folder + "/\xD8RE.TXT"), in850);  // Ø
        EXPECT_EQ(corvane_test::hostFileExists(folder + "/\xA5RE.TXT"), !in850); // ¥
        corvane_test::writeHostFile(folder + "/\xD8LE.TXT", "new");
        auto written = (*drive)->commit();
        EXPECT_EQ(written.ok(), in850) << (written ? "" : written.reason());
        if (in850) {
            std::string root = corvane_test::readHostFile(image.path).substr(19 * 512, 14 * 512);
            EXPECT_NE(root.find("\x9DLE     TXT"), std::string::npos) << "Ø as 850's 0x9D";
        }
    }
}

// In the double-byte code pages: a long name is carried, spelt in the code
// page; a name of 8.3 shape with a double-byte character is refused as a new
// name, for mtools (in 437, as the image drive runs it) would give it the
// short name "___.TXT" where Windows writes the name itself; a character
// the code page lacks is refused.
TEST(ImageNames, DoubleByteNamesAreCarriedInTheirCodePageOrRefused) {
    struct Row {
        unsigned codePage;
        const char* name;    // UTF-8
        const char* ansi;    // in the code page; nullptr: refused
        const char* refusal; // a part of the reason
        bool writable;       // a new file of that name comes back the same
    };
    const Row rows[] = {
        {932, "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88\xE3\x82\xA6\xE3\x82\xA7\xE3\x82\xA2.TXT",
         "\x83\x5C\x83\x74\x83\x67\x83\x45\x83\x46\x83\x41.TXT", "", true}, // ソフトウェア
        {932, "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.TXT", "\x83\x5C\x83\x74\x83\x67.TXT",
         "double-byte", false},                                        // ソフト
        {932, "\xEF\xBD\xBF.TXT", "\xBF.TXT", "mtools writes", false}, // ｿ, one byte
        {932, "\xC2\xAC.TXT", nullptr, "U+00AC", false},               // ¬: 932 reads ￢
        {932, "\xED\x95\x9C.TXT", nullptr, "U+D55C", false},           // 한
        {936, "\xE8\xBD\xAF\xE4\xBB\xB6 \xE8\xAF\xB4\xE6\x98\x8E.txt",
         "\xC8\xED\xBC\xFE \xCB\xB5\xC3\xF7.txt", "", true}, // 软件 说明
        {936, "\xE8\xBD\xAF\xE4\xBB\xB6.TXT", "\xC8\xED\xBC\xFE.TXT", "double-byte", false},
        {949, "\xED\x95\x9C\xEA\xB8\x80 \xEB\xAC\xB8\xEC\x84\x9C.txt",
         "\xC7\xD1\xB1\xDB \xB9\xAE\xBC\xAD.txt", "", true}, // 한글 문서
        {949, "\xED\x95\x9C\xEA\xB8\x80.TXT", "\xC7\xD1\xB1\xDB.TXT", "double-byte", false},
        {950, "\xE5\x8A\x9F\xE8\x83\xBD\xE8\xAA\xAA\xE6\x98\x8E\xE6\x9B\xB8.TXT",
         "\xA5\x5C\xAF\xE0\xBB\xA1\xA9\xFA\xAE\xD1.TXT", "", true}, // 功能說明書
        {950, "\xE5\x8A\x9F\xE8\x83\xBD.TXT", "\xA5\x5C\xAF\xE0.TXT", "double-byte", false},
        {950, "\xED\x95\x9C.TXT", nullptr, "U+D55C", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const emu::kernel::CodePage& page = *emu::kernel::CodePage::find(row.codePage);
        auto ansi = ImageNames::toAnsi(row.name, page);
        ASSERT_EQ(ansi.ok(), row.ansi != nullptr) << (ansi ? *ansi : ansi.reason());
        if (!ansi) {
            EXPECT_NE(ansi.reason().find(row.refusal), std::string::npos) << ansi.reason();
            continue;
        }
        EXPECT_EQ(*ansi, row.ansi);
        auto back = ImageNames::toTool(*ansi, page, ImageNames::toolCodePage(row.codePage));
        EXPECT_EQ(back.ok(), row.writable) << (back ? *back : back.reason());
        if (back) {
            EXPECT_EQ(*back, row.name);
            // mtools keeps it as its long name.
            EXPECT_EQ(writtenAs(row.name), row.name);
        } else {
            EXPECT_NE(back.reason().find(row.refusal), std::string::npos) << back.reason();
        }
    }
    EXPECT_EQ(ImageNames::toolCodePage(932), 437);
    EXPECT_EQ(ImageNames::toolCodePage(850), 850);
    // Bytes the code page reads as no character: a lead byte alone.
    auto lone = ImageNames::toToolPath("A\x83.TXT", *emu::kernel::CodePage::find(932));
    ASSERT_FALSE(lone);
    EXPECT_NE(lone.reason().find("0x83"), std::string::npos) << lone.reason();
}

// An installation whose registry names code page 932 (ACP and OEMCP): its
// short names alone in double-byte characters, a trail byte '\\' among them,
// are spelt in 932 in the folder, as the machine reads them; a file and a
// folder of such names are found by the write-back, a new name mtools would
// not write exactly is refused before anything changes, and fsck.fat's
// complaint of those names is no fault.
TEST(ImageNames, AnImageOfAJapaneseInstallationKeepsItsDoubleByteShortNames) {
    TempDir work;
    runTool({"mkdir", "-p", work / "tree/WINDOWS", work / "tree/FOLDER"});
    corvane_test::writeHostFile(
        work / "tree/WINDOWS/SYSTEM.REG",
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Nls\\CodePage]"
        "\r\n\"ACP\"=\"932\"\r\n\"OEMCP\"=\"932\"\r\n");
    corvane_test::writeHostFile(work / "tree/PLAIN.TXT", "soft");
    corvane_test::writeHostFile(work / "tree/FOLDER/INSIDE.TXT", "inside");
    corvane_test::writeHostFile(work / "tree/GONE.TXT", "gone");
    corvane_test::writeHostFile(work / "tree/Long Name File.txt", "long");
    corvane_test::FatImage image = corvane_test::FatImage::make(corvane_test::ImageKind::Fat16Disk,
                                                                work / "a.img", work / "tree");
    const std::string soft = "\x83\x5C\x83\x74\x83\x67"; // ソフト
    const std::string table = "\x95\x5C";                // 表
    image.setShortName("PLAIN   TXT", soft + "  TXT");
    image.setShortName("FOLDER     ", table + std::string(9, ' '));
    image.setShortName("GONE    TXT", table + "2     TXT");
    // The short name Windows gives a long name: ソフト~1.TXT.
    image.setShortName("LONGNA~1TXT", soft + "~1TXT");
    ASSERT_NE(image.fsckReport(), "") << "fsck.fat calls those names bad";

    auto drive = emu::host::ImageDrive::open(image.driveValue, false, nullptr);
    ASSERT_TRUE(drive) << drive.reason();
    const std::string folder = (*drive)->folder();
    EXPECT_EQ(corvane_test::readHostFile(folder + "/" + soft + ".TXT"), "soft");
    EXPECT_EQ(corvane_test::readHostFile(folder + "/" + table + "/INSIDE.TXT"), "inside");
    EXPECT_EQ(corvane_test::readHostFile(folder + "/" + table + "2.TXT"), "gone");
    EXPECT_EQ((*drive)->shortNames().at(folder).at(soft + "~1.TXT"), "Long Name File.txt")
        << "the alias in the installation's own bytes";

    // A file beside the double-byte name in the double-byte folder, one
    // deleted: written through their names as mtools spells them.
    corvane_test::writeHostFile(folder + "/" + table + "/NEW.TXT", "new");
    ASSERT_EQ(std::remove((folder + "/" + table + "2.TXT").c_str()), 0);
    auto written = (*drive)->commit();
    ASSERT_TRUE(written) << written.reason();
    EXPECT_EQ(image.shortNameCount(soft + "  TXT"), 1);
    EXPECT_EQ(image.shortNameCount(table + std::string(9, ' ')), 1);
    EXPECT_EQ(image.shortNameCount(table + "2     TXT"), 0);
    EXPECT_EQ(image.shortNameCount("NEW     TXT"), 1);
    std::map<std::string, std::string> files = image.files();
    EXPECT_EQ(files.size(), 5u); // SYSTEM.REG, ソフト.TXT, the long name, 表/INSIDE.TXT, 表/NEW.TXT

    // A new name mtools would write as "___.TXT" with a long name.
    const std::string bytes = corvane_test::readHostFile(image.path);
    corvane_test::writeHostFile(folder + "/" + table + ".TXT", "new");
    written = (*drive)->commit();
    ASSERT_FALSE(written);
    EXPECT_NE(written.reason().find("cannot be written into the image"), std::string::npos)
        << written.reason();
    EXPECT_TRUE(corvane_test::readHostFile(image.path) == bytes);
}

#include "update/CMergeCheck.h"

#include "tests/support/TestMachine.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using corvane_test::TestMachine;

namespace {

struct Written {
    const char* section;
    std::vector<std::string> lines;
};

struct Row {
    const char* what;
    std::string target;
    std::vector<Written> written;
    std::string work;
    bool passes;
    UINT codePage = 1252; // the machine's
};

const char kTarget[] = "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
                       "[A]\r\n  a = 1  \r\n; about b\r\nb=2\r\n\r\n"
                       "[B]\r\nx=1\r\n";

// Keyless data lines, as an INF file's registry sections hold them.
const char kKeyless[] = "; hard disk controllers\r\n[Reg]\r\nHKR,,,,%Class%\r\n; icon\r\n"
                        "HKR,,Icon,,-9\r\n\r\n[Std]\r\nDev=inst,PCI\\CC_0101\r\n";

} // namespace

TEST(MergeCheck, PassesTheTargetWithExactlyTheMergesLinesAdded) {
    const std::vector<Written> aAndC = {{"A", {"c=3", "d=4"}}, {"New", {"n=1"}}};
    const Row rows[] = {
        {"lines appended where the profile write puts them", kTarget, aAndC,
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\n  a = 1  \r\n; about b\r\nb=2\r\nc=3\r\nd=4\r\n\r\n"
         "[B]\r\nx=1\r\n[New]\r\nn=1\r\n",
         true},
        {"a written section's lines as a read returns them", kTarget, aAndC,
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\na=1\r\n; about b\r\nb=2\r\nc=3\r\nd=4\r\n\r\n"
         "[B]\r\nx=1\r\n[New]\r\nn=1\r\n",
         true},
        {"new lines first in their section and line ends changed", kTarget, aAndC,
         "[Version]\nSignature=\"$CHICAGO$\"\n\n[A]\nc=3\nd=4\n  a = 1  \n; about b\nb=2\n\n"
         "[B]\nx=1\n[New]\nn=1\n",
         true},
        {"nothing written, nothing changed", kTarget, {}, kTarget, true},
        {"the file cut at a line end",
         kTarget,
         {{"A", {}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n[A]\r\n  a = 1  \r\n; about b\r\nb=2\r\n",
         false},
        {"the last line end cut",
         kTarget,
         {{"A", {}}},
         std::string(kTarget, sizeof kTarget - 3),
         false},
        {"a line changed",
         kTarget,
         {{"A", {}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\n  a = 1  \r\n; about b\r\nb=3\r\n\r\n[B]\r\nx=1\r\n",
         false},
        // A profile writer may delete a section's keys and insert the new
        // ones: the comments and blank lines of a rewritten section may move
        // or go, its data lines may not.
        {"a rewritten section without its comments",
         kTarget,
         {{"A", {"c=3"}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\na=1\r\nb=2\r\nc=3\r\n\r\n[B]\r\nx=1\r\n",
         true},
        {"a rewritten section without its trailing blank line",
         kTarget,
         {{"A", {"c=3"}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\n  a = 1  \r\n; about b\r\nb=2\r\nc=3\r\n[B]\r\nx=1\r\n",
         true},
        {"a rewritten section's comment moved to its end, its lines in read form",
         kTarget,
         {{"A", {"c=3"}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\na=1\r\nb=2\r\nc=3\r\n\r\n; about b\r\n[B]\r\nx=1\r\n",
         true},
        {"a comment dropped from a section not written",
         kTarget,
         {{"B", {}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\n  a = 1  \r\nb=2\r\n\r\n[B]\r\nx=1\r\n",
         false},
        {"a comment twice",
         kTarget,
         {{"A", {}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\n  a = 1  \r\n; about b\r\nb=2\r\n; about b\r\n\r\n[B]\r\nx=1\r\n",
         false},
        {"a comment the section never had",
         kTarget,
         {{"A", {}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\n  a = 1  \r\n; about a\r\nb=2\r\n\r\n[B]\r\nx=1\r\n",
         false},
        // A line a read takes for blank because a NUL starts it may go
        // too, but comes back only with its bytes.
        {"a line of NUL and text kept in a rewritten section",
         std::string("[S]\r\na=1\r\n\0x\r\n", 14),
         {{"S", {"b=2"}}},
         std::string("[S]\r\na=1\r\nb=2\r\n\0x\r\n", 19),
         true},
        {"a line of NUL and text dropped from a rewritten section",
         std::string("[S]\r\na=1\r\n\0x\r\n", 14),
         {{"S", {"b=2"}}},
         "[S]\r\na=1\r\nb=2\r\n",
         true},
        {"a line of NUL and other text in a rewritten section",
         std::string("[S]\r\na=1\r\n\0x\r\n", 14),
         {{"S", {"b=2"}}},
         std::string("[S]\r\na=1\r\nb=2\r\n\0y\r\n", 19),
         false},
        {"a rewritten section's data line lost",
         kTarget,
         {{"A", {}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n[A]\r\nb=2\r\n\r\n[B]\r\nx=1\r\n",
         false},
        {"a rewritten section's data line changed",
         kTarget,
         {{"A", {}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n[A]\r\na=1\r\nb=3\r\n[B]\r\nx=1\r\n",
         false},
        {"a rewritten section's data line doubled",
         kTarget,
         {{"A", {}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\na=1\r\nb=2\r\na=1\r\n[B]\r\nx=1\r\n",
         false},
        {"a rewritten section's data lines moved",
         kTarget,
         {{"A", {}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n[A]\r\nb=2\r\na=1\r\n[B]\r\nx=1\r\n",
         false},
        {"a rewritten section's data line moved to another section",
         kTarget,
         {{"A", {}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n[A]\r\na=1\r\n[B]\r\nb=2\r\nx=1\r\n",
         false},
        // The lines of an INF file without "=" are data: a writer that drops
        // every line without "=" (comments, blanks, HKR lines) loses them.
        {"keyless lines kept, the comments gone",
         kKeyless,
         {{"Reg", {"HKR,,New,,1"}}},
         "; hard disk controllers\r\n[Reg]\r\nHKR,,,,%Class%\r\nHKR,,Icon,,-9\r\n"
         "HKR,,New,,1\r\n[Std]\r\nDev=inst,PCI\\CC_0101\r\n",
         true},
        {"a keyless line lost",
         kKeyless,
         {{"Reg", {"HKR,,New,,1"}}},
         "; hard disk controllers\r\n[Reg]\r\nHKR,,Icon,,-9\r\nHKR,,New,,1\r\n"
         "[Std]\r\nDev=inst,PCI\\CC_0101\r\n",
         false},
        {"a keyless line changed",
         kKeyless,
         {{"Reg", {}}},
         "; hard disk controllers\r\n[Reg]\r\nHKR,,,,%Class%\r\nHKR,,Icon,,-8\r\n"
         "[Std]\r\nDev=inst,PCI\\CC_0101\r\n",
         false},
        {"a keyless line doubled",
         kKeyless,
         {{"Reg", {}}},
         "; hard disk controllers\r\n[Reg]\r\nHKR,,,,%Class%\r\nHKR,,Icon,,-9\r\n"
         "HKR,,Icon,,-9\r\n[Std]\r\nDev=inst,PCI\\CC_0101\r\n",
         false},
        {"keyless lines moved",
         kKeyless,
         {{"Reg", {}}},
         "; hard disk controllers\r\n[Reg]\r\nHKR,,Icon,,-9\r\nHKR,,,,%Class%\r\n"
         "[Std]\r\nDev=inst,PCI\\CC_0101\r\n",
         false},
        {"every line without = dropped, as Wine's writer does",
         kKeyless,
         {{"Std", {"New=inst,PCI\\VEN_5A17&DEV_7111"}}},
         "[Reg]\r\n[Std]\r\nDev=inst,PCI\\CC_0101\r\nNew=inst,PCI\\VEN_5A17&DEV_7111\r\n",
         false},
        {"a line of a section not written as a read returns it",
         kTarget,
         {{"B", {}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\na=1\r\n; about b\r\nb=2\r\n\r\n[B]\r\nx=1\r\n",
         false},
        {"a new line twice",
         kTarget,
         {{"B", {"y=2"}}},
         std::string(kTarget) + "y=2\r\ny=2\r\n",
         false},
        {"a new line missing",
         kTarget,
         {{"B", {"y=2", "z=3"}}},
         std::string(kTarget) + "y=2\r\n",
         false},
        {"new lines out of order",
         kTarget,
         {{"B", {"y=2", "z=3"}}},
         std::string(kTarget) + "z=3\r\ny=2\r\n",
         false},
        {"a new line in another section",
         kTarget,
         {{"B", {"y=2"}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\n  a = 1  \r\n; about b\r\nb=2\r\ny=2\r\n\r\n[B]\r\nx=1\r\n",
         false},
        {"a line nobody wrote",
         kTarget,
         {{"B", {"y=2"}}},
         std::string(kTarget) + "y=2\r\nq=9\r\n",
         false},
        {"a new section that takes a section's lines",
         kTarget,
         {{"New", {}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\n  a = 1  \r\n[New]\r\n; about b\r\nb=2\r\n\r\n[B]\r\nx=1\r\n",
         false},
        {"a new section's header cut",
         kTarget,
         {{"New", {}}},
         std::string(kTarget) + "[New]",
         false},
        {"the last line gains a line end before new lines",
         "[S]\r\na=1\r",
         {{"S", {"b=2"}}},
         "[S]\r\na=1\r\nb=2\r\n",
         true},
        {"the last line without its CR", "[S]\r\na=1\r", {{"S", {}}}, "[S]\r\na=1", false},
        {"a new section before the end-of-file mark",
         "[S]\r\na=1\r\n\x1A junk",
         {{"T", {"t=1"}}},
         "[S]\r\na=1\r\n[T]\r\nt=1\r\n\x1A junk",
         true},
        {"a new section after the end-of-file mark",
         "[S]\r\na=1\r\n\x1A junk",
         {{"T", {"t=1"}}},
         "[S]\r\na=1\r\n\x1A junk\r\n[T]\r\nt=1\r\n",
         false},
        {"the text after the mark lost",
         "[S]\r\na=1\r\n\x1A junk",
         {{"S", {"b=2"}}},
         "[S]\r\na=1\r\nb=2\r\n\x1A",
         false},
        {"new lines in the first of two sections of a name",
         "[S]\r\na=1\r\n[S]\r\nb=1\r\n",
         {{"s", {"c=3"}}},
         "[S]\r\na=1\r\nc=3\r\n[S]\r\nb=1\r\n",
         true},
        {"new lines in the second of two sections of a name",
         "[S]\r\na=1\r\n[S]\r\nb=1\r\n",
         {{"s", {"c=3"}}},
         "[S]\r\na=1\r\n[S]\r\nb=1\r\nc=3\r\n",
         false},
        // Double-byte section names and values: a ']' that trails a lead
        // byte does not end a section name.
        {"lines added to a section named with a trail byte ]",
         "[\x81]A]\r\nk=\x83\\\r\n[T]\r\nt=1\r\n",
         {{"\x81]a", {"n=\xA4\\"}}},
         "[\x81]A]\r\nk=\x83\\\r\nn=\xA4\\\r\n[T]\r\nt=1\r\n",
         true,
         932},
        {"in 1252 the same name is a section the file lacks",
         "[\x81]A]\r\nk=\x83\\\r\n[T]\r\nt=1\r\n",
         {{"\x81]a", {"n=\xA4\\"}}},
         "[\x81]A]\r\nk=\x83\\\r\nn=\xA4\\\r\n[T]\r\nt=1\r\n",
         false},
        {"a double-byte value changed in its trail byte",
         "[\xA4[]\r\nk=\xA4\x61\r\n",
         {{"\xA4[", {}}},
         "[\xA4[]\r\nk=\xA4\x41\r\n",
         false,
         950},
        {"a missing target made from the fragment",
         "",
         {{"S", {"a=1"}}, {"T", {}}},
         "[S]\r\na=1\r\n[T]\r\n",
         true},
    };
    TestMachine machine;
    machine.boot();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (machine.config().codePage.value_or(1252) != row.codePage) {
            machine.config().codePage = row.codePage;
            machine.boot();
        }
        if (row.target.empty()) {
            std::remove(machine.onC("T.INF").c_str());
        } else {
            machine.writeC("T.INF", row.target);
        }
        machine.writeC("WORK.TMP", row.work);
        CMergeCheck check;
        ASSERT_TRUE(check.ReadTarget("C:\\T.INF"));
        for (const Written& written : row.written) {
            std::string list;
            for (const std::string& line : written.lines) {
                list += line + '\0';
            }
            check.AddSection(written.section, list.c_str(), static_cast<DWORD>(list.size()));
        }
        EXPECT_EQ(check.Verify("C:\\WORK.TMP"), row.passes ? TRUE : FALSE);
    }
}

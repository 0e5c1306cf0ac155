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
};

const char kTarget[] = "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
                       "[A]\r\n  a = 1  \r\n; about b\r\nb=2\r\n\r\n"
                       "[B]\r\nx=1\r\n";

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
        {"a comment dropped",
         kTarget,
         {{"A", {}}},
         "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
         "[A]\r\n  a = 1  \r\nb=2\r\n\r\n[B]\r\nx=1\r\n",
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

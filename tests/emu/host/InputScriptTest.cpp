#include "platform/emu/host/InputScript.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using emu::host::InputScript;
using emu::host::ScriptOp;

TEST(InputScriptParse, ReadsEveryCommandAndSkipsComments) {
    InputScript script;
    std::string error;
    ASSERT_TRUE(InputScript::parse("# a comment\n"
                                   "move 10 -4   # trailing comment\n"
                                   "\n"
                                   "  click 300 40\r\n"
                                   "key Enter\n"
                                   "key n\n"
                                   "wait 5000\n"
                                   "screenshot /tmp/some dir/shot.png\n"
                                   "copy /tmp/new.ini /tmp/disk/layout.ini\n"
                                   "CLOSE",
                                   script, error))
        << error;
    const auto& c = script.commands();
    ASSERT_EQ(c.size(), 8u);
    EXPECT_EQ(c[0].op, ScriptOp::Move);
    EXPECT_EQ(c[0].y, -4);
    EXPECT_EQ(c[0].line, 2);
    EXPECT_EQ(c[1].op, ScriptOp::Click);
    EXPECT_EQ(c[1].x, 300);
    EXPECT_EQ(c[2].key, static_cast<UINT>(VK_RETURN));
    EXPECT_EQ(c[3].key, static_cast<UINT>('N'));
    EXPECT_EQ(c[4].ms, 5000u);
    EXPECT_EQ(c[5].file, "/tmp/some dir/shot.png");
    EXPECT_EQ(c[6].op, ScriptOp::Copy);
    EXPECT_EQ(c[6].file, "/tmp/new.ini");
    EXPECT_EQ(c[6].target, "/tmp/disk/layout.ini");
    EXPECT_EQ(c[7].op, ScriptOp::Close);
    EXPECT_EQ(c[7].line, 10);
}

TEST(InputScriptParse, ABadLineIsNamedByItsNumber) {
    struct Row {
        const char* text;
        const char* error;
    };
    const Row rows[] = {
        {"move 1\n", "line 1: move needs two whole numbers X Y"},
        {"wait 10\nclick a b\n", "line 2: click needs two whole numbers X Y"},
        {"move 1 2 3\n", "line 1: move needs two whole numbers X Y"},
        {"# fine\n\nkey f1\n", "line 3: key needs one of up, down, left, right, enter, escape, "
                               "tab, space or a letter"},
        {"key\n", "line 1: key needs one of up, down, left, right, enter, escape, tab, space or "
                  "a letter"},
        {"wait -5\n", "line 1: wait needs a number of milliseconds (0 to 86400000)"},
        {"wait 1.5\n", "line 1: wait needs a number of milliseconds (0 to 86400000)"},
        {"screenshot   # no file\n", "line 1: screenshot needs a file name"},
        {"close now\n", "line 1: close takes no arguments"},
        {"copy a.ini\n", "line 1: copy needs two host file names FROM TO"},
        {"copy a b c\n", "line 1: copy needs two host file names FROM TO"},
        {"jump 1 2\n", "line 1: unknown command \"jump\""},
        {"click 99999999999 1\n", "line 1: click needs two whole numbers X Y"},
    };
    for (const Row& row : rows) {
        InputScript script;
        std::string error;
        EXPECT_FALSE(InputScript::parse(row.text, script, error)) << row.text;
        EXPECT_EQ(error, row.error) << row.text;
    }
}

TEST(InputScriptParse, AMissingFileAndOneOver16MBAreReported) {
    InputScript script;
    std::string error;
    EXPECT_FALSE(InputScript::load("/nonexistent/corvane/script.txt", script, error));
    EXPECT_NE(error.find("/nonexistent/corvane/script.txt"), std::string::npos);
    // A sparse file of 3 GB: refused by its size, never read.
    corvane_test::TempDir work;
    corvane_test::writeHostFile(work / "huge.script", "close\n");
    std::filesystem::resize_file(work / "huge.script", 3ull << 30);
    EXPECT_FALSE(InputScript::load(work / "huge.script", script, error));
    EXPECT_EQ(error, "input script " + work / "huge.script" + " is over 16 MB");
}

} // namespace

#include "common/SplitAtEquals.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The menu, the install and uninstall lists, the file checks and the device
// list all cut their lines here, so each row is what every one of them sees.
TEST(SplitAtEquals, CutsAtTheFirstEqualsAndKeepsEverythingElse) {
    struct Row {
        const char* line;
        BOOL split;
        const char* key;
        const char* value;
    } rows[] = {
        {"A=B", TRUE, "A", "B"},
        {" key = value ", TRUE, " key ", " value "},
        {"C:\\X.INF=X.INF,C:\\X=1.BAK", TRUE, "C:\\X.INF", "X.INF,C:\\X=1.BAK"},
        {"=value", TRUE, "", "value"},
        {"key=", TRUE, "key", ""},
        {"=", TRUE, "", ""},
        {"no equals here", FALSE, "untouched", "untouched"},
        {"", FALSE, "untouched", "untouched"},
    };
    for (const Row& row : rows) {
        CString key = "untouched";
        CString value = "untouched";
        EXPECT_EQ(SplitAtEquals(row.line, key, value), row.split) << row.line;
        EXPECT_STREQ(key, row.key) << row.line;
        EXPECT_STREQ(value, row.value) << row.line;
    }
}

} // namespace

#include "platform/win32.h"

#include <gtest/gtest.h>

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

struct CompareRow {
    const char* a;
    const char* b;
    int caseless; // sign of lstrcmpiA
    int exact;    // sign of lstrcmpA
};

} // namespace

TEST(AnsiText, ComparesWithCodePage1252Folding) {
    const CompareRow rows[] = {
        {"MSHDC.INF", "mshdc.inf", 0, -1},
        {"USB.INF", "usb.INF", 0, -1},
        {"abc", "abd", -1, -1},
        {"abc", "ab", 1, 1},
        {"", "", 0, 0},
        {"", "a", -1, -1},
        {"\xC9T\xC9", "\xE9t\xE9", 0, -1},               // E acute
        {"\xC0\xDE", "\xE0\xFE", 0, -1},                 // A grave, thorn
        {"\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF", 0, -1}, // S/OE/Z caron, Y diaeresis
        {"\xF7", "\xD7", 1, 1},  // division and multiplication signs stay apart
        {"\xDF", "\xFF", 1, -1}, // sharp s has no capital; y diaeresis folds to 0x9F
        {"_", "a", 1, -1},       // letters fold to upper case before comparing
        {"\xB5", "\x9C", 1, 1},  // micro sign is no letter to fold
        {"a\xE9z", "A\xC9Y", 1, 1},
    };
    for (const CompareRow& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " | " + row.b);
        EXPECT_EQ(sign(lstrcmpiA(row.a, row.b)), row.caseless);
        EXPECT_EQ(sign(lstrcmpiA(row.b, row.a)), -row.caseless);
        EXPECT_EQ(sign(lstrcmpA(row.a, row.b)), row.exact);
    }
}

TEST(AnsiText, NullStringsSortFirstAndHaveNoLength) {
    EXPECT_EQ(lstrcmpiA(nullptr, nullptr), 0);
    EXPECT_LT(lstrcmpiA(nullptr, ""), 0);
    EXPECT_GT(lstrcmpA("", nullptr), 0);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenA(""), 0);
    EXPECT_EQ(lstrlenA("layout.ini"), 10);
}

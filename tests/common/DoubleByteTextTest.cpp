#include "common/DoubleByteText.h"

#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A mark is found only where a character starts; a lead byte last in the run
// takes nothing from beyond it.
TEST(DoubleByteText, FindsMarksOnlyWhereCharactersStart) {
    struct Row {
        UINT codePage;
        std::string text;
        int length; // of the run searched
        char mark;
        int found;
        BOOL endsWithMark; // of the whole text
    };
    const Row rows[] = {
        {932, "[\x81]x]", 6, ']', 4, TRUE},  {1252, "[\x81]x]", 6, ']', 2, TRUE},
        {949, "[\x81]x]", 6, ']', 2, TRUE}, // no trail byte ']' in 949
        {932, "\x83\\", 2, '\\', -1, FALSE}, {950, "a\xA4\\\\", 4, '\\', 3, TRUE},
        {932, "ab\x83]", 3, ']', -1, FALSE}, // the run ends at the lead byte
        {932, "ab\x83", 3, 'b', 1, FALSE},   {932, "", 0, ']', -1, FALSE},
    };
    corvane_test::TestMachine machine;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.codePage) + " " + row.text);
        machine.config().codePage = row.codePage;
        machine.boot();
        EXPECT_EQ(FindCharacter(row.text.c_str(), row.length, row.mark), row.found);
        EXPECT_EQ(EndsWithCharacter(row.text.c_str(), row.mark), row.endsWithMark);
    }
}

} // namespace

#include "platform/framework/TextToInt.h"

#include <gtest/gtest.h>

#include <climits>

TEST(TextToInt, ReadsTheLeadingDecimalNumber) {
    const struct {
        const char* text;
        int expected;
    } rows[] = {
        {"42", 42},
        {"  42abc", 42},
        {"\t\r\n 7", 7},
        {"-7", -7},
        {"+5", 5},
        {"abc", 0},
        {"", 0},
        {"0x10", 0},
        {"- 5", 0},
        {"--5", 0},
        {"+-5", 0},
        {"560, 400", 560},
        {" 400", 400},
        {"640x480", 640},
        {"007", 7},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999999999", INT_MIN},
        {"1 2", 1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(TextToInt(row.text), row.expected) << "text \"" << row.text << "\"";
    }
    EXPECT_EQ(TextToInt(nullptr), 0);
}

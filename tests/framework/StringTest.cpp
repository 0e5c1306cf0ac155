#include "platform/framework/CString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string text(const CString& s) {
    return std::string(s, static_cast<std::size_t>(s.GetLength()));
}

} // namespace

TEST(String, BuildsAssignsAndAppends) {
    CString s("abc");
    CString copy(s);
    s += "de";
    s += 'f';
    s += CString("gh");
    EXPECT_EQ(text(s), "abcdefgh");
    EXPECT_EQ(s.GetLength(), 8);
    EXPECT_EQ(text(copy), "abc");
    EXPECT_EQ(text(CString('x', 3)), "xxx");
    EXPECT_EQ(text(CString('x', -1)), "");
    EXPECT_EQ(text(CString("abcdef", 2)), "ab");
    EXPECT_EQ(text(CString(static_cast<LPCSTR>(nullptr))), "");
    EXPECT_EQ(text(CString("a") + "b" + CString("c") + 'd'), "abcd");
    EXPECT_EQ(text("x" + CString("y")), "xy");

    s = "new";
    EXPECT_TRUE(s == "new");
    EXPECT_TRUE("new" == s);
    EXPECT_TRUE(s != "New");
    EXPECT_TRUE(s == CString("new"));
    s = static_cast<LPCSTR>(nullptr);
    EXPECT_TRUE(s.IsEmpty());
    s = 'q';
    EXPECT_EQ(text(s), "q");
    s.Empty();
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_STREQ(static_cast<LPCSTR>(s), "");
}

TEST(String, GrowsWithoutLimit) {
    CString s;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        const char c = static_cast<char>('a' + i % 26);
        s += c;
        expected += c;
    }
    EXPECT_EQ(s.GetLength(), 5000);
    EXPECT_EQ(text(s), expected);
    EXPECT_EQ(std::strlen(s), 5000u);
}

TEST(String, FindsCharactersAndTexts) {
    const CString s("key=a,b,c");
    const struct {
        int got;
        int expected;
    } rows[] = {
        {s.Find('='), 3},
        {s.Find(','), 5},
        {s.Find(',', 6), 7},
        {s.Find(',', 8), -1},
        {s.Find('k'), 0},
        {s.Find('c'), 8},
        {s.Find('z'), -1},
        {s.Find(',', -4), 5},
        {s.Find(',', 99), -1},
        {s.Find("a,b"), 4},
        {s.Find("b,c"), 6},
        {s.Find("c,"), -1},
        {s.Find("key", 1), -1},
        {s.Find(""), 0},
        {s.Find("", 9), 9},
        {s.Find("", 10), -1},
        {s.Find(static_cast<LPCSTR>(nullptr)), -1},
        {CString().Find('a'), -1},
    };
    int row = 0;
    for (const auto& r : rows) {
        EXPECT_EQ(r.got, r.expected) << "row " << row++;
    }
}

TEST(String, CutsPartsClampedToTheText) {
    const CString s("abcdef");
    const struct {
        CString got;
        const char* expected;
    } rows[] = {
        {s.Left(2), "ab"},      {s.Left(0), ""},
        {s.Left(-3), ""},       {s.Left(6), "abcdef"},
        {s.Left(99), "abcdef"}, {s.Mid(2), "cdef"},
        {s.Mid(0), "abcdef"},   {s.Mid(-5), "abcdef"},
        {s.Mid(6), ""},         {s.Mid(99), ""},
        {s.Mid(1, 2), "bc"},    {s.Mid(4, 99), "ef"},
        {s.Mid(-2, 3), "abc"},  {s.Mid(3, -1), ""},
        {s.Mid(6, 1), ""},      {s.Mid(2, 0x7fffffff), "cdef"},
    };
    int row = 0;
    for (const auto& r : rows) {
        EXPECT_EQ(text(r.got), r.expected) << "row " << row++;
    }
    EXPECT_EQ(s.GetAt(0), 'a');
    EXPECT_EQ(s[5], 'f');
    EXPECT_EQ(s.GetAt(6), '\0');
    EXPECT_EQ(s.GetAt(-1), '\0');
}

TEST(String, LendsItsBuffer) {
    CString s("abc");
    char* buffer = s.GetBuffer(10);
    EXPECT_STREQ(buffer, "abc");
    std::strcpy(buffer, "hello");
    s.ReleaseBuffer();
    EXPECT_EQ(text(s), "hello");

    // Written without a terminator: the given length decides.
    buffer = s.GetBuffer(8);
    std::memcpy(buffer, "12345678", 8);
    s.ReleaseBuffer(6);
    EXPECT_EQ(text(s), "123456");

    // Nothing written: the old text comes back.
    s.GetBuffer(300);
    s.ReleaseBuffer();
    EXPECT_EQ(text(s), "123456");

    // A length beyond the buffer is cut to it; a smaller request keeps the text.
    s.GetBuffer(2);
    s.ReleaseBuffer(99);
    EXPECT_EQ(text(s), "123456");

    CString empty;
    buffer = empty.GetBuffer(0);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer[0], '\0');
    empty.ReleaseBuffer();
    EXPECT_TRUE(empty.IsEmpty());
}

#include "platform/emu/kernel/Trace.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using corvane_test::folderEntries;
using corvane_test::readHostFile;
using corvane_test::TempDir;

TEST(Trace, WritesCallsWithEscapedStringsDecimalNumbersAndHexHandles) {
    TempDir dir;
    emu::Trace::open(dir / "trace.txt");
    emu::TraceCall("MessageBoxA")
        .handle(reinterpret_cast<void*>(0x1))
        .str("Quit this program?")
        .str("corvane")
        .num(36)
        .result(7);
    emu::TraceCall("RegDeleteKeyA").hkey(HKEY_LOCAL_MACHINE).str("Enum\\ROOT\\X").result(0);
    emu::TraceCall("SetWindowTextA").handle(nullptr).str("a\"b\nc\x01").result(1);
    emu::Trace::line("script-exhausted");
    emu::Trace::close();
    EXPECT_EQ(readHostFile(dir / "trace.txt"),
              "MessageBoxA(0x1, \"Quit this program?\", \"corvane\", 36) = 7\n"
              "RegDeleteKeyA(HKEY_LOCAL_MACHINE, \"Enum\\\\ROOT\\\\X\") = 0\n"
              "SetWindowTextA(0x0, \"a\\\"b\\nc\\x01\") = 1\n"
              "script-exhausted\n");
}

TEST(Trace, WritesNothingWhenOff) {
    TempDir dir;
    emu::Trace::open(dir / "trace.txt");
    emu::TraceCall("DeleteFileA").str("C:\\ON").result(1);
    emu::Trace::close();
    EXPECT_FALSE(emu::Trace::enabled());
    emu::TraceCall("DeleteFileA").str("C:\\CLOSED").result(1);
    emu::Trace::line("script-exhausted");

    // An empty path ends the trace in use and starts none.
    emu::Trace::open(dir / "second.txt");
    emu::Trace::open("");
    EXPECT_FALSE(emu::Trace::enabled());
    emu::TraceCall("DeleteFileA").str("C:\\EMPTY").result(1);
    emu::Trace::close();

    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"second.txt", "trace.txt"}));
    EXPECT_EQ(readHostFile(dir / "trace.txt"), "DeleteFileA(\"C:\\\\ON\") = 1\n");
    EXPECT_EQ(readHostFile(dir / "second.txt"), "");
}

TEST(Trace, CallsStillRunningWhenTheProcessEndsAreWrittenInnermostFirstWithDots) {
    struct Row {
        bool nested; // a message box waiting inside a window's creation
        const char* expected;
    };
    const Row rows[] = {
        {true, "DeleteFileA(\"C:\\\\X\") = 1\n"
               "MessageBoxA(0x1, \"Go on?\", \"corvane\", 36) = ...\n"
               "CreateWindowExA(0, \"Plain\") = ...\n"
               "script-exhausted in MessageBoxA\n"},
        {false, "DeleteFileA(\"C:\\\\X\") = 1\n"
                "script-exhausted in GetMessageA\n"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        emu::Trace::open(dir / "trace.txt");
        {
            emu::TraceCall create("CreateWindowExA", row.nested);
            create.num(0).str("Plain");
            emu::TraceCall box("MessageBoxA", row.nested);
            box.handle(reinterpret_cast<void*>(1)).str("Go on?").str("corvane").num(36);
            emu::TraceCall("DeleteFileA").str("C:\\X").result(1);
            emu::Trace::scriptExhausted();
        }
        // Nothing is written twice once the running calls have been ended.
        emu::Trace::endRunningCalls();
        emu::Trace::close();
        EXPECT_EQ(readHostFile(dir / "trace.txt"), row.expected);
    }
}

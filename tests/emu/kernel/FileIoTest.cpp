#include "platform/emu/kernel/FileSystem.h"
#include "tests/emu/kernel/FileMachine.h"

#include <cstdio>
#include <sys/stat.h>

using corvane_test::readHostFile;
using corvane_test::writeHostFile;

namespace {

struct DispositionRow {
    const char* name; // in C:\WINDOWS; OLD.TXT exists with "old"
    DWORD access;
    DWORD disposition;
    DWORD error; // GetLastError after the call
    bool opens;
    const char* contentAfter; // host content after open and close; nullptr: no file
};

} // namespace

class FileIo : public FileMachine {};

TEST_F(FileIo, DispositionsCreateOpenAndTruncateAsWin32Does) {
    const DispositionRow rows[] = {
        {"OLD.TXT", GENERIC_READ, OPEN_EXISTING, ERROR_SUCCESS, true, "old"},
        {"NEW.TXT", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND, false, nullptr},
        {"NEW.TXT", GENERIC_WRITE, CREATE_NEW, ERROR_SUCCESS, true, ""},
        {"OLD.TXT", GENERIC_WRITE, CREATE_NEW, ERROR_FILE_EXISTS, false, "old"},
        {"OLD.TXT", GENERIC_READ, OPEN_ALWAYS, ERROR_ALREADY_EXISTS, true, "old"},
        {"NEW.TXT", GENERIC_READ, OPEN_ALWAYS, ERROR_SUCCESS, true, ""},
        {"OLD.TXT", GENERIC_WRITE, CREATE_ALWAYS, ERROR_ALREADY_EXISTS, true, ""},
        {"NEW.TXT", GENERIC_WRITE, CREATE_ALWAYS, ERROR_SUCCESS, true, ""},
        {"OLD.TXT", GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_SUCCESS, true, ""},
        {"OLD.TXT", GENERIC_READ, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER, false, "old"},
        {"OLD.TXT", GENERIC_READ, 0, ERROR_INVALID_PARAMETER, false, "old"},
        {"NOWHERE\\NEW.TXT", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND, false, nullptr},
        {"INF", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED, false, nullptr},
    };
    for (const DispositionRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.name << " disposition " << row.disposition);
        writeHostFile(onC("WINDOWS/OLD.TXT"), "old");
        std::remove(onC("WINDOWS/NEW.TXT").c_str());
        SetLastError(12345);
        HANDLE handle =
            open(std::string("C:\\WINDOWS\\") + row.name, row.access, 0, row.disposition);
        EXPECT_EQ(GetLastError(), row.error);
        EXPECT_EQ(handle != INVALID_HANDLE_VALUE, row.opens);
        if (handle != INVALID_HANDLE_VALUE) {
            EXPECT_NE(handle, nullptr);
            EXPECT_TRUE(CloseHandle(handle));
        }
        std::string host = onC(std::string("WINDOWS/") + row.name);
        if (row.contentAfter != nullptr) {
            EXPECT_EQ(readHostFile(host), row.contentAfter);
        } else if (row.disposition != OPEN_EXISTING) {
            EXPECT_FALSE(corvane_test::hostFileExists(host));
        }
    }
}

TEST_F(FileIo, ReadWriteAndSizeThroughHandles) {
    HANDLE out = open("C:\\DATA.BIN", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    DWORD done = 99;
    EXPECT_TRUE(WriteFile(out, "hello, ", 7, &done, nullptr));
    EXPECT_EQ(done, 7u);
    EXPECT_TRUE(WriteFile(out, "world", 5, &done, nullptr));
    EXPECT_TRUE(WriteFile(out, "", 0, &done, nullptr));
    EXPECT_EQ(done, 0u);
    char buffer[32] = {};
    EXPECT_FALSE(ReadFile(out, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(out, &high), 12u);
    EXPECT_EQ(high, 0u);
    ASSERT_TRUE(CloseHandle(out));

    HANDLE in = open("c:\\data.bin", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(ReadFile(in, buffer, 5, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "hello");
    EXPECT_TRUE(ReadFile(in, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), ", world");
    EXPECT_TRUE(ReadFile(in, buffer, sizeof buffer, &done, nullptr)) << "end of file is no error";
    EXPECT_EQ(done, 0u);
    EXPECT_FALSE(WriteFile(in, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(CloseHandle(in));

    EXPECT_FALSE(CloseHandle(in));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ReadFile(in, buffer, 1, &done, nullptr));
    EXPECT_EQ(GetFileSize(INVALID_HANDLE_VALUE, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FileIo, ReadOnlyFilesRefuseWritersEvenTheSuperuser) {
    const std::string host = onC("WINDOWS/INF/Mshdc.inf");
    ASSERT_EQ(chmod(host.c_str(), 0444), 0);
    const char* path = "C:\\WINDOWS\\INF\\MSHDC.INF";
    EXPECT_EQ(GetFileAttributesA(path), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    for (DWORD disposition : {OPEN_EXISTING, OPEN_ALWAYS, CREATE_ALWAYS, TRUNCATE_EXISTING}) {
        SCOPED_TRACE(disposition);
        EXPECT_EQ(open(path, GENERIC_WRITE, FILE_SHARE_READ, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    HANDLE reader = open(path, GENERIC_READ, FILE_SHARE_READ);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(reader));
    EXPECT_FALSE(emu::kernel::replaceFileAtomically(host, "lost"));
    EXPECT_EQ(readHostFile(host), "[Version]\n");
}

TEST_F(FileIo, CreatingWithTheReadOnlyAttributeStillWritesThroughTheNewHandle) {
    HANDLE created = open("C:\\RO.TXT", GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(created, "fixed", 5, &done, nullptr));
    ASSERT_TRUE(CloseHandle(created));
    EXPECT_EQ(readHostFile(onC("RO.TXT")), "fixed");
    EXPECT_EQ(GetFileAttributesA("C:\\RO.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(open("C:\\RO.TXT", GENERIC_WRITE, 0), INVALID_HANDLE_VALUE);
}

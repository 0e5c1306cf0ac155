#include "tests/emu/kernel/FileMachine.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using corvane_test::hostFileExists;
using corvane_test::readHostFile;
using corvane_test::writeHostFile;

namespace {

// Names in a host folder, to see that no temporary file was left behind.
std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<std::string> kInfFolder = {"MSHDC.BAK", "Mshdc.inf"};

} // namespace

class CopyAndDelete : public FileMachine {
protected:
    void SetUp() override {
        FileMachine::SetUp();
        writeHostFile(onC("WINDOWS/INF/MSHDC.BAK"), "backup");
    }
    const std::string inf = onC("WINDOWS/INF/Mshdc.inf");
    const std::string bak = onC("WINDOWS/INF/MSHDC.BAK");
};

TEST_F(CopyAndDelete, CopyReplacesTheTargetWhole) {
    HANDLE oldReader =
        open("C:\\WINDOWS\\INF\\MSHDC.INF", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(oldReader, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CopyFileA("C:\\WINDOWS\\INF\\mshdc.bak", "c:\\windows\\inf\\mshdc.inf", FALSE));
    EXPECT_EQ(readHostFile(inf), "backup");
    EXPECT_EQ(entriesOf(onC("WINDOWS/INF")), kInfFolder);
    // The rename leaves an earlier opener with the old file, whole.
    char buffer[32];
    DWORD done = 0;
    EXPECT_TRUE(ReadFile(oldReader, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "[Version]\n");
    EXPECT_TRUE(CloseHandle(oldReader));

    EXPECT_TRUE(CopyFileA("C:\\WINDOWS\\INF\\MSHDC.INF", "C:\\WINDOWS\\New.Inf", TRUE));
    EXPECT_EQ(readHostFile(onC("WINDOWS/New.Inf")), "backup");
    EXPECT_EQ(traceAfterShutdown(),
              "CopyFileA(\"C:\\\\WINDOWS\\\\INF\\\\mshdc.bak\", "
              "\"c:\\\\windows\\\\inf\\\\mshdc.inf\", 0) = 1\n"
              "CopyFileA(\"C:\\\\WINDOWS\\\\INF\\\\MSHDC.INF\", \"C:\\\\WINDOWS\\\\New.Inf\", 1) = "
              "1\n");
}

TEST_F(CopyAndDelete, CopyFailsCleanlyAndChangesNothing) {
    struct Row {
        const char* what;
        const char* from;
        const char* to;
        BOOL failIfExists;
        DWORD accessToTarget; // held on the target during the copy; 0: none
        DWORD accessToSource; // held on the source with no sharing; 0: none
        bool targetReadOnly;
        DWORD error;
    };
    const Row rows[] = {
        {"target exists", "C:\\WINDOWS\\INF\\MSHDC.BAK", "C:\\WINDOWS\\INF\\MSHDC.INF", TRUE, 0, 0,
         false, ERROR_FILE_EXISTS},
        {"source missing", "C:\\WINDOWS\\INF\\NONE.BAK", "C:\\WINDOWS\\INF\\MSHDC.INF", FALSE, 0, 0,
         false, ERROR_FILE_NOT_FOUND},
        {"source locked", "C:\\WINDOWS\\INF\\MSHDC.BAK", "C:\\WINDOWS\\INF\\MSHDC.INF", FALSE, 0,
         GENERIC_READ, false, ERROR_SHARING_VIOLATION},
        {"target locked", "C:\\WINDOWS\\INF\\MSHDC.BAK", "C:\\WINDOWS\\INF\\MSHDC.INF", FALSE,
         GENERIC_READ, 0, false, ERROR_SHARING_VIOLATION},
        {"target read-only", "C:\\WINDOWS\\INF\\MSHDC.BAK", "C:\\WINDOWS\\INF\\MSHDC.INF", FALSE, 0,
         0, true, ERROR_ACCESS_DENIED},
        {"no target folder", "C:\\WINDOWS\\INF\\MSHDC.BAK", "C:\\NONE\\MSHDC.INF", FALSE, 0, 0,
         false, ERROR_PATH_NOT_FOUND},
        {"onto itself", "C:\\WINDOWS\\INF\\MSHDC.INF", "c:\\windows\\inf\\mshdc.inf", FALSE, 0, 0,
         false, ERROR_SHARING_VIOLATION},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        chmod(inf.c_str(), row.targetReadOnly ? 0444 : 0644);
        HANDLE target = row.accessToTarget
                            ? open("C:\\WINDOWS\\INF\\MSHDC.INF", row.accessToTarget, 0)
                            : INVALID_HANDLE_VALUE;
        HANDLE source =
            row.accessToSource ? open(row.from, row.accessToSource, 0) : INVALID_HANDLE_VALUE;
        EXPECT_FALSE(CopyFileA(row.from, row.to, row.failIfExists));
        EXPECT_EQ(GetLastError(), row.error);
        CloseHandle(target);
        CloseHandle(source);
        EXPECT_EQ(readHostFile(inf), "[Version]\n");
        EXPECT_EQ(entriesOf(onC("WINDOWS/INF")), kInfFolder);
    }
}

TEST_F(CopyAndDelete, CopyTakesTheSourcesReadOnlyAttribute) {
    ASSERT_EQ(chmod(bak.c_str(), 0444), 0);
    EXPECT_TRUE(CopyFileA("C:\\WINDOWS\\INF\\MSHDC.BAK", "C:\\COPY.BAK", FALSE));
    EXPECT_EQ(GetFileAttributesA("C:\\COPY.BAK"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

TEST_F(CopyAndDelete, DeleteRefusesOpenAndReadOnlyFiles) {
    HANDLE sharing =
        open("C:\\WINDOWS\\INF\\MSHDC.BAK", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(sharing, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\INF\\MSHDC.BAK"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    ASSERT_TRUE(CloseHandle(sharing));

    ASSERT_EQ(chmod(bak.c_str(), 0444), 0);
    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\INF\\MSHDC.BAK"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_EQ(chmod(bak.c_str(), 0644), 0);

    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\INF"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(DeleteFileA("c:\\windows\\inf\\mshdc.bak"));
    EXPECT_FALSE(hostFileExists(bak));
    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\INF\\MSHDC.BAK"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(traceAfterShutdown(), "DeleteFileA(\"C:\\\\WINDOWS\\\\INF\\\\MSHDC.BAK\") = 0\n"
                                    "DeleteFileA(\"C:\\\\WINDOWS\\\\INF\\\\MSHDC.BAK\") = 0\n"
                                    "DeleteFileA(\"C:\\\\WINDOWS\\\\INF\") = 0\n"
                                    "DeleteFileA(\"c:\\\\windows\\\\inf\\\\mshdc.bak\") = 1\n"
                                    "DeleteFileA(\"C:\\\\WINDOWS\\\\INF\\\\MSHDC.BAK\") = 0\n");
}

// A link the host has put in a drive folder reads as the file it points at
// while that file is inside the drive, and a delete removes the link itself.
// A link that leads outside the drive, or nowhere, is absent: nothing outside
// is read, written, replaced or deleted through it, and no file is made
// through it.
TEST_F(CopyAndDelete, LinksAreFollowedOnlyInsideTheirDrive) {
    const corvane_test::TempDir outside;
    writeHostFile(outside / "TARGET.INF", "kept");
    ASSERT_EQ(chmod((outside / "TARGET.INF").c_str(), 0444), 0);
    writeHostFile(onC("WINDOWS/INSIDE.INF"), "inside");
    ASSERT_EQ(chmod(onC("WINDOWS/INSIDE.INF").c_str(), 0444), 0);
    ASSERT_EQ(symlink(onC("WINDOWS/INSIDE.INF").c_str(), onC("WINDOWS/INF/IN.INF").c_str()), 0);
    ASSERT_EQ(symlink((outside / "TARGET.INF").c_str(), onC("WINDOWS/INF/OUT.INF").c_str()), 0);
    ASSERT_EQ(symlink(outside.path().c_str(), onC("WINDOWS/OUTDIR").c_str()), 0);
    ASSERT_EQ(symlink("NOWHERE.INF", onC("WINDOWS/INF/DANGLING.INF").c_str()), 0);

    EXPECT_EQ(GetFileAttributesA("C:\\WINDOWS\\INF\\IN.INF"),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    for (const char* path : {"C:\\WINDOWS\\INF\\OUT.INF", "C:\\WINDOWS\\OUTDIR\\TARGET.INF",
                             "C:\\WINDOWS\\INF\\DANGLING.INF"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(GetFileAttributesA(path), INVALID_FILE_ATTRIBUTES);
        HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(file, INVALID_HANDLE_VALUE);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
        EXPECT_FALSE(CopyFileA("C:\\WINDOWS\\INF\\IN.INF", path, FALSE));
        EXPECT_FALSE(CopyFileA(path, "C:\\WINDOWS\\INF\\COPY.INF", FALSE));
        EXPECT_FALSE(DeleteFileA(path));
    }
    EXPECT_EQ(readHostFile(outside / "TARGET.INF"), "kept");
    EXPECT_EQ(corvane_test::folderEntries(outside.path()), std::vector<std::string>{"TARGET.INF"});
    EXPECT_FALSE(hostFileExists(onC("WINDOWS/INF/COPY.INF")));
    EXPECT_TRUE(std::filesystem::is_symlink(onC("WINDOWS/INF/OUT.INF")));

    EXPECT_TRUE(DeleteFileA("C:\\WINDOWS\\INF\\IN.INF"));
    EXPECT_FALSE(std::filesystem::is_symlink(onC("WINDOWS/INF/IN.INF")));
    EXPECT_EQ(readHostFile(onC("WINDOWS/INSIDE.INF")), "inside");
}

// A drive may hold files before their bytes (a disk image's): every use of
// a file through a drive path first asks for them, and a file whose bytes
// could not be had is absent, never read, changed or removed.
TEST_F(CopyAndDelete, AFileIsFetchedBeforeAnyUseAndOneThatCannotBeIsAbsent) {
    writeHostFile(onC("WINDOWS/INF/GONE.INF"), "[Kept]\r\n");
    std::vector<std::string> asked;
    machine.config().fetchContent = [&](const std::string& hostPath) {
        asked.push_back(hostPath);
        return hostPath.find("GONE.INF") == std::string::npos;
    };
    boot("C:\\");
    char text[64] = "";
    GetPrivateProfileStringA("Version", nullptr, "", text, sizeof text,
                             "C:\\WINDOWS\\INF\\MSHDC.INF");
    EXPECT_NE(std::find(asked.begin(), asked.end(), onC("WINDOWS/INF/Mshdc.inf")), asked.end())
        << "asked before the profile read";
    const char* gone = "C:\\WINDOWS\\INF\\GONE.INF";
    EXPECT_EQ(GetFileAttributesA(gone), INVALID_FILE_ATTRIBUTES);
    HANDLE file = CreateFileA(gone, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(file, INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    EXPECT_FALSE(CopyFileA(gone, "C:\\WINDOWS\\INF\\COPY.INF", FALSE));
    EXPECT_FALSE(CopyFileA("C:\\WINDOWS\\INF\\MSHDC.INF", gone, FALSE));
    EXPECT_FALSE(DeleteFileA(gone));
    EXPECT_EQ(GetPrivateProfileStringA("Kept", "k", "none", text, sizeof text, gone), 4u);
    EXPECT_FALSE(WritePrivateProfileSectionA("Added", "key=value\0", gone));
    EXPECT_EQ(readHostFile(onC("WINDOWS/INF/GONE.INF")), "[Kept]\r\n");
    EXPECT_FALSE(hostFileExists(onC("WINDOWS/INF/COPY.INF")));
}

// A pipe or device under a file's name is no file: opening it fails at once
// instead of waiting for a writer.
TEST_F(CopyAndDelete, APipeIsNoFileAndNeverBlocks) {
    ASSERT_EQ(mkfifo(onC("WINDOWS/INF/PIPE.LCK").c_str(), 0644), 0);
    for (DWORD access : {static_cast<DWORD>(GENERIC_READ), static_cast<DWORD>(GENERIC_WRITE)}) {
        HANDLE file = CreateFileA("C:\\WINDOWS\\INF\\PIPE.LCK", access, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_FALSE(CopyFileA("C:\\WINDOWS\\INF\\PIPE.LCK", "C:\\WINDOWS\\INF\\COPY.INF", FALSE));
}

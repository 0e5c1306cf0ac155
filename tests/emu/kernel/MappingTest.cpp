#include "tests/emu/kernel/FileMachine.h"

#include <cstring>
#include <filesystem>

using corvane_test::readHostFile;
using corvane_test::writeHostFile;

namespace {

// A small palette picture's first bytes; the view must show the file as is.
const std::string kPicture =
    std::string("BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18) + std::string(52, '\x5a');

// Whether any host mapping of this process shows the file at hostPath.
bool mappedInProcess(const std::string& hostPath) {
    std::string maps = readHostFile("/proc/self/maps");
    std::string name = std::filesystem::canonical(hostPath).string();
    return maps.find(name) != std::string::npos;
}

HANDLE openPicture(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_READONLY, nullptr);
}

} // namespace

class Mapping : public FileMachine {
protected:
    void SetUp() override {
        FileMachine::SetUp();
        writeHostFile(onC("DISK/BACK.BMP"), kPicture);
        writeHostFile(onC("DISK/EMPTY.BMP"), "");
    }
};

TEST_F(Mapping, ViewShowsTheWholeFileAndKeepsItOpen) {
    HANDLE file = openPicture("C:\\disk\\back.bmp");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::memcmp(view, kPicture.data(), kPicture.size()), 0);
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_TRUE(CloseHandle(file));

    // The view alone still holds the file.
    EXPECT_EQ(view[0], 'B');
    EXPECT_FALSE(DeleteFileA("C:\\DISK\\BACK.BMP"));
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
    EXPECT_TRUE(DeleteFileA("C:\\DISK\\BACK.BMP"));
}

TEST_F(Mapping, RefusesWhatWindowsRefuses) {
    HANDLE empty = openPicture("C:\\DISK\\EMPTY.BMP");
    ASSERT_NE(empty, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileMappingA(empty, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_INVALID));
    EXPECT_TRUE(CloseHandle(empty));

    HANDLE writer = CreateFileA("C:\\DISK\\BACK.BMP", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileMappingA(writer, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(writer));

    HANDLE file = openPicture("C:\\DISK\\BACK.BMP");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 4096, nullptr), nullptr)
        << "a read-only mapping cannot be larger than the file";
    EXPECT_EQ(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 0, nullptr),
              nullptr);
    EXPECT_EQ(MapViewOfFile(file, FILE_MAP_READ, 0, 0, 0), nullptr) << "a file is no mapping";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 1, 0), nullptr) << "unaligned offset";
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4096), nullptr) << "past the end";
    EXPECT_EQ(ReadFile(mapping, nullptr, 0, nullptr, nullptr), FALSE);
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_TRUE(CloseHandle(file));
}

TEST_F(Mapping, ShutdownClosesHandlesAndUnmapsViews) {
    HANDLE file = openPicture("C:\\DISK\\BACK.BMP");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0), nullptr);
    HANDLE exclusive = CreateFileA("C:\\WINDOWS\\INF\\MSHDC.INF", GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(mappedInProcess(onC("DISK/BACK.BMP")));

    machine.shutdown();
    EXPECT_FALSE(mappedInProcess(onC("DISK/BACK.BMP")));
    boot("C:\\");
    EXPECT_FALSE(CloseHandle(file)) << "handles do not outlive their machine";
    HANDLE again = CreateFileA("C:\\WINDOWS\\INF\\MSHDC.INF", GENERIC_READ, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(DeleteFileA("C:\\DISK\\BACK.BMP"));
}

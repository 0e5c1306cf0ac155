#include "platform/emu/kernel/FileSystem.h"
#include "tests/emu/kernel/FileMachine.h"

#include <sys/wait.h>
#include <unistd.h>

using corvane_test::readHostFile;
using corvane_test::writeHostFile;

namespace {

constexpr DWORD R = GENERIC_READ;
constexpr DWORD W = GENERIC_WRITE;
constexpr DWORD RW = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD SR = FILE_SHARE_READ;
constexpr DWORD SW = FILE_SHARE_WRITE;
constexpr DWORD SRW = FILE_SHARE_READ | FILE_SHARE_WRITE;

struct ShareRow {
    DWORD firstAccess, firstShare;
    DWORD secondAccess, secondShare;
    bool secondOpens;
};

const char* const kFile = "C:\\WINDOWS\\INF\\MSHDC.INF";

// Runs body in a forked child of the machine and returns its exit status.
template <typename Body> int inChildProcess(Body body) {
    pid_t child = fork();
    if (child == 0) {
        _exit(body());
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// 0 when the child could open the file as asked, 1 otherwise.
int childOpens(DWORD access, DWORD share) {
    return inChildProcess([=] {
        HANDLE handle = CreateFileA(kFile, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
        return handle == INVALID_HANDLE_VALUE ? 1 : 0;
    });
}

} // namespace

class ShareModes : public FileMachine {};

TEST_F(ShareModes, SecondOpenerMeetsTheFirstOpenersAccessAndShareMasks) {
    const ShareRow rows[] = {
        {R, 0, R, SRW, false},  {R, SR, R, SR, true},   {R, SR, W, SRW, false},
        {R, SRW, W, SR, true},  {W, SR, R, SR, false},  {W, SR, R, SRW, true},
        {R, SRW, R, 0, false},  {W, SRW, R, SR, false}, {RW, SRW, RW, SRW, true},
        {RW, 0, R, SRW, false}, {0, 0, R, 0, true},     {R, 0, 0, 0, true},
        {W, SW, W, SRW, true},  {W, SW, R, SRW, false},
    };
    for (const ShareRow& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << std::hex << row.firstAccess << "/" << row.firstShare << " then "
                     << row.secondAccess << "/" << row.secondShare);
        HANDLE first = open(kFile, row.firstAccess, row.firstShare);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second = open(kFile, row.secondAccess, row.secondShare);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, row.secondOpens);
        if (second == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        } else {
            EXPECT_TRUE(CloseHandle(second));
        }
        EXPECT_TRUE(CloseHandle(first));
    }
}

TEST_F(ShareModes, ClosingTheExclusiveOpenerLetsOthersIn) {
    HANDLE exclusive = open(kFile, GENERIC_READ, 0);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(kFile, GENERIC_READ, SRW), INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(exclusive));
    HANDLE later = open(kFile, GENERIC_READ, 0);
    EXPECT_NE(later, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(later));
}

TEST_F(ShareModes, HoldBetweenProcesses) {
    HANDLE reader = open(kFile, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(childOpens(GENERIC_READ, SRW), 0) << "readers are let in";
    EXPECT_EQ(childOpens(GENERIC_WRITE, SRW), 1) << "writers are kept out";
    ASSERT_TRUE(CloseHandle(reader));

    HANDLE exclusive = open(kFile, GENERIC_READ, 0);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(childOpens(GENERIC_READ, SRW), 1);
    ASSERT_TRUE(CloseHandle(exclusive));
    EXPECT_EQ(childOpens(GENERIC_READ, 0), 0);
}

TEST_F(ShareModes, AChildsExclusiveOpenEndsWithTheChild) {
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    pid_t child = fork();
    if (child == 0) {
        HANDLE held = CreateFileA(kFile, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        char state = held == INVALID_HANDLE_VALUE ? 'n' : 'y';
        (void)!write(toParent[1], &state, 1);
        (void)!read(toChild[0], &state, 1); // wait until the parent has tried
        _exit(0);                           // dies without closing the handle
    }
    char state = 0;
    ASSERT_EQ(read(toParent[0], &state, 1), 1);
    ASSERT_EQ(state, 'y');
    EXPECT_EQ(open(kFile, GENERIC_READ, SRW), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(emu::kernel::readFileShared(onC("WINDOWS/INF/Mshdc.inf")).has_value());
    ASSERT_EQ(write(toChild[1], "x", 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) {
        close(fd);
    }
    HANDLE after = open(kFile, GENERIC_READ, 0);
    EXPECT_NE(after, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(after));
}

TEST_F(ShareModes, WholeFileReadsAndReplacementsHonourOtherOpeners) {
    const std::string host = onC("WINDOWS/INF/Mshdc.inf");
    HANDLE sharing = open(kFile, GENERIC_READ | GENERIC_WRITE, SRW);
    ASSERT_NE(sharing, INVALID_HANDLE_VALUE);
    EXPECT_EQ(emu::kernel::readFileShared(host).value_or("(none)"), "[Version]\n");
    EXPECT_TRUE(emu::kernel::replaceFileAtomically(host, "[Version]\nA=1\n"));
    ASSERT_TRUE(CloseHandle(sharing));

    HANDLE denyWrite = open(kFile, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(denyWrite, INVALID_HANDLE_VALUE);
    EXPECT_EQ(emu::kernel::readFileShared(host).value_or("(none)"), "[Version]\nA=1\n");
    EXPECT_FALSE(emu::kernel::replaceFileAtomically(host, "lost"));
    ASSERT_TRUE(CloseHandle(denyWrite));

    HANDLE exclusive = open(kFile, GENERIC_READ, 0);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(emu::kernel::readFileShared(host).has_value());
    EXPECT_FALSE(emu::kernel::replaceFileAtomically(host, "lost"));
    ASSERT_TRUE(CloseHandle(exclusive));
    EXPECT_EQ(readHostFile(host), "[Version]\nA=1\n");
}

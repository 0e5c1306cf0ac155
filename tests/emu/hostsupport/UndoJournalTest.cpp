// The in-place write journal: a writer killed at any step leaves, after the
// next roll-back, the old bytes or the new ones; a live writer is never
// rolled back; a journal that is not whole is never applied.
#include "platform/emu/hostsupport/UndoJournal.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using corvane_test::folderEntries;
using corvane_test::readHostFile;
using corvane_test::TempDir;
using corvane_test::writeHostFile;
using emu::hostsupport::Result;
using emu::hostsupport::UndoJournal;

namespace {

constexpr int kKilled = 86;
constexpr int kMaxSteps = 200;

std::string pattern(size_t size, char seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(seed + static_cast<char>(i % 61));
    }
    return bytes;
}

// Counts the steps of a write; ends the process at once after step killAt.
struct StepCounter {
    int killAt = -1;
    int made = 0;
    void count() {
        if (++made == killAt) {
            std::_Exit(kKilled);
        }
    }
};

// Writes after over before as a caller of the journal does: the ranges that
// differ kept, sealed, written in place, the size set, finished. Each write
// of the target is a step too.
Result<void> writeInPlace(const std::string& path, const std::string& before,
                          const std::string& after, StepCounter& counter) {
    UndoJournal journal(path);
    std::vector<std::pair<size_t, size_t>> ranges; // offset, length in after
    for (size_t i = 0; i < after.size();) {
        if (i < before.size() && before[i] == after[i]) {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < after.size() && !(i < before.size() && before[i] == after[i])) {
            ++i;
        }
        ranges.emplace_back(start, i - start);
        journal.keep(start, i - start);
    }
    if (after.size() < before.size()) {
        journal.keep(after.size(), before.size() - after.size());
    }
    if (Result<void> sealed = journal.seal(); !sealed) {
        return sealed;
    }
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    for (const auto& [offset, length] : ranges) {
        // In pieces, so a kill can land inside a range.
        size_t piece = std::max<size_t>(7, length / 8);
        for (size_t i = 0; i < length; i += piece) {
            size_t part = std::min(piece, length - i);
            EXPECT_EQ(pwrite(fd, after.data() + offset + i, part, offset + i),
                      static_cast<ssize_t>(part));
            counter.count();
        }
    }
    EXPECT_EQ(ftruncate(fd, static_cast<off_t>(after.size())), 0);
    counter.count();
    ::close(fd);
    return journal.finish();
}

// Runs work in a child; its exit status (or 128 + the signal that ended it).
int inChild(const std::function<int()>& work) {
    pid_t child = fork();
    if (child == 0) {
        std::_Exit(work());
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

ino_t inodeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_ino;
}

} // namespace

TEST(UndoJournal, AKillAtEveryStepLeavesTheOldOrTheNewFileAfterRollBack) {
    const std::string base = pattern(20000, 'a');
    struct Case {
        const char* what;
        std::string before;
        std::string after;
    };
    std::string scattered = base;
    for (size_t at : {size_t(0), size_t(4095), size_t(9000), size_t(19999)}) {
        scattered[at] = 'X';
    }
    const Case cases[] = {
        {"ranges changed in place", base, scattered},
        {"the file grows", base, base + pattern(5000, 'A')},
        {"the file shrinks and changes", base, scattered.substr(0, 7000)},
        {"an empty file grows", "", pattern(300, 'k')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir / "SYSTEM.DAT";
        const std::string other = dir / "LINKED.DAT";
        bool reachedNew = false;
        int killAt = 1;
        for (; killAt <= kMaxSteps; ++killAt) {
            writeHostFile(path, c.before);
            std::remove(other.c_str());
            ASSERT_EQ(link(path.c_str(), other.c_str()), 0);
            int status = inChild([&] {
                StepCounter counter{killAt};
                UndoJournal::setStepHook([&](const char*, bool made) {
                    if (made) {
                        counter.count();
                    }
                    return 0;
                });
                return writeInPlace(path, c.before, c.after, counter).ok() ? 0 : 1;
            });
            ASSERT_TRUE(status == 0 || status == kKilled) << "status " << status;
            Result<bool> rolled = UndoJournal::rollBack(path);
            ASSERT_TRUE(rolled.ok()) << rolled.reason();
            std::string now = readHostFile(path);
            ASSERT_TRUE(now == c.before || now == c.after) << "torn after step " << killAt;
            EXPECT_FALSE(reachedNew && now == c.before) << "went back at step " << killAt;
            reachedNew = reachedNew || now == c.after;
            EXPECT_EQ(inodeOf(path), inodeOf(other)) << "a hard link lost";
            EXPECT_EQ(folderEntries(dir.path()),
                      std::vector<std::string>({"LINKED.DAT", "SYSTEM.DAT"}));
            if (status == 0) {
                EXPECT_EQ(now, c.after);
                EXPECT_FALSE(*rolled);
                break;
            }
        }
        EXPECT_LT(killAt, kMaxSteps);
        EXPECT_GT(killAt, 5) << "too few steps to see the journal's";
    }
}

TEST(UndoJournal, ALiveWritersJournalIsWaitedForAndNeverRolledBack) {
    TempDir dir;
    const std::string path = dir / "SYSTEM.DAT";
    const std::string before = pattern(9000, 'a');
    const std::string half = "NEW" + before.substr(3);
    for (bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "the writer is killed" : "the writer finishes");
        writeHostFile(path, before);
        int toChild[2];
        int toParent[2];
        ASSERT_EQ(pipe(toChild), 0);
        ASSERT_EQ(pipe(toParent), 0);
        pid_t child = fork();
        if (child == 0) {
            // Only the parent's end of each pipe stays open in the parent,
            // so a parent that stops early ends the child's wait.
            close(toChild[1]);
            close(toParent[0]);
            UndoJournal journal(path);
            journal.keep(0, 3);
            bool sealed = journal.seal().ok();
            int fd = ::open(path.c_str(), O_RDWR);
            bool wrote = pwrite(fd, "NEW", 3, 0) == 3;
            char go = sealed && wrote ? 'y' : 'n';
            if (write(toParent[1], &go, 1) != 1 || read(toChild[0], &go, 1) != 1) {
                std::_Exit(3);
            }
            std::_Exit(journal.finish().ok() ? 0 : 1);
        }
        close(toChild[0]);
        close(toParent[1]);
        char ready = 0;
        ASSERT_EQ(read(toParent[0], &ready, 1), 1);
        ASSERT_EQ(ready, 'y');
        // Sealed and half written: a second process leaves it alone.
        Result<bool> meanwhile = UndoJournal::rollBack(path, std::chrono::milliseconds(30));
        ASSERT_FALSE(meanwhile.ok());
        EXPECT_NE(meanwhile.reason().find("running writer"), std::string::npos)
            << meanwhile.reason();
        EXPECT_EQ(readHostFile(path), half);
        EXPECT_FALSE(UndoJournal::holdForReading(path, std::chrono::milliseconds(30)).ok())
            << "a reader would see the write half made";
        if (killed) {
            kill(child, SIGKILL);
        } else {
            ASSERT_EQ(write(toChild[1], "g", 1), 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        Result<bool> after = UndoJournal::rollBack(path);
        ASSERT_TRUE(after.ok()) << after.reason();
        EXPECT_EQ(*after, killed);
        EXPECT_EQ(readHostFile(path), killed ? before : half);
        EXPECT_TRUE(UndoJournal::holdForReading(path).ok());
        EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"SYSTEM.DAT"});
        for (int fd : {toChild[1], toParent[0]}) {
            close(fd);
        }
    }
}

TEST(UndoJournal, AJournalThatIsNotWholeIsRefusedAndNothingIsApplied) {
    const std::string before = pattern(5000, 'a');
    const std::string after = "CHANGED" + before.substr(7);
    // The journal a writer that died after its first write leaves.
    auto orphan = [&](const std::string& path) {
        writeHostFile(path, before);
        UndoJournal journal(path);
        journal.keep(0, 7);
        EXPECT_TRUE(journal.seal().ok());
        int fd = ::open(path.c_str(), O_RDWR);
        EXPECT_EQ(pwrite(fd, after.data(), 7, 0), 7);
        ::close(fd);
    };
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
    };
    const Case cases[] = {
        {"a saved byte changed", [](std::string& j) { j[24 + 16 + 2] ^= 1; }},
        {"the sum changed", [](std::string& j) { j.back() ^= 1; }},
        {"cut short", [](std::string& j) { j.pop_back(); }},
        {"a byte more", [](std::string& j) { j += '\0'; }},
        {"another kind of file", [](std::string& j) { j[0] = 'X'; }},
        {"a range count past its end", [](std::string& j) { j[16 + 7] = 0x7F; }},
        {"empty", [](std::string& j) { j.clear(); }},
    };
    {
        TempDir dir;
        orphan(dir / "SYSTEM.DAT");
        Result<bool> rolled = UndoJournal::rollBack(dir / "SYSTEM.DAT");
        ASSERT_TRUE(rolled.ok() && *rolled) << "a whole journal is applied";
        EXPECT_EQ(readHostFile(dir / "SYSTEM.DAT"), before);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir / "SYSTEM.DAT";
        orphan(path);
        std::string journal = readHostFile(UndoJournal::pathFor(path));
        c.damage(journal);
        writeHostFile(UndoJournal::pathFor(path), journal);
        Result<bool> rolled = UndoJournal::rollBack(path);
        ASSERT_FALSE(rolled.ok());
        EXPECT_NE(rolled.reason().find("not whole"), std::string::npos) << rolled.reason();
        EXPECT_EQ(readHostFile(path), after);
        EXPECT_EQ(readHostFile(UndoJournal::pathFor(path)), journal);
    }
}

// A disk that fills, a journal already there, a write that fails: the
// target keeps its bytes and nothing is left beside it, or the journal that
// was there stays as it was.
TEST(UndoJournal, AFailedSealOrWriteLeavesTheTargetAsItWas) {
    const std::string before = pattern(3000, 'a');
    struct Case {
        const char* what;
        const char* failingStep; // fails with ENOSPC
        bool journalThere;
    };
    const Case cases[] = {
        {"the journal cannot be written", "write journal", false},
        {"the journal cannot be synced", "sync journal", false},
        {"the journal cannot be named", "link journal", false},
        {"the folder cannot be synced", "sync folder", false},
        {"another change's journal is there", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir / "SYSTEM.DAT";
        writeHostFile(path, before);
        std::string stale;
        if (c.journalThere) {
            stale = "a journal of a writer that is gone";
            writeHostFile(UndoJournal::pathFor(path), stale);
        }
        UndoJournal::setStepHook([&](const char* step, bool made) {
            return !made && std::string(step) == c.failingStep ? ENOSPC : 0;
        });
        UndoJournal journal(path);
        journal.keep(10, 100);
        Result<void> sealed = journal.seal();
        UndoJournal::setStepHook(nullptr);
        EXPECT_FALSE(sealed.ok());
        EXPECT_EQ(readHostFile(path), before);
        if (c.journalThere) {
            EXPECT_EQ(readHostFile(UndoJournal::pathFor(path)), stale);
        } else {
            EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"SYSTEM.DAT"});
        }
    }
    // The caller's own write failed half-way: undo puts the bytes back.
    TempDir dir;
    const std::string path = dir / "SYSTEM.DAT";
    writeHostFile(path, before);
    UndoJournal journal(path);
    journal.keep(2990, 1000);
    ASSERT_TRUE(journal.seal().ok());
    EXPECT_EQ(journal.savedBytes(), 10u);
    int fd = ::open(path.c_str(), O_RDWR);
    ASSERT_EQ(pwrite(fd, std::string(1000, 'z').data(), 1000, 2990), 1000);
    ::close(fd);
    ASSERT_TRUE(journal.undo().ok());
    EXPECT_EQ(readHostFile(path), before);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"SYSTEM.DAT"});
}

// A read-only target: the system's own files are written whatever their
// mode where the host lets this user open them for writing, and keep it; a
// target a roll-back could not write is refused before anything is saved.
TEST(UndoJournal, AReadOnlyTargetKeepsItsModeOrIsRefused) {
    TempDir dir;
    const std::string path = dir / "SYSTEM.DAT";
    const std::string before = pattern(4000, 'a');
    writeHostFile(path, before);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    UndoJournal journal(path);
    journal.keep(100, 50);
    Result<void> sealed = journal.seal();
    bool writable = access(path.c_str(), W_OK) == 0; // root: whatever the mode
    ASSERT_EQ(sealed.ok(), writable);
    if (writable) {
        int fd = ::open(path.c_str(), O_RDWR);
        ASSERT_EQ(pwrite(fd, "readonly", 8, 100), 8);
        ::close(fd);
        ASSERT_TRUE(journal.undo().ok());
        EXPECT_EQ(readHostFile(path), before);
    } else {
        EXPECT_NE(sealed.reason().find("cannot be opened for writing"), std::string::npos);
    }
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"SYSTEM.DAT"});
}

TEST(UndoJournal, TellsJournalNamesFromOthers) {
    EXPECT_EQ(UndoJournal::pathFor("/c/WINDOWS/SYSTEM.DAT"), "/c/WINDOWS/SYSTEM.DAT.corvane-undo");
    const std::pair<const char*, bool> names[] = {
        {"SYSTEM.DAT.corvane-undo", true},
        {"SYSTEM.DAT.corvane-undo.a1B2c3", true},
        {"SYSTEM.DAT", false},
        {".corvane-undo", false},
        {"SYSTEM.corvane-undoX", false},
        {"SYSTEM.DAT.CORVANE-UNDO2", false},
    };
    for (const auto& [name, isJournal] : names) {
        EXPECT_EQ(UndoJournal::isJournalName(name), isJournal) << name;
    }
}

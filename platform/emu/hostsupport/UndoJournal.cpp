#include "platform/emu/hostsupport/UndoJournal.h"

#include "platform/emu/hostsupport/PositionedRead.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace emu::hostsupport {

namespace {

constexpr char kMagic[] = "CVUNDO01";
constexpr size_t kMagicSize = 8;
constexpr size_t kHeaderSize = kMagicSize + 16; // magic, size, number of ranges
constexpr size_t kRangeHeaderSize = 16;
constexpr size_t kSumSize = 8;
constexpr std::chrono::milliseconds kPollInterval{2};

UndoJournal::StepHook g_hook;

// Takes (or, with F_UNLCK, lets go of) the hold on the target; waits up to
// wait for a conflicting holder.
bool hold(int fd, short type, std::chrono::milliseconds wait) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = UndoJournal::kHoldByte;
    lock.l_len = 1;
    auto deadline = std::chrono::steady_clock::now() + wait;
    while (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        if ((errno != EAGAIN && errno != EACCES && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

// Makes a call that changes a file, as one step the hook sees; the caller
// gets the call's own result and errno.
template <typename Call> auto step(const char* name, Call call) -> decltype(call()) {
    if (g_hook) {
        if (int fault = g_hook(name, false); fault != 0) {
            errno = fault;
            return -1;
        }
    }
    auto result = call();
    int reason = errno;
    if (g_hook) {
        g_hook(name, true);
    }
    errno = reason;
    return result;
}

std::string because(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

void put64(std::string& out, uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

uint64_t get64(const std::string& in, size_t offset) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(in[offset + static_cast<size_t>(i)]);
    }
    return value;
}

uint64_t sumOf(const std::string& bytes, size_t length) {
    uint64_t sum = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < length; ++i) {
        sum = (sum ^ static_cast<unsigned char>(bytes[i])) * 0x100000001b3ull;
    }
    return sum;
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// What a whole journal holds: the target's size and each saved range.
struct Saved {
    uint64_t offset;
    size_t at; // where its bytes start in the journal
    uint64_t length;
};
struct Parsed {
    uint64_t size;
    std::vector<Saved> ranges;
};

// Reads a journal; nullopt unless it is whole: its shape, lengths and sum
// all agree.
std::optional<Parsed> parse(const std::string& content) {
    if (content.size() < kHeaderSize + kSumSize ||
        content.compare(0, kMagicSize, kMagic, kMagicSize) != 0) {
        return std::nullopt;
    }
    Parsed parsed{get64(content, kMagicSize), {}};
    uint64_t count = get64(content, kMagicSize + 8);
    if (count > content.size() / kRangeHeaderSize) {
        return std::nullopt;
    }
    size_t pos = kHeaderSize;
    size_t end = content.size() - kSumSize;
    for (uint64_t i = 0; i < count; ++i) {
        if (end - pos < kRangeHeaderSize) {
            return std::nullopt;
        }
        uint64_t offset = get64(content, pos);
        uint64_t length = get64(content, pos + 8);
        pos += kRangeHeaderSize;
        uint64_t saved = offset >= parsed.size ? 0 : std::min(length, parsed.size - offset);
        if (offset + length < offset || saved > end - pos) {
            return std::nullopt;
        }
        parsed.ranges.push_back(Saved{offset, pos, saved});
        pos += static_cast<size_t>(saved);
    }
    if (pos != end || get64(content, end) != sumOf(content, end)) {
        return std::nullopt;
    }
    return parsed;
}

Result<void> syncFile(int fd, const char* name, const std::string& path) {
    if (step(name, [&] { return ::fsync(fd); }) != 0) {
        return Failure{because(path + " cannot be synced")};
    }
    return {};
}

// Puts the saved bytes back into the target and cuts it to its old size.
Result<void> apply(int target, const std::string& path, const std::string& content,
                   const Parsed& parsed) {
    for (const Saved& range : parsed.ranges) {
        size_t done = 0;
        while (done < range.length) {
            ssize_t written = step("write target", [&] {
                return ::pwrite(target, content.data() + range.at + done,
                                static_cast<size_t>(range.length) - done,
                                static_cast<off_t>(range.offset + done));
            });
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                return Failure{because(path + " cannot be written back")};
            }
            done += static_cast<size_t>(written);
        }
    }
    if (step("truncate target",
             [&] { return ::ftruncate(target, static_cast<off_t>(parsed.size)); }) != 0) {
        return Failure{because(path + " cannot be given its old size")};
    }
    return syncFile(target, "sync target", path);
}

std::optional<std::string> readWhole(int fd, uint64_t size) {
    std::string content(static_cast<size_t>(size), '\0');
    if (!readExactly(fd, 0, content.data(), content.size())) {
        return std::nullopt;
    }
    return content;
}

bool sameEntry(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

std::string UndoJournal::pathFor(const std::string& target) {
    return target + kSuffix;
}

bool UndoJournal::isJournalName(const std::string& name) {
    // A journal, or the named temporary one becomes where the host's file
    // system has no unnamed files.
    size_t at = name.rfind(kSuffix);
    return at != std::string::npos && at > 0 &&
           (at + std::strlen(kSuffix) == name.size() || name[at + std::strlen(kSuffix)] == '.');
}

void UndoJournal::setStepHook(StepHook hook) {
    g_hook = std::move(hook);
}

Result<UniqueFd> UndoJournal::holdForReading(const std::string& target,
                                             std::chrono::milliseconds wait) {
    UniqueFd fd(::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        return Failure{because(target + " cannot be opened")};
    }
    if (!hold(fd.get(), F_RDLCK, wait)) {
        return Failure{because(target + " is being written by another process")};
    }
    return Result<UniqueFd>(std::move(fd));
}

Result<bool> UndoJournal::rollBack(const std::string& target) {
    return rollBack(target, kLiveWriterWait);
}

Result<bool> UndoJournal::rollBack(const std::string& target,
                                   std::chrono::milliseconds liveWriterWait) {
    const std::string path = pathFor(target);
    auto deadline = std::chrono::steady_clock::now() + liveWriterWait;
    while (true) {
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (!fd.valid()) {
            if (errno == ENOENT) {
                return false;
            }
            return Failure{because("the journal " + path + " cannot be opened")};
        }
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                return Failure{because("the journal " + path + " cannot be locked")};
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return Failure{"the journal " + path + " is held by a running writer for over " +
                               std::to_string(liveWriterWait.count()) + " ms"};
            }
            std::this_thread::sleep_for(kPollInterval);
            continue;
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd.get(), &opened) != 0) {
            return Failure{because("the journal " + path + " cannot be read")};
        }
        if (::lstat(path.c_str(), &named) != 0 || !sameEntry(opened, named)) {
            continue; // its writer finished and removed it while it was opened
        }
        if (!S_ISREG(opened.st_mode)) {
            return Failure{"the journal " + path + " is no file"};
        }
        std::optional<std::string> content = readWhole(fd.get(), opened.st_size);
        if (!content) {
            return Failure{because("the journal " + path + " cannot be read")};
        }
        std::optional<Parsed> parsed = parse(*content);
        if (!parsed) {
            return Failure{"the journal " + path + " is not whole; it was not applied"};
        }
        UniqueFd targetFd(::open(target.c_str(), O_RDWR | O_CLOEXEC));
        struct stat info {};
        if (!targetFd.valid() || ::fstat(targetFd.get(), &info) != 0) {
            return Failure{because(target + " cannot be opened to roll back its journal")};
        }
        if (!S_ISREG(info.st_mode)) {
            return Failure{target + " is no file; its journal was not applied"};
        }
        if (!hold(targetFd.get(), F_WRLCK, liveWriterWait)) {
            return Failure{because(target + " is being read by another process")};
        }
        if (Result<void> applied = apply(targetFd.get(), target, *content, *parsed); !applied) {
            return applied.failure();
        }
        if (step("remove journal", [&] { return ::unlink(path.c_str()); }) != 0) {
            return Failure{because("the journal " + path + " cannot be removed")};
        }
        return true;
    }
}

UndoJournal::UndoJournal(std::string target) : m_target(std::move(target)) {}

UndoJournal::~UndoJournal() = default;

void UndoJournal::keep(uint64_t offset, uint64_t length) {
    if (length > 0 && offset + length > offset) {
        m_kept.push_back(Range{offset, length});
    }
}

Result<void> UndoJournal::seal() {
    if (m_state != State::Open) {
        return Failure{"the journal of " + m_target + " was sealed before"};
    }
    m_targetFd = UniqueFd(::open(m_target.c_str(), O_RDWR | O_CLOEXEC));
    struct stat info {};
    if (!m_targetFd.valid() || ::fstat(m_targetFd.get(), &info) != 0) {
        return Failure{because(m_target + " cannot be opened for writing")};
    }
    if (!S_ISREG(info.st_mode)) {
        return Failure{m_target + " is no file"};
    }
    if (!hold(m_targetFd.get(), F_WRLCK, kLiveWriterWait)) {
        return Failure{because(m_target + " is being read or written by another process")};
    }
    // Ranges in order, overlapping and touching ones joined.
    std::sort(m_kept.begin(), m_kept.end(),
              [](const Range& a, const Range& b) { return a.offset < b.offset; });
    std::vector<Range> ranges;
    for (const Range& range : m_kept) {
        if (!ranges.empty() && range.offset <= ranges.back().offset + ranges.back().length) {
            uint64_t end =
                std::max(ranges.back().offset + ranges.back().length, range.offset + range.length);
            ranges.back().length = end - ranges.back().offset;
        } else {
            ranges.push_back(range);
        }
    }
    uint64_t size = static_cast<uint64_t>(info.st_size);
    std::string content(kMagic, kMagicSize);
    put64(content, size);
    put64(content, ranges.size());
    m_savedBytes = 0;
    for (const Range& range : ranges) {
        put64(content, range.offset);
        put64(content, range.length);
        uint64_t saved = range.offset >= size ? 0 : std::min(range.length, size - range.offset);
        size_t at = content.size();
        content.resize(at + static_cast<size_t>(saved));
        if (!readExactly(m_targetFd.get(), range.offset, content.data() + at,
                         static_cast<size_t>(saved))) {
            Failure failure{errno != 0 ? because(m_target + " cannot be read")
                                       : m_target + " cannot be read: it ended early"};
            m_targetFd.reset();
            return failure;
        }
        m_savedBytes += saved;
    }
    put64(content, sumOf(content, content.size()));
    if (Result<void> written = writeJournal(content); !written) {
        m_journal.reset();
        m_targetFd.reset();
        return written;
    }
    m_content = std::move(content);
    m_state = State::Sealed;
    return {};
}

Result<void> UndoJournal::writeJournal(const std::string& content) {
    const std::string folder = folderOf(m_target);
    const std::string path = pathFor(m_target);
    struct stat info {};
    mode_t mode = ::fstat(m_targetFd.get(), &info) == 0 ? (info.st_mode & 0666) | 0600 : 0600;
    // Unnamed while it is written; where the host's file system has no
    // unnamed files, under a name of its own until it is whole.
    std::string temporary;
    m_journal = UniqueFd(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
    if (!m_journal.valid()) {
        temporary = path + ".XXXXXX";
        m_journal = UniqueFd(
            step("create journal", [&] { return ::mkostemp(temporary.data(), O_CLOEXEC); }));
        if (!m_journal.valid()) {
            return Failure{because("the journal " + path + " cannot be created")};
        }
    }
    auto dropTemporary = [&] {
        if (!temporary.empty()) {
            step("remove journal", [&] { return ::unlink(temporary.c_str()); });
        }
    };
    size_t done = 0;
    while (done < content.size()) {
        ssize_t written = step("write journal", [&] {
            return ::write(m_journal.get(), content.data() + done, content.size() - done);
        });
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            Failure failure{because("the journal " + path + " cannot be written")};
            dropTemporary();
            return failure;
        }
        done += static_cast<size_t>(written);
    }
    if (Result<void> synced = syncFile(m_journal.get(), "sync journal", path); !synced) {
        dropTemporary();
        return synced;
    }
    if (::flock(m_journal.get(), LOCK_EX | LOCK_NB) != 0) {
        Failure failure{because("the journal " + path + " cannot be locked")};
        dropTemporary();
        return failure;
    }
    int linked = 0;
    if (temporary.empty()) {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", m_journal.get());
        linked = step("link journal", [&] {
            return ::linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
        });
    } else {
        linked = step("link journal", [&] { return ::link(temporary.c_str(), path.c_str()); });
    }
    if (linked != 0) {
        Failure failure{errno == EEXIST ? "the journal " + path + " of another change is there"
                                        : because("the journal " + path + " cannot be named")};
        dropTemporary();
        return failure;
    }
    dropTemporary();
    UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.valid() || step("sync folder", [&] { return ::fsync(folderFd.get()); }) != 0) {
        Failure failure{because("the folder " + folder + " cannot be synced")};
        step("remove journal", [&] { return ::unlink(path.c_str()); });
        return failure;
    }
    return {};
}

Result<void> UndoJournal::close() {
    const std::string path = pathFor(m_target);
    if (step("remove journal", [&] { return ::unlink(path.c_str()); }) != 0) {
        return Failure{because("the journal " + path + " cannot be removed")};
    }
    m_state = State::Closed;
    m_journal.reset();
    m_targetFd.reset(); // lets readers in
    return {};
}

Result<void> UndoJournal::finish() {
    if (m_state != State::Sealed) {
        return Failure{"the journal of " + m_target + " is not sealed"};
    }
    if (Result<void> synced = syncFile(m_targetFd.get(), "sync target", m_target); !synced) {
        return synced;
    }
    return close();
}

Result<void> UndoJournal::undo() {
    if (m_state != State::Sealed) {
        return Failure{"the journal of " + m_target + " is not sealed"};
    }
    std::optional<Parsed> parsed = parse(m_content);
    if (!parsed) {
        return Failure{"the journal of " + m_target + " is not whole"};
    }
    if (Result<void> applied = apply(m_targetFd.get(), m_target, m_content, *parsed); !applied) {
        return applied;
    }
    return close();
}

} // namespace emu::hostsupport

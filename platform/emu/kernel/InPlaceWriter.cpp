#include "platform/emu/kernel/InPlaceWriter.h"

#include "platform/emu/hostsupport/UndoJournal.h"
#include "platform/emu/kernel/FileSteps.h"
#include "platform/emu/kernel/HostEntry.h"
#include "platform/emu/kernel/HostFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace emu::kernel {

using hostsupport::Result;
using hostsupport::UndoJournal;

namespace {

struct Range {
    size_t offset;
    size_t length;
};

// The pages in which after differs from before, touching ones joined; past
// the end of before every page differs.
std::vector<Range> changedPages(std::string_view before, std::string_view after) {
    std::vector<Range> ranges;
    const size_t page = InPlaceWriter::kPageSize;
    for (size_t at = 0; at < after.size(); at += page) {
        size_t length = std::min(page, after.size() - at);
        if (at + length <= before.size() &&
            std::memcmp(before.data() + at, after.data() + at, length) == 0) {
            continue;
        }
        if (!ranges.empty() && ranges.back().offset + ranges.back().length == at) {
            ranges.back().length += length;
        } else {
            ranges.push_back(Range{at, length});
        }
    }
    return ranges;
}

bool sameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Whether the open file is still the one read, by its identity and times.
bool isAsRead(int fd, const struct stat& asRead) {
    struct stat now {};
    return fstat(fd, &now) == 0 && now.st_dev == asRead.st_dev && now.st_ino == asRead.st_ino &&
           now.st_size == asRead.st_size && sameTime(now.st_mtim, asRead.st_mtim) &&
           sameTime(now.st_ctim, asRead.st_ctim);
}

// Whether the ranges about to be written still hold the bytes read: a
// writer that came in within one tick of the clock leaves the times alike.
bool holdsBefore(int fd, std::string_view before, const std::vector<Range>& ranges) {
    std::string buffer;
    for (const Range& range : ranges) {
        if (range.offset >= before.size()) {
            continue;
        }
        size_t length = std::min(range.length, before.size() - range.offset);
        buffer.resize(length);
        if (pread(fd, buffer.data(), length, static_cast<off_t>(range.offset)) !=
                static_cast<ssize_t>(length) ||
            before.compare(range.offset, length, buffer) != 0) {
            return false;
        }
    }
    return true;
}

bool writeRange(int fd, std::string_view after, const Range& range) {
    size_t done = 0;
    while (done < range.length) {
        ssize_t written =
            FileSteps::pwrite(fd, after.data() + range.offset + done, range.length - done,
                              static_cast<off_t>(range.offset + done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

} // namespace

InPlaceWriter::Outcome InPlaceWriter::write(const std::string& hostPath, std::string_view before,
                                            std::string_view after, const struct stat& asRead,
                                            std::string& reason, DWORD& error) {
    error = ERROR_ACCESS_DENIED;
    std::unique_ptr<char, decltype(&free)> real(realpath(hostPath.c_str(), nullptr), free);
    if (!real) {
        return Outcome::NotPossible;
    }
    const std::string target = real.get();
    std::optional<HostEntry> entry = HostEntry::at(target);
    if (!entry || !entry->isRegularFile()) {
        return Outcome::NotPossible;
    }
    // Held as a whole-file replacement holds it: an opener that denies
    // writing keeps the file as it is.
    std::unique_ptr<HostFile> holder =
        HostFile::open(target,
                       {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, true},
                       error);
    if (!holder) {
        reason = "another program holds it";
        return Outcome::Failed;
    }
    UniqueFd fd(::open(target.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd.valid()) {
        return Outcome::NotPossible;
    }
    error = ERROR_ACCESS_DENIED;
    Result<bool> rolledBack = UndoJournal::rollBack(target);
    if (!rolledBack) {
        reason = rolledBack.reason();
        return Outcome::Failed;
    }
    if (*rolledBack || !isAsRead(fd.get(), asRead)) {
        return Outcome::Changed;
    }
    std::vector<Range> ranges = changedPages(before, after);
    if (ranges.empty() && before.size() == after.size()) {
        return Outcome::Written;
    }
    UndoJournal journal(target);
    for (const Range& range : ranges) {
        journal.keep(range.offset, range.length);
    }
    if (after.size() < before.size()) {
        journal.keep(after.size(), before.size() - after.size());
    }
    if (Result<void> sealed = journal.seal(); !sealed) {
        // Another writer's journal came since the roll-back above: it is
        // waited for or rolled back before the file is read again.
        if (HostEntry::linkAt(UndoJournal::pathFor(target))) {
            return Outcome::Changed;
        }
        reason = sealed.reason();
        return Outcome::Failed;
    }
    // The seal holds the file against other writers: whoever wrote since it
    // was read shows in the file now.
    bool asReadStill = isAsRead(fd.get(), asRead) && holdsBefore(fd.get(), before, ranges);
    auto putBack = [&](std::string why) {
        Result<void> undone = journal.undo();
        reason = undone ? why : why + "; " + undone.reason() + ", left for the next start";
        return Outcome::Failed;
    };
    if (!asReadStill) {
        // Nothing of ours was written: the journal goes without putting its
        // bytes back, which may be older than the other writer's.
        Result<void> dropped = journal.finish();
        reason = dropped ? "" : dropped.reason();
        return dropped ? Outcome::Changed : Outcome::Failed;
    }
    for (const Range& range : ranges) {
        if (!writeRange(fd.get(), after, range)) {
            return putBack(std::string("it cannot be written: ") + std::strerror(errno));
        }
    }
    if (after.size() != before.size() &&
        FileSteps::ftruncate(fd.get(), static_cast<off_t>(after.size())) != 0) {
        return putBack(std::string("its size cannot be set: ") + std::strerror(errno));
    }
    if (Result<void> finished = journal.finish(); !finished) {
        return putBack(finished.reason());
    }
    error = ERROR_SUCCESS;
    return Outcome::Written;
}

} // namespace emu::kernel

// Writes a file in place with all-or-nothing: before a byte of the target
// changes, the bytes about to be overwritten (and the target's size) go into
// a journal beside it, TARGET + ".corvane-undo". A writer that dies (a kill,
// a power cut) leaves the journal, and the next rollBack() puts the old bytes
// back; a writer that ends well removes it.
//
//     UndoJournal journal(path);
//     journal.keep(offset, length);           // every range about to change
//     if (!journal.seal()) ...                // nothing written yet
//     ... pwrite the ranges, ftruncate ...    // a failure: journal.undo()
//     if (!journal.finish()) ...
//
// The journal file: "CVUNDO01", the target's size (8 bytes), the number of
// ranges (8 bytes), then per range its offset and length (8 bytes each) and
// the saved bytes (the part of the range inside the target's size), and last
// a 64-bit FNV-1a sum of everything before it. All numbers little-endian.
// From seal() to finish() or undo(), and while a roll-back puts bytes back,
// the writer also holds TARGET against readers (holdForReading()).
//
// A journal is written unnamed, synced and locked (flock, exclusive) before
// it gets its name, so a journal seen under its name is whole, and one whose
// lock can be taken belongs to a writer that is gone. Its removal is not
// synced: should a power cut bring it back, it rolls the target back to the
// old bytes, still whole. The next journal's name is synced before any byte
// of the target changes, which makes the removal of the one before lasting.
#pragma once

#include "platform/emu/hostsupport/Result.h"
#include "platform/emu/hostsupport/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace emu::hostsupport {

class UndoJournal {
public:
    static constexpr const char* kSuffix = ".corvane-undo";
    // How long rollBack(target) waits for a live writer to finish.
    static constexpr std::chrono::milliseconds kLiveWriterWait{10000};
    // The byte of a target that readers lock for reading and writers for
    // writing (an open-file-description lock); other locks on the target
    // stay below it.
    static constexpr off_t kHoldByte = (off_t(1) << 62) - 1;

    // The journal of TARGET lives beside it: TARGET + ".corvane-undo".
    static std::string pathFor(const std::string& target);
    // Whether a folder entry's name is that of a journal.
    static bool isJournalName(const std::string& name);

    // Called before anything reads or writes TARGET. If a journal of a writer
    // that died is there, puts the saved bytes back into TARGET (and its
    // original size), syncs TARGET, removes the journal, and returns true;
    // false when there was none. A journal a live writer holds is waited for
    // up to liveWriterWait, then reported as a Failure; so is a journal that
    // is not whole (a wrong sum or shape), which is never applied.
    static Result<bool> rollBack(const std::string& target);
    static Result<bool> rollBack(const std::string& target,
                                 std::chrono::milliseconds liveWriterWait);

    // A reader's hold on TARGET: while the descriptor it gives is open, no
    // writer is between seal() and finish() or undo(), nor a roll-back under
    // way (an open-file-description lock on one byte far past any file's
    // end, which writers lock for writing). Waits up to wait for a writer.
    // A writer that died leaves its journal: a reader that holds TARGET
    // and sees pathFor(TARGET) lets go and rolls back first.
    static Result<UniqueFd> holdForReading(const std::string& target,
                                           std::chrono::milliseconds wait = kLiveWriterWait);

    // A test's hand on the host calls by which the journal changes a file
    // (the target or the journal): hook(step, false) comes before each one
    // and may return an errno value to have the call fail with it, unmade
    // (0: make it); hook(step, true) comes after it. An empty hook: none.
    using StepHook = std::function<int(const char* step, bool made)>;
    static void setStepHook(StepHook hook);

    explicit UndoJournal(std::string target);
    ~UndoJournal(); // a sealed, unfinished journal is left for rollBack
    UndoJournal(const UndoJournal&) = delete;
    UndoJournal& operator=(const UndoJournal&) = delete;

    // A range of TARGET about to be overwritten (it may reach past the end:
    // the file may grow; a roll-back cuts it back to its size).
    void keep(uint64_t offset, uint64_t length);

    // Saves the original bytes of every kept range and TARGET's size in the
    // journal and puts it under pathFor(TARGET), whole, synced and locked.
    // Fails, leaving nothing, when TARGET is no regular file or cannot be
    // opened for writing (a roll-back could not put it back), when a journal
    // is already there, or when a write or sync fails (a full disk). No byte
    // of TARGET may be written before seal() succeeded.
    Result<void> seal();

    // After the caller wrote TARGET: syncs TARGET, removes the journal,
    // releases the lock. Also the way out when the caller wrote nothing: the
    // saved bytes are not put back.
    Result<void> finish();

    // The caller's write failed: puts the saved bytes back now, syncs,
    // removes the journal. When that fails too, the journal stays for
    // rollBack.
    Result<void> undo();

    // Bytes of TARGET the journal holds.
    uint64_t savedBytes() const { return m_savedBytes; }

private:
    enum class State { Open, Sealed, Closed };
    struct Range {
        uint64_t offset;
        uint64_t length;
    };

    Result<void> writeJournal(const std::string& content);
    // Removes the journal, which ends the change; lets go of the target.
    Result<void> close();

    std::string m_target;
    std::vector<Range> m_kept;
    State m_state = State::Open;
    UniqueFd m_journal; // locked while sealed
    UniqueFd m_targetFd;
    std::string m_content; // the journal as written
    uint64_t m_savedBytes = 0;
};

} // namespace emu::hostsupport

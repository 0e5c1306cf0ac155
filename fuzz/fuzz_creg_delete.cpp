// Deletions from hives grown as Windows grows them, with Windows 95's or
// Windows 98's habits: the first input byte picks a generated hive, each
// following pair of bytes (up to four) a key to delete with everything below
// it. After every deletion the file keeps its size, reads again, keeps the
// habits it had, passes the structure check (links, free list, counters,
// checksums), lacks exactly the keys deleted, and every other key keeps its
// key entry and its data entry's number and block.
#include "fuzz/Check.h"
#include "platform/emu/kernel/CregCheck.h"
#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/CregHabits.h"
#include "platform/emu/kernel/CregWriter.h"
#include "tests/support/CregSamples.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using corvane_fuzz::check;
using emu::kernel::CregFile;
using emu::kernel::CregWriter;

namespace {

// Small hives keep each run quick; small blocks give many blocks to change,
// and one hive is large enough for its key tree to run over a chunk's end.
std::vector<std::string> makeHives() {
    corvane_test::CregBuilder plain = corvane_test::cregSampleHive();
    plain.setChecksums(false);
    corvane_test::CregBuilder smallBlocks = corvane_test::cregGrownHive(30);
    smallBlocks.setBlockSize(0x300);
    corvane_test::CregBuilder fewPerBlock = corvane_test::cregGrownHive(30);
    fewPerBlock.setBlockSize(0x1000);
    fewPerBlock.setEntriesPerBlock(5);
    corvane_test::CregBuilder chunked = corvane_test::cregGrownHive(320);
    chunked.setBlockSize(0x2000);
    // The same shapes with Windows 98's habits, which the writer keeps.
    using emu::kernel::CregHabit;
    corvane_test::CregBuilder smallBlocks98 = corvane_test::cregGrownHive(60, CregHabit::Windows98);
    smallBlocks98.setBlockSize(0x300);
    corvane_test::CregBuilder chunked98 = corvane_test::cregGrownHive(320, CregHabit::Windows98);
    chunked98.setBlockSize(0x2000);
    return {corvane_test::cregSampleHive().build(),
            plain.build(),
            smallBlocks.build(),
            fewPerBlock.build(),
            corvane_test::cregInstallDriveHive().build(),
            chunked.build(),
            corvane_test::cregSampleHive(CregHabit::Windows98).build(),
            smallBlocks98.build(),
            chunked98.build()};
}

// The key of before whose key entry is at entry; none when no key's is.
size_t keyAt(const std::vector<std::pair<size_t, size_t>>& byEntry, size_t entry) {
    auto found = std::lower_bound(byEntry.begin(), byEntry.end(), std::make_pair(entry, size_t{0}));
    return found != byEntry.end() && found->first == entry ? found->second : SIZE_MAX;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<std::string> hives = makeHives();
    if (size == 0) {
        return 0;
    }
    CregFile file(hives[data[0] % hives.size()]);
    check(!file.error());
    const emu::kernel::CregHabits habits = emu::kernel::cregHabitsOf(file);
    check(habits.certain);
    for (size_t at = 1; at + 1 < size && at < 1 + 2 * 4; at += 2) {
        if (file.keys().size() < 2) {
            break;
        }
        size_t chosen = 1 + (size_t{data[at]} << 8 | data[at + 1]) % (file.keys().size() - 1);
        std::vector<bool> deleted(file.keys().size(), false);
        std::vector<size_t> below = {chosen};
        for (size_t i = 0; i < below.size(); ++i) {
            deleted[below[i]] = true;
            const auto& subkeys = file.keys()[below[i]].subkeys;
            below.insert(below.end(), subkeys.begin(), subkeys.end());
        }

        CregWriter writer(file, habits.habit);
        check(writer.deleteKeys({chosen}) == below.size());
        CregFile again(writer.bytes());
        check(!again.error());
        check(emu::kernel::cregHabitsOf(again).habit == habits.habit);
        check(again.bytes().size() == file.bytes().size());
        check(emu::kernel::checkCregFile(again).empty());
        check(again.keys().size() == file.keys().size() - below.size());
        // Every key left is a key of before that was not deleted, at the same
        // entry, with the same data entry, name and parent.
        std::vector<std::pair<size_t, size_t>> byEntry;
        for (size_t i = 0; i < file.keys().size(); ++i) {
            byEntry.emplace_back(file.keys()[i].treeEntry, i);
        }
        std::sort(byEntry.begin(), byEntry.end());
        for (const CregFile::Key& key : again.keys()) {
            size_t was = keyAt(byEntry, key.treeEntry);
            check(was != SIZE_MAX && !deleted[was]);
            const CregFile::Key& old = file.keys()[was];
            check(old.data == key.data && old.name == key.name);
            check(file.keys()[old.parent].treeEntry == again.keys()[key.parent].treeEntry);
        }
        file = std::move(again);
    }
    return 0;
}

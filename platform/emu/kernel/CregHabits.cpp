#include "platform/emu/kernel/CregHabits.h"

#include "platform/emu/kernel/CregFile.h"

#include <algorithm>

namespace emu::kernel {

uint32_t CregBlockCounts::unused(CregHabit habit) const {
    return habit == CregHabit::Windows98 ? freeBytes + slackBytes : freeBytes;
}

bool CregBlockCounts::freeEntryFits(CregHabit habit, uint32_t field) const {
    if (habit == CregHabit::Windows95 || freeEntries.empty()) {
        return field == lowestFree;
    }
    return std::binary_search(freeEntries.begin(), freeEntries.end(), field);
}

bool CregBlockCounts::fits(CregHabit habit, uint32_t unusedField, uint32_t freeField) const {
    return unusedField == unused(habit) && freeEntryFits(habit, freeField);
}

CregBlockCounts countCregBlock(std::string_view bytes, size_t offset, size_t size) {
    CregBlockCounts counts{0, 0, CregFile::kNone, {}, 0, 0};
    std::vector<bool> numbers;
    size_t end = offset + size;
    for (size_t entry = offset + CregFile::kBlockHeaderSize; entry < end;) {
        uint32_t entrySize = CregFile::read32(bytes, entry);
        uint16_t number = CregFile::read16(bytes, entry + 4);
        if (number == CregFile::kFreeEntry) {
            counts.freeBytes += entrySize;
            counts.freeEntries.push_back(static_cast<uint32_t>(entry - offset));
        } else {
            // The reader has checked that an entry in use uses no more than
            // its size.
            counts.slackBytes += entrySize - CregFile::read32(bytes, entry + 8);
            if (number >= numbers.size()) {
                numbers.resize(std::max<size_t>(size_t{number} + 1, 2 * numbers.size()), false);
            }
            numbers[number] = true;
            counts.highestNumber = std::max(counts.highestNumber, number);
        }
        entry += entrySize;
    }
    if (!counts.freeEntries.empty()) {
        counts.lowestFree = counts.freeEntries.front();
    }
    while (counts.firstFreeNumber < numbers.size() && numbers[counts.firstFreeNumber]) {
        ++counts.firstFreeNumber;
    }
    return counts;
}

namespace {

// Windows 98 is 4.10, Windows ME 4.90; Windows 95's releases are 4.00.
CregHabit releaseHabit(const CregFile& file) {
    auto version =
        file.stringValue({"Software", "Microsoft", "Windows", "CurrentVersion"}, "VersionNumber");
    bool later = version && (version->rfind("4.10", 0) == 0 || version->rfind("4.90", 0) == 0);
    return later ? CregHabit::Windows98 : CregHabit::Windows95;
}

} // namespace

CregHabits cregHabitsOf(const CregFile& file) {
    const std::string& bytes = file.bytes();
    size_t only95 = 0;
    size_t only98 = 0;
    size_t neither = 0;
    for (const CregFile::Block& block : file.blocks()) {
        CregBlockCounts counts = countCregBlock(bytes, block.offset, block.size);
        uint32_t unused = CregFile::read32(bytes, block.offset + 8);
        uint32_t firstFree = CregFile::read32(bytes, block.offset + 16);
        bool fits95 = counts.fits(CregHabit::Windows95, unused, firstFree);
        bool fits98 = counts.fits(CregHabit::Windows98, unused, firstFree);
        only95 += fits95 && !fits98;
        only98 += fits98 && !fits95;
        neither += !fits95 && !fits98;
    }
    CregHabits habits;
    habits.habit = only98 > only95   ? CregHabit::Windows98
                   : only95 > only98 ? CregHabit::Windows95
                                     : releaseHabit(file);
    // A block that fits both habits tells nothing about them: a file is
    // certain of its habit only through blocks that fit it alone. A real
    // file whose blocks that tell fit neither of the two rules (a habit of a
    // release that these rules do not know) stays uncertain, so its counters
    // are reported and never stop a change.
    bool is98 = habits.habit == CregHabit::Windows98;
    size_t keeping = is98 ? only98 : only95;
    size_t breaking = neither + (is98 ? only95 : only98);
    habits.certain = keeping > 0 && breaking * 4 <= keeping;
    return habits;
}

} // namespace emu::kernel

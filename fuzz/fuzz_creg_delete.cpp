// Deletions from hives grown as Windows grows them: the first input byte
// picks a generated hive, each following pair of bytes a key to delete with
// everything below it. After every deletion the file keeps its size, reads
// again, passes the structure check (links, free list, counters, checksums),
// lacks exactly the keys deleted, and every other key keeps its key entry and
// its data entry's number and block.
#include "fuzz/Check.h"
#include "platform/emu/kernel/CregCheck.h"
#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/CregWriter.h"
#include "tests/support/CregSamples.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

using corvane_fuzz::check;
using emu::kernel::CregFile;
using emu::kernel::CregWriter;

namespace {

std::vector<std::string> makeHives() {
    corvane_test::CregBuilder plain = corvane_test::cregSampleHive();
    plain.setChecksums(false);
    corvane_test::CregBuilder smallBlocks = corvane_test::cregGrownHive(150);
    smallBlocks.setBlockSize(0x300);
    corvane_test::CregBuilder fewPerBlock = corvane_test::cregGrownHive(150);
    fewPerBlock.setEntriesPerBlock(9);
    return {corvane_test::cregSampleHive().build(),
            plain.build(),
            corvane_test::cregGrownHive(150).build(),
            smallBlocks.build(),
            fewPerBlock.build(),
            corvane_test::cregInstallDriveHive().build()};
}

// Each key's place by its path: key entry, data entry number and block.
std::map<std::string, std::pair<size_t, uint32_t>> placesOf(const CregFile& file) {
    std::map<std::string, std::pair<size_t, uint32_t>> places;
    std::vector<std::pair<size_t, std::string>> pending = {{0, ""}};
    while (!pending.empty()) {
        auto [key, path] = pending.back();
        pending.pop_back();
        const CregFile::Key& k = file.keys()[key];
        places[path] = {k.treeEntry, CregFile::read32(file.bytes(), k.treeEntry + 24)};
        for (size_t sub : k.subkeys) {
            pending.emplace_back(sub, path + "\\" + file.keys()[sub].name);
        }
    }
    return places;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<std::string> hives = makeHives();
    if (size == 0) {
        return 0;
    }
    std::string bytes = hives[data[0] % hives.size()];
    for (size_t at = 1; at + 1 < size && at < 1 + 2 * 6; at += 2) {
        CregFile file(bytes);
        check(!file.error());
        if (file.keys().size() < 2) {
            break;
        }
        size_t chosen = 1 + (size_t{data[at]} << 8 | data[at + 1]) % (file.keys().size() - 1);
        std::vector<size_t> below = {chosen};
        for (size_t i = 0; i < below.size(); ++i) {
            const auto& subkeys = file.keys()[below[i]].subkeys;
            below.insert(below.end(), subkeys.begin(), subkeys.end());
        }
        auto places = placesOf(file);
        std::string path;
        for (size_t key = chosen; key != 0; key = file.keys()[key].parent) {
            path = "\\" + file.keys()[key].name + path;
        }

        CregWriter writer(file);
        check(writer.deleteKeys({chosen}) == below.size());
        check(writer.bytes().size() == bytes.size());
        check(emu::kernel::checkCregFile(writer.bytes()).empty());
        CregFile again(writer.bytes());
        check(!again.error());
        check(again.keys().size() == file.keys().size() - below.size());
        auto after = placesOf(again);
        for (const auto& [key, place] : after) {
            auto was = places.find(key);
            check(was != places.end() && was->second == place);
            check(key.compare(0, path.size() + 1, path + "\\") != 0 && key != path);
        }
        bytes = writer.bytes();
    }
    return 0;
}

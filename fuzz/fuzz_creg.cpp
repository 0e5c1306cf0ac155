// The binary registry reader: any bytes are read or refused with a reason; a
// file that reads gives back its own bytes, and deleting the key the first
// input byte picks (with every key at its path) leaves a file that still
// reads, keeps its size, lacks that path and has lost exactly the keys that
// were below it; every key's values decode. The structure check judges any
// bytes: a file that does not read is one finding, where the reader stopped.
#include "fuzz/Check.h"
#include "platform/emu/kernel/CregCheck.h"
#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/CregHabits.h"
#include "platform/emu/kernel/CregWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using corvane_fuzz::check;
using emu::kernel::CregFile;
using emu::kernel::CregWriter;
using emu::kernel::RegistryKeyPath;

namespace {

RegistryKeyPath pathOf(const CregFile& file, size_t key) {
    RegistryKeyPath path;
    while (key != 0) {
        path.insert(path.begin(), file.keys()[key].name);
        key = file.keys()[key].parent;
    }
    return path;
}

size_t subtreeSize(const CregFile& file, size_t key) {
    size_t count = 0;
    std::vector<size_t> pending = {key};
    while (!pending.empty()) {
        const auto& subkeys = file.keys()[pending.back()].subkeys;
        pending.pop_back();
        pending.insert(pending.end(), subkeys.begin(), subkeys.end());
        ++count;
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    CregFile file(bytes);
    // The structure check judges any bytes; a file that does not read is
    // one finding, where the reader stopped.
    auto findings = emu::kernel::checkCregFile(bytes);
    if (file.error()) {
        check(!file.error()->empty());
        check(file.keys().empty());
        check(findings.size() == 1 && findings[0].offset == file.errorOffset());
        return 0;
    }
    check(file.bytes() == bytes);
    check(!file.keys().empty());
    // Values are decoded only when asked for, from entries the reader has
    // shown sound: every key's decode inside its file.
    for (size_t key = 0; key < file.keys().size(); ++key) {
        check(file.values(key).size() ==
              (file.keys()[key].data ? CregFile::read16(bytes, *file.keys()[key].data + 14) : 0u));
    }
    if (file.keys().size() < 2) {
        return 0;
    }
    size_t chosen = 1 + (size == 0 ? 0 : data[0]) % (file.keys().size() - 1);
    RegistryKeyPath path = pathOf(file, chosen);
    std::vector<size_t> matches = file.findKeys(path);
    check(!matches.empty());
    size_t expected = 0;
    for (size_t key : matches) {
        expected += subtreeSize(file, key);
    }
    CregWriter writer(file, emu::kernel::cregHabitsOf(file).habit);
    check(writer.deleteKeys(matches) == expected);
    CregFile again(writer.bytes());
    check(!again.error());
    check(again.bytes().size() == bytes.size());
    check(again.findKeys(path).empty());
    check(again.keys().size() == file.keys().size() - expected);
    return 0;
}

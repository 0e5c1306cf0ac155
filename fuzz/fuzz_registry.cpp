// The REGEDIT4 reader: any bytes are parsed; a file that parses gives back
// its own text, and deleting the key of one of its headers removes that key
// and leaves a file that still parses.
#include "fuzz/Check.h"
#include "platform/emu/kernel/RegistryFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using corvane_fuzz::check;
using emu::kernel::RegistryFile;
using emu::kernel::RegistryKeyPath;

namespace {

// The key of one header, chosen by the first input byte; empty when the file
// has no key header below the root.
RegistryKeyPath chooseKey(std::string_view text, const RegistryFile& file) {
    RegistryKeyPath chosen;
    size_t start = 0;
    unsigned wanted = text.empty() ? 0 : static_cast<unsigned char>(text[0]);
    unsigned seen = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? end : end - start);
        start = end == std::string_view::npos ? text.size() : end + 1;
        size_t open = line.find("[HKEY_LOCAL_MACHINE\\");
        size_t close = line.rfind(']');
        if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
            continue;
        }
        auto key = emu::kernel::splitRegistryKeyPath(line.substr(open + 20, close - open - 20));
        if (key && file.hasKey(*key)) {
            chosen = *key;
            if (seen++ == wanted % 16) {
                break;
            }
        }
    }
    return chosen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    RegistryFile file(text);
    if (file.error()) {
        check(file.error()->line >= 1 && !file.error()->reason.empty());
        check(file.text().empty());
        return 0;
    }
    check(file.text() == text);
    RegistryKeyPath key = chooseKey(text, file);
    if (key.empty()) {
        return 0;
    }
    check(file.deleteKey(key) >= 1);
    check(!file.hasKey(key));
    std::string left = file.text();
    RegistryFile again(left);
    check(!again.error());
    check(!again.hasKey(key));
    check(again.text() == left);
    return 0;
}

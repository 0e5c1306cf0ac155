// The profile functions on a fuzzed file C:\FUZZ.INI: every section, key and
// value is read into exactly sized heap buffers, both roomy and small, then
// one section is written back with what a read of it returned.
//
// Input: one byte choosing the small buffer size and the section to rewrite,
// then the file's bytes.
#include "fuzz/Check.h"
#include "fuzz/FuzzMachine.h"
#include "platform/win32.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using corvane_fuzz::check;
using corvane_fuzz::FuzzMachine;

namespace {

constexpr const char* kFile = "C:\\FUZZ.INI";
constexpr size_t kMaxInput = 1 << 15;
// Every call reads the file afresh: a few sections and keys are enough to
// reach every path, and keep the runs fast.
constexpr size_t kMaxSections = 4;
constexpr size_t kMaxKeys = 4;
// Room for any list the file can give: set per input from its size.
DWORD g_roomy = 0;

// A caller's buffer of exactly size bytes, so that a write past it is caught.
class Buffer {
public:
    explicit Buffer(DWORD size) : m_size(size), m_bytes(std::make_unique<char[]>(size)) {}
    LPSTR data() { return m_bytes.get(); }
    DWORD size() const { return m_size; }

private:
    DWORD m_size;
    std::unique_ptr<char[]> m_bytes;
};

// Splits a list of NUL-ended strings; the result of a list read is checked
// against the buffer on the way.
std::vector<std::string> splitList(Buffer& buffer, DWORD result) {
    std::vector<std::string> items;
    if (buffer.size() < 2) {
        return items;
    }
    if (result == 0) {
        return items;
    }
    // A list that fits ends with its last entry's NUL and the list's NUL; a
    // cut one with two NULs at the buffer's end.
    const char* bytes = buffer.data();
    check(result < buffer.size() && bytes[result] == '\0');
    check(bytes[result - 1] == '\0' || (result + 2 == buffer.size() && bytes[result + 1] == '\0'));
    const char* p = buffer.data();
    const char* end = buffer.data() + result;
    while (p < end && *p != '\0') {
        size_t length = strnlen(p, static_cast<size_t>(end - p));
        items.emplace_back(p, length);
        p += length + 1;
    }
    return items;
}

std::vector<std::string> sectionNames(DWORD size) {
    Buffer buffer(size);
    DWORD result = GetPrivateProfileSectionNamesA(buffer.data(), size, kFile);
    return splitList(buffer, result);
}

std::vector<std::string> section(const std::string& name, DWORD size) {
    Buffer buffer(size);
    DWORD result = GetPrivateProfileSectionA(name.c_str(), buffer.data(), size, kFile);
    return splitList(buffer, result);
}

std::vector<std::string> keys(const std::string& name, DWORD size) {
    Buffer buffer(size);
    DWORD result = GetPrivateProfileStringA(name.c_str(), nullptr, "", buffer.data(), size, kFile);
    return splitList(buffer, result);
}

void readValue(const std::string& name, const std::string& key, DWORD size) {
    Buffer buffer(size);
    DWORD result = GetPrivateProfileStringA(name.c_str(), key.c_str(), "  default  ", buffer.data(),
                                            size, kFile);
    if (size > 0) {
        check(result < size && buffer.data()[result] == '\0');
    }
    GetPrivateProfileIntA(name.c_str(), key.c_str(), -3, kFile);
}

void readSection(const std::string& name, DWORD small) {
    section(name, small);
    keys(name, small);
    std::vector<std::string> names = keys(name, g_roomy);
    for (size_t i = 0; i < names.size() && i < kMaxKeys; ++i) {
        readValue(name, names[i], i % 2 == 0 ? small : g_roomy);
    }
}

// Writes the section back as a read returns it: the section reads the same
// afterwards and the file keeps its list of sections.
void rewrite(const std::string& name, bool comparable) {
    std::vector<std::string> before = section(name, g_roomy);
    std::vector<std::string> names = sectionNames(g_roomy);
    std::string list;
    for (const std::string& line : before) {
        list += line;
        list += '\0';
    }
    list += '\0';
    check(WritePrivateProfileSectionA(name.c_str(), list.data(), kFile) != FALSE);
    if (comparable) {
        check(section(name, g_roomy) == before);
        check(names.empty() || sectionNames(g_roomy) == names);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > kMaxInput) {
        return 0;
    }
    g_roomy = static_cast<DWORD>(2 * size + 64);
    FuzzMachine& machine = FuzzMachine::instance();
    DWORD small = data[0] % 40;
    machine.write(machine.onC("FUZZ.INI"), data + 1, size - 1);

    sectionNames(small);
    std::vector<std::string> names = sectionNames(g_roomy);
    for (size_t i = 0; i < names.size() && i < kMaxSections; ++i) {
        readSection(names[i], small);
    }
    readValue("no such section", "key", small);

    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    bool comparable = text.find_first_of(std::string("\r\0", 2)) == std::string::npos;
    rewrite(names.empty() ? "Fuzz" : names[data[0] % names.size()], comparable);
    return 0;
}

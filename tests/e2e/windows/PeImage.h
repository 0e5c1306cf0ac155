// A reader of the parts of a Windows executable (PE) that decide whether
// Windows 95 will start it: the headers, the import table and the resource
// directory. It keeps the file offsets of the fields the tests change.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace corvane_test {

struct PeImport {
    std::string dll;
    std::string function; // empty for an import by ordinal
    unsigned ordinal = 0;
    size_t nameOffset = 0; // file offset of the function's or (first entry) the DLL's name
    size_t dllNameOffset = 0;
};

struct PeResource {
    unsigned type = 0;
    std::string typeName; // for a type named by text
    unsigned name = 0;
    std::string nameText;
    unsigned language = 0;
    std::vector<unsigned char> data;
    size_t nameEntryOffset = 0; // file offset of the name's directory entry
};

struct PeImage {
    unsigned machine = 0;
    bool pe32Plus = false;
    unsigned subsystem = 0;
    unsigned subsystemMajor = 0;
    unsigned subsystemMinor = 0;
    size_t subsystemMajorOffset = 0;
    std::vector<PeImport> imports;
    std::vector<PeResource> resources;

    // nullopt with the reason in why when the bytes are not a readable image.
    static std::optional<PeImage> read(const std::vector<unsigned char>& bytes, std::string& why);
};

} // namespace corvane_test

// The reader of compiled resource files (.res, what a resource compiler
// makes of a script) and the step that turns their entries into the
// emulated module's resources: string-table blocks into strings, dialog
// templates and "AVI" clips as their bytes.
#pragma once

#include "platform/emu/kernel/ModuleResources.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace loader {

// A resource type or name: a number, or a text when it has one.
struct ResourceName {
    unsigned number = 0;
    std::string text; // upper-case ASCII, as compilers store names; empty for a number

    bool operator==(const ResourceName& other) const {
        return number == other.number && text == other.text;
    }
    bool operator<(const ResourceName& other) const {
        return text != other.text ? text < other.text : number < other.number;
    }
};

struct CompiledResource {
    ResourceName type;
    ResourceName name;
    unsigned language = 0;
    std::vector<unsigned char> data;
};

// The entries of a .res file, without the empty entry that opens it;
// nullopt with a reason in why when the bytes are not a well-formed file.
std::optional<std::vector<CompiledResource>> readCompiledResources(const unsigned char* bytes,
                                                                   size_t size, std::string& why);

// The module resources the entries make; nullopt with a reason when a
// string-table block is malformed or a resource is there twice.
std::optional<emu::kernel::ModuleResources>
moduleResourcesFrom(const std::vector<CompiledResource>& entries, std::string& why);

} // namespace loader

// The shape of a command-line option table: one row an option, with its
// name, what its value looks like, its help and the handler that applies it.
// The machine's options (emu::host::HostOptions) and the host program's own
// (loader::CommandLine) are tables of this shape, so every option is found,
// checked and applied the same way and none can fall through to another's
// code. The handler is a required argument of a row, and a null one is a
// deleted overload: a row that forgets its handler does not compile.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

namespace emu::hostsupport {

template <typename Target> struct OptionRow {
    // Applies the option's value (empty for an option that takes none) to
    // target; false with what is wrong in message. What the message says is
    // the table's own affair: the machine's options say what is wrong with
    // the value, the program's own may name the option and its company.
    using Handler = bool (*)(const std::string& value, Target& target, std::string& message);

    constexpr OptionRow(const char* optionName, const char* valueForm, const char* helpText,
                        Handler handler, bool emptyAllowed = false)
        : name(optionName), value(valueForm), help(helpText), apply(handler),
          allowsEmpty(emptyAllowed) {}
    OptionRow(const char*, const char*, const char*, std::nullptr_t, bool = false) = delete;

    const char* name;  // "--drive"
    const char* value; // what the value looks like; nullptr: the option takes none
    const char* help;  // one line, or lines parted by '\n'
    Handler apply;
    bool allowsEmpty; // an empty value is a value

    // Whether value is an empty one that this option does not take.
    bool refusesEmpty(const std::string& text) const {
        return value != nullptr && text.empty() && !allowsEmpty;
    }
};

// The row called name in [begin, end); nullptr when there is none.
template <typename Target>
const OptionRow<Target>* findOptionRow(const OptionRow<Target>* begin, const OptionRow<Target>* end,
                                       const std::string& name) {
    const OptionRow<Target>* found = std::find_if(
        begin, end, [&name](const OptionRow<Target>& row) { return name == row.name; });
    return found == end ? nullptr : found;
}

} // namespace emu::hostsupport

// The string table of corvane, as data. The emulated machine serves it to
// LoadStringA; the Windows build compiles the same entries into its resources.
#pragma once

struct StringTableEntry {
    unsigned id;
    const char* text;
};

// Entries in ascending id order, ended by an entry with a null text.
const StringTableEntry* corvaneStringTable();

#include "platform/emu/user/dialog/DialogTemplate.h"

#include "platform/emu/kernel/ByteReader.h"

namespace emu::user {

using kernel::ByteReader;

namespace {

constexpr WORD kOrdinalMark = 0xFFFF;
constexpr uint32_t kExtendedSignature = 0xFFFF0001u;

const char* predefinedClass(WORD ordinal) {
    switch (ordinal) {
    case 0x0080:
        return "Button";
    case 0x0081:
        return "Edit";
    case 0x0082:
        return "Static";
    case 0x0083:
        return "ListBox";
    case 0x0084:
        return "ScrollBar";
    case 0x0085:
        return "ComboBox";
    default:
        return nullptr;
    }
}

// A class given by ordinal stands for the predefined class of that name; an
// ordinal of no such class spoils the template.
bool namePredefinedClass(WORD ordinal, std::string& className) {
    if (ordinal == 0) {
        return true;
    }
    const char* known = predefinedClass(ordinal);
    if (known == nullptr) {
        return false;
    }
    className = known;
    return true;
}

// A zero-terminated UTF-16 string; characters beyond Latin-1 become '?'.
bool readText(ByteReader& reader, std::string& text) {
    text.clear();
    for (;;) {
        uint16_t unit = 0;
        if (!reader.u16(unit)) {
            return false;
        }
        if (unit == 0) {
            return true;
        }
        if (text.size() == DialogTemplate::kMaxText) {
            return false;
        }
        text.push_back(unit < 0x100 ? static_cast<char>(unit) : '?');
    }
}

// A string or an ordinal (0xFFFF and a number). `ordinal` is 0 for a string.
bool readNameOrOrdinal(ByteReader& reader, std::string& name, WORD& ordinal) {
    ordinal = 0;
    name.clear();
    ByteReader peek = reader;
    uint16_t first = 0;
    if (!peek.u16(first)) {
        return false;
    }
    if (first == kOrdinalMark) {
        reader.skip(2);
        return reader.u16(ordinal);
    }
    return readText(reader, name);
}

bool readHeader(ByteReader& reader, DialogTemplate& dialog) {
    uint16_t count = 0;
    uint32_t style = 0;
    if (!reader.u32(style) || style == kExtendedSignature) {
        return false; // DLGTEMPLATEEX is not understood
    }
    dialog.style = style;
    if (!reader.u32(dialog.exStyle) || !reader.u16(count) || !reader.i16(dialog.x) ||
        !reader.i16(dialog.y) || !reader.i16(dialog.cx) || !reader.i16(dialog.cy) ||
        count > DialogTemplate::kMaxItems) {
        return false;
    }
    dialog.items.resize(count);
    std::string menu;
    WORD menuOrdinal = 0;
    WORD classOrdinal = 0;
    if (!readNameOrOrdinal(reader, menu, menuOrdinal) ||
        !readNameOrOrdinal(reader, dialog.className, classOrdinal) ||
        !readText(reader, dialog.caption)) {
        return false;
    }
    if (!namePredefinedClass(classOrdinal, dialog.className)) {
        return false;
    }
    dialog.hasFont = (dialog.style & DS_SETFONT) != 0;
    return !dialog.hasFont || (reader.u16(dialog.pointSize) && readText(reader, dialog.faceName));
}

bool readItem(ByteReader& reader, DialogTemplate::Item& item) {
    WORD classOrdinal = 0;
    WORD textOrdinal = 0;
    uint16_t dataSize = 0;
    if (!reader.alignTo(4) || !reader.u32(item.style) || !reader.u32(item.exStyle) ||
        !reader.i16(item.x) || !reader.i16(item.y) || !reader.i16(item.cx) ||
        !reader.i16(item.cy) || !reader.u16(item.id) ||
        !readNameOrOrdinal(reader, item.className, classOrdinal) ||
        !readNameOrOrdinal(reader, item.text, textOrdinal) || !reader.u16(dataSize)) {
        return false;
    }
    if (!namePredefinedClass(classOrdinal, item.className)) {
        return false;
    }
    if (dataSize == 0) {
        return true;
    }
    if (reader.remaining() < dataSize) {
        return false;
    }
    item.creationData.assign(reader.here(), reader.here() + dataSize);
    return reader.skip(dataSize);
}

} // namespace

std::optional<DialogTemplate> DialogTemplate::parse(const unsigned char* data, size_t size) {
    if (data == nullptr) {
        return std::nullopt;
    }
    ByteReader reader(data, size);
    DialogTemplate dialog;
    if (!readHeader(reader, dialog)) {
        return std::nullopt;
    }
    for (Item& item : dialog.items) {
        if (!readItem(reader, item)) {
            return std::nullopt;
        }
    }
    return dialog;
}

} // namespace emu::user

#include "platform/emu/user/WindowClass.h"

#include <algorithm>
#include <cctype>

namespace emu::user {

bool sameTextNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

ATOM ClassTable::add(const WNDCLASSA& definition) {
    if (definition.lpszClassName == nullptr || definition.lpfnWndProc == nullptr ||
        IS_INTRESOURCE(definition.lpszClassName) || definition.lpszClassName[0] == '\0' ||
        find(definition.lpszClassName) != nullptr) {
        return 0;
    }
    auto cls = std::make_shared<WindowClass>();
    cls->name = definition.lpszClassName;
    cls->style = definition.style;
    cls->proc = definition.lpfnWndProc;
    cls->instance = definition.hInstance;
    cls->cursor = definition.hCursor;
    cls->background = definition.hbrBackground;
    cls->atom = m_nextAtom++;
    m_classes.push_back(cls);
    return cls->atom;
}

std::shared_ptr<const WindowClass> ClassTable::find(LPCSTR nameOrAtom) const {
    if (nameOrAtom == nullptr) {
        return nullptr;
    }
    for (const auto& cls : m_classes) {
        bool match = IS_INTRESOURCE(nameOrAtom)
                         ? cls->atom == static_cast<ATOM>(reinterpret_cast<uintptr_t>(nameOrAtom))
                         : sameTextNoCase(cls->name, nameOrAtom);
        if (match) {
            return cls;
        }
    }
    return nullptr;
}

} // namespace emu::user

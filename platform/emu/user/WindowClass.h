// Registered window classes. Names match without regard to case, as Win32
// class atoms do; the built-in classes of the emulation are registered like
// any other at boot.
#pragma once

#include "platform/win32.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace emu::user {

struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    ATOM atom = 0;
};

class ClassTable {
public:
    // The new class's atom, or 0 when the name is taken or the class is unusable.
    ATOM add(const WNDCLASSA& definition);
    // Shared: each window holds its class.
    std::shared_ptr<const WindowClass> find(LPCSTR nameOrAtom) const;
    void clear() { m_classes.clear(); }

private:
    std::vector<std::shared_ptr<WindowClass>> m_classes;
    ATOM m_nextAtom = 0xC000;
};

bool sameTextNoCase(std::string_view a, std::string_view b);

} // namespace emu::user

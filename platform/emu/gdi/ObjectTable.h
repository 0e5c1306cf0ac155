// Every GDI object of the machine by handle. Stock objects live here too;
// they can be looked up like any other but never removed.
#pragma once

#include "platform/emu/gdi/GdiObjects.h"

#include <map>

namespace emu::gdi {

class ObjectTable {
public:
    ObjectTable();

    HGDIOBJ add(GdiObject object) { return insert(std::move(object), false); }
    GdiObject* find(HGDIOBJ handle);
    template <typename T> T* get(HGDIOBJ handle) {
        GdiObject* object = find(handle);
        return object ? std::get_if<T>(object) : nullptr;
    }
    bool isStock(HGDIOBJ handle) const;
    // Removes a non-stock object; false for stock objects and unknown handles.
    bool remove(HGDIOBJ handle);
    // GetStockObject's objects; NULL for an index that names none.
    HGDIOBJ stock(int index) const;
    // One brush per system colour, created on first request and never freed.
    HBRUSH sysColourBrush(int index, COLORREF colour);

private:
    struct Entry {
        GdiObject object;
        bool stock;
    };
    HGDIOBJ insert(GdiObject object, bool stock);
    void addStockObjects();

    std::map<uintptr_t, Entry> m_objects;
    std::map<int, HGDIOBJ> m_stock;
    std::map<int, HBRUSH> m_sysBrushes;
    uintptr_t m_next = 0x10000;
};

// The logical font behind a stock font index (SYSTEM_FONT for unknown ones).
LOGFONTA stockLogFont(int index);

} // namespace emu::gdi

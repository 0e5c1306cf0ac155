#include "platform/emu/gdi/DeviceContext.h"

#include <algorithm>

namespace emu::gdi {

namespace {

bool selects(const DcState& state, const void* object) {
    return object == state.pen || object == state.brush || object == state.font ||
           object == state.palette;
}

} // namespace

int DeviceContext::save() {
    m_saved.push_back(m_state);
    return static_cast<int>(m_saved.size());
}

bool DeviceContext::restore(int level) {
    const int depth = static_cast<int>(m_saved.size());
    const int absolute = level < 0 ? depth + 1 + level : level;
    if (absolute < 1 || absolute > depth) {
        return false;
    }
    m_state = std::move(m_saved[static_cast<size_t>(absolute - 1)]);
    m_saved.resize(static_cast<size_t>(absolute - 1));
    return true;
}

bool DeviceContext::uses(const void* object) const {
    if (object == nullptr) {
        return false;
    }
    return selects(m_state, object) ||
           std::any_of(m_saved.begin(), m_saved.end(),
                       [object](const DcState& saved) { return selects(saved, object); });
}

} // namespace emu::gdi

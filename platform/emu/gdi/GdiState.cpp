#include "platform/emu/gdi/GdiState.h"

namespace emu::gdi {

namespace {

constexpr uintptr_t kDcStep = 4;
constexpr int kDefaultWidth = 800;
constexpr int kDefaultHeight = 600;
constexpr int kDefaultDepth = 32;

std::unique_ptr<GdiState>& instance() {
    static std::unique_ptr<GdiState> state;
    return state;
}

std::mutex& instanceMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

GdiState::GdiState(int width, int height, int depth) : m_frameBuffer(width, height, depth) {}

GdiState& GdiState::current() {
    std::lock_guard<std::mutex> guard(instanceMutex());
    if (!instance()) {
        instance() = std::make_unique<GdiState>(kDefaultWidth, kDefaultHeight, kDefaultDepth);
    }
    return *instance();
}

void GdiState::boot(int width, int height, int depth) {
    auto state = std::make_unique<GdiState>(width, height, depth);
    std::lock_guard<std::mutex> guard(instanceMutex());
    instance() = std::move(state);
}

void GdiState::shutdown() {
    std::lock_guard<std::mutex> guard(instanceMutex());
    instance().reset();
}

HDC GdiState::createDc(POINT origin, std::vector<RECT> visible) {
    DcState state;
    state.pen = static_cast<HPEN>(m_objects.stock(BLACK_PEN));
    state.brush = static_cast<HBRUSH>(m_objects.stock(WHITE_BRUSH));
    state.font = static_cast<HFONT>(m_objects.stock(SYSTEM_FONT));
    state.palette = static_cast<HPALETTE>(m_objects.stock(DEFAULT_PALETTE));
    state.origin = origin;
    state.clip = std::move(visible);
    const uintptr_t key = m_nextDc;
    m_nextDc += kDcStep;
    m_dcs.emplace(key, std::make_unique<DeviceContext>(std::move(state)));
    return reinterpret_cast<HDC>(key);
}

DeviceContext* GdiState::dc(HDC handle) {
    const auto it = m_dcs.find(reinterpret_cast<uintptr_t>(handle));
    return it == m_dcs.end() ? nullptr : it->second.get();
}

bool GdiState::destroyDc(HDC handle) {
    return m_dcs.erase(reinterpret_cast<uintptr_t>(handle)) > 0;
}

bool GdiState::selectedAnywhere(HGDIOBJ object) const {
    for (const auto& [key, dc] : m_dcs) {
        if (dc->uses(object)) {
            return true;
        }
    }
    return false;
}

FontFace* GdiState::face(HFONT font) {
    Font* f = m_objects.get<Font>(font);
    if (!f) {
        return nullptr;
    }
    if (!f->face) {
        f->face = m_fonts.face(f->logical);
    }
    return f->face.get();
}

const std::vector<PALETTEENTRY>* GdiState::paletteEntries(HPALETTE palette) {
    const Palette* p = m_objects.get<Palette>(palette);
    return p ? &p->entries : nullptr;
}

} // namespace emu::gdi

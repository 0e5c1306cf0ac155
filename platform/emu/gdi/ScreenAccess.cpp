#include "platform/emu/gdi/ScreenAccess.h"

#include "platform/emu/gdi/GdiState.h"

namespace emu::gdi {

namespace {

// Windows 95 defaults, indexed by COLOR_*.
constexpr COLORREF kSysColours[] = {
    RGB(192, 192, 192), // COLOR_SCROLLBAR
    RGB(0, 128, 128),   // COLOR_BACKGROUND
    RGB(0, 0, 128),     // COLOR_ACTIVECAPTION
    RGB(128, 128, 128), // COLOR_INACTIVECAPTION
    RGB(192, 192, 192), // COLOR_MENU
    RGB(255, 255, 255), // COLOR_WINDOW
    RGB(0, 0, 0),       // COLOR_WINDOWFRAME
    RGB(0, 0, 0),       // COLOR_MENUTEXT
    RGB(0, 0, 0),       // COLOR_WINDOWTEXT
    RGB(255, 255, 255), // COLOR_CAPTIONTEXT
    RGB(192, 192, 192), // COLOR_ACTIVEBORDER
    RGB(192, 192, 192), // COLOR_INACTIVEBORDER
    RGB(128, 128, 128), // COLOR_APPWORKSPACE
    RGB(0, 0, 128),     // COLOR_HIGHLIGHT
    RGB(255, 255, 255), // COLOR_HIGHLIGHTTEXT
    RGB(192, 192, 192), // COLOR_BTNFACE
    RGB(128, 128, 128), // COLOR_BTNSHADOW
    RGB(128, 128, 128), // COLOR_GRAYTEXT
    RGB(0, 0, 0),       // COLOR_BTNTEXT
    RGB(192, 192, 192), // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255), // COLOR_BTNHIGHLIGHT
    RGB(0, 0, 0),       // COLOR_3DDKSHADOW
    RGB(192, 192, 192), // COLOR_3DLIGHT
    RGB(0, 0, 0),       // COLOR_INFOTEXT
    RGB(255, 255, 225), // COLOR_INFOBK
};

} // namespace

void bootScreen(const MachineConfig& config) {
    GdiState::boot(config.screenWidth, config.screenHeight, config.screenDepth);
}

void shutdownScreen() {
    GdiState::shutdown();
}

FrameBuffer& screen() {
    return GdiState::current().frameBuffer();
}

HDC createDeviceContext(POINT origin, std::vector<RECT> visible) {
    GdiState& gdi = GdiState::current();
    const auto lock = gdi.lock();
    return gdi.createDc(origin, std::move(visible));
}

void setDeviceContextClip(HDC dc, std::vector<RECT> visible) {
    GdiState& gdi = GdiState::current();
    const auto lock = gdi.lock();
    if (DeviceContext* context = gdi.dc(dc)) {
        context->setClip(std::move(visible));
    }
}

bool destroyDeviceContext(HDC dc) {
    GdiState& gdi = GdiState::current();
    const auto lock = gdi.lock();
    return gdi.destroyDc(dc);
}

COLORREF sysColor(int index) {
    constexpr int count = static_cast<int>(sizeof(kSysColours) / sizeof(kSysColours[0]));
    return index >= 0 && index < count ? kSysColours[index] : 0;
}

} // namespace emu::gdi

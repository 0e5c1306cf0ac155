#include "tests/support/UserFixture.h"

#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/user/HostInput.h"

#include <algorithm>
#include <mutex>

namespace corvane_test {

LRESULT UserFixture::s_createAnswer = 0;
std::function<void(HWND)> UserFixture::s_onUser;
std::vector<SeenMessage> UserFixture::s_seen;

LRESULT CALLBACK UserFixture::probeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    s_seen.push_back({hwnd, message, wParam, lParam});
    switch (message) {
    case WM_CREATE:
        return s_createAnswer;
    case WM_USER:
        if (s_onUser) {
            s_onUser(hwnd);
        }
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void UserFixture::SetUp() {
    s_seen.clear();
    s_createAnswer = 0;
    s_onUser = nullptr;
    m_machine.config().clock = emu::ClockMode::Virtual;
    m_machine.boot();
    WNDCLASSA definition{};
    definition.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    definition.lpfnWndProc = &probeProc;
    definition.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    definition.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1));
    definition.lpszClassName = kProbeClass;
    ASSERT_NE(RegisterClassA(&definition), 0);
    definition.style = 0;
    definition.lpszClassName = kPlainClass;
    ASSERT_NE(RegisterClassA(&definition), 0);
}

void UserFixture::TearDown() {
    s_onUser = nullptr;
    m_machine.shutdown();
}

HWND UserFixture::topLevel(int x, int y, int w, int h, const char* title, const char* windowClass) {
    return CreateWindowExA(WS_EX_WINDOWEDGE, windowClass, title, kLauncherStyle, x, y, w, h,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void UserFixture::runScript(const std::string& text, HWND dialog) {
    emu::host::InputScript script;
    std::string error;
    ASSERT_TRUE(emu::host::InputScript::parse(text, script, error)) << error;
    emu::host::SessionEnds ends;
    ends.exhausted = [this] {
        m_exhausted = true;
        PostQuitMessage(0);
    };
    ends.failed = [](const std::string& reason) { ADD_FAILURE() << reason; };
    ends.closed = [] {};
    m_exhausted = false;
    emu::host::HostSession session(std::move(script), nullptr, ends);
    session.start();
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (dialog != nullptr && IsDialogMessageA(dialog, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void UserFixture::pump() {
    emu::user::pumpPending();
}

std::vector<SeenMessage> UserFixture::seen(HWND hwnd, std::vector<UINT> which) const {
    std::vector<SeenMessage> out;
    for (const SeenMessage& m : s_seen) {
        bool wanted =
            which.empty() || std::find(which.begin(), which.end(), m.message) != which.end();
        if ((hwnd == nullptr || m.hwnd == hwnd) && wanted) {
            out.push_back(m);
        }
    }
    return out;
}

std::vector<UINT> UserFixture::seenKinds(HWND hwnd, std::vector<UINT> which) const {
    std::vector<UINT> out;
    for (const SeenMessage& m : seen(hwnd, std::move(which))) {
        out.push_back(m.message);
    }
    return out;
}

std::string UserFixture::traceText() const {
    return m_machine.traceText();
}

COLORREF UserFixture::pixel(int x, int y) const {
    emu::gdi::FrameBuffer& surface = emu::gdi::screen();
    std::lock_guard<std::mutex> lock(surface.mutex());
    return surface.at(x, y);
}

} // namespace corvane_test

#include "tests/emu/user/DialogFixture.h"

#include "loader/ProgramResources.h"
#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/kernel/ModuleResources.h"
#include "resources/resource.h"

#include <mutex>

namespace corvane_test {

std::function<void(HWND)> DialogFixture::s_onInit;
std::vector<UINT> DialogFixture::s_commands;

namespace {
LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}
} // namespace

void DialogFixture::SetUp() {
    s_onInit = nullptr;
    s_commands.clear();
    m_machine.boot();
    WNDCLASSA definition{};
    definition.lpfnWndProc = ownerProc;
    definition.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1));
    definition.lpszClassName = kOwnerClass;
    ASSERT_NE(RegisterClassA(&definition), 0);
}

void DialogFixture::TearDown() {
    s_onInit = nullptr;
    m_machine.shutdown();
}

HWND DialogFixture::owner(int x, int y, int w, int h) {
    HWND window = CreateWindowExA(WS_EX_WINDOWEDGE, kOwnerClass, "owner", 0x80C80000, x, y, w, h,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}

void DialogFixture::centreOver(HWND dialog, HWND over) {
    RECT outer = windowRect(over);
    RECT mine = windowRect(dialog);
    int width = mine.right - mine.left;
    int height = mine.bottom - mine.top;
    MoveWindow(dialog, (outer.left + outer.right - width) / 2,
               (outer.top + outer.bottom - height) / 2, width, height, FALSE);
}

INT_PTR CALLBACK DialogFixture::centringProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        centreOver(dialog, GetWindow(dialog, GW_OWNER));
        if (s_onInit) {
            s_onInit(dialog);
        }
        return TRUE;
    }
    if (message == WM_COMMAND) {
        s_commands.push_back(LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

HWND DialogFixture::progressDialog(HWND parent) {
    const auto& bytes = emu::kernel::moduleResources().dialogs.at(IDD_PROGRESS);
    return CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                      reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), parent,
                                      centringProc, 0);
}

COLORREF DialogFixture::pixel(int x, int y) {
    return emu::gdi::screen().pixel(x, y);
}

POINT DialogFixture::screenPoint(HWND window, int x, int y) {
    POINT point{x, y};
    ClientToScreen(window, &point);
    return point;
}

RECT DialogFixture::windowRect(HWND window) {
    RECT rect{0, 0, 0, 0};
    GetWindowRect(window, &rect);
    return rect;
}

} // namespace corvane_test

#include "platform/framework/AfxWin.h"

#include <cstdint>
#include <set>
#include <string>

namespace {
// ":" and the value in hex; the Windows build has no formatted printing.
void appendHex(std::string& text, uintptr_t value) {
    char digits[2 * sizeof value];
    size_t count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    text += ':';
    while (count > 0) {
        text += digits[--count];
    }
}
} // namespace

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow) {
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr) {
        return -1;
    }
    AfxSetInstanceHandle(hInstance);
    pApp->m_hInstance = AfxGetInstanceHandle();
    pApp->m_nCmdShow = nCmdShow;
    pApp->LoadAppTitle();
    if (pApp->InitInstance()) {
        pApp->Run();
    }
    return pApp->ExitInstance();
}

int AfxMessageBox(LPCSTR lpszText, UINT nType) {
    if ((nType & MB_ICONMASK) == 0) {
        nType |= MB_ICONEXCLAMATION;
    }
    CWinApp* pApp = AfxGetApp();
    HWND hWndOwner = nullptr;
    LPCSTR lpszCaption = nullptr;
    if (pApp != nullptr) {
        lpszCaption = pApp->m_pszAppName;
        if (pApp->m_pMainWnd != nullptr) {
            hWndOwner = pApp->m_pMainWnd->GetSafeHwnd();
        }
    }
    return ::MessageBoxA(hWndOwner, lpszText != nullptr ? lpszText : "", lpszCaption, nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType) {
    CString text;
    text.LoadString(nIDPrompt);
    return AfxMessageBox(static_cast<LPCSTR>(text), nType);
}

LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon) {
    // The name says what the class is, so equal requests share one class.
    std::string name = "Corvane";
    appendHex(name, nClassStyle);
    appendHex(name, reinterpret_cast<uintptr_t>(hCursor));
    appendHex(name, reinterpret_cast<uintptr_t>(hbrBackground));
    appendHex(name, reinterpret_cast<uintptr_t>(hIcon));
    static std::set<std::string> names;
    const std::string& stored = *names.insert(name).first;

    WNDCLASSA wc = {};
    wc.style = nClassStyle;
    wc.lpfnWndProc = &CWnd::WindowProcedure;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hIcon = hIcon;
    wc.hCursor = hCursor;
    wc.hbrBackground = hbrBackground;
    wc.lpszClassName = stored.c_str();
    // Registering again fails harmlessly when the class exists; asking each
    // time also covers a machine that was started afresh (as tests do).
    ::RegisterClassA(&wc);
    return stored.c_str();
}

#ifdef _WIN32
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
#endif

#include "platform/framework/AfxWin.h"

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

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
    // Handles in plain hex: "%p" spells a null handle differently from one C
    // library to the next. An unsigned long holds a handle on both targets.
    auto bits = [](const void* handle) {
        return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(handle));
    };
    char name[96];
    std::snprintf(name, sizeof name, "Corvane:%x:%lx:%lx:%lx", nClassStyle, bits(hCursor),
                  bits(hbrBackground), bits(hIcon));
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

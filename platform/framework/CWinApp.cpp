#include "platform/framework/CWinApp.h"

#include "platform/framework/CWnd.h"

namespace {

constexpr UINT kAppTitleStringId = 57344; // AFX_IDS_APP_TITLE

CWinApp* g_pApp = nullptr;

} // namespace

CWinApp* AfxGetApp() {
    return g_pApp;
}

CWinApp::CWinApp(LPCSTR lpszAppName) : m_strAppName(lpszAppName) {
    m_pszAppName = m_strAppName;
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this) {
        g_pApp = nullptr;
    }
}

void CWinApp::LoadAppTitle() {
    if (m_strAppName.IsEmpty()) {
        m_strAppName.LoadString(kAppTitleStringId);
    }
    m_pszAppName = m_strAppName;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    MSG msg = {};
    // GetMessageA answers -1 on error: that ends the loop as well.
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        // Temporary window objects live for one message.
        CWnd::DeleteTempMap();
        if (PreTranslateMessage(&msg)) {
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    CWnd::DeleteTempMap();
    m_nExitCode = msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
    return m_nExitCode;
}

int CWinApp::ExitInstance() {
    return m_nExitCode;
}

BOOL CWinApp::PreTranslateMessage(MSG* pMsg) {
    for (HWND hWnd = pMsg->hwnd; hWnd != nullptr; hWnd = ::GetParent(hWnd)) {
        CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
        if (pWnd != nullptr && pWnd->PreTranslateMessage(pMsg)) {
            return TRUE;
        }
        // A top-level window's "parent" is its owner, which the message is
        // not for.
        if ((::GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD) == 0) {
            break;
        }
    }
    return FALSE;
}

BOOL CWinApp::Enable3dControls() {
#ifdef _WIN32
    // The common controls (progress bar, animation) must be registered before
    // a dialog template names them.
    ::InitCommonControls();
#endif
    // The emulated Windows 95 draws dialogs and controls in 3D already.
    return TRUE;
}

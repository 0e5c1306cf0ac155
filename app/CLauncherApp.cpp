#include "app/CLauncherApp.h"

#include "platform/framework/AfxWin.h"
#include "resources/resource.h"
#include "window/CSetupWnd.h"

#include <cstring>

namespace {
const char kStartTitle[] = "Quentor - Utility";
const RECT kStartRect = {0, 0, 400, 420};

// The release letter a service-pack text carries: "A" before "B", in either
// case, anywhere in the text.
CString ReleaseLetter(const char* csd, size_t size) {
    size_t length = 0;
    while (length < size && csd[length] != '\0') {
        ++length;
    }
    CString text(csd, static_cast<int>(length));
    if (text.Find('A') >= 0 || text.Find('a') >= 0) {
        return "A";
    }
    if (text.Find('B') >= 0 || text.Find('b') >= 0) {
        return "B";
    }
    return "";
}
} // namespace

CLauncherApp::CLauncherApp() = default;

BOOL CLauncherApp::InitInstance() {
    Enable3dControls();

    CSetupWnd* pWnd = new CSetupWnd;
    // A window that fails to be created has deleted its object already.
    if (!pWnd->Create(kStartTitle, kStartRect)) {
        return FALSE;
    }
    if (!ClassifyRelease()) {
        AfxMessageBox(IDS_WIN95_ONLY, MB_OK);
        // The window was never shown; it goes now, and its object with it.
        pWnd->DestroyWindow();
        return FALSE;
    }
    m_pMainWnd = pWnd;
    pWnd->CenterWindow(nullptr);
    pWnd->ShowWindow(SW_SHOW);
    pWnd->UpdateWindow();
    return TRUE;
}

int CLauncherApp::ExitInstance() {
    if (m_pMainWnd != nullptr) {
        delete m_pMainWnd;
        m_pMainWnd = nullptr;
    }
    return CWinApp::ExitInstance();
}

int CLauncherApp::ClassifyRelease() {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    // When the query fails the zeroed record reads as an unknown platform.
    GetVersionExA(&info);
    m_releaseTag.Empty();
    CString letter = ReleaseLetter(info.szCSDVersion, sizeof info.szCSDVersion);
    if (info.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS) {
        return 0;
    }
    m_releaseTag = CString("950") + letter;
    return 1;
}

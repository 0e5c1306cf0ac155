// The application object: start-up creates the launcher window, tells the
// supported platform apart and shows the window; exit cleans up.
#pragma once

#include "platform/framework/CString.h"
#include "platform/framework/CWinApp.h"

class CLauncherApp : public CWinApp {
public:
    CLauncherApp();

    BOOL InitInstance() override;
    int ExitInstance() override;

    // "950", "950A" or "950B" once start-up has found a supported platform;
    // empty before and on any other platform.
    LPCSTR GetReleaseTag() const { return m_releaseTag; }
    // 1 for the Windows 95 family (the tag is then set), else 0.
    int ClassifyRelease();

private:
    CString m_releaseTag;
};

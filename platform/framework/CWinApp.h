// The application object: there is one per program. AfxWinMain runs its
// InitInstance, its message loop while that succeeded, and its ExitInstance.
#pragma once

#include "platform/framework/CObject.h"
#include "platform/framework/CString.h"

class CWnd;

class CWinApp : public CObject {
public:
    // Becomes the program's application object. Without a name, the title is
    // string AFX_IDS_APP_TITLE, loaded when the program starts.
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    // The application title, the caption of the program's message boxes.
    LPCSTR m_pszAppName;
    // The window whose destruction ends the message loop; NULL when none.
    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;

    virtual BOOL InitInstance();
    // The loop: runs until WM_QUIT (or until the system ends the session);
    // returns the code that WM_QUIT carried.
    virtual int Run();
    // Returns the code that WM_QUIT carried (0 before the loop has ended).
    virtual int ExitInstance();
    // Offers a message to the window it is for and to that window's parents
    // (a modeless dialog takes its keyboard messages this way).
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // Switches on the three-dimensional look of dialogs and controls.
    BOOL Enable3dControls();

    // Loads the title when none was given; called once at start.
    void LoadAppTitle();

protected:
    int m_nExitCode = 0;

private:
    CString m_strAppName;
};

// The program's application object, or NULL.
CWinApp* AfxGetApp();

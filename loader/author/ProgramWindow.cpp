#include "loader/author/ProgramWindow.h"

#include "app/CLauncherApp.h"
#include "platform/framework/AfxWin.h"
#include "platform/framework/ModuleInstance.h"
#include "window/CSetupWnd.h"

namespace loader::author {

namespace {
// The size the program's start-up gives before layout.ini sets its own.
const RECT kStartRect = {0, 0, 400, 420};
} // namespace

CSetupWnd* ProgramWindow::create(std::string& error) {
    CLauncherApp* app = static_cast<CLauncherApp*>(AfxGetApp());
    if (app == nullptr) {
        error = "the program has no application object";
        return nullptr;
    }
    AfxSetInstanceHandle(GetModuleHandleA(nullptr));
    app->m_hInstance = AfxGetInstanceHandle();
    app->LoadAppTitle();
    if (!app->ClassifyRelease()) {
        error = "the machine is not of the Windows 95 family (--platform-id)";
        return nullptr;
    }
    // A window that fails to be created has deleted its object already.
    CSetupWnd* window = new CSetupWnd;
    if (!window->Create(app->m_pszAppName, kStartRect)) {
        error = "layout.ini, its picture, font or items did not load";
        return nullptr;
    }
    return window;
}

} // namespace loader::author

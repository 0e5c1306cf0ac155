// The command handler of the launcher window and the section walkers behind
// install, uninstall, the required-file check and device re-detection.
#include "window/CSetupWnd.h"

#include "app/CLauncherApp.h"
#include "platform/framework/AfxWin.h"
#include "resources/resource.h"
#include "skin/CLayout.h"
#include "update/CMyRegistry.h"
#include "update/CProgressDlg.h"
#include "update/CSectionList.h"
#include "update/CUpdateInf.h"

#include <cstring>

namespace {

const UINT kQuitCommand = 4;
const UINT kInstallCommand = 100;
const UINT kUninstallCommand = 101;
const DWORD kLayoutSectionSize = 1024;
const short kProgressLow = 0;
const short kProgressHigh = 5000;
const int kProgressStep = 1;
const int kProgressStart = 2000;
// How long the progress window stays up after the work, in milliseconds.
const DWORD kMinimumDisplay = 5000;

// Splits line at its first "=": before goes to left, the rest to right.
// FALSE for a line without "=".
BOOL SplitAtEquals(LPCSTR line, CString& left, CString& right) {
    CString text(line);
    int equals = text.Find('=');
    if (equals < 0) {
        return FALSE;
    }
    left = text.Left(equals);
    right = text.Mid(equals + 1);
    return TRUE;
}

// A device key path that names no key below Enum (empty, or only blanks and
// backslashes) would address Enum itself.
BOOL NamesNoKey(const CString& keyPath) {
    for (int i = 0; i < keyPath.GetLength(); ++i) {
        if (keyPath[i] != '\\' && keyPath[i] != ' ' && keyPath[i] != '\t') {
            return FALSE;
        }
    }
    return TRUE;
}

} // namespace

void CSetupWnd::InstallSection(LPCSTR section) {
    CSectionList lines;
    lines.ReadSection(section, m_pLayout->GetIniPath(), kLayoutSectionSize);
    CUpdateInf update;
    for (LPCSTR line = lines.GetFirst(); line != nullptr; line = lines.GetNext(line)) {
        // target=source,backup; the backup may itself hold "," and "=".
        CString target;
        CString rest;
        if (!SplitAtEquals(line, target, rest)) {
            continue;
        }
        int comma = rest.Find(',');
        if (comma < 0) {
            continue;
        }
        update.UpdateFile(target, rest.Left(comma), rest.Mid(comma + 1));
    }
}

int CSetupWnd::UninstallSection(LPCSTR section) {
    CSectionList lines;
    lines.ReadSection(section, m_pLayout->GetIniPath(), kLayoutSectionSize);
    CUpdateInf update;
    int restored = 0;
    for (LPCSTR line = lines.GetFirst(); line != nullptr; line = lines.GetNext(line)) {
        CString target;
        CString backup;
        if (SplitAtEquals(line, target, backup)) {
            restored += update.RestoreFile(target, backup);
        }
    }
    return restored;
}

int CSetupWnd::CheckFiles() {
    CSectionList lines;
    lines.ReadSection("CHECK FILES", m_pLayout->GetIniPath(), kLayoutSectionSize);
    CUpdateInf update;
    int expected = 0;
    int passed = 0;
    for (LPCSTR line = lines.GetFirst(); line != nullptr; line = lines.GetNext(line)) {
        CString infName;
        CString sourceName;
        if (!SplitAtEquals(line, infName, sourceName)) {
            continue;
        }
        expected += 2;
        passed += update.CheckFilePair(infName, sourceName);
    }
    return passed == expected ? 1 : 0;
}

void CSetupWnd::DeleteDeviceKeys(LPCSTR section) {
    CSectionList lines;
    lines.ReadSection(section, m_pLayout->GetIniPath(), kLayoutSectionSize);
    for (LPCSTR line = lines.GetFirst(); line != nullptr; line = lines.GetNext(line)) {
        CString keyPath;
        CString ignored;
        if (!SplitAtEquals(line, keyPath, ignored) || NamesNoKey(keyPath)) {
            continue;
        }
        CMyRegistry registry;
        registry.DeleteKey(CString("Enum\\") + keyPath);
    }
}

void CSetupWnd::OnMenuCommand(UINT nID) {
    if (m_bCommandRunning) {
        return;
    }
    m_bCommandRunning = TRUE;
    RunCommand(nID);
    m_bCommandRunning = FALSE;
}

void CSetupWnd::RunCommand(UINT nID) {
    if (nID == kQuitCommand) {
        if (AfxMessageBox(IDS_QUIT, MB_ICONQUESTION | MB_YESNO) == IDYES) {
            PostMessage(WM_CLOSE, 0, 0);
        }
        return;
    }
    if (!CheckFiles()) {
        AfxMessageBox(IDS_FILES_MISSING, MB_ICONSTOP);
        return;
    }

    CProgressDlg* pProgress = new CProgressDlg(nullptr);
    BOOL progressShown = pProgress->Create(this);
    pProgress->SetRange(kProgressLow, kProgressHigh);
    pProgress->SetStep(kProgressStep);
    pProgress->SetPos(kProgressStart);

    CUpdateInf* pUpdate = new CUpdateInf;
    BOOL usbPresent = pUpdate->InfFileExists("USB.INF");

    BOOL done = FALSE;
    if (nID == kInstallCommand) {
        InstallSection("COMMON");
        InstallSection(static_cast<CLauncherApp*>(AfxGetApp())->GetReleaseTag());
        if (usbPresent) {
            InstallSection("USB INF");
        }
        done = TRUE;
    } else if (nID == kUninstallCommand) {
        if (UninstallSection("UNINSTALL") == 0) {
            AfxMessageBox(IDS_NO_UNINSTALL, MB_OK);
        } else {
            done = TRUE;
        }
    }

    // The window stays up at least this long after the work; the difference
    // of two readings holds across the counter's wrap-around.
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kMinimumDisplay) {
        pProgress->StepIt();
    }
    if (progressShown) {
        pProgress->Finish();
    }
    delete pProgress;

    if (done) {
        DeleteDeviceKeys("ControlFlags");
        if (usbPresent) {
            DeleteDeviceKeys("USB ControlFlags");
        }
        if (AfxMessageBox(IDS_RESTART, MB_ICONQUESTION | MB_YESNO) == IDYES) {
            if (!ExitWindowsEx(EWX_REBOOT, 0)) {
                AfxMessageBox(IDS_REBOOT_FAILED, MB_OK);
            }
        }
    }
    delete pUpdate;
}

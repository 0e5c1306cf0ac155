// The command handler of the launcher window and the section walkers behind
// install, uninstall, the required-file check and device re-detection.
#include "window/CSetupWnd.h"

#include "app/CLauncherApp.h"
#include "common/COwned.h"
#include "common/ProgramLimits.h"
#include "common/SplitAtEquals.h"
#include "platform/framework/AfxWin.h"
#include "resources/resource.h"
#include "skin/CLayout.h"
#include "update/CMyRegistry.h"
#include "update/CProgressDlg.h"
#include "update/CSectionList.h"
#include "update/CUpdateInf.h"
#include "update/CUpdateLines.h"
#include "update/CUpdateLock.h"

#include <cstring>
#include <vector>

namespace {

const short kProgressLow = 0;
const short kProgressHigh = 5000;
const int kProgressStep = 1;
const int kProgressStart = 2000;
// How long the progress window stays up after the work, in milliseconds.
const DWORD kMinimumDisplay = 5000;

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

// Whether an uninstall line without its backup leaves installed lines behind.
// The target holds what an install of this disk would have added when it
// holds the whole of one fragment that an install line of the layout merges
// into it under this backup name (CUpdateInf::HoldsFragment): then it was
// installed and cannot be put back. A target without such lines (a release's
// section this machine never walks, USB.INF that came after the install, a
// target no install line backs up under this name) has nothing to put back.
BOOL HoldsInstalledLines(CUpdateInf& update, const CUpdateLines& lines,
                         const CUpdateLines::Line& line) {
    for (const CUpdateLines::Line* install : lines.InstallLinesOf(line)) {
        if (update.HoldsFragment(line.target, install->source)) {
            return TRUE;
        }
    }
    return FALSE;
}

// What a failed key deletion says. A key that is not there, or a key path the
// registry does not take as a name (a trailing or doubled backslash), names
// no device key: it is passed over. Anything else is the registry itself
// failing (its file unreadable, unwritable or damaged, access denied, no
// room), and the registry could not be changed.
BOOL NamesNoDeviceKey(LONG result) {
    switch (result) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_BADKEY:
    case ERROR_INVALID_NAME:
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int CSetupWnd::InstallSection(LPCSTR section) {
    CUpdateLines lines(m_pLayout->GetIniPath());
    CUpdateInf update;
    int failed = 0;
    for (const CUpdateLines::Line& line : lines.GetInstallLines()) {
        if (lstrcmpiA(line.section, section) != 0) {
            continue;
        }
        if (lines.JudgeInstall(line) != CUpdateLines::lineAllowed ||
            !update.UpdateFile(line.target, line.source, line.backup)) {
            ++failed;
        }
    }
    return failed;
}

int CSetupWnd::Install(BOOL usbPresent) {
    LPCSTR sections[] = {"COMMON", static_cast<CLauncherApp*>(AfxGetApp())->GetReleaseTag(),
                         "USB INF"};
    int walked = usbPresent ? 3 : 2;
    int failed = 0;
    for (int i = 0; i < walked; ++i) {
        failed += InstallSection(sections[i]);
    }
    return failed;
}

int CSetupWnd::UninstallSection(LPCSTR section, int* pFailed, int* pMissing) {
    CUpdateLines lines(m_pLayout->GetIniPath(), section);
    CUpdateInf update;
    int restored = 0;
    int failed = 0;
    int missing = 0;
    for (const CUpdateLines::Line& line : lines.GetUninstallLines()) {
        if (lines.JudgeUninstall(line) != CUpdateLines::lineAllowed) {
            ++failed;
            continue;
        }
        switch (update.RestoreFile(line.target, line.backup)) {
        case CUpdateInf::restoreDone:
            ++restored;
            break;
        case CUpdateInf::restoreMissing:
            if (HoldsInstalledLines(update, lines, line)) {
                ++missing;
            }
            break;
        case CUpdateInf::restoreFailed:
            ++failed;
            break;
        case CUpdateInf::restoreNone:
            break;
        }
    }
    if (pFailed != nullptr) {
        *pFailed += failed;
    }
    if (pMissing != nullptr) {
        *pMissing += missing;
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

// A device key that is not there, or a key path that names none, is passed
// over; a failure of the registry itself stops the deletions and is returned.
BOOL CSetupWnd::DeleteDeviceKeys(LPCSTR section) {
    CSectionList lines;
    lines.ReadSection(section, m_pLayout->GetIniPath(), kLayoutSectionSize);
    for (LPCSTR line = lines.GetFirst(); line != nullptr; line = lines.GetNext(line)) {
        CString keyPath;
        CString ignored;
        if (!SplitAtEquals(line, keyPath, ignored) || NamesNoKey(keyPath)) {
            continue;
        }
        CMyRegistry registry;
        LONG result = registry.DeleteKey(CString("Enum\\") + keyPath);
        if (result != ERROR_SUCCESS && !NamesNoDeviceKey(result)) {
            return FALSE;
        }
    }
    return TRUE;
}

void CSetupWnd::OnMenuCommand(UINT nID) {
    if (m_bCommandRunning) {
        return;
    }
    m_bCommandRunning = TRUE;
    RunCommand(nID);
    m_bCommandRunning = FALSE;
}

void CSetupWnd::PumpWhileWaiting() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the application's own loop, which ends on it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        // Keys and clicks meanwhile would choose a command or close the
        // window under the waiting one.
        BOOL input = (message.message >= WM_KEYDOWN && message.message <= WM_SYSKEYUP) ||
                     (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) ||
                     (message.message >= WM_NCMOUSEMOVE && message.message <= WM_NCLBUTTONUP);
        if (!input) {
            DispatchMessageA(&message);
        }
    }
}

CUpdateLock* CSetupWnd::TakeUpdateLock(LPCSTR infDir) {
    class CWindowAlive : public CUpdateLock::CWaitHook {
    public:
        explicit CWindowAlive(CSetupWnd* pWnd) : m_pWnd(pWnd) {}
        ~CWindowAlive() {
            if (m_bCaptionShown) {
                m_pWnd->SetWindowText(m_caption);
            }
        }
        void OnWait() override {
            // The caption says why nothing happens, once.
            if (!m_bCaptionShown) {
                m_pWnd->GetWindowText(m_caption);
                CString waiting;
                waiting.LoadString(IDS_LOCK_WAIT);
                m_pWnd->SetWindowText(waiting);
                m_bCaptionShown = TRUE;
            }
            m_pWnd->PumpWhileWaiting();
        }

    private:
        CSetupWnd* m_pWnd;
        CString m_caption;
        BOOL m_bCaptionShown = FALSE;
    };

    UINT refusal = 0;
    {
        // The caption is put back before the user is told anything.
        CWindowAlive alive(this);
        COwned<CUpdateLock> lock(new CUpdateLock(infDir, &alive));
        if (lock->IsHeld()) {
            return lock.Detach();
        }
        refusal = lock->GetState() == CUpdateLock::lockBusy ? IDS_LOCK_BUSY : IDS_LOCK_FAILED;
    }
    AfxMessageBox(refusal, MB_ICONSTOP);
    return nullptr;
}

void CSetupWnd::RunCommand(UINT nID) {
    if (nID == kQuitCommand) {
        if (AfxMessageBox(IDS_QUIT, MB_ICONQUESTION | MB_YESNO) == IDYES) {
            PostMessage(WM_CLOSE, 0, 0);
        }
        return;
    }
    // What the command holds goes in the reverse of this order on every way
    // out: the progress window, then the lock, then the update object.
    // Another copy of the program at work on the same INF files is waited
    // for, from the file check to the last device key. Nothing runs without
    // the lock, and no message waits for the user while it is held.
    CUpdateInf update;
    COwned<CUpdateLock> lock(TakeUpdateLock(update.GetInfDir()));
    if (lock.IsEmpty()) {
        return;
    }
    update.RemoveWorkFiles();

    BOOL done = FALSE;
    BOOL registryFailed = FALSE;
    UINT stopMessage = 0;
    if (!CheckFiles()) {
        stopMessage = IDS_FILES_MISSING;
    } else {
        COwned<CProgressDlg> progress(new CProgressDlg(nullptr));
        BOOL progressShown = progress->Create(this);
        progress->SetRange(kProgressLow, kProgressHigh);
        progress->SetStep(kProgressStep);
        progress->SetPos(kProgressStart);

        BOOL usbPresent = update.InfFileExists("USB.INF");
        if (nID == kInstallCommand) {
            // An install that left a Windows INF file unchanged is not
            // finished: its devices must not be detected anew from
            // half-updated files.
            done = Install(usbPresent) == 0;
            stopMessage = done ? 0 : IDS_UPDATE_INCOMPLETE;
        } else if (nID == kUninstallCommand) {
            int failed = 0;
            int missing = 0;
            int restored = UninstallSection("UNINSTALL", &failed, &missing);
            if (restored == 0 && failed == 0) {
                // None of the backups exists: nothing was changed, and the
                // user is told so while the progress window is up.
                lock.Free();
                AfxMessageBox(IDS_NO_UNINSTALL, MB_OK);
            } else if (failed != 0 || missing != 0) {
                // Devices detected anew from half-restored files would be
                // set up from neither the old nor the new files.
                stopMessage = IDS_UNINSTALL_INCOMPLETE;
            } else {
                done = TRUE;
            }
        }

        // The window stays up at least this long after the work; the
        // difference of two readings holds across the counter's wrap-around.
        DWORD start = GetTickCount();
        while (GetTickCount() - start < kMinimumDisplay) {
            progress->StepIt();
        }
        if (progressShown) {
            progress->Finish();
        }
        progress.Free();

        // Without the device keys gone Windows detects nothing anew, so a
        // restart would change nothing: the command did not finish.
        if (done) {
            registryFailed = !DeleteDeviceKeys("ControlFlags") ||
                             (usbPresent && !DeleteDeviceKeys("USB ControlFlags"));
            done = !registryFailed;
        }
    }
    lock.Free();

    if (stopMessage != 0) {
        AfxMessageBox(stopMessage, MB_ICONSTOP);
    }
    if (registryFailed) {
        AfxMessageBox(IDS_REGISTRY_FAILED, MB_ICONSTOP);
    }
    if (done) {
        if (AfxMessageBox(IDS_RESTART, MB_ICONQUESTION | MB_YESNO) == IDYES) {
            if (!ExitWindowsEx(EWX_REBOOT, 0)) {
                AfxMessageBox(IDS_REBOOT_FAILED, MB_OK);
            }
        }
    }
}

// The command handler of the launcher window and the section walkers behind
// install, uninstall, the required-file check and device re-detection.
#include "window/CSetupWnd.h"

#include "app/CLauncherApp.h"
#include "platform/framework/AfxWin.h"
#include "resources/resource.h"
#include "skin/CLayout.h"
#include "skin/SplitAtEquals.h"
#include "update/CMyRegistry.h"
#include "update/CProgressDlg.h"
#include "update/CSectionList.h"
#include "update/CUpdateInf.h"
#include "update/CUpdateLock.h"

#include <cstring>
#include <vector>

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

// Splits an install line into target, source and backup: target=source,backup,
// where the backup may itself hold "," and "=". FALSE for a line without "="
// or without "," after it.
BOOL SplitInstallLine(LPCSTR line, CString& target, CString& source, CString& backup) {
    CString rest;
    if (!SplitAtEquals(line, target, rest)) {
        return FALSE;
    }
    int comma = rest.Find(',');
    if (comma < 0) {
        return FALSE;
    }
    source = rest.Left(comma);
    backup = rest.Mid(comma + 1);
    return TRUE;
}

} // namespace

void CSetupWnd::CollectInstallTargets(LPCSTR section, std::vector<CString>& targets) {
    CSectionList lines;
    lines.ReadSection(section, m_pLayout->GetIniPath(), kLayoutSectionSize);
    for (LPCSTR line = lines.GetFirst(); line != nullptr; line = lines.GetNext(line)) {
        CString target, source, backup;
        if (SplitInstallLine(line, target, source, backup)) {
            targets.push_back(target);
        }
    }
}

int CSetupWnd::InstallSection(LPCSTR section, const std::vector<CString>& installTargets) {
    CSectionList lines;
    lines.ReadSection(section, m_pLayout->GetIniPath(), kLayoutSectionSize);
    CUpdateInf update;
    int failed = 0;
    for (LPCSTR line = lines.GetFirst(); line != nullptr; line = lines.GetNext(line)) {
        CString target, source, backup;
        if (!SplitInstallLine(line, target, source, backup)) {
            continue;
        }
        // A backup under the name of a file this install updates would put
        // a merged file in place of the original at uninstall, or delete a
        // live one: the line is refused.
        BOOL backupIsTarget = FALSE;
        for (const CString& other : installTargets) {
            backupIsTarget = backupIsTarget || lstrcmpiA(backup, other) == 0;
        }
        if (backupIsTarget || !update.UpdateFile(target, source, backup)) {
            ++failed;
        }
    }
    return failed;
}

int CSetupWnd::Install(BOOL usbPresent) {
    LPCSTR sections[] = {"COMMON", static_cast<CLauncherApp*>(AfxGetApp())->GetReleaseTag(),
                         "USB INF"};
    int walked = usbPresent ? 3 : 2;
    std::vector<CString> targets;
    for (int i = 0; i < walked; ++i) {
        CollectInstallTargets(sections[i], targets);
    }
    int failed = 0;
    for (int i = 0; i < walked; ++i) {
        failed += InstallSection(sections[i], targets);
    }
    return failed;
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

// A device key that is not there is fine; any other failure stops the
// deletions, since the registry cannot be changed, and is returned.
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
        if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
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

void CSetupWnd::RunCommand(UINT nID) {
    if (nID == kQuitCommand) {
        if (AfxMessageBox(IDS_QUIT, MB_ICONQUESTION | MB_YESNO) == IDYES) {
            PostMessage(WM_CLOSE, 0, 0);
        }
        return;
    }
    // Another copy of the program at work on the same INF files is waited
    // for, from the file check to the last device key.
    CUpdateInf* pUpdate = new CUpdateInf;
    CUpdateLock* pLock = new CUpdateLock(pUpdate->GetInfDir());
    if (pLock->IsHeld()) {
        pUpdate->RemoveWorkFiles();
    }
    if (!CheckFiles()) {
        delete pLock;
        delete pUpdate;
        AfxMessageBox(IDS_FILES_MISSING, MB_ICONSTOP);
        return;
    }

    CProgressDlg* pProgress = new CProgressDlg(nullptr);
    BOOL progressShown = pProgress->Create(this);
    pProgress->SetRange(kProgressLow, kProgressHigh);
    pProgress->SetStep(kProgressStep);
    pProgress->SetPos(kProgressStart);

    BOOL usbPresent = pUpdate->InfFileExists("USB.INF");

    BOOL done = FALSE;
    BOOL incomplete = FALSE;
    if (nID == kInstallCommand) {
        // An install that left a Windows INF file unchanged is not finished:
        // its devices must not be detected anew from half-updated files.
        incomplete = Install(usbPresent) != 0;
        done = !incomplete;
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

    // Without the device keys gone Windows detects nothing anew, so a
    // restart would change nothing: the command did not finish.
    BOOL registryFailed = FALSE;
    if (done) {
        registryFailed = !DeleteDeviceKeys("ControlFlags") ||
                         (usbPresent && !DeleteDeviceKeys("USB ControlFlags"));
        done = !registryFailed;
    }
    delete pLock;
    if (incomplete) {
        AfxMessageBox(IDS_UPDATE_INCOMPLETE, MB_ICONSTOP);
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
    delete pUpdate;
}

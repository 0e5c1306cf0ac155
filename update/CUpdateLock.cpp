#include "update/CUpdateLock.h"

namespace {

const char kLockName[] = "~CORVANE.LCK";
// How long to wait between two tries while another copy works.
const DWORD kRetryPause = 50;

} // namespace

CUpdateLock::CUpdateLock(LPCSTR infDir, CWaitHook* pHook)
    : m_path(CString(infDir) + kLockName), m_hFile(INVALID_HANDLE_VALUE), m_state(lockFailed) {
    // The clock is read only once there is something to wait for.
    BOOL waiting = FALSE;
    DWORD start = 0;
    for (;;) {
        // Read access opens a lock file left read-only too; no sharing keeps
        // every other opener out while the handle lives.
        m_hFile = CreateFileA(m_path, GENERIC_READ, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
        if (m_hFile != INVALID_HANDLE_VALUE) {
            m_state = lockHeld;
            return;
        }
        // Only another opener is worth waiting for; anything else stays.
        if (GetLastError() != ERROR_SHARING_VIOLATION) {
            m_state = lockFailed;
            return;
        }
        if (!waiting) {
            waiting = TRUE;
            start = GetTickCount();
        }
        // The difference of two readings holds across the counter's wrap.
        if (GetTickCount() - start >= kWaitLimit) {
            m_state = lockBusy;
            return;
        }
        if (pHook != nullptr) {
            pHook->OnWait();
        }
        Sleep(kRetryPause);
    }
}

CUpdateLock::~CUpdateLock() {
    if (m_hFile == INVALID_HANDLE_VALUE) {
        return;
    }
    CloseHandle(m_hFile);
    // Fails harmlessly when another copy has opened it meanwhile.
    DeleteFileA(m_path);
}

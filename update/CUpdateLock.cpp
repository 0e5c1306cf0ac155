#include "update/CUpdateLock.h"

namespace {

const char kLockName[] = "~CORVANE.LCK";
// How long to wait between two tries while another copy works.
const DWORD kRetryPause = 50;

} // namespace

CUpdateLock::CUpdateLock(LPCSTR infDir) : m_path(CString(infDir) + kLockName) {
    for (;;) {
        // Read access opens a lock file left read-only too; no sharing keeps
        // every other opener out while the handle lives.
        m_hFile = CreateFileA(m_path, GENERIC_READ, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
        if (m_hFile != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) {
            return;
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

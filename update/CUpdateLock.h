// Keeps the file work of one command to one program at a time on a machine.
// Two copies of the program started together would otherwise read, merge and
// put back the same Windows INF files in turns and lose each other's work.
// The lock is a file in the INF directory held open without sharing: the
// system drops it with the handle, also when a process dies, so a copy that
// was killed never blocks the next one.
#pragma once

#include "platform/framework/CString.h"
#include "platform/win32.h"

class CUpdateLock {
public:
    enum State {
        lockHeld,   // this copy holds it
        lockBusy,   // another copy held it for the whole wait
        lockFailed, // it cannot be taken at all (below)
    };

    // Called between two tries while another copy holds the lock.
    class CWaitHook {
    public:
        virtual void OnWait() = 0;

    protected:
        ~CWaitHook() = default;
    };

    // How long another copy's lock is waited for, in milliseconds.
    static const DWORD kWaitLimit = 60000;

    // Takes the lock of the INF directory infDir (ending in a backslash),
    // waiting up to kWaitLimit while another copy holds it, and holds it
    // until destroyed. No try ever blocks. Anything else that keeps the lock
    // file from being opened (a folder or a device under its name, a link
    // that leads nowhere, no permission, a folder that cannot be written)
    // fails at once: without a lock nothing may change.
    explicit CUpdateLock(LPCSTR infDir, CWaitHook* pHook = nullptr);
    ~CUpdateLock();
    CUpdateLock(const CUpdateLock&) = delete;
    CUpdateLock& operator=(const CUpdateLock&) = delete;

    State GetState() const { return m_state; }
    BOOL IsHeld() const { return m_state == lockHeld; }

private:
    CString m_path;
    HANDLE m_hFile;
    State m_state;
};

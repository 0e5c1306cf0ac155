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
    // Waits until no other copy holds the lock of the INF directory infDir
    // (ending in a backslash), then holds it until destroyed.
    explicit CUpdateLock(LPCSTR infDir);
    ~CUpdateLock();
    CUpdateLock(const CUpdateLock&) = delete;
    CUpdateLock& operator=(const CUpdateLock&) = delete;

    // Whether the lock is held. A lock file that cannot be made at all (an
    // INF directory that is missing or cannot be written) is not waited
    // for: nothing there can be changed either.
    BOOL IsHeld() const { return m_hFile != INVALID_HANDLE_VALUE; }

private:
    CString m_path;
    HANDLE m_hFile;
};

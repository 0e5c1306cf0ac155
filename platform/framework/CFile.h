// An open existing file. Opening never creates a file; the handle is closed
// by Close or by the destructor.
#pragma once

#include "platform/framework/CObject.h"

class CFile : public CObject {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
    };

    CFile() = default;
    ~CFile() override;

    // Opens an existing file with one access mode and one share mode; FALSE
    // when it does not open, when this object already holds a file, or for a
    // flag combination outside the ones above.
    BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags);
    void Close();
    BOOL IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE ? TRUE : FALSE; }
    // Reads up to nCount bytes from the file position; the number read (0 at
    // the end, on failure, or when no file is open).
    UINT Read(void* lpBuf, UINT nCount);
    // The file's size in bytes; 0 when no file is open.
    DWORD GetLength() const;

    // Whether an existing file opens, granting no sharing, for reading only
    // (modeRead) or for writing only (modeWrite); it is closed again at once.
    // Answers FALSE for a missing, read-only or otherwise held file alike.
    static BOOL TestOpen(LPCSTR lpszFileName, UINT nMode);

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};

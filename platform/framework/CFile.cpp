#include "platform/framework/CFile.h"

namespace {

constexpr UINT kAccessMask = 0x000F;
constexpr UINT kShareMask = 0x00F0;

bool accessRights(UINT nOpenFlags, DWORD& access) {
    switch (nOpenFlags & kAccessMask) {
    case CFile::modeRead:
        access = GENERIC_READ;
        return true;
    case CFile::modeWrite:
        access = GENERIC_WRITE;
        return true;
    case CFile::modeReadWrite:
        access = GENERIC_READ | GENERIC_WRITE;
        return true;
    default:
        return false;
    }
}

bool shareRights(UINT nOpenFlags, DWORD& share) {
    switch (nOpenFlags & kShareMask) {
    case 0: // no share flag given: as exclusive
    case CFile::shareExclusive:
        share = 0;
        return true;
    case CFile::shareDenyWrite:
        share = FILE_SHARE_READ;
        return true;
    case CFile::shareDenyRead:
        share = FILE_SHARE_WRITE;
        return true;
    case CFile::shareDenyNone:
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        return true;
    default:
        return false;
    }
}

} // namespace

CFile::~CFile() {
    Close();
}

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags) {
    DWORD access = 0;
    DWORD share = 0;
    if (IsOpen() || lpszFileName == nullptr || (nOpenFlags & ~(kAccessMask | kShareMask)) != 0 ||
        !accessRights(nOpenFlags, access) || !shareRights(nOpenFlags, share)) {
        return FALSE;
    }
    m_hFile = ::CreateFileA(lpszFileName, access, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    return IsOpen();
}

void CFile::Close() {
    if (IsOpen()) {
        ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
    DWORD read = 0;
    if (!IsOpen() || !::ReadFile(m_hFile, lpBuf, nCount, &read, nullptr)) {
        return 0;
    }
    return read;
}

DWORD CFile::GetLength() const {
    if (!IsOpen()) {
        return 0;
    }
    DWORD size = ::GetFileSize(m_hFile, nullptr);
    return size == INVALID_FILE_SIZE ? 0 : size;
}

BOOL CFile::TestOpen(LPCSTR lpszFileName, UINT nMode) {
    if (nMode != modeRead && nMode != modeWrite) {
        return FALSE;
    }
    CFile file;
    return file.Open(lpszFileName, nMode | shareExclusive);
}

// A counted, growable string of 8-bit characters in the Windows ANSI code page.
// Positions and counts that fall outside the string are clamped to it.
#pragma once

#include "platform/win32.h"

#include <string>

class CString {
public:
    CString() = default;
    CString(LPCSTR psz); // implicit, like a C string; NULL gives ""
    CString(LPCSTR pch, int nLength);
    explicit CString(char ch, int nRepeat = 1);

    CString& operator=(LPCSTR psz);
    CString& operator=(char ch);
    CString& operator+=(const CString& str);
    CString& operator+=(LPCSTR psz);
    CString& operator+=(char ch);

    int GetLength() const { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const { return m_str.empty() ? TRUE : FALSE; }
    void Empty() { m_str.clear(); }
    // The character at nIndex, or '\0' outside the string.
    char GetAt(int nIndex) const;
    char operator[](int nIndex) const { return GetAt(nIndex); }

    // Index of the first match at or after nStart, -1 when there is none.
    int Find(char ch, int nStart = 0) const;
    int Find(LPCSTR pszSub, int nStart = 0) const;

    CString Left(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;

    // lstrcmpiA's answer: <0, 0 or >0.
    int CompareNoCase(LPCSTR psz) const;
    int Compare(LPCSTR psz) const;

    operator LPCSTR() const { return m_str.c_str(); }

    // A writable buffer of at least nMinBufLength characters plus a NUL,
    // holding the current text. Until ReleaseBuffer the length is undefined.
    LPSTR GetBuffer(int nMinBufLength);
    // Fixes the length: nNewLength, or up to the first NUL when it is -1.
    void ReleaseBuffer(int nNewLength = -1);

    // The string-table entry nID of the module; FALSE (and empty) when absent.
    BOOL LoadString(UINT nID);

private:
    std::string m_str;
};

CString operator+(const CString& left, const CString& right);
CString operator+(const CString& left, LPCSTR right);
CString operator+(LPCSTR left, const CString& right);
CString operator+(const CString& left, char right);

bool operator==(const CString& left, const CString& right);
bool operator==(const CString& left, LPCSTR right);
bool operator==(LPCSTR left, const CString& right);
bool operator!=(const CString& left, const CString& right);
bool operator!=(const CString& left, LPCSTR right);
bool operator!=(LPCSTR left, const CString& right);

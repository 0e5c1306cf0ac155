#include "platform/framework/CString.h"

#include "platform/framework/ModuleInstance.h"

#include <cstring>

namespace {

// Clamps a position into [0, length].
std::size_t clampIndex(int nIndex, std::size_t length) {
    if (nIndex <= 0) {
        return 0;
    }
    return static_cast<std::size_t>(nIndex) > length ? length : static_cast<std::size_t>(nIndex);
}

// Clamps a count to what is left from nFirst.
std::size_t clampCount(int nCount, std::size_t available) {
    return clampIndex(nCount, available);
}

int toIndex(std::size_t pos) {
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

// Longest text LoadStringA can hold: a string-table entry's length is a WORD.
constexpr int kLongestResourceString = 65535;

} // namespace

CString::CString(LPCSTR psz) : m_str(psz != nullptr ? psz : "") {}

CString::CString(LPCSTR pch, int nLength) {
    if (pch != nullptr && nLength > 0) {
        m_str.assign(pch, static_cast<std::size_t>(nLength));
    }
}

CString::CString(char ch, int nRepeat) {
    if (nRepeat > 0) {
        m_str.assign(static_cast<std::size_t>(nRepeat), ch);
    }
}

CString& CString::operator=(LPCSTR psz) {
    m_str.assign(psz != nullptr ? psz : "");
    return *this;
}

CString& CString::operator=(char ch) {
    m_str.assign(1, ch);
    return *this;
}

CString& CString::operator+=(const CString& str) {
    m_str += str.m_str;
    return *this;
}

CString& CString::operator+=(LPCSTR psz) {
    if (psz != nullptr) {
        m_str += psz;
    }
    return *this;
}

CString& CString::operator+=(char ch) {
    m_str += ch;
    return *this;
}

char CString::GetAt(int nIndex) const {
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_str.size()) {
        return '\0';
    }
    return m_str[static_cast<std::size_t>(nIndex)];
}

int CString::Find(char ch, int nStart) const {
    if (nStart < 0) {
        nStart = 0;
    }
    // By characters of the ANSI code page, as MFC finds one: a trail byte of
    // a double-byte character is never found.
    std::size_t at = static_cast<std::size_t>(nStart);
    while (at < m_str.size()) {
        if (m_str[at] == ch) {
            return static_cast<int>(at);
        }
        LPCSTR here = m_str.c_str() + at;
        std::size_t step = static_cast<std::size_t>(::CharNextA(here) - here);
        at += step == 0 ? 1 : step;
    }
    return -1;
}

int CString::Find(LPCSTR pszSub, int nStart) const {
    if (pszSub == nullptr) {
        return -1;
    }
    if (nStart < 0) {
        nStart = 0;
    }
    if (static_cast<std::size_t>(nStart) > m_str.size()) {
        return -1;
    }
    return toIndex(m_str.find(pszSub, static_cast<std::size_t>(nStart)));
}

CString CString::Left(int nCount) const {
    const std::size_t count = clampCount(nCount, m_str.size());
    return CString(m_str.data(), static_cast<int>(count));
}

CString CString::Mid(int nFirst) const {
    const std::size_t first = clampIndex(nFirst, m_str.size());
    return CString(m_str.data() + first, static_cast<int>(m_str.size() - first));
}

CString CString::Mid(int nFirst, int nCount) const {
    const std::size_t first = clampIndex(nFirst, m_str.size());
    const std::size_t count = clampCount(nCount, m_str.size() - first);
    return CString(m_str.data() + first, static_cast<int>(count));
}

int CString::CompareNoCase(LPCSTR psz) const {
    return ::lstrcmpiA(m_str.c_str(), psz != nullptr ? psz : "");
}

int CString::Compare(LPCSTR psz) const {
    return m_str.compare(psz != nullptr ? psz : "");
}

LPSTR CString::GetBuffer(int nMinBufLength) {
    if (nMinBufLength > 0 && static_cast<std::size_t>(nMinBufLength) > m_str.size()) {
        // The padding is NULs, so ReleaseBuffer(-1) finds the old end again
        // when the caller writes nothing.
        m_str.resize(static_cast<std::size_t>(nMinBufLength), '\0');
    }
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength) {
    std::size_t length = m_str.size();
    if (nNewLength < 0) {
        const void* nul = std::memchr(m_str.data(), '\0', m_str.size());
        if (nul != nullptr) {
            length = static_cast<std::size_t>(static_cast<const char*>(nul) - m_str.data());
        }
    } else {
        length = clampIndex(nNewLength, m_str.size());
    }
    m_str.resize(length);
}

BOOL CString::LoadString(UINT nID) {
    // LoadStringA cannot say that it cut the text, so a text that fills the
    // buffer is read again with twice the room.
    for (int size = 256;; size *= 2) {
        std::string buffer(static_cast<std::size_t>(size), '\0');
        const int copied = ::LoadStringA(AfxGetInstanceHandle(), nID, &buffer[0], size);
        if (copied <= 0) {
            m_str.clear();
            return FALSE;
        }
        if (copied < size - 1 || size > kLongestResourceString) {
            buffer.resize(static_cast<std::size_t>(copied < size ? copied : size - 1));
            m_str.swap(buffer);
            return TRUE;
        }
    }
}

CString operator+(const CString& left, const CString& right) {
    CString result(left);
    result += right;
    return result;
}

CString operator+(const CString& left, LPCSTR right) {
    CString result(left);
    result += right;
    return result;
}

CString operator+(LPCSTR left, const CString& right) {
    CString result(left);
    result += right;
    return result;
}

CString operator+(const CString& left, char right) {
    CString result(left);
    result += right;
    return result;
}

bool operator==(const CString& left, const CString& right) {
    return left.GetLength() == right.GetLength() &&
           std::memcmp(static_cast<LPCSTR>(left), static_cast<LPCSTR>(right),
                       static_cast<std::size_t>(left.GetLength())) == 0;
}

bool operator==(const CString& left, LPCSTR right) {
    return left.Compare(right) == 0;
}
bool operator==(LPCSTR left, const CString& right) {
    return right.Compare(left) == 0;
}
bool operator!=(const CString& left, const CString& right) {
    return !(left == right);
}
bool operator!=(const CString& left, LPCSTR right) {
    return !(left == right);
}
bool operator!=(LPCSTR left, const CString& right) {
    return !(left == right);
}

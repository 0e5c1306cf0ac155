#include "skin/CLayout.h"

#include "common/DoubleByteText.h"
#include "common/ProgramLimits.h"
#include "platform/framework/AfxWin.h"
#include "platform/framework/CDC.h"
#include "platform/framework/CFile.h"
#include "platform/framework/TextToInt.h"
#include "resources/resource.h"

IMPLEMENT_DYNCREATE(CLayout, CObject)

namespace {
// How often, and how far apart, a layout.ini that someone holds is tried.
const int kHeldFileAttempts = 40;
const DWORD kHeldFilePause = 50;

CString ReadValue(LPCSTR section, LPCSTR key, LPCSTR fallback, LPCSTR path) {
    CString value;
    GetPrivateProfileStringA(section, key, fallback, value.GetBuffer(kLayoutValueSize),
                             kLayoutValueSize, path);
    value.ReleaseBuffer();
    return value;
}
} // namespace

CLayout::CLayout() = default;
CLayout::~CLayout() = default;

int CLayout::LocateIniFile(CString& path) {
    DWORD length = GetCurrentDirectoryA(MAX_PATH, path.GetBuffer(MAX_PATH));
    // A directory that does not fit the buffer is as unreadable as none.
    if (length == 0 || length >= MAX_PATH) {
        path.ReleaseBuffer(0);
        return 0;
    }
    path.ReleaseBuffer(static_cast<int>(length));
    if (EndsWithCharacter(path, '\\')) {
        path += "layout.ini";
    } else {
        path += "\\layout.ini";
    }
    // Another copy of the program starting at the same moment reads the file
    // for an instant, and an open that shares nothing fails meanwhile; only
    // a file that stays held, or is missing, counts as not there.
    for (int attempt = 0; attempt < kHeldFileAttempts; ++attempt) {
        if (CFile::TestOpen(path, CFile::modeRead)) {
            return 1;
        }
        if (GetLastError() != ERROR_SHARING_VIOLATION) {
            return 0;
        }
        Sleep(kHeldFilePause);
    }
    return 0;
}

int CLayout::Load() {
    if (!LocateIniFile(m_iniPath)) {
        AfxMessageBox(IDS_NO_LAYOUT, MB_ICONSTOP);
        return 0;
    }
    ParseSize(ReadValue("LAYOUT", "SIZE", "560, 400", m_iniPath));

    CString alignment = ReadValue("LAYOUT", "ALIGNMENT", "RIGHT", m_iniPath);
    if (alignment.CompareNoCase("RIGHT") == 0) {
        m_alignment = alignRight;
    } else if (alignment.CompareNoCase("CENTER") == 0) {
        m_alignment = alignCenter;
    } else {
        m_alignment = alignLeft;
    }

    CString maker;
    maker.LoadString(IDS_MAKER);
    m_caption = maker + " - " + ReadValue("LAYOUT", "CAPTION", "", m_iniPath);
    return 1;
}

void CLayout::ParseSize(const CString& value) {
    // "BITMAP" leaves 0 x 0, which asks for the picture's own size.
    if (value.CompareNoCase("BITMAP") == 0) {
        return;
    }
    CString rest = value;
    int comma = rest.Find(',');
    if (comma >= 0) {
        m_width = TextToInt(rest.Left(comma));
        rest = rest.Mid(comma + 1);
    }
    m_height = TextToInt(rest);
}

LPCSTR CLayout::GetBitmapFileName(CDC* pDC) {
    int bitsPerPixel = pDC->GetDeviceCaps(BITSPIXEL);
    m_bitmapFileName = ReadValue("BITMAP", bitsPerPixel < 8 ? "16" : "256", "", m_iniPath);
    return m_bitmapFileName;
}

RECT CLayout::GetSizeRect() const {
    RECT rect = {0, 0, m_width, m_height};
    return rect;
}

int CLayout::GetCaption(CString& caption) const {
    caption = m_caption;
    return caption.GetLength();
}

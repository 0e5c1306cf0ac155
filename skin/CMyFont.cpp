#include "skin/CMyFont.h"

#include "common/ProgramLimits.h"
#include "platform/framework/CString.h"
#include "platform/framework/TextToInt.h"

IMPLEMENT_DYNCREATE(CMyFont, CObject)

namespace {
CString ReadValue(LPCSTR key, LPCSTR fallback, LPCSTR iniPath) {
    CString value;
    GetPrivateProfileStringA("FONT", key, fallback, value.GetBuffer(kLayoutValueSize),
                             kLayoutValueSize, iniPath);
    value.ReleaseBuffer();
    return value;
}

// Takes the number before the first comma of rest and leaves rest behind that
// comma. Without a comma the component has no value of its own: it is 0 and
// rest stays whole, so that the last number always lands in blue.
int TakeComponent(CString& rest) {
    int comma = rest.Find(',');
    if (comma < 0) {
        return 0;
    }
    int number = TextToInt(rest.Left(comma));
    rest = rest.Mid(comma + 1);
    return number;
}
// lfFaceName holds 31 characters and the terminator; a longer name is cut
// there rather than refused, so the platform can still map it to a face.
void CopyFaceName(LOGFONTA& logFont, const CString& faceName) {
    int length = faceName.GetLength() < LF_FACESIZE - 1 ? faceName.GetLength() : LF_FACESIZE - 1;
    for (int i = 0; i < length; ++i) {
        logFont.lfFaceName[i] = faceName[i];
    }
    logFont.lfFaceName[length] = '\0';
}
} // namespace

CMyFont::CMyFont() = default;
CMyFont::~CMyFont() = default;

int CMyFont::Load(LPCSTR iniPath) {
    int size = static_cast<int>(GetPrivateProfileIntA("FONT", "Size", 20, iniPath));
    CString faceName = ReadValue("FaceName", "Arial", iniPath);

    LOGFONTA logFont = {};
    logFont.lfHeight = size;
    logFont.lfWeight = FW_BOLD;
    logFont.lfCharSet = DEFAULT_CHARSET;
    CopyFaceName(logFont, faceName);
    int result = m_font.CreateFontIndirect(&logFont) ? 1 : 0;

    ParseFocusColor(ReadValue("Focus", "255,0,0", iniPath));
    ParseNonFocusColor(ReadValue("NonFocus", "0,255,0", iniPath));
    return result;
}

void CMyFont::ParseFocusColor(LPCSTR text) {
    m_focusColor = ParseColor(text);
}

void CMyFont::ParseNonFocusColor(LPCSTR text) {
    m_nonFocusColor = ParseColor(text);
}

COLORREF CMyFont::ParseColor(LPCSTR text) {
    CString rest = text;
    int red = TakeComponent(rest);
    int green = TakeComponent(rest);
    int blue = TextToInt(rest);
    return RGB(red & 0xFF, green & 0xFF, blue & 0xFF);
}

#include "platform/framework/CFont.h"

BOOL CFont::CreateFontIndirect(const LOGFONTA* lpLogFont) {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    return Attach(lpLogFont != nullptr ? ::CreateFontIndirectA(lpLogFont) : nullptr);
}

#include "platform/framework/CPalette.h"

BOOL CPalette::CreatePalette(const LOGPALETTE* lpLogPalette) {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    return Attach(lpLogPalette != nullptr ? ::CreatePalette(lpLogPalette) : nullptr);
}

#include "platform/framework/CBrush.h"

BOOL CBrush::CreateSolidBrush(COLORREF crColor) {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    return Attach(::CreateSolidBrush(crColor));
}

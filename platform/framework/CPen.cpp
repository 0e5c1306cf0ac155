#include "platform/framework/CPen.h"

BOOL CPen::CreatePen(int nPenStyle, int nWidth, COLORREF crColor) {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    return Attach(::CreatePen(nPenStyle, nWidth, crColor));
}

#include "platform/framework/CDataExchange.h"

#include "platform/framework/CDialog.h"

CDataExchange::CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (pDX != nullptr && pDX->m_pDlgWnd != nullptr && rControl.m_hWnd == nullptr) {
        pDX->m_pDlgWnd->BindControl(nIDC, rControl);
    }
}

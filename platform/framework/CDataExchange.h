// What DoDataExchange is given: the dialog and the direction of the exchange.
#pragma once

#include "platform/win32.h"

class CDialog;
class CWnd;

class CDataExchange {
public:
    CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate;
    CDialog* m_pDlgWnd;
};

// Binds rControl to the dialog's control nIDC, so that the member object
// addresses the control of the template. Once bound it stays bound.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

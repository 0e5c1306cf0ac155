#include "platform/framework/CDialog.h"

#include "platform/framework/CDataExchange.h"
#include "platform/framework/ModuleInstance.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    if (m_hWnd != nullptr) {
        return FALSE;
    }
    if (pParentWnd == nullptr) {
        pParentWnd = m_pParentWnd;
    }
    HWND hWnd = ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(nIDTemplate),
                                     pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr,
                                     &CDialog::DialogProcedure, reinterpret_cast<LPARAM>(this));
    return hWnd != nullptr ? TRUE : FALSE;
}

BOOL CDialog::CreateIndirect(const void* lpDialogTemplate, CWnd* pParentWnd) {
    if (lpDialogTemplate == nullptr || m_hWnd != nullptr) {
        return FALSE;
    }
    if (pParentWnd == nullptr) {
        pParentWnd = m_pParentWnd;
    }
    HWND hWnd = ::CreateDialogIndirectParamA(
        AfxGetInstanceHandle(), static_cast<LPCDLGTEMPLATEA>(lpDialogTemplate),
        pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr, &CDialog::DialogProcedure,
        reinterpret_cast<LPARAM>(this));
    return hWnd != nullptr ? TRUE : FALSE;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::BindControl(int nIDC, CWnd& rControl) {
    if (m_hWnd == nullptr || rControl.m_hWnd != nullptr) {
        return FALSE;
    }
    HWND hWndControl = ::GetDlgItem(m_hWnd, nIDC);
    if (hWndControl == nullptr || !rControl.Attach(hWndControl)) {
        return FALSE;
    }
    m_boundControls.push_back(&rControl);
    return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    if (m_hWnd == nullptr || pMsg->message < WM_KEYDOWN || pMsg->message > WM_SYSKEYUP) {
        return FALSE;
    }
    return ::IsDialogMessageA(m_hWnd, pMsg);
}

INT_PTR CALLBACK CDialog::DialogProcedure(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (pWnd == nullptr) {
        // Messages before WM_INITDIALOG (WM_SETFONT) find no object yet.
        if (message != WM_INITDIALOG || lParam == 0) {
            return FALSE;
        }
        pWnd = reinterpret_cast<CDialog*>(lParam);
        if (!pWnd->Attach(hWnd)) {
            return FALSE;
        }
    }
    BOOL defaulted = FALSE;
    const LRESULT result = RouteMessage(pWnd, hWnd, message, wParam, lParam, defaulted);
    if (defaulted) {
        return FALSE;
    }
    switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        // These answer through the procedure's own result.
        return static_cast<INT_PTR>(result);
    default:
        if (message != WM_NCDESTROY) {
#ifdef _WIN64
            // The 64-bit build (run under Wine in CI) keeps a pointer-sized result.
            ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
#else
            ::SetWindowLongA(hWnd, DWL_MSGRESULT, static_cast<LONG>(result));
#endif
        }
        return TRUE;
    }
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    ShowWindow(SW_HIDE);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        return OnInitDialog();
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

LRESULT CDialog::DefWindowProc(UINT, WPARAM, LPARAM) {
    NoteDefaultWanted();
    return 0;
}

void CDialog::OnNcDestroy() {
    // The controls went before the dialog; their objects outlive them.
    UnbindControls();
    CWnd::OnNcDestroy();
}

void CDialog::UnbindControls() {
    for (CWnd* pControl : m_boundControls) {
        pControl->Detach();
    }
    m_boundControls.clear();
}

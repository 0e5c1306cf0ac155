// A modeless dialog made from a template of the program's resources or from
// one in memory. The object is bound to
// its window when WM_INITDIALOG arrives; messages then go through its message
// map, and whatever it leaves unhandled gets the dialog manager's default
// processing.
#pragma once

#include "platform/framework/CWnd.h"

#include <vector>

class CDataExchange;

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)

public:
    explicit CDialog(UINT nIDTemplate = 0, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    // Makes the window from dialog template nIDTemplate of the program's
    // resources, owned by pParentWnd (or the constructor's parent).
    // OnInitDialog runs before this returns. FALSE when no window was made.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Makes the window from a DLGTEMPLATE and its items, owned by pParentWnd
    // (or, when that is NULL, by the parent given to the constructor).
    // OnInitDialog runs before this returns. FALSE when no window was made.
    BOOL CreateIndirect(const void* lpDialogTemplate, CWnd* pParentWnd = nullptr);

    // Runs DoDataExchange: FALSE fills the controls, TRUE reads them back.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Binds pControl to the window of control nIDC until this dialog's
    // window goes (DDX_Control's work).
    BOOL BindControl(int nIDC, CWnd& rControl);

    // The message loop passes keyboard messages for the dialog through
    // IsDialogMessageA (Tab, Enter, Escape).
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The dialog procedure of every CDialog window.
    static INT_PTR CALLBACK DialogProcedure(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    // Runs UpdateData(FALSE); TRUE lets the dialog manager give the first
    // control the focus.
    virtual BOOL OnInitDialog();
    // Enter and Escape (IDOK and IDCANCEL). The base ends the dialog the way
    // Windows ends a modeless one: hidden, not destroyed; a modeless dialog
    // that should go away overrides them to destroy its window.
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int nResult);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The dialog manager does the default processing after the procedure
    // returns; this only asks for it.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnNcDestroy() override;

    int m_nModalResult = 0;

    DECLARE_MESSAGE_MAP()

private:
    void UnbindControls();

    std::vector<CWnd*> m_boundControls;
};

// The small "In Process..." window: a looping animation over a progress bar,
// shown while a command works. It is modeless, lives for one command, and
// shows only what its owner tells it.
#pragma once

#include "platform/framework/CAnimateCtrl.h"
#include "platform/framework/CDialog.h"
#include "platform/framework/CProgressCtrl.h"

class CProgressDlg : public CDialog {
public:
    explicit CProgressDlg(CWnd* pParent = nullptr);
    ~CProgressDlg() override;

    // Makes the visible window from dialog template 130, owned by pParent;
    // nonzero on success.
    BOOL Create(CWnd* pParent);

    // The bar's range; only the low 16 bits of each bound reach it.
    void SetRange(int nLower, int nUpper);
    void SetPos(int nPos);
    void SetStep(int nStep);
    void StepIt();
    // Halts the animation and destroys the window; the object lives on.
    void Finish();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void PostNcDestroy() override;
    BOOL OnInitDialog() override;
    void OnCancel() override;

    DECLARE_MESSAGE_MAP()

private:
    CAnimateCtrl m_animate;
    CProgressCtrl m_progress;
};

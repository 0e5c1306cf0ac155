#include "update/CProgressDlg.h"

#include "platform/framework/CDataExchange.h"
#include "resources/resource.h"

namespace {
// ACM_PLAY arguments: repeat for ever from the first frame to the last, and
// the request to play nothing that ends a looping playback.
const WPARAM kRepeatForever = 0xFFFFFFFF;
const LPARAM kAllFrames = static_cast<LPARAM>(0xFFFF0000u);
const LPARAM kNoFrames = static_cast<LPARAM>(0xFFFFFFFFu);
} // namespace

// clang-format off
BEGIN_MESSAGE_MAP(CProgressDlg, CDialog)
END_MESSAGE_MAP()
// clang-format on

CProgressDlg::CProgressDlg(CWnd* pParent) : CDialog(IDD_PROGRESS, pParent) {}

CProgressDlg::~CProgressDlg() = default;

BOOL CProgressDlg::Create(CWnd* pParent) {
    return CDialog::Create(IDD_PROGRESS, pParent);
}

void CProgressDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_ANIMATE, m_animate);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

void CProgressDlg::PostNcDestroy() {
    // The object outlives its window; its creator deletes it.
    CDialog::PostNcDestroy();
}

BOOL CProgressDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CenterWindow(nullptr);
    m_animate.SendMessage(ACM_OPENA, 0, IDR_CLIP);
    m_animate.SendMessage(ACM_PLAY, kRepeatForever, kAllFrames);
    return TRUE;
}

void CProgressDlg::OnCancel() {
    // A modeless dialog: the cancel key destroys it at once.
    DestroyWindow();
}

void CProgressDlg::SetRange(int nLower, int nUpper) {
    m_progress.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper));
}

void CProgressDlg::SetPos(int nPos) {
    m_progress.SendMessage(PBM_SETPOS, static_cast<WPARAM>(nPos), 0);
}

void CProgressDlg::SetStep(int nStep) {
    m_progress.SendMessage(PBM_SETSTEP, static_cast<WPARAM>(nStep), 0);
}

void CProgressDlg::StepIt() {
    m_progress.SendMessage(PBM_STEPIT, 0, 0);
}

void CProgressDlg::Finish() {
    m_animate.SendMessage(ACM_PLAY, 0, kNoFrames);
    DestroyWindow();
}

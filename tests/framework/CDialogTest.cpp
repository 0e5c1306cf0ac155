#include "platform/framework/AfxWin.h"

#include "platform/emu/user/HostInput.h"
#include "platform/emu/user/controls/ControlClasses.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int kProgressId = 1000;
constexpr int kAnimateId = 1001;
constexpr char kProbeControlClass[] = "FrameworkProbeControl";

struct SentMessage {
    int id;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const SentMessage& other) const {
        return id == other.id && message == other.message && wParam == other.wParam &&
               lParam == other.lParam;
    }
};

std::vector<SentMessage> g_sent;

// Stands in for the common controls: records what the wrappers send.
LRESULT CALLBACK probeControlProcedure(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER) {
        g_sent.push_back({GetDlgCtrlID(hWnd), message, wParam, lParam});
        return 0;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

// The bytes of a DLGTEMPLATE with two probe controls, laid out as Windows
// reads them: WORD strings in UTF-16, items on DWORD boundaries.
class TemplateWriter {
public:
    std::vector<uint8_t> bytes;

    void word(uint16_t value) {
        bytes.push_back(static_cast<uint8_t>(value & 0xFF));
        bytes.push_back(static_cast<uint8_t>(value >> 8));
    }
    void dword(uint32_t value) {
        word(static_cast<uint16_t>(value & 0xFFFF));
        word(static_cast<uint16_t>(value >> 16));
    }
    void text(const char* ascii) {
        for (; *ascii != '\0'; ++ascii) {
            word(static_cast<uint8_t>(*ascii));
        }
        word(0);
    }
    void align() {
        while (bytes.size() % 4 != 0) {
            bytes.push_back(0);
        }
    }
    void item(int id, DWORD style) {
        align();
        dword(WS_CHILD | WS_VISIBLE | style);
        dword(0);
        word(7);
        word(static_cast<uint16_t>(id == kProgressId ? 50 : 15));
        word(194);
        word(16);
        word(static_cast<uint16_t>(id));
        text(kProbeControlClass);
        text(id == kProgressId ? "Progress1" : "Animate1");
        word(0);
    }
};

std::vector<uint8_t> probeTemplate() {
    TemplateWriter w;
    w.dword(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT);
    w.dword(0);
    w.word(2);
    w.word(0);
    w.word(0);
    w.word(208);
    w.word(73);
    w.word(0); // no menu
    w.word(0); // the dialog class
    w.text("probe dialog");
    w.word(8);
    w.text("MS Sans Serif");
    w.item(kProgressId, WS_BORDER);
    w.item(kAnimateId, WS_TABSTOP);
    return w.bytes;
}

class CProbeDialog : public CDialog {
public:
    explicit CProbeDialog(CWnd* pParent = nullptr) : CDialog(130, pParent) {}

    CAnimateCtrl m_animation;
    CProgressCtrl m_progress;
    bool m_initialised = false;
    bool m_boundInInit = false;
    int m_cancels = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, kAnimateId, m_animation);
        DDX_Control(pDX, kProgressId, m_progress);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_initialised = true;
        m_boundInInit = m_progress.m_hWnd != nullptr && m_animation.m_hWnd != nullptr;
        return TRUE;
    }
    void OnCancel() override {
        ++m_cancels;
        DestroyWindow();
    }
};

class FrameworkDialog : public ::testing::Test {
protected:
    void SetUp() override {
        g_sent.clear();
        m_machine.boot();
        emu::user::setIdleHandler([] { PostQuitMessage(99); });
        // The dialog class; registering again leaves it as it is.
        emu::user::registerControlClasses();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &probeControlProcedure;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kProbeControlClass;
        ASSERT_NE(RegisterClassA(&wc), 0);
        m_template = probeTemplate();
    }

    corvane_test::TestMachine m_machine;
    std::vector<uint8_t> m_template;
};

} // namespace

TEST_F(FrameworkDialog, CreationBindsTheMembersToTheTemplatesControls) {
    CProbeDialog dialog;
    ASSERT_TRUE(dialog.CreateIndirect(m_template.data()));
    ASSERT_NE(dialog.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(dialog.m_hWnd), &dialog);
    EXPECT_TRUE(dialog.m_initialised);
    EXPECT_TRUE(dialog.m_boundInInit);
    EXPECT_EQ(dialog.m_progress.m_hWnd, GetDlgItem(dialog.m_hWnd, kProgressId));
    EXPECT_EQ(dialog.m_animation.m_hWnd, GetDlgItem(dialog.m_hWnd, kAnimateId));
    EXPECT_TRUE(dialog.IsWindowVisible());
    // A second window for the same object is refused.
    EXPECT_FALSE(dialog.CreateIndirect(m_template.data()));
    EXPECT_FALSE(CProbeDialog().CreateIndirect(nullptr));
}

TEST_F(FrameworkDialog, ControlWrappersSendTheirMessages) {
    CProbeDialog dialog;
    ASSERT_TRUE(dialog.CreateIndirect(m_template.data()));
    g_sent.clear();
    dialog.m_progress.SetRange(0, 5000);
    dialog.m_progress.SetStep(1);
    dialog.m_progress.SetPos(2000);
    dialog.m_progress.StepIt();
    dialog.m_animation.Open(132);
    dialog.m_animation.Play(0, 0xFFFF, static_cast<UINT>(-1));
    dialog.m_animation.Play(0xFFFF, 0xFFFF, 0);
    dialog.m_animation.Stop();
    dialog.m_animation.Close();
    const std::vector<SentMessage> expected = {
        {kProgressId, PBM_SETRANGE, 0, static_cast<LPARAM>(5000u << 16)},
        {kProgressId, PBM_SETSTEP, 1, 0},
        {kProgressId, PBM_SETPOS, 2000, 0},
        {kProgressId, PBM_STEPIT, 0, 0},
        {kAnimateId, ACM_OPENA, 0, 132},
        {kAnimateId, ACM_PLAY, 0xFFFFFFFFu, static_cast<LPARAM>(0xFFFF0000u)},
        {kAnimateId, ACM_PLAY, 0, static_cast<LPARAM>(0xFFFFFFFFu)},
        {kAnimateId, ACM_STOP, 0, 0},
        {kAnimateId, ACM_OPENA, 0, 0},
    };
    ASSERT_EQ(g_sent.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(g_sent[i] == expected[i]) << "message " << i << ": " << g_sent[i].message << " "
                                              << g_sent[i].wParam << " " << g_sent[i].lParam;
    }
}

TEST_F(FrameworkDialog, CancelReachesTheOverrideAndReleasesTheControls) {
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, AfxRegisterWndClass(0), "owner", WS_POPUP | WS_VISIBLE,
                               RECT{0, 0, 300, 200}, nullptr, 0));
    CProbeDialog dialog(&owner);
    ASSERT_TRUE(dialog.CreateIndirect(m_template.data()));
    HWND hDialog = dialog.m_hWnd;
    EXPECT_EQ(GetWindow(hDialog, GW_OWNER), owner.m_hWnd);

    // Escape, as the message loop hands it to the dialog.
    MSG msg = {dialog.m_progress.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    EXPECT_TRUE(dialog.PreTranslateMessage(&msg));
    EXPECT_EQ(dialog.m_cancels, 1);
    EXPECT_FALSE(IsWindow(hDialog));
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(dialog.m_progress.m_hWnd, nullptr);
    EXPECT_EQ(dialog.m_animation.m_hWnd, nullptr);
    // The object outlives its window; its controls now do nothing.
    g_sent.clear();
    EXPECT_EQ(dialog.m_progress.StepIt(), 0);
    EXPECT_TRUE(g_sent.empty());
    // And it can be shown again.
    ASSERT_TRUE(dialog.CreateIndirect(m_template.data()));
    EXPECT_NE(dialog.m_progress.m_hWnd, nullptr);
}

TEST_F(FrameworkDialog, OkHidesAModelessDialogAndOtherCommandsGoToTheManager) {
    CProbeDialog dialog;
    ASSERT_TRUE(dialog.CreateIndirect(m_template.data()));
    dialog.SendMessage(WM_COMMAND, IDOK);
    EXPECT_FALSE(dialog.IsWindowVisible());
    EXPECT_TRUE(IsWindow(dialog.m_hWnd));
    dialog.SendMessage(WM_COMMAND, 4242);
    EXPECT_EQ(dialog.m_cancels, 0);
    dialog.SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_EQ(dialog.m_cancels, 1);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

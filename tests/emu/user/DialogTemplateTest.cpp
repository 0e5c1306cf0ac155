#include "tests/emu/user/DialogFixture.h"

#include "loader/ProgramResources.h"
#include "platform/emu/host/Screenshot.h"
#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/user/HostInput.h"
#include "platform/emu/user/dialog/DialogManager.h"
#include "platform/emu/user/dialog/DialogTemplate.h"
#include "resources/resource.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using corvane_test::DialogFixture;
using emu::user::DialogManager;
using emu::user::DialogTemplate;

namespace {

using Dialogs = DialogFixture;

int scaled(int units, int base, int per) {
    return (units * base + per / 2) / per;
}

// Dialog template 130 as the program's module carries it.
std::vector<unsigned char> templateBytes() {
    loader::registerProgramResources();
    return emu::kernel::moduleResources().dialogs.at(IDD_PROGRESS);
}

HWND createFrom(const std::vector<unsigned char>& bytes, HWND owner, DLGPROC proc) {
    return CreateDialogIndirectParamA(
        GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), owner, proc, 0);
}

// Changes the first letter of a UTF-16 class name in a template.
bool renameClass(std::vector<unsigned char>& bytes, const std::string& name, char first) {
    for (size_t i = 0; i + 2 * name.size() <= bytes.size(); ++i) {
        bool match = true;
        for (size_t k = 0; k < name.size() && match; ++k) {
            match = bytes[i + 2 * k] == static_cast<unsigned char>(name[k]) &&
                    bytes[i + 2 * k + 1] == 0;
        }
        if (match) {
            bytes[i] = static_cast<unsigned char>(first);
            return true;
        }
    }
    return false;
}

std::vector<UINT> g_messages;
LPARAM g_initParam = 0;
WPARAM g_initFocus = 0;

INT_PTR CALLBACK recordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    g_messages.push_back(message);
    if (message == WM_INITDIALOG) {
        g_initParam = lParam;
        g_initFocus = wParam;
        return TRUE;
    }
    if (message == WM_USER + 7) {
        SetWindowLongA(dialog, DWL_MSGRESULT, 42);
        return TRUE;
    }
    return FALSE;
}

} // namespace

TEST(DialogTemplate, TemplateOneHundredThirtyReadsBack) {
    auto bytes = templateBytes();
    auto dialog = DialogTemplate::parse(bytes.data(), bytes.size());
    ASSERT_TRUE(dialog.has_value());
    EXPECT_EQ(dialog->style, 0x90C000C0u);
    EXPECT_EQ(dialog->caption, "In Process...");
    EXPECT_EQ(dialog->pointSize, 8);
    EXPECT_EQ(dialog->faceName, "MS Sans Serif");
    EXPECT_EQ(dialog->cx, 208);
    EXPECT_EQ(dialog->cy, 73);
    ASSERT_EQ(dialog->items.size(), 2u);
    const auto& bar = dialog->items[0];
    EXPECT_EQ(bar.id, 1000);
    // The resource compiler stores class names in capitals; window classes
    // are found regardless of case.
    EXPECT_EQ(bar.className, "MSCTLS_PROGRESS32");
    EXPECT_EQ(bar.text, "Progress1");
    EXPECT_EQ(bar.style, 0x50800000u);
    EXPECT_EQ((std::vector<int>{bar.x, bar.y, bar.cx, bar.cy}), (std::vector<int>{7, 50, 194, 16}));
    const auto& clip = dialog->items[1];
    EXPECT_EQ(clip.id, 1001);
    EXPECT_EQ(clip.className, "SYSANIMATE32");
    EXPECT_EQ(clip.text, "Animate1");
    EXPECT_EQ(clip.style, 0x50010007u);
    EXPECT_EQ((std::vector<int>{clip.x, clip.y, clip.cx, clip.cy}),
              (std::vector<int>{7, 15, 194, 28}));
}

TEST(DialogTemplate, MalformedTemplatesAreRefused) {
    auto good = templateBytes();
    // Every cut short of the whole template is refused, wherever it falls.
    for (size_t size = 0; size < good.size(); ++size) {
        EXPECT_FALSE(DialogTemplate::parse(good.data(), size).has_value()) << size;
    }
    struct Case {
        const char* what;
        size_t at;
        std::vector<unsigned char> bytes;
    };
    const Case cases[] = {
        {"extended template", 0, {0x01, 0x00, 0xFF, 0xFF}},
        {"too many items", 8, {0x2C, 0x01}},
        {"unknown class ordinal", 20, {0xFF, 0xFF, 0x99, 0x00}},
    };
    for (const Case& c : cases) {
        auto bytes = good;
        std::memcpy(bytes.data() + c.at, c.bytes.data(), c.bytes.size());
        EXPECT_FALSE(DialogTemplate::parse(bytes.data(), bytes.size()).has_value()) << c.what;
    }
    // A caption without its terminator runs into the limit, not past the buffer.
    std::vector<unsigned char> endless(18 + 4, 0);
    endless.resize(18 + 4 + 2 * (DialogTemplate::kMaxText + 10), 'x');
    EXPECT_FALSE(DialogTemplate::parse(endless.data(), endless.size()).has_value());
    // Creation data is kept.
    auto withData = good;
    size_t sizeWord = withData.size() - 2;
    withData[sizeWord] = 4;
    withData.insert(withData.end(), {1, 2, 3, 4});
    auto parsed = DialogTemplate::parse(withData.data(), withData.size());
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->items[1].creationData, (std::vector<unsigned char>{1, 2, 3, 4}));
}

TEST_F(Dialogs, TemplateOneHundredThirtyMakesACentredDialogWithItsControls) {
    HWND launcher = owner(120, 80, 560, 400);
    HWND dialog = progressDialog(launcher);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), launcher);
    char caption[64] = {};
    GetWindowTextA(dialog, caption, sizeof caption);
    EXPECT_STREQ(caption, "In Process...");
    // No system menu, so no close box.
    POINT closeBox;
    EXPECT_FALSE(emu::user::closeBoxPoint(dialog, closeBox));

    RECT outer = windowRect(launcher);
    RECT mine = windowRect(dialog);
    EXPECT_NEAR(mine.left + mine.right, outer.left + outer.right, 1);
    EXPECT_NEAR(mine.top + mine.bottom, outer.top + outer.bottom, 1);

    // FONT 8, "MS Sans Serif" asks for 11-pixel characters (8 pt at 96 dpi):
    // the bitmap font's 13-pixel size. Its 52 letters are 323 pixels wide, so
    // the base units are ((323 / 26 + 1) / 2, 13) = (6, 13) and the 208 x 73
    // template is 312 x 119 pixels inside a 3-pixel frame and a 21-pixel
    // caption band.
    SIZE base = DialogManager::baseUnits(dialog);
    EXPECT_EQ(base.cx, 6);
    EXPECT_EQ(base.cy, 13);
    RECT client{0, 0, 0, 0};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, 312);
    EXPECT_EQ(client.bottom, 119);
    EXPECT_EQ(mine.right - mine.left, 318);
    EXPECT_EQ(mine.bottom - mine.top, 146);

    struct Expected {
        int id;
        int x, y, cx, cy;
    };
    for (Expected e : {Expected{1000, 7, 50, 194, 16}, Expected{1001, 7, 15, 194, 28}}) {
        HWND control = GetDlgItem(dialog, e.id);
        ASSERT_NE(control, nullptr) << e.id;
        EXPECT_EQ(GetDlgCtrlID(control), e.id);
        EXPECT_TRUE(IsWindowVisible(control));
        RECT r = windowRect(control);
        POINT origin = screenPoint(dialog, 0, 0);
        EXPECT_EQ(r.left - origin.x, scaled(e.x, base.cx, 4)) << e.id;
        EXPECT_EQ(r.top - origin.y, scaled(e.y, base.cy, 8)) << e.id;
        EXPECT_EQ(r.right - r.left, scaled(e.cx, base.cx, 4)) << e.id;
        EXPECT_EQ(r.bottom - r.top, scaled(e.cy, base.cy, 8)) << e.id;
    }
}

TEST_F(Dialogs, TheTraceShowsTheProgramsCallsOnly) {
    HWND launcher = owner(120, 80, 560, 400);
    HWND dialog = progressDialog(launcher);
    ASSERT_NE(dialog, nullptr);
    std::string trace = traceText();
    // The dialog procedure's own MoveWindow comes first, then the creation;
    // the windows the dialog manager makes on its own are not the program's calls.
    size_t move = trace.find("MoveWindow(0x2, ");
    size_t create =
        trace.find("CreateDialogIndirectParamA(0x400000, \"In Process...\", 0x1) = 0x2\n");
    EXPECT_NE(move, std::string::npos) << trace;
    EXPECT_NE(create, std::string::npos) << trace;
    EXPECT_LT(move, create);
    EXPECT_EQ(trace.find("CreateWindowExA(0, \"msctls_progress32\""), std::string::npos) << trace;
    EXPECT_EQ(trace.find("\"#32770\""), std::string::npos) << trace;
    EXPECT_EQ(trace.find("ShowWindow(0x2"), std::string::npos) << trace;
}

TEST_F(Dialogs, TheDialogProcedureSeesInitialisationAndKeys) {
    g_messages.clear();
    HWND launcher = owner(0, 0, 560, 400);
    auto bytes = templateBytes();
    HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()),
                                             launcher, recordingProc, 0x1234);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(g_initParam, 0x1234);
    // The first control with a tab stop is offered the focus, and gets it.
    HWND animation = GetDlgItem(dialog, 1001);
    EXPECT_EQ(reinterpret_cast<HWND>(g_initFocus), animation);
    EXPECT_EQ(GetFocus(), animation);
    // The dialog's font came before the initialisation.
    auto setFont = std::find(g_messages.begin(), g_messages.end(), WM_SETFONT);
    auto init = std::find(g_messages.begin(), g_messages.end(), WM_INITDIALOG);
    EXPECT_LT(setFont, init);
    EXPECT_NE(SendMessageA(dialog, WM_GETFONT, 0, 0), 0);
    // A handled message answers with DWL_MSGRESULT.
    EXPECT_EQ(SendMessageA(dialog, WM_USER + 7, 0, 0), 42);
}

TEST_F(Dialogs, EnterAndEscapeBecomeCommands) {
    HWND launcher = owner(0, 0, 560, 400);
    HWND dialog = progressDialog(launcher);
    ASSERT_NE(dialog, nullptr);
    for (UINT key : {VK_RETURN, VK_ESCAPE}) {
        MSG message{GetFocus(), WM_KEYDOWN, key, 0, 0, {0, 0}};
        EXPECT_TRUE(IsDialogMessageA(dialog, &message));
    }
    EXPECT_EQ(s_commands, (std::vector<UINT>{IDOK, IDCANCEL}));
}

TEST_F(Dialogs, BrokenTemplatesAndMissingClassesMakeNoWindow) {
    HWND launcher = owner(0, 0, 560, 400);
    auto bytes = templateBytes();
    // The program's own template of the same name, cut short: its registered
    // size is what the dialog manager goes by.
    emu::kernel::ModuleResources resources = emu::kernel::moduleResources();
    auto& cut = resources.dialogs[IDD_PROGRESS];
    cut.resize(cut.size() - 10);
    emu::kernel::setModuleResources(resources);
    const auto& registered = emu::kernel::moduleResources().dialogs.at(IDD_PROGRESS);
    EXPECT_EQ(CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                         reinterpret_cast<LPCDLGTEMPLATEA>(registered.data()),
                                         launcher, centringProc, 0),
              nullptr);
    // A control of a class nobody registered fails the whole dialog.
    auto unknown = bytes;
    ASSERT_TRUE(renameClass(unknown, "SYSANIMATE32", 'Z'));
    HWND before = GetWindow(launcher, GW_HWNDFIRST);
    EXPECT_EQ(createFrom(unknown, launcher, centringProc), nullptr);
    EXPECT_EQ(GetWindow(launcher, GW_HWNDFIRST), before);
    EXPECT_EQ(
        CreateDialogIndirectParamA(GetModuleHandleA(nullptr), nullptr, launcher, centringProc, 0),
        nullptr);
}

TEST_F(Dialogs, TemplatesByNumberComeFromTheProgramsModuleOnly) {
    HWND launcher = owner(0, 0, 560, 400);
    HINSTANCE own = GetModuleHandleA(nullptr);
    HINSTANCE other = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x10000000));
    struct Case {
        const char* what;
        HINSTANCE instance;
        LPCSTR name;
        bool made;
    };
    const Case cases[] = {
        {"dialog 130 of the program", own, MAKEINTRESOURCEA(IDD_PROGRESS), true},
        {"a null instance means the program", nullptr, MAKEINTRESOURCEA(IDD_PROGRESS), true},
        {"a number the program has no dialog for", own, MAKEINTRESOURCEA(131), false},
        {"a template named by text", own, "PROGRESS", false},
        {"another module", other, MAKEINTRESOURCEA(IDD_PROGRESS), false},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        HWND dialog = CreateDialogParamA(c.instance, c.name, launcher, centringProc, 0);
        EXPECT_EQ(dialog != nullptr, c.made) << c.what;
        if (dialog != nullptr) {
            char caption[32] = {};
            GetWindowTextA(dialog, caption, sizeof caption);
            EXPECT_STREQ(caption, "In Process...") << c.what;
            EXPECT_TRUE(DestroyWindow(dialog));
        } else {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND)) << c.what;
        }
    }
}

TEST_F(Dialogs, ScreenshotOfTheDialogOverItsOwner) {
    HWND launcher = owner(120, 100, 560, 400);
    s_onInit = [](HWND dialog) { SendMessageA(GetDlgItem(dialog, 1001), ACM_OPENA, 0, IDR_CLIP); };
    HWND dialog = progressDialog(launcher);
    ASSERT_NE(dialog, nullptr);
    HWND bar = GetDlgItem(dialog, 1000);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 5000));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    SendMessageA(bar, PBM_SETPOS, 2000, 0);
    std::string error;
    std::string path = std::string(CORVANE_BINARY_DIR) + "/dialog-screenshot.png";
    ASSERT_TRUE(emu::host::Screenshot::write(path, error)) << error;
    // The dialog's face shows between its controls.
    POINT face = screenPoint(dialog, 3, 3);
    EXPECT_EQ(pixel(face.x, face.y), RGB(192, 192, 192));
}

#include "platform/emu/user/dialog/DialogManager.h"

#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/user/DcSaver.h"
#include "platform/emu/user/DefaultWindowProc.h"
#include "platform/emu/user/Look95.h"
#include "platform/emu/user/WindowProcCookies.h"
#include "platform/emu/user/controls/ControlAccess.h"
#include "platform/emu/user/dialog/DialogTemplate.h"

#include <cstring>

namespace emu::user {

namespace {

constexpr int kScreenDpi = 96;
constexpr int kPointsPerInch = 72;
constexpr DWORD kNoFailCreate = 0x0010; // DS_NOFAILCREATE
constexpr const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

struct DialogState : ControlState {
    DLGPROC proc = nullptr;
    HFONT font = nullptr;
    bool ownsFont = false;
    SIZE base{0, 0};

    ~DialogState() override {
        if (ownsFont && font != nullptr) {
            DeleteObject(font);
        }
    }
};

DialogState* stateOf(HWND handle) {
    return controlStateAs<DialogState>(handle);
}

// MulDiv: value * numerator / denominator, rounded half away from zero.
int scale(int value, int numerator, int denominator) {
    long long product = static_cast<long long>(value) * numerator;
    long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
}

HFONT createTemplateFont(const DialogTemplate& dialog) {
    if (!dialog.hasFont) {
        return nullptr;
    }
    LOGFONTA font{};
    font.lfHeight = -scale(dialog.pointSize, kScreenDpi, kPointsPerInch);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(font.lfFaceName, dialog.faceName.c_str(), LF_FACESIZE - 1);
    return CreateFontIndirectA(&font);
}

// As Windows measures them: the average width of the 52 letters, rounded,
// and the height of a line of the font.
SIZE measureBaseUnits(HFONT font) {
    HDC dc = emu::gdi::createDeviceContext(POINT{0, 0}, {});
    SIZE extent{0, 0};
    {
        DcSaver saved(dc);
        SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
        GetTextExtentPoint32A(dc, kAlphabet, 52, &extent);
    }
    emu::gdi::destroyDeviceContext(dc);
    return SIZE{(extent.cx / 26 + 1) / 2, extent.cy};
}

RECT toPixels(const SIZE& base, short x, short y, short cx, short cy) {
    int left = scale(x, base.cx, 4);
    int top = scale(y, base.cy, 8);
    return RECT{left, top, left + scale(cx, base.cx, 4), top + scale(cy, base.cy, 8)};
}

RECT workArea() {
    RECT area{0, 0, 0, 0};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// The outer rectangle of the dialog window: the template gives the client
// area, relative to the owner's client area (the parent's for a child dialog).
RECT dialogRect(const DialogTemplate& dialog, DWORD exStyle, const SIZE& base, HWND owner) {
    RECT client = toPixels(base, dialog.x, dialog.y, dialog.cx, dialog.cy);
    bool child = (dialog.style & WS_CHILD) != 0;
    RECT insets = Look95::frameInsets(dialog.style, exStyle, child);
    RECT outer{client.left - insets.left, client.top - insets.top, client.right + insets.right,
               client.bottom + insets.bottom};
    if ((dialog.style & DS_CENTER) != 0 && !child) {
        RECT area = workArea();
        int width = outer.right - outer.left;
        int height = outer.bottom - outer.top;
        int left = area.left + (area.right - area.left - width) / 2;
        int top = area.top + (area.bottom - area.top - height) / 2;
        return RECT{left, top, left + width, top + height};
    }
    if (owner != nullptr && !child) {
        POINT origin{0, 0};
        ClientToScreen(owner, &origin);
        OffsetRect(&outer, origin.x, origin.y);
    }
    return outer;
}

HWND createControl(const DialogTemplate::Item& item, const SIZE& base, HWND dialog,
                   HINSTANCE instance) {
    RECT place = toPixels(base, item.x, item.y, item.cx, item.cy);
    LPVOID data =
        item.creationData.empty() ? nullptr : const_cast<unsigned char*>(item.creationData.data());
    QuietCalls quiet;
    return CreateWindowExA(
        item.exStyle, item.className.c_str(), item.text.c_str(), item.style | WS_CHILD, place.left,
        place.top, place.right - place.left, place.bottom - place.top, dialog,
        reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id)), instance, data);
}

void destroyQuietly(HWND window) {
    QuietCalls quiet;
    DestroyWindow(window);
}

// The controls in template order; false when one could not be made and the
// template does not allow that.
bool createControls(const DialogTemplate& dialog, const SIZE& base, HWND window, HINSTANCE instance,
                    HFONT font, HWND& firstTabStop) {
    firstTabStop = nullptr;
    for (const DialogTemplate::Item& item : dialog.items) {
        HWND control = createControl(item, base, window, instance);
        if (control == nullptr) {
            if ((dialog.style & kNoFailCreate) != 0) {
                continue;
            }
            return false;
        }
        if (font != nullptr) {
            sendToWindow(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
        if (firstTabStop == nullptr && (item.style & WS_TABSTOP) != 0 &&
            (item.style & WS_DISABLED) == 0) {
            firstTabStop = control;
        }
    }
    return true;
}

HWND createDialogWindow(const DialogTemplate& dialog, HINSTANCE instance, HWND owner,
                        const SIZE& base) {
    DWORD exStyle = dialog.exStyle;
    if ((dialog.style & DS_MODALFRAME) != 0) {
        exStyle |= WS_EX_DLGMODALFRAME;
    }
    RECT outer = dialogRect(dialog, exStyle, base, owner);
    // Shown only once the dialog procedure has prepared it.
    DWORD style = dialog.style & ~static_cast<DWORD>(WS_VISIBLE);
    QuietCalls quiet;
    return CreateWindowExA(exStyle, DialogManager::kClassName, dialog.caption.c_str(), style,
                           outer.left, outer.top, outer.right - outer.left,
                           outer.bottom - outer.top, owner, nullptr, instance, nullptr);
}

// Windows gives a dialog procedure no chance to paint before the program
// next pumps messages; the dialog and its controls are painted here so that
// a dialog put up before a long piece of work shows at once.
void showNow(HWND dialog) {
    if (controlWindow(dialog) == nullptr) {
        return;
    }
    showQuietly(dialog, SW_SHOWNORMAL);
    UpdateWindow(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        UpdateWindow(child);
    }
}

bool returnsValueDirectly(UINT message) {
    constexpr UINT kCompareItem = 0x0039;
    constexpr UINT kVKeyToItem = 0x002E;
    constexpr UINT kCharToItem = 0x002F;
    constexpr UINT kQueryDragIcon = 0x0037;
    constexpr UINT kCtlColorFirst = 0x0132;
    constexpr UINT kCtlColorLast = 0x0138;
    return message == WM_INITDIALOG || message == kCompareItem || message == kVKeyToItem ||
           message == kCharToItem || message == kQueryDragIcon ||
           (message >= kCtlColorFirst && message <= kCtlColorLast);
}

LRESULT defaultHandling(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogState* s = stateOf(window);
    switch (message) {
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT client{0, 0, 0, 0};
        GetClientRect(window, &client);
        Look95::fillFace(dc, client);
        return 1;
    }
    case WM_CLOSE:
        // A dialog closes the way its cancel key does.
        sendToWindow(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, IDCANCEL)));
        return 0;
    case WM_SETFONT:
        if (s != nullptr) {
            s->font = reinterpret_cast<HFONT>(wParam);
        }
        return 0;
    case WM_GETFONT:
        return s != nullptr ? reinterpret_cast<LRESULT>(s->font) : 0;
    default:
        return DefaultWindowProc::windowProc(window, message, wParam, lParam);
    }
}

} // namespace

void DialogManager::registerClass(ClassTable& classes) {
    WNDCLASSA definition{};
    definition.style = CS_DBLCLKS;
    definition.lpfnWndProc = windowProc;
    definition.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    definition.lpszClassName = kClassName;
    classes.add(definition);
}

SIZE DialogManager::baseUnits(HWND dialog) {
    DialogState* s = stateOf(dialog);
    return s != nullptr ? s->base : SIZE{0, 0};
}

LRESULT CALLBACK DialogManager::windowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    DialogState* s = stateOf(window);
    if (s != nullptr && s->proc != nullptr) {
        INT_PTR handled = s->proc(window, message, wParam, lParam);
        if (handled != 0) {
            if (returnsValueDirectly(message)) {
                return handled;
            }
            const Window* still = controlWindow(window);
            return still != nullptr ? still->msgResult() : 0;
        }
        if (controlWindow(window) == nullptr) {
            return 0;
        }
    }
    return defaultHandling(window, message, wParam, lParam);
}

HWND DialogManager::create(HINSTANCE instance, const unsigned char* data, size_t size, HWND owner,
                           DLGPROC dialogProc, LPARAM initParam) {
    std::optional<DialogTemplate> dialog = DialogTemplate::parse(data, size);
    if (!dialog || !dialog->className.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HFONT font = createTemplateFont(*dialog);
    SIZE base = measureBaseUnits(font);
    HWND handle = createDialogWindow(*dialog, instance, owner, base);
    if (handle == nullptr) {
        if (font != nullptr) {
            DeleteObject(font);
        }
        return nullptr;
    }
    auto state = std::make_unique<DialogState>();
    state->proc = dialogProc;
    state->font = font;
    state->ownsFont = font != nullptr;
    state->base = base;
    setControlState(handle, std::move(state));
    if (font != nullptr) {
        sendToWindow(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    HWND focus = nullptr;
    if (!createControls(*dialog, base, handle, instance, font, focus)) {
        destroyQuietly(handle);
        return nullptr;
    }
    LRESULT wantsFocus =
        sendToWindow(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), initParam);
    if (!IsWindow(handle)) {
        return nullptr;
    }
    if ((dialog->style & WS_VISIBLE) != 0) {
        showNow(handle);
    }
    if (wantsFocus != 0 && focus != nullptr && IsWindow(focus)) {
        SetFocus(focus);
    }
    return handle;
}

} // namespace emu::user

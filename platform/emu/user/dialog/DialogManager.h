// Modeless dialogs made from templates, as CreateDialogIndirectParamA makes
// them: the dialog window of class "#32770" sized in dialog units of its
// font, its controls created as children with their ids, WM_SETFONT to each,
// WM_INITDIALOG to the dialog procedure, then shown when the template says
// WS_VISIBLE. The dialog window procedure passes every message to the dialog
// procedure first and does the default dialog handling when it declines.
#pragma once

#include "platform/emu/user/WindowClass.h"

namespace emu::user {

class DialogManager {
public:
    static constexpr const char* kClassName = "#32770";
    // What a template that comes without its size may take up at most.
    static constexpr size_t kUnsizedTemplateLimit = 0x10000;

    static void registerClass(ClassTable& classes);
    static HWND create(HINSTANCE instance, const unsigned char* data, size_t size, HWND owner,
                       DLGPROC dialogProc, LPARAM initParam);
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Pixels of 4 horizontal and 8 vertical dialog units; {0, 0} for a
    // window that is no dialog.
    static SIZE baseUnits(HWND dialog);
};

} // namespace emu::user

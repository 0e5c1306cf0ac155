// MessageBoxA: a modal window in the Windows 95 look with an icon, the text
// wrapped over lines and a row of push buttons, centred over its owner. The
// owner is disabled while the box is up; the box's own message loop keeps
// serving every other window.
#pragma once

#include "platform/emu/user/WindowClass.h"

#include <functional>
#include <string>
#include <vector>

namespace emu::user {

struct MessageBoxButton {
    int id;
    const char* label;
    char mnemonic; // upper case; 0 for none
};

class MessageBox {
public:
    // Answers a box in place of the user: given its text, caption and type,
    // returns the id of the button pressed. While one is set, no box is shown.
    using Answerer =
        std::function<int(const std::string& text, const std::string& caption, UINT type)>;
    // Sets the answerer; an empty one shows boxes again.
    static void setAnswerer(Answerer answerer);
    static constexpr const char* kClassName = "MessageBox95";
    static void registerClass(ClassTable& classes);
    // Runs the box and returns the pressed button's id (0 when it could not be shown).
    static int run(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
    static std::vector<MessageBoxButton> buttonsFor(UINT type);
    // The modal loop: serves every window until a button of the box answers.
    static int loop(HWND box, HWND ownerTop, bool ownerWasEnabled);
    // The id an Escape key (or the close box) stands for, or 0 when it does nothing.
    static int escapeAnswer(UINT type);
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

} // namespace emu::user

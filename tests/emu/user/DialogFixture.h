// A booted headless machine with the dialog and control classes, the progress
// dialog's template (130) and clip (132) among the program's resources, and a
// launcher-like owner window.
#pragma once

#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace corvane_test {

class DialogFixture : public ::testing::Test {
protected:
    static constexpr const char* kOwnerClass = "DialogOwner";

    void SetUp() override;
    void TearDown() override;

    // A shown top-level window with the launcher's styles.
    HWND owner(int x, int y, int w, int h);
    // Template 130 over `parent`; the dialog procedure centres the dialog
    // over its owner on WM_INITDIALOG and then runs s_onInit.
    HWND progressDialog(HWND parent);
    static void centreOver(HWND dialog, HWND over);
    static COLORREF pixel(int x, int y);
    static POINT screenPoint(HWND window, int x, int y);
    static RECT windowRect(HWND window);

    static std::function<void(HWND)> s_onInit;
    static std::vector<UINT> s_commands;
    static INT_PTR CALLBACK centringProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    std::string traceText() const { return m_machine.traceText(); }

    TestMachine m_machine{TestMachine::traced()};
};

} // namespace corvane_test

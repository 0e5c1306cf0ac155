// A booted headless machine with a window class whose procedure writes down
// every message it gets, and a way to run the message loop under a script.
#pragma once

#include "platform/emu/host/HostSession.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace corvane_test {

struct SeenMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class UserFixture : public ::testing::Test {
protected:
    static constexpr const char* kProbeClass = "Probe";
    static constexpr const char* kPlainClass = "PlainProbe"; // without CS_DBLCLKS
    static constexpr DWORD kLauncherStyle = 0x80C80000;

    void SetUp() override;
    void TearDown() override;

    // A launcher-like top-level window at (x, y), outer size w x h, not yet shown.
    HWND topLevel(int x, int y, int w, int h, const char* title = "probe",
                  const char* windowClass = kProbeClass);
    // Runs the program's message loop with the script as input until the
    // script is used up (the loop then ends) or WM_QUIT comes.
    // Messages for the dialog, when given, go through IsDialogMessageA first.
    void runScript(const std::string& script, HWND dialog = nullptr);
    // Everything queued, without waiting for input.
    void pump();

    // The messages seen by one window (or by all when hwnd is null), filtered.
    std::vector<SeenMessage> seen(HWND hwnd, std::vector<UINT> which) const;
    std::vector<UINT> seenKinds(HWND hwnd, std::vector<UINT> which) const;
    void forget() { s_seen.clear(); }
    std::string traceText() const;

    COLORREF pixel(int x, int y) const;

    // What the probe's WM_CREATE answers, and a hook run for WM_USER.
    static LRESULT s_createAnswer;
    static std::function<void(HWND)> s_onUser;
    static std::vector<SeenMessage> s_seen;
    bool m_exhausted = false;

    TestMachine m_machine{TestMachine::traced()};
    TempDir m_files;

private:
    static LRESULT CALLBACK probeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

} // namespace corvane_test

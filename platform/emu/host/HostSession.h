// Drives the emulated machine from the host: whenever the program waits for a
// message and nothing is queued, the session runs the next script command, or
// shows the screen and passes on the host's input. A headless session whose
// script is used up ends the run.
#pragma once

#include "platform/emu/host/HostDisplay.h"
#include "platform/emu/host/InputScript.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace emu::host {

struct SessionEnds {
    // The program waits for input that no script will give (headless).
    std::function<void()> exhausted;
    // A script command failed (a screenshot that cannot be written); the reason.
    std::function<void(const std::string&)> failed;
    // The user closed the host window.
    std::function<void()> closed;
};

class HostSession {
public:
    // The default ends of a run of the setup program: "script-exhausted" in the
    // trace and exit status 3; a failed command on stderr and exit status 2;
    // a closed host window exit status 0.
    static SessionEnds processEnds();

    HostSession(InputScript script, std::unique_ptr<HostDisplay> display, SessionEnds ends);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Becomes the window manager's idle handler.
    void start();
    // Work done first in every step of waiting, before the script goes on
    // (the watch of layout.ini).
    void setBeforeEachStep(std::function<void()> work) { m_beforeEachStep = std::move(work); }
    // One step of waiting: runs when every message loop has nothing to do.
    void idle();
    // Becomes the window manager's poll handler: the program looks for
    // messages while it works. The next script command runs when it makes
    // no input (a wait, a screenshot, a copy) and no wait is still running;
    // input is kept for when the program waits for it, as a user answers
    // what the program asks. Never waits and never ends the session.
    void poll();

private:
    void noInputSource();
    void run(const ScriptCommand& command);
    void pointerTo(const ScriptCommand& command, bool click);
    void closeActive(const ScriptCommand& command);
    void copyFile(const ScriptCommand& command);
    void beginWait(DWORD ms);
    bool waiting();

    InputScript m_script;
    std::unique_ptr<HostDisplay> m_display;
    SessionEnds m_ends;
    std::function<void()> m_beforeEachStep;
    std::optional<std::chrono::steady_clock::time_point> m_waitUntil;
    std::thread::id m_programThread;
};

} // namespace emu::host

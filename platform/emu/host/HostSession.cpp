#include "platform/emu/host/HostSession.h"

#include "platform/emu/MachineConfig.h"
#include "platform/emu/host/Screenshot.h"
#include "platform/emu/kernel/SystemInfo.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/emu/user/HostInput.h"

#include <cerrno> // program_invocation_short_name: messages name the program as started
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace emu::host {

namespace {

constexpr int kEventSliceMs = 20;
constexpr auto kWaitSlice = std::chrono::milliseconds(10);

} // namespace

SessionEnds HostSession::processEnds() {
    SessionEnds ends;
    // The run ends at once, from deep inside the program's message loop:
    // nothing of the emulated machine is torn down behind the program's back.
    ends.exhausted = [] {
        Trace::scriptExhausted();
        std::fflush(nullptr);
        std::_Exit(3);
    };
    ends.failed = [](const std::string& reason) {
        Trace::endRunningCalls();
        std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, reason.c_str());
        std::fflush(nullptr);
        std::_Exit(2);
    };
    ends.closed = [] {
        Trace::endRunningCalls();
        std::fflush(nullptr);
        std::_Exit(0);
    };
    return ends;
}

HostSession::HostSession(InputScript script, std::unique_ptr<HostDisplay> display, SessionEnds ends)
    : m_script(std::move(script)), m_display(std::move(display)), m_ends(std::move(ends)) {
    // Until start(), nothing feeds the machine: a program that waits for
    // input would wait for ever, so the run ends as a used-up script does.
    user::setIdleHandler([this] { noInputSource(); });
}

void HostSession::noInputSource() {
    std::fprintf(stderr, "%s: waiting for input with no input source\n",
                 program_invocation_short_name);
    m_ends.exhausted();
}

HostSession::~HostSession() {
    user::setIdleHandler(nullptr);
    user::setPollHandler(nullptr);
    user::setDrawnHandler(nullptr);
}

void HostSession::start() {
    user::setIdleHandler([this] { idle(); });
    user::setPollHandler([this] { poll(); });
    m_programThread = std::this_thread::get_id();
    if (m_display) {
        // Only the program's thread may touch the host window.
        user::setDrawnHandler([this] {
            if (std::this_thread::get_id() == m_programThread) {
                m_display->presentIfDue();
            }
        });
    }
}

void HostSession::idle() {
    if (m_beforeEachStep) {
        m_beforeEachStep();
    }
    if (m_display) {
        m_display->present();
    }
    if (waiting()) {
        return;
    }
    if (!m_script.done()) {
        run(m_script.take());
        return;
    }
    if (!m_display) {
        m_ends.exhausted();
        return;
    }
    if (!m_display->pumpEvents(kEventSliceMs)) {
        m_ends.closed();
    }
}

void HostSession::poll() {
    if (m_display) {
        if (!m_display->pumpEvents(0)) {
            m_ends.closed();
            return;
        }
        m_display->present();
    }
    if (m_waitUntil) {
        if (std::chrono::steady_clock::now() < *m_waitUntil) {
            return;
        }
        m_waitUntil.reset();
    }
    if (m_script.done()) {
        return;
    }
    ScriptOp op = m_script.next().op;
    if (op == ScriptOp::Wait || op == ScriptOp::Screenshot || op == ScriptOp::Copy) {
        run(m_script.take());
    }
}

bool HostSession::waiting() {
    if (!m_waitUntil) {
        return false;
    }
    auto now = std::chrono::steady_clock::now();
    if (now >= *m_waitUntil) {
        m_waitUntil.reset();
        return false;
    }
    // Short slices, so that the program's loops run between them.
    auto slice = std::min<std::chrono::steady_clock::duration>(*m_waitUntil - now, kWaitSlice);
    if (m_display) {
        if (!m_display->pumpEvents(static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(slice).count()))) {
            m_ends.closed();
        }
    } else {
        std::this_thread::sleep_for(slice);
    }
    return true;
}

void HostSession::beginWait(DWORD ms) {
    if (config().clock == ClockMode::Virtual) {
        kernel::advanceVirtualClock(ms);
        return;
    }
    m_waitUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

void HostSession::run(const ScriptCommand& command) {
    switch (command.op) {
    case ScriptOp::Move:
        pointerTo(command, false);
        break;
    case ScriptOp::Click:
        pointerTo(command, true);
        break;
    case ScriptOp::Key:
        user::postKey(command.key, true);
        user::postKey(command.key, false);
        break;
    case ScriptOp::Wait:
        beginWait(command.ms);
        break;
    case ScriptOp::Screenshot: {
        user::catchUpAnimations();
        std::string error;
        if (!Screenshot::write(command.file, error)) {
            m_ends.failed("line " + std::to_string(command.line) + ": " + error);
        }
        break;
    }
    case ScriptOp::Close:
        closeActive(command);
        break;
    case ScriptOp::Copy:
        copyFile(command);
        break;
    }
}

void HostSession::pointerTo(const ScriptCommand& command, bool click) {
    POINT at{command.x, command.y};
    if (HWND main = user::mainWindow()) {
        ClientToScreen(main, &at);
    }
    user::postMouseMove(at);
    if (click) {
        user::postMouseButton(at, true);
        user::postMouseButton(at, false);
    }
}

void HostSession::copyFile(const ScriptCommand& command) {
    std::ifstream from(command.file, std::ios::binary);
    std::ostringstream bytes;
    bytes << from.rdbuf();
    std::ofstream to(command.target, std::ios::binary | std::ios::trunc);
    to << bytes.str();
    to.close();
    if (!from || !to) {
        m_ends.failed("line " + std::to_string(command.line) + ": cannot copy " + command.file +
                      " to " + command.target);
    }
}

void HostSession::closeActive(const ScriptCommand& command) {
    POINT box{0, 0};
    if (!user::closeBoxPoint(user::activeWindow(), box)) {
        std::fprintf(stderr, "%s: line %d: close: no active window with a close box\n",
                     program_invocation_short_name, command.line);
        return;
    }
    user::postMouseMove(box);
    user::postMouseButton(box, true);
    user::postMouseButton(box, false);
}

} // namespace emu::host

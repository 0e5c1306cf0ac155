// Input for code that runs in the test's own process: a host session that
// feeds an input script to every message loop (message boxes included). When
// the program waits for more input than the script has, the message loop is
// ended (WM_QUIT), and the test fails unless the end was expected.
#pragma once

#include "platform/emu/host/HostSession.h"

#include <memory>
#include <string>

namespace corvane_test {

std::unique_ptr<emu::host::HostSession> startScriptedInput(const std::string& script,
                                                           bool endExpected = false);

} // namespace corvane_test

#include "tests/support/ScriptedInput.h"

#include <gtest/gtest.h>

#include <memory>

namespace corvane_test {

std::unique_ptr<emu::host::HostSession> startScriptedInput(const std::string& text,
                                                           bool endExpected) {
    emu::host::InputScript script;
    std::string error;
    EXPECT_TRUE(emu::host::InputScript::parse(text, script, error)) << error;
    emu::host::SessionEnds ends;
    auto ended = std::make_shared<bool>(false);
    ends.exhausted = [ended, endExpected] {
        if (*ended) {
            return;
        }
        *ended = true;
        if (!endExpected) {
            ADD_FAILURE() << "the program waited for more input";
        }
        PostQuitMessage(0);
    };
    ends.failed = [](const std::string& reason) { ADD_FAILURE() << reason; };
    ends.closed = [] {};
    auto session = std::make_unique<emu::host::HostSession>(std::move(script), nullptr, ends);
    session->start();
    return session;
}

} // namespace corvane_test

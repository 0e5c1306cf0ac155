// A booted machine whose drive C: is a fresh temporary folder, for calling the
// profile functions on files written by the test.
#pragma once

#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane_test {

class ProfileMachine : public ::testing::Test {
protected:
    ProfileMachine() : m_machine(emptyC()) {}
    void SetUp() override { m_machine.boot(); }

    // Boots the machine afresh with that ANSI code page when it runs another.
    void useCodePage(UINT codePage) {
        if (m_machine.config().codePage.value_or(1252) != codePage) {
            m_machine.config().codePage = codePage;
            m_machine.boot();
        }
    }

    // The host path of a file in C:'s root.
    std::string host(const std::string& name) const { return m_machine.onC(name); }

    TestMachine m_machine;

private:
    static TestMachine::Options emptyC() {
        TestMachine::Options options;
        options.drives = TestMachine::Drives::COnly;
        options.cFolders.clear();
        return options;
    }
};

// A caller's buffer of a given size followed by guard bytes, all preset to
// 'X', so that a write past the size shows.
class GuardedBuffer {
public:
    static constexpr std::size_t kGuard = 16;
    explicit GuardedBuffer(std::size_t size) : m_size(size), m_bytes(size + kGuard, 'X') {}

    char* data() { return m_bytes.data(); }
    std::string first(std::size_t count) const { return std::string(m_bytes.data(), count); }
    bool guardIntact() const {
        return std::string(m_bytes.data() + m_size, kGuard) == std::string(kGuard, 'X');
    }

private:
    std::size_t m_size;
    std::vector<char> m_bytes;
};

} // namespace corvane_test

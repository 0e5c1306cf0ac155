// The input script of a host session: one command a line, '#' starts a
// comment. Coordinates are in the main window's client area.
//   move X Y | click X Y | key NAME | wait MS | screenshot FILE | close |
//   copy FROM TO
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace emu::host {

enum class ScriptOp { Move, Click, Key, Wait, Screenshot, Close, Copy };

struct ScriptCommand {
    ScriptOp op = ScriptOp::Move;
    int line = 0;
    int x = 0;
    int y = 0;
    UINT key = 0; // virtual-key code
    DWORD ms = 0;
    std::string file;
    std::string target; // copy: the host file replaced by file's bytes
};

class InputScript {
public:
    // Reads a whole script; on the first bad line returns false with
    // "line N: reason" in error.
    static bool parse(std::string_view text, InputScript& script, std::string& error);
    // Reads and parses a script file; one over kLargestScript is refused.
    static bool load(const std::string& hostPath, InputScript& script, std::string& error);
    static constexpr uintmax_t kLargestScript = 16 * 1024 * 1024;
    // The virtual-key code of a key name, 0 for an unknown name.
    static UINT keyCode(std::string_view name);

    bool done() const { return m_next >= m_commands.size(); }
    const ScriptCommand& take() { return m_commands[m_next++]; }
    // The command take() would return next; only when not done().
    const ScriptCommand& next() const { return m_commands[m_next]; }
    const std::vector<ScriptCommand>& commands() const { return m_commands; }

private:
    std::vector<ScriptCommand> m_commands;
    size_t m_next = 0;
};

} // namespace emu::host

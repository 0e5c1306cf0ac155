#include "platform/emu/host/InputScript.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace emu::host {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view trim(std::string_view text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::vector<std::string> words(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::vector<std::string> out;
    for (std::string word; in >> word;) {
        out.push_back(word);
    }
    return out;
}

bool number(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

bool point(const std::vector<std::string>& args, ScriptCommand& command, std::string& why) {
    long long x = 0;
    long long y = 0;
    if (args.size() != 3 || !number(args[1], -32768, 32767, x) ||
        !number(args[2], -32768, 32767, y)) {
        why = args[0] + " needs two whole numbers X Y";
        return false;
    }
    command.x = static_cast<int>(x);
    command.y = static_cast<int>(y);
    return true;
}

bool parseLine(std::string_view body, ScriptCommand& command, std::string& why) {
    std::vector<std::string> args = words(body);
    std::string verb = lower(args.front());
    if (verb == "move" || verb == "click") {
        command.op = verb == "move" ? ScriptOp::Move : ScriptOp::Click;
        return point(args, command, why);
    }
    if (verb == "key") {
        command.op = ScriptOp::Key;
        command.key = args.size() == 2 ? InputScript::keyCode(args[1]) : 0;
        why = "key needs one of up, down, left, right, enter, escape, tab, space or a letter";
        return command.key != 0;
    }
    if (verb == "wait") {
        long long ms = 0;
        command.op = ScriptOp::Wait;
        why = "wait needs a number of milliseconds (0 to 86400000)";
        bool ok = args.size() == 2 && number(args[1], 0, 86400000, ms);
        command.ms = static_cast<DWORD>(ms);
        return ok;
    }
    if (verb == "screenshot") {
        command.op = ScriptOp::Screenshot;
        command.file = std::string(trim(trim(body).substr(args.front().size())));
        why = "screenshot needs a file name";
        return !command.file.empty();
    }
    if (verb == "copy") {
        command.op = ScriptOp::Copy;
        why = "copy needs two host file names FROM TO";
        if (args.size() != 3) {
            return false;
        }
        command.file = std::string(args[1]);
        command.target = std::string(args[2]);
        return true;
    }
    if (verb == "close") {
        command.op = ScriptOp::Close;
        why = "close takes no arguments";
        return args.size() == 1;
    }
    why = "unknown command \"" + args.front() + "\"";
    return false;
}

} // namespace

UINT InputScript::keyCode(std::string_view name) {
    std::string key = lower(name);
    static const std::pair<const char*, UINT> named[] = {
        {"up", VK_UP},        {"down", VK_DOWN},     {"left", VK_LEFT}, {"right", VK_RIGHT},
        {"enter", VK_RETURN}, {"escape", VK_ESCAPE}, {"tab", VK_TAB},   {"space", VK_SPACE}};
    for (const auto& entry : named) {
        if (key == entry.first) {
            return entry.second;
        }
    }
    if (key.size() == 1 && key[0] >= 'a' && key[0] <= 'z') {
        return static_cast<UINT>(key[0] - 'a' + 'A');
    }
    return 0;
}

bool InputScript::parse(std::string_view text, InputScript& script, std::string& error) {
    script = InputScript();
    int lineNumber = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        std::string_view body = trim(line.substr(0, line.find('#')));
        if (body.empty()) {
            continue;
        }
        ScriptCommand command;
        command.line = lineNumber;
        std::string why;
        if (!parseLine(body, command, why)) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        }
        script.m_commands.push_back(command);
    }
    return true;
}

bool InputScript::load(const std::string& hostPath, InputScript& script, std::string& error) {
    std::error_code failed;
    uintmax_t size = std::filesystem::file_size(hostPath, failed);
    if (!failed && size > kLargestScript) {
        error = "input script " + hostPath + " is over 16 MB";
        return false;
    }
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) {
        error = "cannot read input script " + hostPath;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!parse(text.str(), script, error)) {
        error = hostPath + ": " + error;
        return false;
    }
    return true;
}

} // namespace emu::host

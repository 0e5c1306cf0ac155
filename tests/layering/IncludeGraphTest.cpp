// The structure of the sources as their includes and calls draw it. A file
// pair (X.h and X.cpp) is one module. An include of another module's header
// is an arrow, and so is a call of an emulated Win32 function: those are
// declared in platform/win32.h, which hides where they live, so the arrow
// goes to the file that defines them (User32Messages.cpp, Gdi32.cpp...).
// Every arrow points down the layers and no arrows go round in a loop, so a
// reader can learn the emulation from the bottom up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kSourceRoot = fs::path(CORVANE_TEST_DATA).parent_path();

// Folders of the program and the platform; tests, benchmarks and fuzz
// targets may include anything.
const char* const kSourceFolders[] = {"common", "app",       "skin",     "window",
                                      "update", "resources", "platform", "loader"};

struct Arrow {
    std::string from; // file, relative to the source root
    std::string to;   // a header, or the file that defines a called function
    std::string why;  // "includes" or "calls F of"
    int line;
};

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string moduleOf(const std::string& file) {
    const std::string::size_type dot = file.rfind('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

bool inProgram(const std::string& file) {
    for (const char* folder :
         {"common/", "app/", "skin/", "window/", "update/", "resources/", "loader/"})
        if (startsWith(file, folder))
            return true;
    return false;
}

// The part of the emulation a file belongs to, lowest first; -1 outside it.
int emulationRank(const std::string& file) {
    static const std::pair<const char*, int> kParts[] = {
        {"platform/emu/MachineConfig", 0},
        {"platform/emu/hostsupport/", 0},
        {"platform/emu/kernel/", 1},
        {"platform/emu/gdi/", 2},
        {"platform/emu/user/", 3},
        {"platform/emu/host/", 4},
        {"platform/emu/", 5},
    };
    for (const auto& [prefix, rank] : kParts)
        if (startsWith(file, prefix))
            return rank;
    return -1;
}

// The layer of the program a file belongs to, lowest first; -1 outside it.
// The shared pieces and the resources' identifiers are the ground floor; the
// skin and the INF update know only those, the window knows both, the
// application object makes the window, and the host program starts it all.
int programRank(const std::string& file) {
    static const std::pair<const char*, int> kLayers[] = {
        {"common/", 0}, {"resources/", 0}, {"skin/", 1},   {"update/", 1},
        {"window/", 2}, {"app/", 3},       {"loader/", 4},
    };
    for (const auto& [prefix, rank] : kLayers)
        if (startsWith(file, prefix))
            return rank;
    return -1;
}

std::string folderOf(const std::string& file) {
    return file.substr(0, file.find('/') + 1);
}

// The arrows up the program's layers that the framework's design draws, each
// with its reason. The application object makes the main window, and the
// install command reads the release tag back from the one application object
// (AfxGetApp), the way a framework program reads its application's state;
// handing the tag down instead would change the window's interface.
struct AllowedArrow {
    const char* from;
    const char* to;
    const char* why;
};
const AllowedArrow kAllowedUp[] = {
    {"window/CSetupWndCommands.cpp", "app/CLauncherApp.h",
     "the install command reads the release tag from the application object"},
};

bool allowedUp(const std::string& from, const std::string& to) {
    return std::any_of(
        std::begin(kAllowedUp), std::end(kAllowedUp),
        [&](const AllowedArrow& arrow) { return from == arrow.from && to == arrow.to; });
}

// The emulated Win32 functions are defined in files named after their DLL.
bool isEntryFile(const std::string& file) {
    static const std::regex entryName(R"(.*/(Kernel32|User32|Gdi32|Advapi32|Comctl32)\w*\.cpp)");
    return startsWith(file, "platform/emu/") && std::regex_match(file, entryName);
}

struct SourceFile {
    std::string name; // relative to the source root
    std::vector<std::string> lines;
};

std::vector<SourceFile> readSources() {
    std::vector<SourceFile> files;
    for (const char* folder : kSourceFolders) {
        const fs::path top = kSourceRoot / folder;
        if (!fs::exists(top))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(top)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
                continue;
            SourceFile file{entry.path().lexically_relative(kSourceRoot).generic_string(), {}};
            std::ifstream in(entry.path());
            for (std::string line; std::getline(in, line);)
                file.lines.push_back(line);
            files.push_back(std::move(file));
        }
    }
    return files;
}

bool isIdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Names called as free functions on a line (comments left out): an identifier
// followed by "(" and not preceded by ".", "->" or "::".
std::vector<std::string> calledNames(std::string text) {
    text = text.substr(0, text.find("//"));
    std::vector<std::string> names;
    for (std::string::size_type i = 0; i < text.size();) {
        if (!isIdentifierChar(text[i]) || (i > 0 && isIdentifierChar(text[i - 1]))) {
            ++i;
            continue;
        }
        std::string::size_type end = i;
        while (end < text.size() && isIdentifierChar(text[end]))
            ++end;
        std::string::size_type next = end;
        while (next < text.size() && text[next] == ' ')
            ++next;
        const char before = i > 0 ? text[i - 1] : ' ';
        if (next < text.size() && text[next] == '(' && before != '.' && before != '>' &&
            before != ':')
            names.push_back(text.substr(i, end - i));
        i = end;
    }
    return names;
}

std::vector<Arrow> readArrows() {
    static const std::regex includeLine(R"re(^\s*#\s*include\s+"([^"]+)")re");
    static const std::regex definition(R"(\bWINAPI\s+(\w+)\s*\()");
    const std::vector<SourceFile> files = readSources();
    std::map<std::string, std::string> definedIn; // Win32 function -> entry file
    for (const SourceFile& file : files) {
        if (!isEntryFile(file.name))
            continue;
        for (const std::string& line : file.lines) {
            std::smatch match;
            if (std::regex_search(line, match, definition))
                definedIn[match[1].str()] = file.name;
        }
    }
    std::vector<Arrow> arrows;
    for (const SourceFile& file : files) {
        const bool emulated = startsWith(file.name, "platform/emu/");
        for (size_t i = 0; i < file.lines.size(); ++i) {
            const int number = static_cast<int>(i) + 1;
            std::smatch match;
            if (std::regex_search(file.lines[i], match, includeLine)) {
                arrows.push_back({file.name, match[1].str(), "includes", number});
                continue;
            }
            if (!emulated)
                continue;
            for (const std::string& name : calledNames(file.lines[i])) {
                const auto found = definedIn.find(name);
                if (found != definedIn.end() && moduleOf(found->second) != moduleOf(file.name))
                    arrows.push_back({file.name, found->second, "calls " + name + " of", number});
            }
        }
    }
    return arrows;
}

std::string describe(const Arrow& arrow) {
    return arrow.from + ":" + std::to_string(arrow.line) + " " + arrow.why + " " + arrow.to;
}

std::string listed(const std::vector<std::string>& lines) {
    std::string list;
    for (const std::string& line : lines)
        list += "  " + line + "\n";
    return list;
}

TEST(IncludeGraph, ArrowsPointDown) {
    const std::vector<Arrow> arrows = readArrows();
    ASSERT_GT(arrows.size(), 500u) << "the sources were not found below " << kSourceRoot;
    std::vector<std::string> wrong;
    for (const Arrow& arrow : arrows) {
        const int fromRank = emulationRank(arrow.from);
        const int toRank = emulationRank(arrow.to);
        // The emulation never reaches up into the program it runs, nor into
        // the host program that boots it.
        if (fromRank >= 0 && startsWith(arrow.to, "loader/"))
            wrong.push_back(describe(arrow) + " (the host program)");
        else if (fromRank >= 0 && inProgram(arrow.to))
            wrong.push_back(describe(arrow) + " (the program)");
        // Inside the emulation: the configuration, kernel, gdi, user, host,
        // and the boot code that starts them all.
        if (fromRank >= 0 && toRank > fromRank)
            wrong.push_back(describe(arrow) + " (a higher part)");
        // The system and the framework know the machine only through the
        // Win32 header and the framework: the same sources build for Windows.
        const bool system = inProgram(arrow.from) && !startsWith(arrow.from, "loader/");
        const bool framework = startsWith(arrow.from, "platform/framework/");
        if ((system || framework) &&
            (startsWith(arrow.to, "platform/emu/") || startsWith(arrow.to, "platform/windows/") ||
             startsWith(arrow.to, "loader/")))
            wrong.push_back(describe(arrow) + " (below the Win32 line)");
        if (framework && inProgram(arrow.to))
            wrong.push_back(describe(arrow) + " (the program)");
        // Inside the program: its layers, and no arrow between two folders
        // of one layer (the skin and the INF update know nothing of each
        // other).
        const int fromLayer = programRank(arrow.from);
        const int toLayer = programRank(arrow.to);
        if (fromLayer >= 0 && toLayer > fromLayer && !allowedUp(arrow.from, arrow.to))
            wrong.push_back(describe(arrow) + " (a higher layer of the program)");
        else if (fromLayer >= 0 && toLayer == fromLayer && fromLayer > 0 &&
                 folderOf(arrow.from) != folderOf(arrow.to))
            wrong.push_back(describe(arrow) + " (a neighbour on its layer)");
    }
    // An allowed arrow that is no longer drawn is taken off the list.
    for (const AllowedArrow& allowed : kAllowedUp)
        if (std::none_of(arrows.begin(), arrows.end(), [&](const Arrow& arrow) {
                return arrow.from == allowed.from && arrow.to == allowed.to;
            }))
            wrong.push_back(std::string(allowed.from) + " no longer includes " + allowed.to +
                            ": take it off the allowed arrows");
    EXPECT_TRUE(wrong.empty()) << listed(wrong);
}

// The fields of an emulated window, as Window.h declares them (m_ names).
std::set<std::string> windowFields(const std::vector<SourceFile>& files) {
    static const std::regex field(R"(^\s+[^(]*\bm_(\w+)\s*(\{[^}]*\})?\s*(=[^;]*)?;\s*$)");
    std::set<std::string> fields;
    for (const SourceFile& file : files) {
        if (file.name != "platform/emu/user/Window.h")
            continue;
        for (const std::string& line : file.lines) {
            std::smatch match;
            if (std::regex_match(line, match, field))
                fields.insert(match[1].str());
        }
    }
    return fields;
}

// Only the window manager changes a window: it takes the tree lock that an
// animation's thread reads under. Elsewhere a name declared as a Window (a
// pointer or a reference) is never the target of an assignment to one of its
// fields, by the field's own name or through its accessor.
TEST(IncludeGraph, OnlyTheWindowManagerWritesAWindowsFields) {
    const std::vector<SourceFile> files = readSources();
    const std::set<std::string> fields = windowFields(files);
    ASSERT_GT(fields.size(), 10u) << "no fields found in platform/emu/user/Window.h";
    std::string alternatives;
    for (const std::string& name : fields)
        alternatives += (alternatives.empty() ? "" : "|") + name;
    static const std::regex declared(R"(\bWindow\s*[*&]\s*(\w+))");
    const std::regex written(
        R"((\w+)\s*(->|\.)\s*(m_)?()" + alternatives +
        R"()\b(\(\))?\s*(=[^=]|\+=|-=|\|=|&=|\^=|\.(assign|clear|add|subtract|reset|swap)\())");
    std::vector<std::string> wrong;
    for (const SourceFile& file : files) {
        if (moduleOf(file.name) == "platform/emu/user/Window" ||
            moduleOf(file.name) == "platform/emu/user/WindowManager")
            continue;
        std::set<std::string> windows;
        for (const std::string& line : file.lines)
            if (line.find("Window") != std::string::npos)
                for (std::sregex_iterator it(line.begin(), line.end(), declared), end; it != end;
                     ++it)
                    windows.insert((*it)[1].str());
        for (size_t i = 0; i < file.lines.size() && !windows.empty(); ++i) {
            const std::string code = file.lines[i].substr(0, file.lines[i].find("//"));
            // The expression is slow; most lines have no window's name in them.
            if (std::none_of(windows.begin(), windows.end(), [&](const std::string& name) {
                    return code.find(name) != std::string::npos;
                }))
                continue;
            for (std::sregex_iterator it(code.begin(), code.end(), written), end; it != end; ++it)
                if (windows.count((*it)[1].str()) != 0)
                    wrong.push_back(file.name + ":" + std::to_string(i + 1) + " writes " +
                                    (*it)[1].str() + "'s " + (*it)[4].str());
        }
    }
    EXPECT_TRUE(wrong.empty()) << listed(wrong);
}

// Within the emulation; a call of a Win32 function from the window manager
// that comes back into the window manager is a loop like any other. (The
// framework's classes know each other in pairs, as an object and its runtime
// class do; that is a small world of its own.)
TEST(IncludeGraph, NoLoopBetweenModules) {
    std::map<std::string, std::map<std::string, std::string>> next; // module -> module -> why
    for (const Arrow& arrow : readArrows()) {
        const std::string from = moduleOf(arrow.from);
        const std::string to = moduleOf(arrow.to);
        if (from != to && emulationRank(arrow.from) >= 0 && emulationRank(arrow.to) >= 0 &&
            fs::exists(kSourceRoot / arrow.to))
            next[from].emplace(to, describe(arrow));
    }
    ASSERT_GT(next.size(), 50u);

    // Depth-first search; a module met again while still on the path closes a
    // loop, reported as the arrows from that module round to itself.
    std::map<std::string, int> state; // 0 new, 1 on the path, 2 done
    std::vector<std::string> path;
    std::vector<std::string> loops;
    std::function<void(const std::string&)> visit = [&](const std::string& module) {
        state[module] = 1;
        path.push_back(module);
        for (const auto& [to, why] : next[module]) {
            if (state[to] == 1) {
                std::string loop = "loop:";
                auto it = std::find(path.begin(), path.end(), to);
                for (; it + 1 != path.end(); ++it)
                    loop += "\n    " + next[*it][*(it + 1)];
                loops.push_back(loop + "\n    " + why);
            } else if (state[to] == 0) {
                visit(to);
            }
        }
        path.pop_back();
        state[module] = 2;
    };
    std::vector<std::string> modules;
    for (const auto& [module, targets] : next)
        modules.push_back(module);
    for (const std::string& module : modules)
        if (state[module] == 0)
            visit(module);
    EXPECT_TRUE(loops.empty()) << listed(loops);
}

} // namespace

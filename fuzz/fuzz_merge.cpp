// The merge of a maker's fragment into a Windows INF file, both from the
// input, with the merge's promises checked on every run:
// - the target ends up merged: with no platform limits set, the merge's own
//   check of its merged copy must pass every honest merge;
// - every line of the target is still there, in its order, with its bytes;
// - each section the fragment names reads back as the target's lines followed
//   by the fragment's lines it lacked (compared without regard to case), each
//   once, in the fragment's order;
// - nothing else is added: no line but those and the headers of new sections;
// - that check, given what the merge must add, passes the merged file and
//   refuses it cut short anywhere, as a platform that keeps only the first
//   part of a file would leave it, unless all that was cut is comment and
//   blank lines (which a rewritten section may lose) and a line end.
//
// Input: two bytes giving the target's length (little end first, cut to what
// the input holds), the target's bytes, then the fragment's bytes.
#include "fuzz/Check.h"
#include "fuzz/FuzzMachine.h"
#include "platform/win32.h"
#include "update/CMergeCheck.h"
#include "update/CUpdateInf.h"

#include <cstring>
#include <string>
#include <vector>

using corvane_fuzz::check;
using corvane_fuzz::FuzzMachine;

namespace {

constexpr size_t kMaxInput = 1 << 13;
constexpr const char* kTarget = "C:\\WINDOWS\\INF\\T.INF";
constexpr const char* kFragment = "D:\\S.QTR";
// Copies of the target before the merge and of the merged file cut short,
// outside the INF directory.
constexpr const char* kBefore = "D:\\BEFORE.INF";
constexpr const char* kCut = "D:\\CUT.INF";

using Lines = std::vector<std::string>;

// A list read whole: the buffer grows until the list fits with room to spare.
template <typename Read> Lines readList(Read read) {
    for (DWORD size = 256;; size *= 2) {
        std::vector<char> buffer(size, 'X');
        DWORD count = read(buffer.data(), size);
        if (count + 2 >= size) {
            continue;
        }
        Lines lines;
        for (DWORD at = 0; at < count;) {
            lines.emplace_back(buffer.data() + at);
            at += static_cast<DWORD>(lines.back().size()) + 1;
        }
        return lines;
    }
}

Lines sectionOf(const std::string& name, const char* path) {
    return readList([&](LPSTR buffer, DWORD size) {
        return GetPrivateProfileSectionA(name.c_str(), buffer, size, path);
    });
}

Lines namesOf(const char* path) {
    return readList([&](LPSTR buffer, DWORD size) {
        return GetPrivateProfileSectionNamesA(buffer, size, path);
    });
}

bool containsNoCase(const Lines& lines, const std::string& line) {
    for (const std::string& each : lines) {
        if (lstrcmpiA(each.c_str(), line.c_str()) == 0) {
            return true;
        }
    }
    return false;
}

// The file's lines as bytes, without their line ends (LF, and one CR before
// it); a last line without a line end counts as a line.
Lines rawLines(const std::string& text) {
    Lines lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t lf = text.find('\n', at);
        size_t end = lf == std::string::npos ? text.size() : lf;
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        at = lf == std::string::npos ? text.size() : lf + 1;
    }
    return lines;
}

// What the merge must make of each section the fragment names, and how many
// lines it adds to the file, from reads of the files before it runs.
struct Expectation {
    std::vector<std::pair<std::string, Lines>> sections;
    // The lines appended to each of those sections, in the same order.
    std::vector<Lines> appended;
    size_t addedLines = 0;
};

Expectation expect() {
    Expectation expected;
    Lines known = namesOf(kTarget);
    for (const std::string& name : namesOf(kFragment)) {
        Lines* merged = nullptr;
        Lines* appended = nullptr;
        for (size_t i = 0; i < expected.sections.size(); ++i) {
            if (lstrcmpiA(expected.sections[i].first.c_str(), name.c_str()) == 0) {
                merged = &expected.sections[i].second;
                appended = &expected.appended[i];
            }
        }
        if (merged == nullptr) {
            expected.sections.emplace_back(name, sectionOf(name, kTarget));
            expected.appended.emplace_back();
            merged = &expected.sections.back().second;
            appended = &expected.appended.back();
        }
        if (!containsNoCase(known, name)) {
            known.push_back(name);
            ++expected.addedLines; // its header
        }
        for (const std::string& line : sectionOf(name, kFragment)) {
            if (!containsNoCase(*merged, line)) {
                merged->push_back(line);
                appended->push_back(line);
                ++expected.addedLines;
            }
        }
    }
    return expected;
}

// Whether every line of before stands in after, in the same order.
bool keptInOrder(const Lines& before, const Lines& after) {
    size_t found = 0;
    for (size_t i = 0; i < after.size() && found < before.size(); ++i) {
        if (after[i] == before[found]) {
            ++found;
        }
    }
    return found == before.size();
}

// Whether text cut at cut loses nothing but whole comment and blank lines (as
// a profile read takes them), and the line end of the line it ends in.
bool onlyCommentsCut(const std::string& text, size_t cut) {
    size_t lineStart = text.rfind('\n', cut == 0 ? 0 : cut - 1);
    lineStart = lineStart == std::string::npos || cut == 0 ? 0 : lineStart + 1;
    for (std::string line : rawLines(text.substr(lineStart))) {
        // A profile read takes a line up to its first NUL.
        line = line.substr(0, line.find('\0'));
        size_t first = line.find_first_not_of(" \t\r");
        if (first != std::string::npos && line[first] != ';') {
            return false;
        }
    }
    return true;
}

// The merge check told what the merge must add, over the target as before.
void expectAdded(CMergeCheck& check, const Expectation& expected) {
    check.ReadTarget(kBefore);
    for (size_t i = 0; i < expected.sections.size(); ++i) {
        std::string list;
        for (const std::string& line : expected.appended[i]) {
            list += line;
            list += '\0';
        }
        check.AddSection(expected.sections[i].first.c_str(), list.c_str(),
                         static_cast<DWORD>(list.size()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > kMaxInput) {
        return 0;
    }
    FuzzMachine& machine = FuzzMachine::instance();
    size_t targetSize = std::min<size_t>(data[0] | (data[1] << 8), size - 2);
    const std::string target(reinterpret_cast<const char*>(data) + 2, targetSize);
    const std::string fragment(reinterpret_cast<const char*>(data) + 2 + targetSize,
                               size - 2 - targetSize);
    const std::string targetHost = machine.onC("WINDOWS/INF/T.INF");
    FuzzMachine::write(targetHost, target);
    FuzzMachine::write(machine.onDisk("S.QTR"), fragment);

    const Expectation expected = expect();
    CUpdateInf update;
    int result = update.MergeFile(kTarget, kFragment);
    const std::string after = FuzzMachine::read(targetHost);

    check(result == 1);
    for (const auto& [name, lines] : expected.sections) {
        check(sectionOf(name, kTarget) == lines);
    }
    Lines beforeLines = rawLines(target);
    Lines afterLines = rawLines(after);
    check(keptInOrder(beforeLines, afterLines));
    check(afterLines.size() == beforeLines.size() + expected.addedLines);

    FuzzMachine::write(machine.onDisk("BEFORE.INF"), target);
    CMergeCheck verifier;
    expectAdded(verifier, expected);
    check(verifier.Verify(kTarget) == TRUE);
    // Cut short by one byte and at a place the input picks.
    if (!after.empty()) {
        const size_t cuts[] = {after.size() - 1, (size + data[size - 1] * 31u) % after.size()};
        for (size_t cut : cuts) {
            FuzzMachine::write(machine.onDisk("CUT.INF"), after.substr(0, cut));
            check(verifier.Verify(kCut) == FALSE || onlyCommentsCut(after, cut));
        }
    }
    // Nothing but the target is left in the INF directory.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("C:\\WINDOWS\\INF\\*", &found);
    int files = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            files += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? 1 : 0;
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    check(files == 1);
    return 0;
}

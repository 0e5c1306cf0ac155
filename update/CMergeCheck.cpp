#include "update/CMergeCheck.h"

#include "common/DoubleByteText.h"
#include "common/ProgramLimits.h"
#include "update/CSectionList.h"

#include <cstring>

namespace {

const char kEndOfFileMark = '\x1A';

// A run of bytes inside a file's text.
struct Span {
    const char* text;
    DWORD length;
};

// One line of a file: its bytes without the line end (an LF, with one CR
// before it), and whether it had one. The last line of a file may have
// none; a CR at its end then stays in its bytes.
struct Line {
    Span bytes;
    BOOL ended;
};

enum LineKind { kBlankLine, kCommentLine, kHeaderLine, kDataLine };

// A file's lines as the profile functions take them: the kind of each line,
// the section each belongs to, and where the text they read ends.
struct ParsedText {
    std::vector<Line> lines;
    std::vector<LineKind> kinds;
    // The section occurrence each line lies in, -1 before the first header
    // and from the end-of-file mark on.
    std::vector<int> sectionOf;
    // The header line of each section occurrence, in file order.
    std::vector<size_t> headers;
    std::vector<Span> names;
    // The first line that no profile read sees: the end-of-file mark's, or
    // the number of lines.
    size_t readEnd = 0;
};

BOOL IsBlank(char c) {
    return c == ' ' || c == '\t' ? TRUE : FALSE;
}

Span Trimmed(Span span) {
    while (span.length > 0 && IsBlank(span.text[0])) {
        ++span.text;
        --span.length;
    }
    while (span.length > 0 && IsBlank(span.text[span.length - 1])) {
        --span.length;
    }
    return span;
}

BOOL SameBytes(Span a, Span b) {
    return a.length == b.length && std::memcmp(a.text, b.text, a.length) == 0 ? TRUE : FALSE;
}

BOOL SameBytes(Span a, const CString& b) {
    Span other = {b, static_cast<DWORD>(b.GetLength())};
    return SameBytes(a, other);
}

// Where the character c is in span (a trail byte c is part of another
// character); -1 when it is not there.
int FindMark(Span span, char c) {
    return FindCharacter(span.text, static_cast<int>(span.length), c);
}

int FindByte(Span span, char c) {
    for (DWORD i = 0; i < span.length; ++i) {
        if (span.text[i] == c) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::vector<Line> SplitLines(const std::vector<char>& text) {
    std::vector<Line> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = at;
        while (end < text.size() && text[end] != '\n') {
            ++end;
        }
        Line line = {{text.data() + at, static_cast<DWORD>(end - at)}, end < text.size()};
        if (line.ended && line.bytes.length > 0 && line.bytes.text[line.bytes.length - 1] == '\r') {
            --line.bytes.length;
        }
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

// A line's bytes as a profile read takes them: a CR that ends the file's
// last line is no part of it, a NUL ends it, and blanks around it go.
Span ReadContent(const Line& line) {
    Span content = line.bytes;
    if (!line.ended && content.length > 0 && content.text[content.length - 1] == '\r') {
        --content.length;
    }
    int nul = FindByte(content, '\0');
    if (nul >= 0) {
        content.length = static_cast<DWORD>(nul);
    }
    return Trimmed(content);
}

BOOL StartsWithEndMark(const Line& line) {
    for (DWORD i = 0; i < line.bytes.length; ++i) {
        if (!IsBlank(line.bytes.text[i])) {
            return line.bytes.text[i] == kEndOfFileMark ? TRUE : FALSE;
        }
    }
    return FALSE;
}

LineKind KindOf(Span content, Span& name) {
    if (content.length == 0) {
        return kBlankLine;
    }
    if (content.text[0] == ';') {
        return kCommentLine;
    }
    int close = FindMark(content, ']');
    if (content.text[0] == '[' && close > 0) {
        name = Trimmed({content.text + 1, static_cast<DWORD>(close - 1)});
        return kHeaderLine;
    }
    return kDataLine;
}

ParsedText Parse(const std::vector<char>& text) {
    ParsedText parsed;
    parsed.lines = SplitLines(text);
    parsed.readEnd = parsed.lines.size();
    int section = -1;
    for (size_t i = 0; i < parsed.lines.size(); ++i) {
        if (i < parsed.readEnd && StartsWithEndMark(parsed.lines[i])) {
            parsed.readEnd = i;
            section = -1;
        }
        Span name = {nullptr, 0};
        LineKind kind =
            i < parsed.readEnd ? KindOf(ReadContent(parsed.lines[i]), name) : kBlankLine;
        if (kind == kHeaderLine) {
            section = static_cast<int>(parsed.headers.size());
            parsed.headers.push_back(i);
            parsed.names.push_back(name);
        }
        parsed.kinds.push_back(kind);
        parsed.sectionOf.push_back(section);
    }
    return parsed;
}

// A data line as a section read returns it: key=value without the blanks
// around either, or the bare text.
CString ReadForm(const Line& line) {
    Span content = ReadContent(line);
    int equals = FindByte(content, '=');
    if (equals < 0) {
        return CString(content.text, static_cast<int>(content.length));
    }
    Span key = Trimmed({content.text, static_cast<DWORD>(equals)});
    Span value = Trimmed({content.text + equals + 1, content.length - equals - 1});
    CString form(key.text, static_cast<int>(key.length));
    form += '=';
    form += CString(value.text, static_cast<int>(value.length));
    return form;
}

BOOL SameName(Span name, LPCSTR other) {
    return CString(name.text, static_cast<int>(name.length)).CompareNoCase(other) == 0 ? TRUE
                                                                                       : FALSE;
}

// Whether the work file's line out stands for the target's line kept. A line
// that ended still ends; the target's last line may gain a line end, which
// then takes the place of a CR at its end. A line of a written section may
// come back as a read returns it, with a line end.
BOOL Keeps(const Line& kept, const Line& out, BOOL mayBeRead) {
    if (kept.ended || !out.ended) {
        if (kept.ended == out.ended && SameBytes(kept.bytes, out.bytes)) {
            return TRUE;
        }
    } else {
        Span ended = kept.bytes;
        if (ended.length > 0 && ended.text[ended.length - 1] == '\r') {
            --ended.length;
        }
        if (SameBytes(ended, out.bytes)) {
            return TRUE;
        }
    }
    return mayBeRead && out.ended && SameBytes(out.bytes, ReadForm(kept));
}

// A line of blanks only, which carries nothing.
BOOL IsBlankLine(const Line& line) {
    for (DWORD i = 0; i < line.bytes.length; ++i) {
        char c = line.bytes.text[i];
        if (!IsBlank(c) && c != '\r') {
            return FALSE;
        }
    }
    return TRUE;
}

// Whether line is a comment or blank line of the target's section
// occurrence section not yet found elsewhere in the work file; marks it
// found. A comment may come back as a read takes it (blanks around it aside);
// a line that reads as blank only because of a NUL comes back with its bytes.
BOOL TakeLooseLine(const ParsedText& target, int section, const Line& line,
                   std::vector<bool>& used) {
    Span content = ReadContent(line);
    for (size_t t = target.headers[section] + 1;
         t < target.readEnd && target.sectionOf[t] == section; ++t) {
        if (used[t]) {
            continue;
        }
        BOOL same = FALSE;
        if (target.kinds[t] == kCommentLine) {
            same = SameBytes(ReadContent(target.lines[t]), content);
        } else if (target.kinds[t] == kBlankLine) {
            same = SameBytes(target.lines[t].bytes, line.bytes);
        }
        if (same) {
            used[t] = true;
            return TRUE;
        }
    }
    return FALSE;
}

} // namespace

CMergeCheck::CMergeCheck() = default;

CMergeCheck::~CMergeCheck() = default;

BOOL CMergeCheck::ReadWholeFile(LPCSTR path, std::vector<char>& text) {
    text.clear();
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        return TRUE;
    }
    HANDLE hFile = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        return FALSE;
    }
    DWORD high = 0;
    DWORD size = GetFileSize(hFile, &high);
    BOOL read = size != INVALID_FILE_SIZE && high == 0 && size <= kLargestInfFile ? TRUE : FALSE;
    // An empty file has nothing to map.
    if (read && size > 0) {
        read = FALSE;
        HANDLE hMapping = CreateFileMappingA(hFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
        LPVOID pView =
            hMapping != nullptr ? MapViewOfFile(hMapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
        if (pView != nullptr) {
            const char* bytes = static_cast<const char*>(pView);
            text.assign(bytes, bytes + size);
            UnmapViewOfFile(pView);
            read = TRUE;
        }
        if (hMapping != nullptr) {
            CloseHandle(hMapping);
        }
    }
    CloseHandle(hFile);
    return read;
}

BOOL CMergeCheck::ReadTarget(LPCSTR targetPath) {
    return ReadWholeFile(targetPath, m_target);
}

BOOL CMergeCheck::ProfileSeesWhole(LPCSTR targetPath) const {
    const ParsedText target = Parse(m_target);
    // The names the profile functions list are those of the headers, in file
    // order; an empty name is not listed. A platform that reads only the
    // first part of the file lists only the names in that part.
    std::vector<size_t> named;
    for (size_t s = 0; s < target.names.size(); ++s) {
        if (target.names[s].length > 0) {
            named.push_back(s);
        }
    }
    CSectionList names;
    names.ReadSectionNames(targetPath, kSectionNamesSize);
    if (!names.IsWhole()) {
        return FALSE;
    }
    size_t count = 0;
    for (LPCSTR name = names.GetFirst(); name != nullptr; name = names.GetNext(name), ++count) {
        if (count >= named.size() || !SameName(target.names[named[count]], name)) {
            return FALSE;
        }
    }
    if (count != named.size()) {
        return FALSE;
    }
    if (named.empty()) {
        return TRUE;
    }
    // The last section's lines show a platform that stops inside it. Reads
    // of a name see only its first section, so a last section whose name
    // came before cannot be read at all: the check after the merge is what
    // finds a cut there.
    size_t last = named.back();
    CString lastName(target.names[last].text, static_cast<int>(target.names[last].length));
    for (size_t s : named) {
        if (s != last && SameName(target.names[s], lastName)) {
            return TRUE;
        }
    }
    CSectionList lines;
    lines.ReadSection(lastName, targetPath, kTargetSectionSize);
    if (!lines.IsWhole()) {
        return FALSE;
    }
    LPCSTR seen = lines.GetFirst();
    for (size_t i = target.headers[last] + 1; i < target.readEnd; ++i) {
        if (target.kinds[i] == kHeaderLine) {
            break;
        }
        if (target.kinds[i] != kDataLine) {
            continue;
        }
        if (seen == nullptr || ReadForm(target.lines[i]).Compare(seen) != 0) {
            return FALSE;
        }
        seen = lines.GetNext(seen);
    }
    return seen == nullptr ? TRUE : FALSE;
}

void CMergeCheck::AddSection(LPCSTR section, LPCSTR appended, DWORD length) {
    Written* written = nullptr;
    for (Written& each : m_written) {
        if (each.name.CompareNoCase(section) == 0) {
            written = &each;
        }
    }
    if (written == nullptr) {
        m_written.push_back(Written());
        written = &m_written.back();
        written->name = section;
    }
    for (DWORD at = 0; at < length && appended[at] != '\0';) {
        DWORD end = at;
        while (end < length && appended[end] != '\0') {
            ++end;
        }
        written->lines.push_back(CString(appended + at, static_cast<int>(end - at)));
        at = end + 1;
    }
}

BOOL CMergeCheck::Verify(LPCSTR workPath) const {
    std::vector<char> work;
    if (!ReadWholeFile(workPath, work)) {
        return FALSE;
    }
    const ParsedText target = Parse(m_target);
    const std::vector<Line> out = SplitLines(work);

    // Where each written section's lines belong: the first section of its
    // name that reads see, or a new section when the target has none.
    std::vector<int> writtenTo(target.headers.size(), -1);
    std::vector<size_t> newSections;
    for (size_t w = 0; w < m_written.size(); ++w) {
        size_t s = 0;
        while (s < target.headers.size() && (target.headers[s] >= target.readEnd ||
                                             !SameName(target.names[s], m_written[w].name))) {
            ++s;
        }
        if (s < target.headers.size()) {
            writtenTo[s] = static_cast<int>(w);
        } else {
            newSections.push_back(w);
        }
    }
    // The comment and blank lines of a rewritten section need not come back
    // where they stood, nor at all: only its data lines are the section.
    auto loose = [&](size_t t) {
        int section = target.sectionOf[t];
        return t < target.readEnd && section >= 0 && writtenTo[section] >= 0 &&
               (target.kinds[t] == kBlankLine || target.kinds[t] == kCommentLine);
    };

    std::vector<size_t> found(m_written.size(), 0);
    std::vector<bool> looseUsed(target.lines.size(), false);
    int current = -1;  // the written section the work file is in
    int comments = -1; // the target's section whose loose lines may come back there
    size_t nextNew = 0;
    size_t t = 0;
    for (size_t o = 0; o < out.size(); ++o) {
        const Line& line = out[o];
        while (t < target.lines.size() && loose(t)) {
            ++t;
        }
        if (t < target.lines.size()) {
            int section = target.sectionOf[t];
            BOOL written = section >= 0 && writtenTo[section] >= 0 ? TRUE : FALSE;
            if (Keeps(target.lines[t], line, written && target.kinds[t] == kDataLine)) {
                if (target.kinds[t] == kHeaderLine) {
                    current = writtenTo[section];
                    comments = written ? section : -1;
                } else if (t == target.readEnd) {
                    current = -1;
                    comments = -1;
                }
                ++t;
                continue;
            }
        }
        if (current >= 0 && line.ended) {
            const Written& written = m_written[current];
            if (found[current] < written.lines.size() &&
                SameBytes(line.bytes, written.lines[found[current]])) {
                ++found[current];
                continue;
            }
        }
        if (current >= 0 && IsBlankLine(line)) {
            continue;
        }
        if (comments >= 0 && TakeLooseLine(target, comments, line, looseUsed)) {
            continue;
        }
        // A new section goes where it moves no line of the target into it.
        BOOL between = t == target.readEnd || (t < target.readEnd && target.kinds[t] == kHeaderLine)
                           ? TRUE
                           : FALSE;
        if (between && nextNew < newSections.size() && line.ended &&
            SameBytes(line.bytes, "[" + m_written[newSections[nextNew]].name + "]")) {
            current = static_cast<int>(newSections[nextNew]);
            comments = -1;
            ++nextNew;
            continue;
        }
        return FALSE;
    }
    while (t < target.lines.size() && loose(t)) {
        ++t;
    }
    if (t != target.lines.size() || nextNew != newSections.size()) {
        return FALSE;
    }
    for (size_t w = 0; w < m_written.size(); ++w) {
        if (found[w] != m_written[w].lines.size()) {
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CMergeCheck::IsUnchanged(LPCSTR path) const {
    std::vector<char> now;
    return ReadWholeFile(path, now) && now == m_target ? TRUE : FALSE;
}

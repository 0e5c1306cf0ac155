#include "loader/author/UnifiedDiff.h"

#include <algorithm>

namespace loader::author {

std::vector<UnifiedDiff::Line> UnifiedDiff::splitLines(const std::string& text) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back({text.substr(start), true});
            break;
        }
        lines.push_back({text.substr(start, end - start), false});
        start = end + 1;
    }
    return lines;
}

namespace {

bool sameLine(const std::string& a, bool aLast, const std::string& b, bool bLast) {
    return a == b && aLast == bLast;
}

} // namespace

std::vector<UnifiedDiff::Step> UnifiedDiff::editScript(const std::vector<Line>& before,
                                                       const std::vector<Line>& after) {
    // The lines both share at the start and at the end are kept as they are;
    // only the middle goes through the longest-common-subsequence table, so
    // that appending to a long file stays cheap.
    size_t head = 0;
    while (head < before.size() && head < after.size() &&
           sameLine(before[head].text, before[head].lastWithoutNewline, after[head].text,
                    after[head].lastWithoutNewline)) {
        ++head;
    }
    size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head) {
        const Line& b = before[before.size() - 1 - tail];
        const Line& a = after[after.size() - 1 - tail];
        if (!sameLine(b.text, b.lastWithoutNewline, a.text, a.lastWithoutNewline)) {
            break;
        }
        ++tail;
    }
    size_t n = before.size() - head - tail;
    size_t m = after.size() - head - tail;
    // common[i][j]: the longest common subsequence of the middles' suffixes.
    std::vector<std::vector<unsigned>> common(n + 1, std::vector<unsigned>(m + 1, 0));
    for (size_t i = n; i-- > 0;) {
        for (size_t j = m; j-- > 0;) {
            const Line& b = before[head + i];
            const Line& a = after[head + j];
            common[i][j] = sameLine(b.text, b.lastWithoutNewline, a.text, a.lastWithoutNewline)
                               ? common[i + 1][j + 1] + 1
                               : std::max(common[i + 1][j], common[i][j + 1]);
        }
    }
    std::vector<Step> steps;
    for (size_t k = 0; k < head; ++k) {
        steps.push_back({Op::Keep, &before[k]});
    }
    size_t i = 0;
    size_t j = 0;
    while (i < n || j < m) {
        if (i < n && j < m &&
            sameLine(before[head + i].text, before[head + i].lastWithoutNewline,
                     after[head + j].text, after[head + j].lastWithoutNewline)) {
            steps.push_back({Op::Keep, &before[head + i]});
            ++i;
            ++j;
        } else if (j < m && (i == n || common[i][j + 1] >= common[i + 1][j])) {
            steps.push_back({Op::Add, &after[head + j]});
            ++j;
        } else {
            steps.push_back({Op::Remove, &before[head + i]});
            ++i;
        }
    }
    for (size_t k = before.size() - tail; k < before.size(); ++k) {
        steps.push_back({Op::Keep, &before[k]});
    }
    // Within a run of changes, removals come before additions, as diff
    // writes them.
    for (size_t start = 0; start < steps.size();) {
        size_t end = start;
        while (end < steps.size() && steps[end].op != Op::Keep) {
            ++end;
        }
        std::stable_partition(steps.begin() + static_cast<long>(start),
                              steps.begin() + static_cast<long>(end),
                              [](const Step& s) { return s.op == Op::Remove; });
        start = end == start ? start + 1 : end;
    }
    return steps;
}

namespace {

// The "first,count" of a hunk's range; diff gives an empty range the line
// before it.
std::string range(size_t first, size_t count) {
    if (count == 0) {
        return std::to_string(first) + ",0";
    }
    if (count == 1) {
        return std::to_string(first + 1);
    }
    return std::to_string(first + 1) + "," + std::to_string(count);
}

} // namespace

std::string UnifiedDiff::renderHunks(const std::vector<Step>& steps, int context) {
    const size_t around = static_cast<size_t>(std::max(context, 0));
    std::string text;
    size_t index = 0;
    while (index < steps.size()) {
        size_t change = index;
        while (change < steps.size() && steps[change].op == Op::Keep) {
            ++change;
        }
        if (change == steps.size()) {
            break;
        }
        size_t start = change >= around ? change - around : 0;
        start = std::max(start, index);
        // The hunk runs on while the next change lies within twice the
        // context of the last one.
        size_t end = change;
        for (;;) {
            while (end < steps.size() && steps[end].op != Op::Keep) {
                ++end;
            }
            size_t next = end;
            while (next < steps.size() && steps[next].op == Op::Keep) {
                ++next;
            }
            if (next < steps.size() && next - end <= 2 * around) {
                end = next;
                continue;
            }
            end = std::min(end + around, steps.size());
            break;
        }
        size_t beforeFirst = 0;
        size_t afterFirst = 0;
        for (size_t k = 0; k < start; ++k) {
            beforeFirst += steps[k].op != Op::Add ? 1 : 0;
            afterFirst += steps[k].op != Op::Remove ? 1 : 0;
        }
        size_t beforeCount = 0;
        size_t afterCount = 0;
        std::string body;
        for (size_t k = start; k < end; ++k) {
            const Step& step = steps[k];
            beforeCount += step.op != Op::Add ? 1 : 0;
            afterCount += step.op != Op::Remove ? 1 : 0;
            body += step.op == Op::Keep ? ' ' : step.op == Op::Remove ? '-' : '+';
            body += step.line->text + "\n";
            if (step.line->lastWithoutNewline) {
                body += "\\ No newline at end of file\n";
            }
        }
        text += "@@ -" + range(beforeFirst, beforeCount) + " +" + range(afterFirst, afterCount) +
                " @@\n" + body;
        index = end;
    }
    return text;
}

std::string UnifiedDiff::between(const std::string& beforeName, const std::string& afterName,
                                 const std::string& before, const std::string& after, int context) {
    if (before == after) {
        return "";
    }
    std::vector<Line> beforeLines = splitLines(before);
    std::vector<Line> afterLines = splitLines(after);
    return "--- " + beforeName + "\n+++ " + afterName + "\n" +
           renderHunks(editScript(beforeLines, afterLines), context);
}

} // namespace loader::author

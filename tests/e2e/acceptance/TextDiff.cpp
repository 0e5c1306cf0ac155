#include "tests/e2e/acceptance/TextDiff.h"

#include <algorithm>
#include <cstdio>

namespace corvane_test {

namespace {

// Unchanged lines shown before and after each change.
constexpr std::size_t kContext = 2;

} // namespace

TextDiff::TextDiff(const std::vector<std::string>& expected,
                   const std::vector<std::string>& actual) {
    m_same = expected == actual;
    if (!m_same) {
        render(steps(expected, actual));
    }
}

std::vector<std::string> TextDiff::splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t lf = text.find('\n', begin);
        if (lf == std::string::npos) {
            lines.push_back(text.substr(begin) + " (no line end)");
            break;
        }
        lines.push_back(text.substr(begin, lf - begin));
        begin = lf + 1;
    }
    return lines;
}

// The shortest edit script through the longest common subsequence; the texts
// compared here are a few hundred lines at most.
std::vector<TextDiff::Step> TextDiff::steps(const std::vector<std::string>& expected,
                                            const std::vector<std::string>& actual) const {
    const std::size_t n = expected.size();
    const std::size_t m = actual.size();
    std::vector<std::vector<std::size_t>> common(n + 1, std::vector<std::size_t>(m + 1, 0));
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t j = m; j-- > 0;) {
            common[i][j] = expected[i] == actual[j] ? common[i + 1][j + 1] + 1
                                                    : std::max(common[i + 1][j], common[i][j + 1]);
        }
    }
    std::vector<Step> path;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && expected[i] == actual[j]) {
            path.push_back({Op::Keep, &expected[i++]});
            ++j;
        } else if (i < n && (j == m || common[i + 1][j] >= common[i][j + 1])) {
            path.push_back({Op::Remove, &expected[i++]});
        } else {
            path.push_back({Op::Add, &actual[j++]});
        }
    }
    return path;
}

void TextDiff::render(const std::vector<Step>& path) {
    std::vector<bool> shown(path.size(), false);
    for (std::size_t k = 0; k < path.size(); ++k) {
        if (path[k].op == Op::Keep) {
            continue;
        }
        std::size_t from = k > kContext ? k - kContext : 0;
        std::size_t to = std::min(path.size(), k + kContext + 1);
        for (std::size_t s = from; s < to; ++s) {
            shown[s] = true;
        }
    }
    m_text = "--- expected\n+++ actual\n";
    bool gap = false;
    for (std::size_t k = 0; k < path.size(); ++k) {
        if (!shown[k]) {
            gap = true;
            continue;
        }
        if (gap) {
            m_text += "  ...\n";
            gap = false;
        }
        const char mark = path[k].op == Op::Keep ? ' ' : path[k].op == Op::Remove ? '-' : '+';
        m_text += mark;
        m_text += ' ';
        m_text += visible(*path[k].line);
        m_text += '\n';
    }
}

std::string TextDiff::visible(const std::string& line) {
    std::string out;
    for (unsigned char c : line) {
        if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 && c != '\t') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace corvane_test

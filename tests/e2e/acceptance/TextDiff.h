// A readable line diff of an expected and an actual text, for failure
// messages: lines only in the expected text start with "-", lines only in the
// actual text with "+", and a few unchanged lines around each change with a
// blank. Control characters (the CR of a CRLF line end, a NUL) are shown as
// escapes so that a difference in line ends is visible.
#pragma once

#include <string>
#include <vector>

namespace corvane_test {

class TextDiff {
public:
    TextDiff(const std::vector<std::string>& expected, const std::vector<std::string>& actual);

    // Splits a file's bytes at LF; the CR of a CRLF stays with its line. A
    // final line without LF is marked as such.
    static std::vector<std::string> splitLines(const std::string& text);

    bool same() const { return m_same; }
    std::string text() const { return m_text; }

private:
    enum class Op { Keep, Remove, Add };
    struct Step {
        Op op;
        const std::string* line;
    };

    std::vector<Step> steps(const std::vector<std::string>& expected,
                            const std::vector<std::string>& actual) const;
    void render(const std::vector<Step>& path);
    static std::string visible(const std::string& line);

    bool m_same = true;
    std::string m_text;
};

} // namespace corvane_test

// The differences between two versions of a text file in the unified format
// of diff -u: a "---" and a "+++" line naming the two versions, then hunks
// "@@ -first,count +first,count @@" of removed ("-"), added ("+") and
// unchanged (" ") lines, with a few unchanged lines of context around each
// change. Lines are cut at LF; a CR before it stays part of the line, and a
// last line without LF is followed by "\ No newline at end of file", as diff
// writes it.
#pragma once

#include <string>
#include <vector>

namespace loader::author {

class UnifiedDiff {
public:
    static constexpr int kContext = 3;

    // The diff of before and after; empty when the texts are equal.
    static std::string between(const std::string& beforeName, const std::string& afterName,
                               const std::string& before, const std::string& after,
                               int context = kContext);

private:
    enum class Op { Keep, Remove, Add };
    struct Line {
        std::string text;
        bool lastWithoutNewline = false;
    };
    struct Step {
        Op op;
        const Line* line;
    };

    static std::vector<Line> splitLines(const std::string& text);
    static std::vector<Step> editScript(const std::vector<Line>& before,
                                        const std::vector<Line>& after);
    static std::string renderHunks(const std::vector<Step>& steps, int context);
};

} // namespace loader::author

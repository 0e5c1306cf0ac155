// What a check of a driver disk found: one finding per mistake, each naming
// the file and line it is about, how bad it is and what the program will do
// with it, printed as "file:line: severity: text" and followed by a summary.
#pragma once

#include <string>
#include <vector>

namespace loader::author {

enum class Severity { Warning, Error };

struct Finding {
    std::string file; // as the author names it: "layout.ini", "MSHDC.QTR", "C:\WINDOWS\inf\X.INF"
    int line = 0;     // 1-based; 0 for the file as a whole
    Severity severity = Severity::Warning;
    std::string text;
};

class CheckReport {
public:
    void add(const std::string& file, int line, Severity severity, const std::string& text);
    void error(const std::string& file, int line, const std::string& text) {
        add(file, line, Severity::Error, text);
    }
    void warning(const std::string& file, int line, const std::string& text) {
        add(file, line, Severity::Warning, text);
    }

    const std::vector<Finding>& findings() const { return m_findings; }
    int errors() const;
    int warnings() const;

    // Every finding in the order found, one a line, then the summary line
    // ("check: 2 errors, 3 warnings").
    std::string text() const;
    // 0 when nothing is an error, 1 otherwise.
    int exitStatus() const { return errors() == 0 ? 0 : 1; }

    static std::string format(const Finding& finding);

private:
    std::vector<Finding> m_findings;
};

} // namespace loader::author

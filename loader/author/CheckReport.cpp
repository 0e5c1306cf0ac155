#include "loader/author/CheckReport.h"

#include <algorithm>

namespace loader::author {

namespace {
std::string counted(int count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}
} // namespace

void CheckReport::add(const std::string& file, int line, Severity severity,
                      const std::string& text) {
    m_findings.push_back({file, line, severity, text});
}

int CheckReport::errors() const {
    return static_cast<int>(
        std::count_if(m_findings.begin(), m_findings.end(),
                      [](const Finding& f) { return f.severity == Severity::Error; }));
}

int CheckReport::warnings() const {
    return static_cast<int>(m_findings.size()) - errors();
}

std::string CheckReport::format(const Finding& finding) {
    return finding.file + ":" + std::to_string(finding.line) + ": " +
           (finding.severity == Severity::Error ? "error" : "warning") + ": " + finding.text;
}

std::string CheckReport::text() const {
    std::string text;
    for (const Finding& finding : m_findings) {
        text += format(finding) + "\n";
    }
    text += "check: " + counted(errors(), "error") + ", " + counted(warnings(), "warning") + "\n";
    return text;
}

} // namespace loader::author

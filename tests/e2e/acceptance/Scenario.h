// One acceptance scenario: a folder holding a driver disk (disk/), a C: drive
// as it is before the run (c/), the input script (input.txt), extra host
// options one a line (args.txt) and what must be true afterwards (expected/:
// the whole C: drive in c/, the trace in trace.txt, the exit status in
// status.txt).
#pragma once

#include <string>
#include <vector>

namespace corvane_test {

class Scenario {
public:
    explicit Scenario(std::string folder);

    // Host paths of the scenario folders below root, sorted by name.
    static std::vector<std::string> findAll(const std::string& root);
    // The scenario's folder name made fit for a test name.
    static std::string testName(const std::string& folder);

    std::string path(const std::string& relative) const { return m_folder + "/" + relative; }
    std::string script() const;
    std::vector<std::string> extraArgs() const;
    int expectedStatus() const;
    std::vector<std::string> expectedTrace() const;

private:
    std::string m_folder;
};

// Relative paths ('/' separated) of every file below root, sorted.
std::vector<std::string> listHostFiles(const std::string& root);

} // namespace corvane_test

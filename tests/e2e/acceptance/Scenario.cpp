#include "tests/e2e/acceptance/Scenario.h"

#include "tests/support/TempDir.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace corvane_test {

namespace {

// The lines of a text file without their line ends; a last line without one
// counts as well.
std::vector<std::string> readLines(const std::string& path) {
    std::string text = readHostFile(path);
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t lf = text.find('\n', begin);
        std::size_t end = lf == std::string::npos ? text.size() : lf;
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        begin = end + 1;
    }
    return lines;
}

} // namespace

Scenario::Scenario(std::string folder) : m_folder(std::move(folder)) {}

std::vector<std::string> Scenario::findAll(const std::string& root) {
    std::vector<std::string> folders;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(root, ec)) {
        if (entry.is_directory()) {
            folders.push_back(entry.path().string());
        }
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

std::string Scenario::testName(const std::string& folder) {
    std::string name = fs::path(folder).filename().string();
    for (char& c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0) {
            c = '_';
        }
    }
    return name;
}

std::string Scenario::script() const {
    return readHostFile(path("input.txt"));
}

// Every line is one argument as it stands, leading blanks included (the
// service-pack text " B" needs its blank).
std::vector<std::string> Scenario::extraArgs() const {
    return readLines(path("args.txt"));
}

int Scenario::expectedStatus() const {
    std::vector<std::string> lines = readLines(path("expected/status.txt"));
    if (lines.size() != 1) {
        throw std::runtime_error(path("expected/status.txt") + " must hold one number");
    }
    return std::stoi(lines.front());
}

std::vector<std::string> Scenario::expectedTrace() const {
    return readLines(path("expected/trace.txt"));
}

std::vector<std::string> listHostFiles(const std::string& root) {
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_directory()) {
            files.push_back(fs::relative(entry.path(), root).generic_string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace corvane_test

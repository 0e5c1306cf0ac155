#include "platform/emu/gdi/FontMatchCache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace emu::gdi {

namespace {

constexpr const char kFirstLine[] = "corvane font matches 1";
constexpr const char kLastLine[] = "end";
constexpr size_t kEntryLimit = 64;

// What steers fontconfig besides its files: where it looks for them, the
// language it prefers faces for, and the program name rules may test.
constexpr const char* kEnvironment[] = {
    "FONTCONFIG_FILE",
    "FONTCONFIG_PATH",
    "FONTCONFIG_SYSROOT",
    "HOME",
    "XDG_CONFIG_HOME",
    "XDG_DATA_HOME",
    "XDG_CACHE_HOME",
    "FC_LANG",
    "LANG",
    "LC_ALL",
    "LC_CTYPE",
    "LANGUAGE",
    "FC_PRGNAME",
};

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Names that would break the line format are not kept.
bool fitsOnALine(const std::string& text) {
    return text.find_first_of("\t\n\r") == std::string::npos;
}

// "source MTIME SIZE PATH", or "source - - PATH" for a path that does not
// exist; any other failure to look makes the source unusable (empty).
std::string sourceLine(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            return "";
        }
        return "source - - " + path;
    }
    char time[48];
    std::snprintf(time, sizeof time, "%lld.%09ld", static_cast<long long>(status.st_mtim.tv_sec),
                  static_cast<long>(status.st_mtim.tv_nsec));
    return "source " + std::string(time) + " " + std::to_string(status.st_size) + " " + path;
}

// The path of a source line as written by sourceLine.
std::string sourcePath(const std::string& line) {
    size_t at = line.find(' ');
    for (int field = 0; field < 2 && at != std::string::npos; ++field) {
        at = line.find(' ', at + 1);
    }
    return at == std::string::npos ? "" : line.substr(at + 1);
}

bool wholeNumber(const std::string& text, int& number) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    number = std::stoi(text);
    return true;
}

} // namespace

FontMatchCache::FontMatchCache(std::string path) : m_path(std::move(path)) {}

std::string FontMatchCache::defaultPath() {
    const std::string cache = variable("XDG_CACHE_HOME");
    if (!cache.empty() && cache[0] == '/') {
        return cache + "/corvane/font-matches";
    }
    const std::string home = variable("HOME");
    return home.empty() ? "" : home + "/.cache/corvane/font-matches";
}

std::vector<std::string> FontMatchCache::userConfigPlaces() {
    std::vector<std::string> places;
    const std::string home = variable("HOME");
    std::string config = variable("XDG_CONFIG_HOME");
    if (config.empty() && !home.empty()) {
        config = home + "/.config";
    }
    if (!config.empty()) {
        places.push_back(config + "/fontconfig");
        places.push_back(config + "/fontconfig/fonts.conf");
        places.push_back(config + "/fontconfig/conf.d");
    }
    if (!home.empty()) {
        places.push_back(home + "/.fonts.conf");
        places.push_back(home + "/.fonts.conf.d");
        places.push_back(home + "/.fonts");
        places.push_back(home + "/.local/share/fonts");
    }
    return places;
}

std::string FontMatchCache::environment() {
    std::string lines;
    for (const char* name : kEnvironment) {
        lines += std::string("env ") + name + "=" + variable(name) + "\n";
    }
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    lines += "program " + std::string(self, length > 0 ? static_cast<size_t>(length) : 0) + "\n";
    return lines;
}

void FontMatchCache::load() {
    m_loaded = true;
    if (m_path.empty()) {
        return;
    }
    std::ifstream in(m_path);
    std::string line;
    if (!in || !std::getline(in, line) || line != kFirstLine) {
        return;
    }
    std::string expectedEnvironment = environment();
    std::string seenEnvironment;
    std::vector<std::string> sources;
    std::vector<Entry> entries;
    bool ended = false;
    while (!ended && std::getline(in, line)) {
        if (line.rfind("env ", 0) == 0 || line.rfind("program ", 0) == 0) {
            seenEnvironment += line + "\n";
        } else if (line.rfind("source ", 0) == 0) {
            const std::string path = sourcePath(line);
            // A source changed since the answers were made: none of them holds.
            if (path.empty() || sourceLine(path) != line) {
                return;
            }
            sources.push_back(line);
        } else if (line.rfind("match\t", 0) == 0) {
            // match REQUEST INDEX WEIGHT FILE, tab separated
            std::vector<std::string> fields;
            std::istringstream parts(line.substr(6));
            for (std::string field; std::getline(parts, field, '\t');) {
                fields.push_back(field);
            }
            Entry entry;
            if (fields.size() != 4 || fields[3].empty() ||
                !wholeNumber(fields[1], entry.answer.index) ||
                !wholeNumber(fields[2], entry.answer.weight)) {
                return;
            }
            entry.request = fields[0];
            entry.answer.file = fields[3];
            entries.push_back(std::move(entry));
        } else if (line == kLastLine) {
            ended = true;
        } else {
            return;
        }
    }
    // A file cut short, or made for another environment, holds nothing.
    if (!ended || sources.empty() || seenEnvironment != expectedEnvironment) {
        return;
    }
    m_sourceLines = std::move(sources);
    m_entries = std::move(entries);
}

std::optional<FontMatchCache::Answer> FontMatchCache::find(const std::string& request) {
    if (!m_loaded) {
        load();
    }
    for (const Entry& entry : m_entries) {
        if (entry.request == request) {
            return entry.answer;
        }
    }
    return std::nullopt;
}

void FontMatchCache::store(const std::string& request, const Answer& answer,
                           const std::vector<std::string>& sources) {
    if (!m_loaded) {
        load();
    }
    if (m_path.empty() || !fitsOnALine(request) || !fitsOnALine(answer.file) ||
        answer.file.empty()) {
        return;
    }
    std::vector<std::string> lines;
    for (const std::string& path : sources) {
        const std::string line = sourceLine(path);
        if (line.empty() || !fitsOnALine(path)) {
            return;
        }
        lines.push_back(line);
    }
    // Answers made from other sources are dropped with them.
    if (lines != m_sourceLines) {
        m_entries.clear();
        m_sourceLines = lines;
    }
    // A run asks for a few faces; the file stays small whatever many layouts name.
    if (m_entries.size() >= kEntryLimit) {
        m_entries.erase(m_entries.begin());
    }
    m_entries.push_back(Entry{request, answer});

    std::string text = std::string(kFirstLine) + "\n" + environment();
    for (const std::string& line : m_sourceLines) {
        text += line + "\n";
    }
    for (const Entry& entry : m_entries) {
        text += "match\t" + entry.request + "\t" + std::to_string(entry.answer.index) + "\t" +
                std::to_string(entry.answer.weight) + "\t" + entry.answer.file + "\n";
    }
    text += std::string(kLastLine) + "\n";

    const size_t slash = m_path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : m_path.substr(0, slash);
    const size_t parent = folder.rfind('/');
    if (parent != std::string::npos && parent > 0) {
        mkdir(folder.substr(0, parent).c_str(), 0755);
    }
    mkdir(folder.c_str(), 0755);
    std::string temporary = m_path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return;
    }
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const bool closed = close(fd) == 0;
    // Another run may replace the file at the same time; either file is whole.
    if (!written || !closed || std::rename(temporary.c_str(), m_path.c_str()) != 0) {
        unlink(temporary.c_str());
    }
}

} // namespace emu::gdi

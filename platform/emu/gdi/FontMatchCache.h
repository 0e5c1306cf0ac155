// fontconfig's answers kept in a file between runs. Loading fontconfig's
// configuration (parsing its XML files) is most of the work of a short run,
// and its answer to "which file for this family, weight and slant" changes
// only when what it was made from changes. So every answer is kept with its
// sources: the configuration files fontconfig read and their folders, the
// user's configuration places (present or not), the font folders, each with
// its modification time, and the environment that steers fontconfig. The
// answers are used only while every source is as recorded; fontconfig
// itself decides in the same way, by modification times, whether its own
// caches are current.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace emu::gdi {

class FontMatchCache {
public:
    struct Answer {
        std::string file;
        int index = 0;
        int weight = 0;
    };

    // Keeps the answers in the file at path; an empty path keeps nothing.
    explicit FontMatchCache(std::string path);

    // $XDG_CACHE_HOME/corvane/font-matches, else ~/.cache/corvane/font-matches;
    // empty without either.
    static std::string defaultPath();
    // The user's fontconfig configuration places, whether or not they exist:
    // creating one of them changes fontconfig's answers.
    static std::vector<std::string> userConfigPlaces();

    // The kept answer to request, when the file holds one and its sources are
    // unchanged.
    std::optional<Answer> find(const std::string& request);
    // Keeps answer with the sources (host paths) it came from, beside the
    // other answers made from the same sources. The file is replaced whole
    // (a temporary file and a rename); a file that cannot be written keeps
    // nothing, and the run goes on.
    void store(const std::string& request, const Answer& answer,
               const std::vector<std::string>& sources);

private:
    struct Entry {
        std::string request;
        Answer answer;
    };
    // Reads the file once: its answers when its sources are unchanged.
    void load();
    static std::string environment();

    std::string m_path;
    bool m_loaded = false;
    std::vector<std::string> m_sourceLines; // as written in the file, checked
    std::vector<Entry> m_entries;
};

} // namespace emu::gdi

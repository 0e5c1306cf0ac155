#include "platform/emu/gdi/FontMatchCache.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace corvane_test {
namespace {

using emu::gdi::FontMatchCache;

// Sources last changed long ago, as installed configuration and fonts are:
// a change made by the test then always shows in their times.
void makeOld(const std::string& path) {
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), old, 0), 0) << path;
}

TEST(FontMatchCache, AnAnswerHoldsOnlyWhileEverythingItCameFromIsUnchanged) {
    struct Row {
        const char* change;
        std::function<void(const TempDir&)> make;
        bool kept;
    };
    const Row rows[] = {
        {"nothing", [](const TempDir&) {}, true},
        {"a configuration file rewritten",
         [](const TempDir& dir) { writeHostFile(dir / "conf/fonts.conf", "<fontconfig/>\n"); },
         false},
        {"a font added to a font folder",
         [](const TempDir& dir) { writeHostFile(dir / "fonts/New.ttf", "font"); }, false},
        {"a configuration place that was missing made",
         [](const TempDir& dir) { writeHostFile(dir / "user.conf", "<fontconfig/>\n"); }, false},
        {"the language changed", [](const TempDir&) { setenv("LANG", "de_DE.UTF-8", 1); }, false},
        {"the file cut short",
         [](const TempDir& dir) {
             std::string text = readHostFile(dir / "cache/matches");
             writeHostFile(dir / "cache/matches", text.substr(0, text.rfind("end\n")));
         },
         false},
        {"a line of the file damaged",
         [](const TempDir& dir) {
             std::string text = readHostFile(dir / "cache/matches");
             text.replace(text.find("\t0\t"), 3, "\tx\t");
             writeHostFile(dir / "cache/matches", text);
         },
         false},
        {"the file replaced by something else",
         [](const TempDir& dir) {
             writeHostFile(dir / "cache/matches", "\x7f"
                                                  "ELF\n");
         },
         false},
    };
    const char* language = std::getenv("LANG");
    const std::string savedLanguage = language != nullptr ? language : "";
    for (const Row& row : rows) {
        TempDir dir;
        writeHostFile(dir / "conf/fonts.conf", "<fontconfig></fontconfig>\n");
        writeHostFile(dir / "fonts/Face.ttf", "font");
        for (const char* path : {"conf/fonts.conf", "conf", "fonts/Face.ttf", "fonts"}) {
            makeOld(dir / path);
        }
        const std::vector<std::string> sources = {dir / "conf/fonts.conf", dir / "conf",
                                                  dir / "fonts", dir / "user.conf"};
        const FontMatchCache::Answer answer{dir / "fonts/Face.ttf", 0, 200};
        {
            FontMatchCache cache(dir / "cache/matches");
            EXPECT_FALSE(cache.find("Arial:bold:roman")) << row.change;
            cache.store("Arial:bold:roman", answer, sources);
            cache.store("Arial:regular:roman", FontMatchCache::Answer{dir / "x.ttf", 1, 80},
                        sources);
        }
        row.make(dir);
        FontMatchCache later(dir / "cache/matches");
        const auto kept = later.find("Arial:bold:roman");
        EXPECT_EQ(kept.has_value(), row.kept) << row.change;
        if (kept) {
            EXPECT_EQ(kept->file, answer.file);
            EXPECT_EQ(kept->index, 0);
            EXPECT_EQ(kept->weight, 200);
            const auto other = later.find("Arial:regular:roman");
            ASSERT_TRUE(other);
            EXPECT_EQ(other->file, dir / "x.ttf");
            EXPECT_EQ(other->index, 1);
            EXPECT_EQ(other->weight, 80);
            EXPECT_FALSE(later.find("Arial:bold:italic"));
        }
        setenv("LANG", savedLanguage.c_str(), 1);
        if (language == nullptr) {
            unsetenv("LANG");
        }
    }
}

TEST(FontMatchCache, WhatCannotBeKeptIsAskedForAgainAndNothingBreaks) {
    TempDir dir;
    writeHostFile(dir / "fonts.conf", "<fontconfig/>\n");
    makeOld(dir / "fonts.conf");
    // The cache's folder is a file: nothing can be written there.
    writeHostFile(dir / "blocked", "");
    FontMatchCache blocked(dir / "blocked/matches");
    blocked.store("Arial:regular:roman", {dir / "Face.ttf", 0, 80}, {dir / "fonts.conf"});
    EXPECT_FALSE(FontMatchCache(dir / "blocked/matches").find("Arial:regular:roman"));
    // A name with a line break would break the file's lines: not kept, and
    // what was kept before stays.
    FontMatchCache cache(dir / "cache/matches");
    cache.store("Arial:regular:roman", {dir / "Face.ttf", 0, 80}, {dir / "fonts.conf"});
    cache.store("Bad\nName:regular:roman", {dir / "Face.ttf", 0, 80}, {dir / "fonts.conf"});
    FontMatchCache later(dir / "cache/matches");
    EXPECT_TRUE(later.find("Arial:regular:roman"));
    EXPECT_FALSE(later.find("Bad\nName:regular:roman"));
    EXPECT_EQ(folderEntries(dir / "cache"), std::vector<std::string>{"matches"});
    // Without a path nothing is kept.
    FontMatchCache nowhere("");
    nowhere.store("Arial:regular:roman", {dir / "Face.ttf", 0, 80}, {dir / "fonts.conf"});
    EXPECT_FALSE(nowhere.find("Arial:regular:roman"));
}

} // namespace
} // namespace corvane_test

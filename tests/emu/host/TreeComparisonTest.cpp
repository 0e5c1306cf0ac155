// The comparison of an image drive's folder as copied out with the folder at
// the end of the run, on trees made by hand: what the image is told to do.
#include "platform/emu/host/TreeComparison.h"

#include <gtest/gtest.h>

using emu::host::ImageChanges;
using emu::host::Tree;
using emu::host::TreeComparison;
using emu::host::TreeEntry;

namespace {

TreeEntry folder() {
    TreeEntry entry;
    entry.folder = true;
    return entry;
}

// A file as one inode at one time; flags "R", "H", "S" as the image had them.
TreeEntry file(ino_t inode, std::int64_t time, const std::string& flags = "") {
    TreeEntry entry;
    entry.inode = inode;
    entry.size = 10;
    entry.modified = time;
    entry.changed = time;
    entry.readOnly = flags.find('R') != std::string::npos;
    entry.hidden = flags.find('H') != std::string::npos;
    entry.system = flags.find('S') != std::string::npos;
    return entry;
}

using Paths = std::vector<std::string>;

// Each list of changes, as one line: "removedFolders: A B; written: ...".
std::string describe(const ImageChanges& changes) {
    std::string text;
    auto add = [&](const std::string& name, const Paths& paths) {
        if (paths.empty()) {
            return;
        }
        text += (text.empty() ? "" : "; ") + name + ":";
        for (const std::string& path : paths) {
            text += " " + path;
        }
    };
    add("removedFolders", changes.removedFolders);
    add("removedFiles", changes.removedFiles);
    add("newFolders", changes.newFolders);
    add("unprotect", changes.unprotect);
    for (const auto& [target, files] : changes.written) {
        add("into /" + target, files);
    }
    for (const auto& [flags, paths] : changes.attributes) {
        auto [readOnly, hidden, system] = flags;
        add(std::string(readOnly ? "+r" : "-r") + (hidden ? "+h" : "-h") + (system ? "+s" : "-s"),
            paths);
    }
    return text;
}

} // namespace

TEST(TreeComparison, TellsTheImageExactlyWhatChanged) {
    const Tree before = {
        {"WINDOWS", folder()},
        {"WINDOWS/INF", folder()},
        {"WINDOWS/INF/MACHINE.INF", file(1, 100)},
        {"WINDOWS/INF/USB.INF", file(2, 100, "R")},
        {"WINDOWS/INF/DRVIDX.BIN", file(3, 100, "HS")},
        {"OLD", folder()},
        {"OLD/SUB", folder()},
        {"OLD/SUB/A.TXT", file(4, 100)},
        {"IO.SYS", file(5, 100, "RHS")},
        {"NOTES", file(6, 100)},
    };
    struct Row {
        const char* what;
        std::function<void(Tree&)> change;
        std::string expected;
        int count;
    };
    const Row rows[] = {
        {"nothing", [](Tree&) {}, "", 0},
        {"a file rewritten in place (new times)",
         [](Tree& t) { t["WINDOWS/INF/MACHINE.INF"] = file(1, 200); },
         "into /WINDOWS/INF: WINDOWS/INF/MACHINE.INF; -r-h-s: WINDOWS/INF/MACHINE.INF", 1},
        {"a file replaced by a new one of the same size and times",
         [](Tree& t) { t["WINDOWS/INF/MACHINE.INF"] = file(9, 100); },
         "into /WINDOWS/INF: WINDOWS/INF/MACHINE.INF; -r-h-s: WINDOWS/INF/MACHINE.INF", 1},
        {"a file only grown", [](Tree& t) { t["WINDOWS/INF/MACHINE.INF"].size = 11; },
         "into /WINDOWS/INF: WINDOWS/INF/MACHINE.INF; -r-h-s: WINDOWS/INF/MACHINE.INF", 1},
        {"a read-only file rewritten and left writable",
         [](Tree& t) { t["WINDOWS/INF/USB.INF"] = file(2, 200); },
         "unprotect: WINDOWS/INF/USB.INF; into /WINDOWS/INF: WINDOWS/INF/USB.INF; -r-h-s: "
         "WINDOWS/INF/USB.INF",
         1},
        {"a hidden system file rewritten keeps hidden and system",
         [](Tree& t) { t["WINDOWS/INF/DRVIDX.BIN"] = file(3, 200); },
         "into /WINDOWS/INF: WINDOWS/INF/DRVIDX.BIN; -r+h+s: WINDOWS/INF/DRVIDX.BIN", 1},
        {"a file made read-only, its data unchanged", [](Tree& t) { t["NOTES"].readOnly = true; },
         "+r-h-s: NOTES", 1},
        {"a read-only system file made writable", [](Tree& t) { t["IO.SYS"].readOnly = false; },
         "-r+h+s: IO.SYS", 1},
        {"a folder removed with everything in it",
         [](Tree& t) {
             t.erase("OLD");
             t.erase("OLD/SUB");
             t.erase("OLD/SUB/A.TXT");
         },
         "removedFolders: OLD", 1},
        {"a file removed", [](Tree& t) { t.erase("WINDOWS/INF/USB.INF"); },
         "removedFiles: WINDOWS/INF/USB.INF", 1},
        {"new folders with a file, in the root and deep",
         [](Tree& t) {
             t["NEW"] = folder();
             t["NEW/DEEP"] = folder();
             t["NEW/DEEP/B.QBK"] = file(20, 300);
             t["ROOT.TXT"] = file(21, 300);
         },
         "newFolders: NEW NEW/DEEP; into /: ROOT.TXT; into /NEW/DEEP: NEW/DEEP/B.QBK; -r-h-s: "
         "NEW/DEEP/B.QBK ROOT.TXT",
         4},
        {"a new read-only file", [](Tree& t) { t["NEW.TXT"] = file(22, 300, "R"); },
         "into /: NEW.TXT; +r-h-s: NEW.TXT", 1},
        {"a file turned into a folder of the same name",
         [](Tree& t) {
             t["NOTES"] = folder();
             t["NOTES/A.TXT"] = file(23, 300);
         },
         "removedFiles: NOTES; newFolders: NOTES; into /NOTES: NOTES/A.TXT; -r-h-s: NOTES/A.TXT",
         3},
        {"a folder turned into a file of the same name",
         [](Tree& t) {
             t.erase("OLD/SUB/A.TXT");
             t.erase("OLD/SUB");
             t["OLD"] = file(24, 300);
         },
         "removedFolders: OLD; into /: OLD; -r-h-s: OLD", 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Tree now = before;
        row.change(now);
        ImageChanges changes = TreeComparison::compare(before, now);
        EXPECT_EQ(describe(changes), row.expected);
        EXPECT_EQ(changes.count(), row.count);
    }
}

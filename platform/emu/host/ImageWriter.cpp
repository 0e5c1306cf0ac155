#include "platform/emu/host/ImageWriter.h"

#include "platform/emu/host/ImageNames.h"
#include "platform/emu/host/ImageWorkFolder.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace emu::host {

namespace {

using hostsupport::Failure;
using hostsupport::Result;

// The changes as mtools takes them: every path in UTF-8 and literal, and
// the host files to copy under names mtools reads in UTF-8.
struct ToolChanges {
    std::vector<std::string> removedFolders;
    std::vector<std::string> removedFiles;
    std::vector<std::string> newFolders;
    std::vector<std::string> unprotect;
    std::map<std::string, std::vector<std::string>> written; // image folder -> host files
    std::map<std::tuple<bool, bool, bool>, std::vector<std::string>> attributes;
};

// Spells the work folder's paths (ANSI) for mtools. A name the image holds
// already is only looked up; a name made on it (a new folder, a file
// written) must come back the same. Files whose names are not ASCII are
// linked into staging under their UTF-8 names, for mcopy takes the name
// from the file it copies.
class Speller {
public:
    Speller(std::string folder, std::string staging, const Mtools& image)
        : m_folder(std::move(folder)), m_staging(std::move(staging)), m_spelling(image.spelling()),
          m_ansi(image.ansi()), m_codePage(image.codePage()) {}

    Result<void> spell(const ImageChanges& changes, ToolChanges& spelt) {
        for (const auto& [from, to] : {std::pair{&changes.removedFolders, &spelt.removedFolders},
                                       std::pair{&changes.removedFiles, &spelt.removedFiles},
                                       std::pair{&changes.unprotect, &spelt.unprotect}}) {
            if (!lookUp(*from, *to)) {
                return m_failure;
            }
        }
        for (const std::string& path : changes.newFolders) {
            if (!made(path)) {
                return m_failure;
            }
            spelt.newFolders.push_back(
                ImageNames::literalNew(*ImageNames::toToolPath(path, m_spelling)));
        }
        for (const auto& [target, files] : changes.written) {
            std::vector<std::string> sources;
            for (const std::string& file : files) {
                std::optional<std::string> source = sourceOf(file);
                if (!source) {
                    return m_failure;
                }
                sources.push_back(*source);
            }
            std::string folder;
            if (!toTool(target, folder)) {
                return m_failure;
            }
            spelt.written[ImageNames::literal(folder.empty() ? "" : folder + "/")] = sources;
        }
        for (const auto& [flags, paths] : changes.attributes) {
            if (!lookUp(paths, spelt.attributes[flags])) {
                return m_failure;
            }
        }
        return {};
    }

private:
    bool toTool(const std::string& path, std::string& spelt) {
        Result<std::string> utf8 = ImageNames::toToolPath(path, m_spelling);
        if (!utf8) {
            m_failure = Failure{"the name \"" + path + "\" " + utf8.reason()};
            return false;
        }
        spelt = *utf8;
        return true;
    }

    bool lookUp(const std::vector<std::string>& paths, std::vector<std::string>& spelt) {
        for (const std::string& path : paths) {
            std::string utf8;
            if (!toTool(path, utf8)) {
                return false;
            }
            spelt.push_back(ImageNames::literal(utf8));
        }
        return true;
    }

    // Whether the last name of path comes back the same once made.
    bool made(const std::string& path) {
        std::string shown;
        if (!toTool(path, shown)) {
            return false;
        }
        Result<std::string> name =
            ImageNames::toTool(TreeComparison::nameOf(path), m_ansi, m_codePage);
        if (!name) {
            m_failure =
                Failure{"the name \"" + shown +
                        "\" cannot be written into the image as it is: it " + name.reason()};
            return false;
        }
        return true;
    }

    std::optional<std::string> sourceOf(const std::string& file) {
        if (!made(file)) {
            return std::nullopt;
        }
        std::string host = m_folder + "/" + file;
        std::string name = *ImageNames::toTool(TreeComparison::nameOf(file), m_ansi, m_codePage);
        if (name == TreeComparison::nameOf(file)) {
            return host;
        }
        std::string folder = m_staging + "/" + std::to_string(m_staged++);
        std::string link = folder + "/" + name;
        if ((mkdir(m_staging.c_str(), 0700) != 0 && errno != EEXIST) ||
            mkdir(folder.c_str(), 0700) != 0 || ::link(host.c_str(), link.c_str()) != 0) {
            m_failure =
                Failure{"cannot link " + host + " to " + link + ": " + std::strerror(errno)};
            return std::nullopt;
        }
        return link;
    }

    std::string m_folder;
    std::string m_staging;
    const ImageSpelling& m_spelling;
    const kernel::CodePage& m_ansi;
    int m_codePage;
    int m_staged = 0;
    Failure m_failure;
};

// args followed by paths.
std::vector<std::string> with(std::vector<std::string> args,
                              const std::vector<std::string>& paths) {
    args.insert(args.end(), paths.begin(), paths.end());
    return args;
}

Result<void> runTools(const Mtools& image, const ToolChanges& changes,
                      const ImageWriter::StepHook& step) {
    Result<void> result;
    auto run = [&](const std::string& tool, const std::vector<std::string>& args) {
        Result<std::string> ran = image.run(tool, args);
        if (!ran) {
            result = ran.failure();
            return false;
        }
        if (step) {
            step(tool);
        }
        return true;
    };
    if (!changes.removedFolders.empty() && !run("mdeltree", changes.removedFolders)) {
        return result;
    }
    if (!changes.removedFiles.empty()) {
        // A file made read-only and then deleted in the session goes too.
        if (!run("mattrib", with({"-r"}, changes.removedFiles)) ||
            !run("mdel", changes.removedFiles)) {
            return result;
        }
    }
    if (!changes.newFolders.empty() && !run("mmd", changes.newFolders)) {
        return result;
    }
    if (!changes.unprotect.empty() && !run("mattrib", with({"-r"}, changes.unprotect))) {
        return result;
    }
    for (const auto& [target, files] : changes.written) {
        std::vector<std::string> args = with({"-o", "-m", "-n"}, files);
        args.push_back(target);
        if (!run("mcopy", args)) {
            return result;
        }
    }
    for (const auto& [flags, paths] : changes.attributes) {
        auto [readOnly, hidden, system] = flags;
        if (!run("mattrib",
                 with({readOnly ? "+r" : "-r", hidden ? "+h" : "-h", system ? "+s" : "-s"},
                      paths))) {
            return result;
        }
    }
    return result;
}

} // namespace

hostsupport::Result<void> ImageWriter::write(const Mtools& image, const ImageChanges& changes,
                                             const std::string& folder, const std::string& staging,
                                             const StepHook& step) {
    // Every name is spelt before the first tool runs: a refused one changes
    // nothing.
    ToolChanges spelt;
    ImageWorkFolder::removeTree(staging);
    Result<void> named = Speller(folder, staging, image).spell(changes, spelt);
    if (!named) {
        ImageWorkFolder::removeTree(staging);
        return named;
    }
    Result<void> result = runTools(image, spelt, step);
    ImageWorkFolder::removeTree(staging);
    return result;
}

} // namespace emu::host

#include "platform/emu/host/ImageWriter.h"

namespace emu::host {

namespace {

std::vector<std::string> onImage(const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    names.reserve(paths.size());
    for (const std::string& path : paths) {
        names.push_back(Mtools::onImage(path));
    }
    return names;
}

// args followed by the image names of paths.
std::vector<std::string> with(std::vector<std::string> args,
                              const std::vector<std::string>& paths) {
    std::vector<std::string> names = onImage(paths);
    args.insert(args.end(), names.begin(), names.end());
    return args;
}

} // namespace

hostsupport::Result<void> ImageWriter::write(const Mtools& image, const ImageChanges& changes,
                                             const std::string& folder, const StepHook& step) {
    hostsupport::Result<void> result;
    auto run = [&](const std::string& tool, const std::vector<std::string>& args) {
        hostsupport::Result<std::string> ran = image.run(tool, args);
        if (!ran) {
            result = ran.failure();
            return false;
        }
        if (step) {
            step(tool);
        }
        return true;
    };
    if (!changes.removedFolders.empty() && !run("mdeltree", onImage(changes.removedFolders))) {
        return result;
    }
    if (!changes.removedFiles.empty()) {
        // A file made read-only and then deleted in the session goes too.
        if (!run("mattrib", with({"-r"}, changes.removedFiles)) ||
            !run("mdel", onImage(changes.removedFiles))) {
            return result;
        }
    }
    if (!changes.newFolders.empty() && !run("mmd", onImage(changes.newFolders))) {
        return result;
    }
    if (!changes.unprotect.empty() && !run("mattrib", with({"-r"}, changes.unprotect))) {
        return result;
    }
    for (const auto& [target, files] : changes.written) {
        std::vector<std::string> args = {"-o", "-m", "-n"};
        for (const std::string& file : files) {
            args.push_back(folder + "/" + file);
        }
        args.push_back(Mtools::onImage(target.empty() ? "" : target + "/"));
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

} // namespace emu::host

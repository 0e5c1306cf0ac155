// The Debian package as a user gets it: unpacked into a temporary root, its
// dependencies declared, its copyright file and changelog in place, its
// corvane-setup answering --version and its corvane-demo running the
// installed demo disk headless.
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace corvane_test {
namespace {

struct Command {
    int status = -1;
    std::string output; // stdout and stderr together
};

Command runCommand(const std::string& command) {
    Command result;
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        result.output.append(buffer, n);
    }
    int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

// The package of this version in the package folder; empty when not built.
std::string builtPackage() {
    std::string prefix = std::string("corvane_") + CORVANE_VERSION + "_";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(CORVANE_PACKAGE_DIR, error)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && entry.path().extension() == ".deb") {
            return entry.path().string();
        }
    }
    return "";
}

// The package names of a Depends field, without versions.
std::vector<std::string> dependencyNames(const std::string& field) {
    std::vector<std::string> names;
    std::istringstream in(field);
    for (std::string item; std::getline(in, item, ',');) {
        std::istringstream words(item);
        std::string name;
        words >> name;
        names.push_back(name);
    }
    return names;
}

// The value after "label" on the line of text that has it.
std::string after(const std::string& text, const std::string& label) {
    size_t at = text.find(label);
    if (at == std::string::npos) {
        return "";
    }
    at += label.size();
    return text.substr(at, text.find('\n', at) - at);
}

TEST(InstalledPackage, UnpackedItDeclaresItsNeedsAndRunsTheVersionAndTheHeadlessDemo) {
    std::string deb = builtPackage();
    if (deb.empty()) {
        GTEST_SKIP() << "no corvane_" << CORVANE_VERSION << " package in " << CORVANE_PACKAGE_DIR
                     << "; ./corvane package builds it";
    }
    TempDir root;
    Command unpack = runCommand("dpkg -x '" + deb + "' '" + root.path() + "'");
    ASSERT_EQ(unpack.status, 0) << unpack.output;

    Command depends = runCommand("dpkg-deb -f '" + deb + "' Depends");
    ASSERT_EQ(depends.status, 0) << depends.output;
    std::vector<std::string> names = dependencyNames(depends.output);
    for (const char* needed :
         {"libsdl2-2.0-0", "libfreetype6", "libfontconfig1", "libpng16-16", "fonts-liberation",
          "fonts-dejavu-core", "fonts-wine", "mtools", "dosfstools"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), needed), names.end())
            << needed << " missing from " << depends.output;
    }

    for (const char* file :
         {"usr/bin/corvane-setup", "usr/bin/corvane-demo", "usr/share/man/man1/corvane-setup.1.gz",
          "usr/share/corvane/demo/disk/layout.ini", "usr/share/corvane/demo/c/WINDOWS/SYSTEM.REG",
          "usr/share/corvane/demo/disk950/layout.ini",
          "usr/share/corvane/demo/c950/WINDOWS/SYSTEM.REG"}) {
        EXPECT_TRUE(hostFileExists(root / file)) << file;
    }
    // Debian's two documents: the licence in the machine-readable format and
    // the changelog, whose newest entry is this version.
    const std::string docs = root / "usr/share/doc/corvane";
    ASSERT_TRUE(hostFileExists(docs + "/copyright"));
    std::string copyright = readHostFile(docs + "/copyright");
    EXPECT_EQ(
        copyright.rfind(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n", 0),
        0u)
        << copyright;
    EXPECT_NE(copyright.find("\nLicense: Expat\n"), std::string::npos) << copyright;
    Command changelog = runCommand("gzip -dc '" + docs + "/changelog.gz'");
    EXPECT_EQ(changelog.status, 0) << changelog.output;
    EXPECT_EQ(changelog.output.rfind(std::string("corvane (") + CORVANE_VERSION + ") ", 0), 0u)
        << changelog.output;

    // Only the installed name: a plain "setup" would clash with other programs.
    EXPECT_FALSE(hostFileExists(root / "usr/bin/setup"));

    // The Windows program for driver disks: the cross-built bytes, which the
    // installed program finds for --make-disk (mtools, which makes floppy
    // images, is among the dependencies above).
    const std::string windowsSetup = root / "usr/share/corvane/windows/setup.exe";
    ASSERT_TRUE(hostFileExists(windowsSetup));
#ifdef CORVANE_WINDOWS_SETUP
    EXPECT_TRUE(readHostFile(windowsSetup) == readHostFile(CORVANE_WINDOWS_SETUP))
        << windowsSetup << " differs from " << CORVANE_WINDOWS_SETUP;
#endif
    TempDir made;
    Command makeDisk = runCommand("cd '" + (root / "usr/share/corvane/demo/disk") + "' && '" +
                                  (root / "usr/bin/corvane-setup") + "' --make-disk '" +
                                  (made / "disk") + "' --drive C=../c");
    EXPECT_EQ(makeDisk.status, 0) << makeDisk.output;
    EXPECT_TRUE(hostFileExists(made / "disk/SETUP.EXE") &&
                readHostFile(made / "disk/SETUP.EXE") == readHostFile(windowsSetup));

    Command version = runCommand("'" + (root / "usr/bin/corvane-setup") + "' --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, std::string("corvane-setup (corvane) ") + CORVANE_VERSION + "\n");

    // The installed demo: headless without a display, on its own copy of C:.
    std::string installedC = root / "usr/share/corvane/demo/c";
    std::string registryBefore = readHostFile(installedC + "/WINDOWS/SYSTEM.REG");
    Command demo = runCommand("env -u DISPLAY -u WAYLAND_DISPLAY '" +
                              (root / "usr/bin/corvane-demo") + "' --clock virtual");
    EXPECT_EQ(demo.status, 0) << demo.output;
    EXPECT_NE(demo.output.find("headless run ended with status 0;"), std::string::npos)
        << demo.output;
    std::string workC = after(demo.output, "corvane demo: C: is ");
    ASSERT_FALSE(workC.empty()) << demo.output;
    std::string work = std::filesystem::path(workC).parent_path().string();
    std::string trace =
        hostFileExists(work + "/trace.txt") ? readHostFile(work + "/trace.txt") : "";
    // The session installed (device keys deleted) and ended at the close box.
    EXPECT_NE(trace.find("RegDeleteKeyA(HKEY_LOCAL_MACHINE, "), std::string::npos) << trace;
    EXPECT_NE(trace.find("DestroyWindow(0x1) = 1"), std::string::npos) << trace;
    EXPECT_NE(readHostFile(workC + "/WINDOWS/SYSTEM.REG"), registryBefore);
    EXPECT_EQ(readHostFile(installedC + "/WINDOWS/SYSTEM.REG"), registryBefore);
    if (work.rfind("/tmp/corvane-demo.", 0) == 0) {
        std::filesystem::remove_all(work);
    }
}

} // namespace
} // namespace corvane_test

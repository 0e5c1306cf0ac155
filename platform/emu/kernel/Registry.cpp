#include "platform/emu/kernel/Registry.h"

#include "platform/emu/hostsupport/UndoJournal.h"
#include "platform/emu/kernel/CregCheck.h"
#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/CregHabits.h"
#include "platform/emu/kernel/CregWriter.h"
#include "platform/emu/kernel/FileSystem.h"
#include "platform/emu/kernel/HostEntry.h"
#include "platform/emu/kernel/InPlaceWriter.h"
#include "platform/emu/kernel/RegistryFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace emu::kernel {

namespace {

struct RegistryState {
    std::string registryFile; // host path as configured; empty: in the Windows directory
    std::string windowsDir;
};

// A binary hive as last read or written by us, kept while its file stays
// the same, so that a run parses a large hive once and not once per call.
// The file is the same while its device, inode, size, modification and
// change times are; a file changed within the file system's timestamp
// granularity of when those were taken may show the same times, so then its
// bytes are compared too (once they are old enough, the times alone tell).
struct ParsedHive {
    std::string hostPath;
    struct stat identity {};
    bool recent = false; // the times may not yet tell a change from none
    std::unique_ptr<CregFile> file;
    CregHabits habits;
    std::optional<std::string> damage; // why no change may be made to it
};

// Serialises the read-change-write of the hive between threads.
std::mutex g_registryMutex;
RegistryState g_registry;
ParsedHive g_parsed; // under g_registryMutex

void reportMalformed(const std::string& path, const RegistryFile::ParseError& error) {
    std::fprintf(stderr, "setup: registry file %s, line %d: %s\n", path.c_str(), error.line,
                 error.reason.c_str());
}

void reportOn(const std::string& path, const std::string& what) {
    std::fprintf(stderr, "setup: registry file %s: %s\n", path.c_str(), what.c_str());
}

void reportMalformed(const std::string& path, const std::string& reason) {
    reportOn(path, reason);
}

LONG deleteFromText(const std::string& hostPath, const std::string& text,
                    const RegistryKeyPath& key) {
    RegistryFile hive(text);
    if (hive.error()) {
        reportMalformed(hostPath, *hive.error());
        return ERROR_BADDB;
    }
    if (hive.deleteKey(key) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    return replaceSystemFile(hostPath, hive.text());
}

} // namespace

void shutdownRegistry() {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    g_registry = RegistryState{};
    g_parsed = ParsedHive{};
}

namespace {

// The registry file as found: its name (a link stays a link), and why it
// cannot serve when it cannot.
struct HiveFile {
    std::string hostPath; // empty: there is none, an empty registry
    std::string fault;    // empty: a regular file, readable through hostPath
};

std::string faultOf(const std::string& hostPath, bool leavesDrive) {
    std::optional<HostEntry> named = HostEntry::linkAt(hostPath);
    std::optional<HostEntry> entry = HostEntry::at(hostPath);
    if (named && named->isLink() && !entry) {
        return "is a link that leads nowhere";
    }
    if (leavesDrive) {
        return "is a link that leads outside its drive";
    }
    if (!entry) {
        return "cannot be reached";
    }
    if (entry->isFolder()) {
        return "is a folder, not a file";
    }
    if (!entry->isRegularFile()) {
        return "is a pipe or device, not a file";
    }
    return "";
}

bool isNamed(const std::string& hostPath) {
    return HostEntry::linkAt(hostPath).has_value();
}

// Whatever carries the name is the registry file: Windows 95's own binary
// hive wins over a REGEDIT4 file beside it. Looked up per call, so the file
// may appear later, in whatever letter case.
HiveFile findHive() {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (!g_registry.registryFile.empty()) {
        const std::string& path = g_registry.registryFile;
        return isNamed(path) ? HiveFile{path, faultOf(path, false)} : HiveFile{path, ""};
    }
    for (const char* name : {"\\SYSTEM.DAT", "\\SYSTEM.REG"}) {
        auto named = nameWindowsPath(g_registry.windowsDir + name);
        if (named && isNamed(named->hostPath)) {
            return HiveFile{named->hostPath, faultOf(named->hostPath, named->leavesDrive)};
        }
    }
    auto text = nameWindowsPath(g_registry.windowsDir + "\\SYSTEM.REG");
    return HiveFile{text ? text->hostPath : "", ""};
}

// Puts back what a change cut short (a kill, a power cut) left of the hive
// file, which it is written in place behind a journal, before anything reads
// it; a roll-back is said on stderr. The reason when it cannot be done (a
// running writer's journal held past the wait, a journal not whole): the
// file is then left as it is and must not be read.
std::optional<std::string> rollBackInterrupted(const HiveFile& hive) {
    if (!hive.fault.empty() || hive.hostPath.empty()) {
        return std::nullopt;
    }
    std::unique_ptr<char, decltype(&free)> real(realpath(hive.hostPath.c_str(), nullptr), free);
    if (!real) {
        return std::nullopt;
    }
    hostsupport::Result<bool> rolledBack = hostsupport::UndoJournal::rollBack(real.get());
    if (!rolledBack) {
        return rolledBack.reason();
    }
    if (*rolledBack) {
        reportOn(hive.hostPath, "a change cut short was undone from its journal");
    }
    return std::nullopt;
}

// Readies the hive file for reading: puts back what a change cut short
// left, then holds the file against writers of other processes (held)
// until it is read. The reason when it cannot be read safely.
std::optional<std::string> prepareToRead(const HiveFile& hive, hostsupport::UniqueFd& held) {
    constexpr int kAttempts = 3;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (auto failure = rollBackInterrupted(hive)) {
            return failure;
        }
        std::unique_ptr<char, decltype(&free)> real(
            hive.fault.empty() ? realpath(hive.hostPath.c_str(), nullptr) : nullptr, free);
        if (!real) {
            return std::nullopt;
        }
        auto hold = hostsupport::UndoJournal::holdForReading(real.get());
        if (!hold) {
            return hold.reason();
        }
        // A writer that died since the roll-back left a journal.
        if (!HostEntry::linkAt(hostsupport::UndoJournal::pathFor(real.get()))) {
            held = std::move(*hold);
            return std::nullopt;
        }
    }
    return std::string("changes of other processes keep being cut short");
}

// The hive's bytes; nullopt with error set to the Win32 error code when the
// file is no file (reported) or cannot be read, and to ERROR_FILE_NOT_FOUND
// when there is none.
std::optional<std::string> readHive(const HiveFile& hive, LONG& error) {
    if (!hive.fault.empty()) {
        reportMalformed(hive.hostPath, hive.fault);
        error = ERROR_BADDB;
        return std::nullopt;
    }
    if (hive.hostPath.empty() || !isNamed(hive.hostPath)) {
        error = ERROR_FILE_NOT_FOUND;
        return std::nullopt;
    }
    auto text = readFileShared(hive.hostPath, kRegistryFileReadLimit);
    error = text ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    return text;
}

bool sameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           sameTime(a.st_mtim, b.st_mtim) && sameTime(a.st_ctim, b.st_ctim);
}

// Whether a change made now could leave the file's times as they are:
// timestamps are as coarse as the kernel's tick, a few milliseconds.
bool isRecent(const struct stat& info) {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    auto changed =
        std::chrono::seconds(info.st_ctim.tv_sec) + std::chrono::nanoseconds(info.st_ctim.tv_nsec);
    return now - changed < std::chrono::milliseconds(100);
}

// Records the file's identity for the parsed hive; false when it is gone.
bool remember(ParsedHive& parsed, const std::string& hostPath) {
    struct stat info {};
    if (stat(hostPath.c_str(), &info) != 0) {
        parsed = ParsedHive{};
        return false;
    }
    parsed.hostPath = hostPath;
    parsed.identity = info;
    parsed.recent = isRecent(info);
    return true;
}

// The parsed hive when the file is still the one it was read from, without
// reading it where its times tell.
CregFile* keptHive(const std::string& hostPath) {
    struct stat info {};
    if (!g_parsed.file || g_parsed.hostPath != hostPath || stat(hostPath.c_str(), &info) != 0 ||
        !sameFile(info, g_parsed.identity)) {
        return nullptr;
    }
    if (g_parsed.recent) {
        if (!fileHolds(hostPath, g_parsed.file->bytes())) {
            return nullptr;
        }
        g_parsed.recent = isRecent(info);
    }
    return g_parsed.file.get();
}

// Reads the binary hive in bytes (just read from hostPath) and keeps it.
ParsedHive& parseHive(const std::string& hostPath, std::string bytes) {
    g_parsed = ParsedHive{};
    g_parsed.file = std::make_unique<CregFile>(std::move(bytes));
    CregFile& file = *g_parsed.file;
    if (file.error()) {
        g_parsed.damage = *file.error();
    } else {
        g_parsed.habits = cregHabitsOf(file);
        // Damage that no release of Windows leaves, or block counters that
        // break the habits of the rest of the file, stop the run: a change
        // would give the file new checksums and counters and hide it.
        for (const CregFinding& finding : checkCregFile(file, g_parsed.habits)) {
            if (finding.stopsChange()) {
                g_parsed.damage = "at " + CregFile::hex(finding.offset) + ": " + finding.what;
                break;
            }
        }
    }
    remember(g_parsed, hostPath);
    return g_parsed;
}

// The registry file's content: the parsed binary hive (kept between calls
// while the file stays the same), or the text of a REGEDIT4 file. Nullopt
// with error set as readHive() does.
struct HiveContent {
    ParsedHive* binary = nullptr;
    std::string text;
};

std::optional<HiveContent> loadHive(const HiveFile& hive, LONG& error) {
    hostsupport::UniqueFd held;
    if (auto failure = prepareToRead(hive, held)) {
        reportOn(hive.hostPath, *failure);
        error = ERROR_ACCESS_DENIED;
        return std::nullopt;
    }
    if (hive.fault.empty() && !hive.hostPath.empty() && keptHive(hive.hostPath) != nullptr) {
        error = ERROR_SUCCESS;
        return HiveContent{&g_parsed, ""};
    }
    auto bytes = readHive(hive, error);
    if (!bytes) {
        return std::nullopt;
    }
    // The file's content says which format it is, whatever its name.
    if (CregFile::hasSignature(*bytes)) {
        return HiveContent{&parseHive(hive.hostPath, std::move(*bytes)), ""};
    }
    return HiveContent{nullptr, std::move(*bytes)};
}

// Deletes the key from the parsed hive and writes what changed: in place
// behind a journal, or, where the file cannot be opened for writing, whole
// through a temporary and a rename. Nullopt when the file is no longer the
// one parsed (another process changed it): nothing was written.
std::optional<LONG> deleteFromBinary(const std::string& hostPath, ParsedHive& parsed,
                                     const RegistryKeyPath& key) {
    if (parsed.damage) {
        reportMalformed(hostPath, *parsed.damage);
        return ERROR_BADDB;
    }
    CregFile& hive = *parsed.file;
    std::vector<size_t> keys = hive.findKeys(key);
    if (keys.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    CregWriter writer(hive, parsed.habits.habit);
    writer.deleteKeys(keys);
    std::string reason;
    DWORD error = ERROR_SUCCESS;
    switch (InPlaceWriter::write(hostPath, hive.bytes(), writer.bytes(), parsed.identity, reason,
                                 error)) {
    case InPlaceWriter::Outcome::Written:
        break;
    case InPlaceWriter::Outcome::NotPossible:
        error = replaceSystemFile(hostPath, writer.bytes());
        break;
    case InPlaceWriter::Outcome::Changed:
        parsed = ParsedHive{};
        return std::nullopt;
    case InPlaceWriter::Outcome::Failed:
        reportOn(hostPath, "not changed: " + reason);
        parsed = ParsedHive{};
        return static_cast<LONG>(error);
    }
    if (error == ERROR_SUCCESS) {
        hive.dropKeys(keys, writer.takeBytes());
        remember(parsed, hostPath);
    }
    return static_cast<LONG>(error);
}

} // namespace

void bootRegistry(const MachineConfig& config) {
    {
        std::lock_guard<std::mutex> lock(g_registryMutex);
        g_registry = RegistryState{config.registryFile, windowsDirectory()};
        g_parsed = ParsedHive{};
    }
    HiveFile hive = findHive();
    if (auto failure = rollBackInterrupted(hive)) {
        throw std::runtime_error("registry file " + hive.hostPath + ": " + *failure +
                                 "; the machine does not start");
    }
}

std::string registryHostPath() {
    return findHive().hostPath;
}

std::string classesHiveHostPath() {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    auto named = nameWindowsPath(g_registry.windowsDir + "\\CLASSES.DAT");
    return named && !named->leavesDrive && isNamed(named->hostPath) ? named->hostPath : "";
}

LONG deleteLocalMachineKey(std::string_view path) {
    auto key = splitRegistryKeyPath(path);
    if (!key) {
        return ERROR_BADKEY;
    }
    HiveFile hive = findHive();
    std::lock_guard<std::mutex> lock(g_registryMutex);
    // Another process's change between the read and the write is read and
    // the deletion made again on it; one that keeps coming is a failure.
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        LONG error = ERROR_SUCCESS;
        auto content = loadHive(hive, error);
        if (!content) {
            return error; // ERROR_FILE_NOT_FOUND: no hive file, an empty registry
        }
        if (content->binary == nullptr) {
            return deleteFromText(hive.hostPath, content->text, *key);
        }
        if (auto result = deleteFromBinary(hive.hostPath, *content->binary, *key)) {
            return *result;
        }
        if (attempt == kAttempts) {
            reportOn(hive.hostPath, "not changed: other processes keep changing it");
            return ERROR_ACCESS_DENIED;
        }
    }
}

bool localMachineKeyExists(std::string_view path) {
    auto key = splitRegistryKeyPath(path);
    if (!key) {
        return false;
    }
    HiveFile hive = findHive();
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (!hive.fault.empty()) {
        return false;
    }
    LONG error = ERROR_SUCCESS;
    auto content = loadHive(hive, error);
    if (!content) {
        return false;
    }
    if (content->binary != nullptr) {
        const CregFile& file = *content->binary->file;
        return !file.error() && !file.findKeys(*key).empty();
    }
    RegistryFile file(content->text);
    return !file.error() && file.hasKey(*key);
}

std::optional<std::string> localMachineString(std::string_view path, std::string_view name) {
    auto key = splitRegistryKeyPath(path);
    if (!key) {
        return std::nullopt;
    }
    HiveFile hive = findHive();
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (!hive.fault.empty()) {
        return std::nullopt;
    }
    LONG error = ERROR_SUCCESS;
    auto content = loadHive(hive, error);
    if (!content) {
        return std::nullopt;
    }
    if (content->binary != nullptr) {
        const CregFile& file = *content->binary->file;
        return file.error() ? std::nullopt : file.stringValue(*key, name);
    }
    RegistryFile file(content->text);
    return file.error() ? std::nullopt : file.stringValue(*key, name);
}

namespace {

std::string joinKeyPath(const RegistryKeyPath& key) {
    std::string path;
    for (const std::string& name : key) {
        path += (path.empty() ? "" : "\\") + name;
    }
    return path;
}

// The binary hive's keys below the root, each parent before its subkeys.
void listBinaryKeys(const CregFile& hive, size_t key, const std::string& path,
                    std::vector<std::string>& paths) {
    for (size_t sub : hive.keys()[key].subkeys) {
        std::string subPath = (path.empty() ? "" : path + "\\") + hive.keys()[sub].name;
        paths.push_back(subPath);
        listBinaryKeys(hive, sub, subPath, paths);
    }
}

} // namespace

bool checkLocalMachineHive(std::string& hostPath, std::vector<std::string>& problems) {
    problems.clear();
    HiveFile hive = findHive();
    hostPath = hive.hostPath;
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (hostPath.empty() || !isNamed(hostPath)) {
        return false;
    }
    hostsupport::UniqueFd held;
    if (auto failure = prepareToRead(hive, held)) {
        problems.push_back(*failure);
        return true;
    }
    auto text =
        hive.fault.empty() ? readFileShared(hostPath, kRegistryFileReadLimit) : std::nullopt;
    if (!hive.fault.empty()) {
        problems.push_back(hive.fault);
    } else if (!text) {
        problems.push_back("cannot be read");
    } else if (CregFile::hasSignature(*text)) {
        for (const CregFinding& finding : checkCregFile(*text)) {
            char at[32];
            std::snprintf(at, sizeof at, "at 0x%zx: ", finding.offset);
            problems.push_back(at + finding.what);
        }
    } else {
        RegistryFile file(*text);
        if (file.error()) {
            problems.push_back("line " + std::to_string(file.error()->line) + ": " +
                               file.error()->reason);
        }
    }
    return true;
}

bool listLocalMachineKeys(std::vector<std::string>& paths, std::string& error) {
    paths.clear();
    HiveFile hive = findHive();
    const std::string& hostPath = hive.hostPath;
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (!hive.fault.empty()) {
        error = hostPath + ": " + hive.fault;
        return false;
    }
    if (hostPath.empty() || !isNamed(hostPath)) {
        return true;
    }
    hostsupport::UniqueFd held;
    if (auto failure = prepareToRead(hive, held)) {
        error = hostPath + ": " + *failure;
        return false;
    }
    auto text = readFileShared(hostPath, kRegistryFileReadLimit);
    if (!text) {
        error = hostPath + ": cannot be read";
        return false;
    }
    if (CregFile::hasSignature(*text)) {
        CregFile hive(std::move(*text));
        if (hive.error()) {
            error = hostPath + ": " + *hive.error();
            return false;
        }
        if (!hive.keys().empty()) {
            listBinaryKeys(hive, 0, "", paths);
        }
        return true;
    }
    RegistryFile file(*text);
    if (file.error()) {
        error =
            hostPath + ": line " + std::to_string(file.error()->line) + ": " + file.error()->reason;
        return false;
    }
    for (const RegistryKeyPath& key : file.keyPaths()) {
        paths.push_back(joinKeyPath(key));
    }
    return true;
}

} // namespace emu::kernel

#include "loader/author/DiskFiles.h"

#include "common/DoubleByteText.h"
#include "common/SplitAtEquals.h"
#include "loader/author/ValueText.h"
#include "platform/emu/kernel/FileSystem.h"
#include "platform/framework/CString.h"
#include "platform/win32.h"
#include "skin/CLayout.h"
#include "update/CUpdateInf.h"
#include "update/CUpdateLines.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

namespace loader::author {

namespace {
const char kLayoutFile[] = "layout.ini";
// The name the Windows program has on the disk; no named file may take it.
const char kProgramName[] = "SETUP.EXE";
// Names that Windows opens as devices whatever their extension.
const char* const kDeviceNames[] = {"CON",  "PRN",  "AUX",  "NUL",  "CLOCK$", "COM1",
                                    "COM2", "COM3", "COM4", "LPT1", "LPT2",   "LPT3"};

bool sameName(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Characters a short name may hold besides letters and digits. Others (blanks,
// "+,;=[]", and the code page's upper half, which a floppy stores in another
// code page) are left out.
bool isShortNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("!#$%&'()-@^_`{}~", c);
}

// Where the first '\\' or '/' of a name is, by characters of the machine's
// code page (a trail byte '\\' is part of its character); npos for none.
size_t firstSeparator(const std::string& name) {
    int backslash = FindCharacter(name.c_str(), static_cast<int>(name.size()), '\\');
    size_t slash = name.find('/');
    return backslash < 0 ? slash : std::min(slash, static_cast<size_t>(backslash));
}

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

void addOnce(std::vector<DiskFiles::Named>& names, const DiskFiles::Named& entry) {
    if (entry.name.empty()) {
        return;
    }
    for (const DiskFiles::Named& known : names) {
        if (sameName(known.name, entry.name)) {
            return;
        }
    }
    names.push_back(entry);
}

// The value the program reads for a key of [BITMAP].
std::string pictureName(const std::string& layoutPath, const char* key) {
    char value[260] = "";
    GetPrivateProfileStringA("BITMAP", key, "", value, sizeof value, layoutPath.c_str());
    return value;
}

std::optional<std::string> readThroughMachine(const std::string& windowsPath) {
    std::optional<std::string> host = emu::kernel::resolveWindowsPath(windowsPath);
    return host ? emu::kernel::readFileShared(*host) : std::nullopt;
}
} // namespace

std::vector<DiskFiles::Named> DiskFiles::named(const ProfileText& layout,
                                               const std::string& layoutPath) {
    std::vector<Named> names;
    for (const char* key : {"16", "256"}) {
        addOnce(names, {pictureName(layoutPath, key), layout.entryLine("BITMAP", key), "picture"});
    }
    for (const ProfileText::ListLine& entry : layout.sectionLines("CHECK FILES")) {
        CString inf, fragment;
        // The file check skips a side named NULL.
        if (SplitAtEquals(entry.text.c_str(), inf, fragment) &&
            !sameName(static_cast<LPCSTR>(fragment), "NULL")) {
            addOnce(names, {static_cast<LPCSTR>(fragment), entry.line, "fragment"});
        }
    }
    for (const char* section : CUpdateLines::kInstallSections) {
        for (const ProfileText::ListLine& entry : layout.sectionLines(section)) {
            CString target, source, backup;
            // A line without its backup is skipped by the install.
            if (CUpdateLines::SplitInstallLine(entry.text.c_str(), target, source, backup)) {
                addOnce(names, {static_cast<LPCSTR>(source), entry.line, "fragment", true});
            }
        }
    }
    return names;
}

std::string DiskFiles::shortName(const std::string& name, std::string& why) {
    if (firstSeparator(name) != std::string::npos || name.find(':') != std::string::npos) {
        why = "names a folder or a drive: the disk holds its files in its own folder only";
        return "";
    }
    size_t dot = name.find('.');
    std::string base = name.substr(0, dot);
    std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || extension.size() > 3 ||
        extension.find('.') != std::string::npos ||
        (dot != std::string::npos && extension.empty())) {
        why = "is no 8.3 name (1 to 8 characters, a dot and at most 3): a Windows 95 that shows "
              "only the floppy's short names does not find it";
        return "";
    }
    for (char c : name) {
        if (c != '.' && !isShortNameCharacter(c)) {
            why = std::string("holds \"") + c +
                  "\", which a short name on a Windows 95 floppy cannot hold";
            return "";
        }
    }
    for (const char* device : kDeviceNames) {
        if (sameName(base, device)) {
            why = "is opened by Windows as the device " + std::string(device) + ", not as a file";
            return "";
        }
    }
    return upper(name);
}

void DiskFiles::checkNames(const ProfileText& layout, const std::string& layoutPath,
                           CheckReport& report) {
    for (const Named& entry : named(layout, layoutPath)) {
        bool inFolder = CUpdateInf::IsNameInFolder(entry.name.c_str()) != FALSE;
        if (entry.installOnly && !inFolder) {
            continue;
        }
        std::string why;
        std::string onDisk;
        if (inFolder && firstSeparator(entry.name) != std::string::npos) {
            // In a subfolder of the disk: the program reads it there, and
            // every part must be a short name.
            std::string rest = entry.name;
            for (size_t end; !rest.empty() && why.empty(); rest.erase(0, end + 1)) {
                end = std::min(firstSeparator(rest), rest.size());
                onDisk = shortName(rest.substr(0, end), why);
            }
            if (why.empty()) {
                report.warning(kLayoutFile, entry.line,
                               std::string(entry.role) + " " + quoted(entry.name) +
                                   " is in a subfolder of the disk: the program reads it there, "
                                   "but --make-disk writes only the disk's own folder");
                continue;
            }
        } else {
            onDisk = shortName(entry.name, why);
        }
        if (onDisk.empty()) {
            report.error(kLayoutFile, entry.line,
                         std::string(entry.role) + " " + quoted(entry.name) + " " + why);
        } else if (onDisk == kProgramName) {
            report.error(kLayoutFile, entry.line,
                         std::string(entry.role) + " " + quoted(entry.name) +
                             " has the name of the Windows program on the disk");
        }
    }
}

bool DiskFiles::read(std::vector<File>& files, std::string& error) {
    files.clear();
    CLayout locator;
    CString iniPath;
    ProfileText layout;
    if (!locator.LocateIniFile(iniPath) || !layout.load(static_cast<LPCSTR>(iniPath))) {
        error = "layout.ini cannot be opened for reading in the current folder";
        return false;
    }
    std::vector<Named> names = {{kLayoutFile, 0, "layout"}};
    for (const Named& entry : named(layout, static_cast<LPCSTR>(iniPath))) {
        addOnce(names, entry);
    }
    for (const Named& entry : names) {
        std::string why;
        std::string onDisk = shortName(entry.name, why);
        if (onDisk.empty()) {
            error = "layout.ini:" + std::to_string(entry.line) + ": " + entry.role + " " +
                    quoted(entry.name) + " " + why;
            return false;
        }
        std::optional<std::string> bytes = readThroughMachine(entry.name);
        if (!bytes) {
            error = "layout.ini:" + std::to_string(entry.line) + ": " + entry.role + " " +
                    quoted(entry.name) + " cannot be read from the disk's folder";
            return false;
        }
        files.push_back({onDisk, std::move(*bytes)});
    }
    return true;
}

} // namespace loader::author

#include "loader/author/UpdateChecker.h"

#include "common/ProgramLimits.h"
#include "common/SplitAtEquals.h"
#include "loader/author/ValueText.h"
#include "platform/emu/kernel/Registry.h"
#include "platform/emu/kernel/RegistryFile.h"
#include "platform/framework/CFile.h"
#include "update/CUpdateInf.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <optional>

namespace loader::author {

namespace {
const char kLayoutFile[] = "layout.ini";

const char* const kDeviceSections[] = {"ControlFlags", "USB ControlFlags"};

bool sameName(const std::string& a, const std::string& b) {
    return CUpdateInf::SameName(a.c_str(), b.c_str()) != FALSE;
}

// Why the program refuses a name from layout.ini, in words.
std::string nameFault(CUpdateInf::NameFault fault) {
    switch (fault) {
    case CUpdateInf::nameInFolder:
        break;
    case CUpdateInf::nameEmpty:
        return "is empty or has an empty part between backslashes";
    case CUpdateInf::nameDrive:
        return "names a drive";
    case CUpdateInf::nameRooted:
        return "begins at the root of the drive";
    case CUpdateInf::nameParent:
        return "leads out of its folder through \"..\"";
    case CUpdateInf::nameDevice:
        return "names a device, not a file";
    case CUpdateInf::nameWildcard:
        return "holds a wildcard";
    case CUpdateInf::nameCharacter:
        return "holds a character no file name holds";
    case CUpdateInf::nameBlurred:
        return "has a part that begins with a blank or ends in a dot or blank, which Windows "
               "drops";
    }
    return "";
}

// The first of names that the program refuses, with the reason.
std::string refusedName(std::initializer_list<const CString*> names) {
    for (const CString* name : names) {
        CUpdateInf::NameFault fault = CUpdateInf::JudgeName(*name);
        if (fault != CUpdateInf::nameInFolder) {
            return quoted(static_cast<LPCSTR>(*name)) + " " + nameFault(fault);
        }
    }
    return "";
}

bool isNullName(const std::string& name) {
    return sameName(name, "NULL");
}

// The command handler's own split at the first "="; false without one.
bool splitAtEquals(const std::string& line, std::string& left, std::string& right) {
    CString key, value;
    if (!SplitAtEquals(line.c_str(), key, value)) {
        return false;
    }
    left = static_cast<LPCSTR>(key);
    right = static_cast<LPCSTR>(value);
    return true;
}

// A device key path of only blanks and backslashes would address Enum itself.
bool namesNoKey(const std::string& keyPath) {
    return keyPath.find_first_not_of("\\ \t") == std::string::npos;
}

std::string bytes(size_t count) {
    std::string digits = std::to_string(count);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<size_t>(at), ",");
    }
    return digits;
}

// The sizes a section list should keep to, as findings for one list.
void checkListSize(CheckReport& report, const std::string& file, int line, const std::string& what,
                   size_t size, size_t buffer) {
    if (size > kPlatformListLimit) {
        report.warning(file, line,
                       what + " is " + bytes(size) +
                           " bytes as a list: a Windows 95 profile read returns at most 32,767");
    } else if (size > buffer) {
        report.warning(file, line,
                       what + " is " + bytes(size) + " bytes as a list, over the " + bytes(buffer) +
                           "-byte buffer that tools reading the disk use");
    }
}
// The size of the file at a Windows path; nullopt when it cannot be opened
// or sized.
std::optional<unsigned long long> fileSize(const std::string& windowsPath) {
    HANDLE file = CreateFileA(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    bool sized = low != INVALID_FILE_SIZE || GetLastError() == ERROR_SUCCESS;
    CloseHandle(file);
    if (!sized) {
        return std::nullopt;
    }
    return static_cast<unsigned long long>(high) << 32 | low;
}

} // namespace

UpdateChecker::UpdateChecker(const ProfileText& layout, CheckReport& report)
    : m_layout(layout), m_report(report) {}

void UpdateChecker::run() {
    CUpdateInf update;
    m_infDir = update.GetInfDir();
    m_usbPresent = update.InfFileExists("USB.INF") != 0;
    checkSections();
    checkSectionSizes();
    checkFileList(update);
    m_lines =
        std::make_unique<CUpdateLines>((std::string(update.GetSourceDir()) + kLayoutFile).c_str());
    readInstallLines();
    judgeLines();
    // A refused line reads and changes nothing: its files are not looked at.
    m_install.erase(std::remove_if(m_install.begin(), m_install.end(),
                                   [this](const InstallLine& entry) {
                                       return m_refusedInstall.count(entry.line) != 0;
                                   }),
                    m_install.end());
    for (const InstallLine& entry : m_install) {
        checkFragment(update, entry);
    }
    checkUnlistedTargets();
    checkUninstall();
    checkDevices();
    checkLargeTargets();
}

void UpdateChecker::checkSections() {
    struct Expected {
        const char* name;
        const char* without;
    };
    const Expected sections[] = {
        {"CHECK FILES", "no file is checked before a command runs"},
        {"COMMON", "the install merges nothing on every Windows 95 release"},
        {"950", "the install merges nothing of its own on Windows 95"},
        {"950A", "the install merges nothing of its own on Windows 95 OSR1"},
        {"950B", "the install merges nothing of its own on Windows 95 OSR2"},
        {"USB INF", "the install merges nothing into USB.INF"},
        {"UNINSTALL", "uninstall finds nothing to put back"},
        {"ControlFlags", "no device is detected anew after install or uninstall"},
        {"USB ControlFlags", "no USB device is detected anew"},
    };
    for (const Expected& section : sections) {
        if (!m_layout.sectionLines(section.name).empty()) {
            continue;
        }
        int header = m_layout.sectionLine(section.name);
        m_report.warning(kLayoutFile, header,
                         std::string("[") + section.name + "] is " +
                             (header == 0 ? "missing" : "empty") + ": " + section.without);
    }
}

void UpdateChecker::checkSectionSizes() {
    std::vector<const char*> sections = {"CHECK FILES", "UNINSTALL"};
    sections.insert(sections.end(), std::begin(CUpdateLines::kInstallSections),
                    std::end(CUpdateLines::kInstallSections));
    sections.insert(sections.end(), std::begin(kDeviceSections), std::end(kDeviceSections));
    for (const char* section : sections) {
        checkListSize(m_report, kLayoutFile, m_layout.sectionLine(section),
                      std::string("[") + section + "]",
                      ProfileText::listSize(m_layout.sectionLines(section)), kLayoutSectionSize);
    }
}

void UpdateChecker::checkFileList(CUpdateInf& update) {
    for (const ProfileText::ListLine& entry : m_layout.sectionLines("CHECK FILES")) {
        std::string infName;
        std::string sourceName;
        if (!splitAtEquals(entry.text, infName, sourceName)) {
            m_report.warning(kLayoutFile, entry.line,
                             "file check line " + quoted(entry.text) +
                                 " has no \"=\" (INF=FRAGMENT): the program skips it");
            continue;
        }
        if (!isNullName(infName)) {
            m_listedInfFiles.push_back(infName);
            std::optional<unsigned long long> size = fileSize(m_infDir + infName);
            if (size && *size > kLargestInfFile) {
                m_report.error(kLayoutFile, entry.line,
                               quoted(m_infDir + infName) +
                                   " is over 16 MB: the file check fails and no command runs");
            } else if (update.CheckFilePair(infName.c_str(), "NULL") != 2) {
                m_report.warning(kLayoutFile, entry.line,
                                 quoted(m_infDir + infName) +
                                     " is missing, read-only or in use on this machine: the "
                                     "file check fails there and no command runs");
            }
        }
        std::optional<unsigned long long> size =
            isNullName(sourceName) ? std::nullopt
                                   : fileSize(update.GetSourceDir() + std::string(sourceName));
        if (size && *size > kLargestFragment) {
            m_report.error(kLayoutFile, entry.line,
                           "fragment " + quoted(sourceName) +
                               " is over 32 KB: the file check fails and no command runs");
        } else if (!isNullName(sourceName) &&
                   update.CheckFilePair("NULL", sourceName.c_str()) != 2) {
            m_report.error(kLayoutFile, entry.line,
                           "fragment " + quoted(sourceName) +
                               " is missing from the disk: the file check fails and no command "
                               "runs");
        }
    }
}

void UpdateChecker::readInstallLines() {
    for (const char* section : CUpdateLines::kInstallSections) {
        for (const ProfileText::ListLine& entry : m_layout.sectionLines(section)) {
            CString target, source, backup;
            if (!CUpdateLines::SplitInstallLine(entry.text.c_str(), target, source, backup)) {
                continue; // refused: judged with the others
            }
            m_install.push_back({section, entry.line, static_cast<LPCSTR>(target),
                                 static_cast<LPCSTR>(source), static_cast<LPCSTR>(backup)});
            std::string value = entry.text.substr(entry.text.find('=') + 1);
            if (value != m_install.back().source + "," + m_install.back().backup) {
                m_report.warning(kLayoutFile, entry.line,
                                 "blanks around the names after \"=\" are no part of them: the "
                                 "program reads " +
                                     quoted(entry.text) + " as " +
                                     quoted(m_install.back().target + "=" +
                                            m_install.back().source + "," +
                                            m_install.back().backup));
            }
        }
    }
}

void UpdateChecker::checkFragment(CUpdateInf& update, const InstallLine& entry) {
    if (entry.section == "USB INF" && !m_usbPresent) {
        m_report.warning(kLayoutFile, entry.line,
                         "USB.INF is not on this machine, or read-only: the install walks no "
                         "[USB INF] line here");
        return;
    }
    std::optional<unsigned long long> fragmentSize =
        fileSize(update.GetSourceDir() + std::string(entry.source));
    if (fragmentSize && *fragmentSize > kLargestFragment) {
        m_report.error(kLayoutFile, entry.line,
                       "fragment " + quoted(entry.source) + " is " + bytes(*fragmentSize) +
                           " bytes, over 32 KB, more than Windows 95's profile functions read "
                           "whole: the install refuses it and " +
                           entry.target + " gets nothing from it");
        return;
    }
    ProfileText fragment;
    if (!CFile::TestOpen((update.GetSourceDir() + std::string(entry.source)).c_str(),
                         CFile::modeRead) ||
        !fragment.load(update.GetSourceDir() + entry.source)) {
        m_report.error(kLayoutFile, entry.line,
                       "fragment " + quoted(entry.source) +
                           " is missing from the disk: " + entry.target + " gets nothing from it");
        return;
    }
    ProfileText target;
    std::string targetName = m_infDir + entry.target;
    bool targetRead = target.load(targetName);
    if (!targetRead && !target.tooLarge()) {
        m_report.warning(kLayoutFile, entry.line,
                         quoted(targetName) +
                             " is not on this machine: the install makes it from the fragment "
                             "alone");
    }
    // Each fragment's own findings once, however many lines name it.
    std::string key = entry.source + "\n" + entry.target;
    if (!m_checkedFragments.insert(key).second) {
        return;
    }
    std::vector<ProfileText::SectionName> names = fragment.sectionNames();
    checkListSize(m_report, entry.source, names.empty() ? 0 : names.front().line,
                  "the list of section names", ProfileText::listSize(names), kSectionNamesSize);
    for (const ProfileText::SectionName& name : names) {
        checkListSize(m_report, entry.source, name.line, "[" + name.name + "]",
                      ProfileText::listSize(fragment.sectionLines(name.name)),
                      kFragmentSectionSize);
        if (!targetRead) {
            continue;
        }
        if (!target.hasSection(name.name)) {
            m_report.warning(entry.source, name.line,
                             "[" + name.name + "] is no section of " + entry.target +
                                 ": it is appended to it as a new section");
        }
        checkMergedSize(targetName, target, fragment, name.name);
    }
}

void UpdateChecker::checkMergedSize(const std::string& targetName, const ProfileText& target,
                                    const ProfileText& fragment, const std::string& section) {
    std::vector<ProfileText::ListLine> merged = target.sectionLines(section);
    for (const ProfileText::ListLine& line : fragment.sectionLines(section)) {
        bool present =
            std::any_of(merged.begin(), merged.end(), [&](const ProfileText::ListLine& t) {
                return sameName(t.text, line.text);
            });
        if (!present) {
            merged.push_back(line);
        }
    }
    int header = target.sectionLine(section);
    checkListSize(m_report, targetName, header, "[" + section + "] after the merge",
                  ProfileText::listSize(merged), kTargetSectionSize);
}

void UpdateChecker::judgeLines() {
    // The program's lines and the file's numbered lines come in the same
    // order, section by section.
    auto number = [this](const std::vector<CUpdateLines::Line>& lines) {
        std::map<std::string, size_t> next;
        for (const CUpdateLines::Line& line : lines) {
            std::string section = static_cast<LPCSTR>(line.section);
            std::vector<ProfileText::ListLine> numbered = m_layout.sectionLines(section);
            size_t& at = next[section];
            if (at < numbered.size() && numbered[at].text == static_cast<LPCSTR>(line.text)) {
                m_lineNumbers[&line] = numbered[at].line;
            }
            ++at;
        }
    };
    number(m_lines->GetInstallLines());
    number(m_lines->GetUninstallLines());
    number(m_lines->GetCheckedLines());
    for (const CUpdateLines::Line& line : m_lines->GetInstallLines()) {
        reportVerdict(line, true);
    }
    for (const CUpdateLines::Line& line : m_lines->GetUninstallLines()) {
        reportVerdict(line, false);
    }
}

int UpdateChecker::lineNumberOf(const CUpdateLines::Line* line) const {
    auto found = m_lineNumbers.find(line);
    return found == m_lineNumbers.end() ? 0 : found->second;
}

void UpdateChecker::reportVerdict(const CUpdateLines::Line& line, bool install) {
    const CUpdateLines::Line* other = nullptr;
    CUpdateLines::Verdict verdict =
        install ? m_lines->JudgeInstall(line, &other) : m_lines->JudgeUninstall(line, &other);
    if (verdict == CUpdateLines::lineAllowed) {
        return;
    }
    const int number = lineNumberOf(&line);
    const std::string kind = install ? "install" : "uninstall";
    const std::string text = quoted(static_cast<LPCSTR>(line.text));
    const std::string target = static_cast<LPCSTR>(line.target);
    const std::string backup = static_cast<LPCSTR>(line.backup);
    // The line the verdict names, when it names one.
    const std::string otherLine = std::to_string(lineNumberOf(other));
    const std::string otherTarget = other != nullptr ? static_cast<LPCSTR>(other->target) : "";
    std::string why;
    switch (verdict) {
    case CUpdateLines::lineAllowed:
        return;
    case CUpdateLines::lineUnreadable:
        why = kind + " line " + text +
              (install ? " is not TARGET=FRAGMENT,BACKUP" : " has no \"=\" (TARGET=BACKUP)");
        break;
    case CUpdateLines::lineBadName:
        why = kind + " line " + text + ": " +
              (install ? refusedName({&line.target, &line.source, &line.backup}) +
                             ": every name must be a file of its folder"
                       : refusedName({&line.target, &line.backup}) +
                             ": every name must be a file of the INF directory") +
              " or of a subfolder of it";
        break;
    case CUpdateLines::lineBackupIsTarget:
        why = "backup " + quoted(backup) + " is its own target" +
              (install ? "" : ": uninstall would delete " + target);
        break;
    case CUpdateLines::lineBackupIsLive:
        why = install ? "backup " + quoted(backup) + " is the target of line " + otherLine +
                            ": the backup would not hold the original of " + target
                      : "uninstall would copy " + backup + " over " + target + " and delete " +
                            backup + ", a Windows INF file that line " + otherLine + " names";
        break;
    case CUpdateLines::lineBackupIsInf:
        why = install ? "backup " + quoted(backup) +
                            " ends in .INF: Windows would read it as a driver description of its "
                            "own"
                      : "uninstall would copy " + backup + " over " + target + " and delete " +
                            backup + ", whose name is that of a Windows INF file";
        break;
    case CUpdateLines::lineBackupShared:
        why = install ? "backup " + quoted(backup) + " is already the backup of " + otherTarget +
                            " on line " + otherLine + ": " + target + " would have none"
                      : "uninstall would copy " + backup + ", the backup of " + otherTarget +
                            " made by line " + otherLine + ", over " + target;
        break;
    }
    (install ? m_refusedInstall : m_refusedUninstall).insert(number);
    m_report.error(kLayoutFile, number,
                   why + ": the program refuses this line and the " + kind + " is incomplete");
}

void UpdateChecker::checkUnlistedTargets() {
    std::set<std::string> reported;
    for (const InstallLine& entry : m_install) {
        // The program tests USB.INF for writing itself before it walks USB INF.
        if (entry.section == "USB INF" && sameName(entry.target, "USB.INF")) {
            continue;
        }
        bool listed =
            std::any_of(m_listedInfFiles.begin(), m_listedInfFiles.end(),
                        [&](const std::string& name) { return sameName(name, entry.target); });
        std::string folded = entry.target;
        for (char& c : folded) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        if (!listed && reported.insert(folded).second) {
            m_report.warning(kLayoutFile, entry.line,
                             entry.target +
                                 " is not in [CHECK FILES]: whether it is read-only or in use is "
                                 "not checked before the install starts");
        }
    }
}

void UpdateChecker::checkUninstall() {
    for (const ProfileText::ListLine& entry : m_layout.sectionLines("UNINSTALL")) {
        CString targetName, backupName;
        if (m_refusedUninstall.count(entry.line) != 0 ||
            !CUpdateLines::SplitUninstallLine(entry.text.c_str(), targetName, backupName)) {
            continue; // refused: judged with the others
        }
        std::string target = static_cast<LPCSTR>(targetName);
        std::string backup = static_cast<LPCSTR>(backupName);
        bool made = std::any_of(m_install.begin(), m_install.end(), [&](const InstallLine& i) {
            return sameName(i.target, target) && sameName(i.backup, backup);
        });
        if (!made) {
            m_report.warning(kLayoutFile, entry.line,
                             "no install line backs " + target + " up as " + backup +
                                 ": there is nothing for this line to put back");
        }
    }
}

void UpdateChecker::checkDevices() {
    for (const char* section : kDeviceSections) {
        for (const ProfileText::ListLine& entry : m_layout.sectionLines(section)) {
            std::string keyPath;
            std::string ignored;
            if (!splitAtEquals(entry.text, keyPath, ignored)) {
                m_report.warning(kLayoutFile, entry.line,
                                 "device line " + quoted(entry.text) +
                                     " has no \"=\" (KEY=1): the program skips it");
                continue;
            }
            if (namesNoKey(keyPath)) {
                m_report.error(kLayoutFile, entry.line,
                               "device line " + quoted(entry.text) +
                                   " names no key below Enum: the program skips it");
                continue;
            }
            if (!emu::kernel::splitRegistryKeyPath("Enum\\" + keyPath)) {
                m_report.error(kLayoutFile, entry.line,
                               "device key path " + quoted(keyPath) +
                                   " is no key name the registry takes (an empty part between "
                                   "backslashes, or one at its end): nothing is deleted there");
                continue;
            }
            if (!emu::kernel::localMachineKeyExists("Enum\\" + keyPath)) {
                m_report.warning(kLayoutFile, entry.line,
                                 "Enum\\" + keyPath +
                                     " is not in this machine's registry: nothing is deleted "
                                     "there");
            }
        }
    }
}

void UpdateChecker::checkLargeTargets() {
    std::vector<std::string> reported;
    for (const InstallLine& entry : m_install) {
        std::string targetName = m_infDir + entry.target;
        bool seen = std::any_of(reported.begin(), reported.end(), [&](const std::string& name) {
            return sameName(name, targetName);
        });
        std::optional<unsigned long long> size = seen ? std::nullopt : fileSize(targetName);
        if (!size || *size <= kPlatformFileSize) {
            continue;
        }
        reported.push_back(targetName);
        if (*size > kLargestInfFile) {
            m_report.error(targetName, 0,
                           "is " + bytes(*size) +
                               " bytes, over 16 MB: the install leaves it as it is and "
                               "merges nothing into it");
            continue;
        }
        m_report.warning(
            targetName, 0,
            "is " + bytes(*size) +
                " bytes, over 32 KB: Windows 95's profile functions may not read or write "
                "this file whole; the program checks its work and leaves the file "
                "unchanged if they do not");
    }
}

} // namespace loader::author

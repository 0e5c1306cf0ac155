#include "loader/author/DryRun.h"

#include "app/CLauncherApp.h"
#include "common/ProgramLimits.h"
#include "loader/ProgramResources.h"
#include "loader/author/ProgramWindow.h"
#include "loader/author/ReleaseSummary.h"
#include "loader/author/UnifiedDiff.h"
#include "platform/emu/Machine.h"
#include "platform/emu/kernel/FileSystem.h"
#include "platform/emu/kernel/Registry.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/emu/user/controls/MessageBox.h"
#include "platform/framework/AfxWin.h"
#include "skin/CLayout.h"
#include "skin/CMenuCollector.h"
#include "skin/CMyMenu.h"
#include "update/CUpdateInf.h"
#include "update/CUpdateLines.h"
#include "window/CSetupWnd.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace loader::author {

namespace {

// A file's bytes, or for a file larger than the kernel reads whole (which no
// command changes: the merge refuses it) a line that stands for it.
std::string readWhole(const fs::path& path) {
    std::error_code failed;
    uintmax_t size = fs::file_size(path, failed);
    if (!failed && size > emu::kernel::kWholeFileReadLimit) {
        return "\n(a file of " + std::to_string(size) + " bytes, not compared)\n";
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every regular file below root, by its path relative to root.
std::map<std::string, std::string> filesBelow(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), root).generic_string()] = readWhole(entry.path());
        }
    }
    return files;
}

// Whether path lies inside folder (both canonical); the rest in relative.
bool inside(const fs::path& path, const fs::path& folder, fs::path& relative) {
    auto mismatch = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    if (mismatch.first != folder.end()) {
        return false;
    }
    relative.clear();
    for (auto it = mismatch.second; it != path.end(); ++it) {
        relative /= *it;
    }
    return true;
}

std::string backslashed(std::string text) {
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

bool endsWithInf(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return tail == ".INF";
}

// The answer of a user who wants nothing more to happen: No to a question,
// Cancel where there is one, else OK.
int cautiousAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_YESNO:
        return IDNO;
    case MB_OKCANCEL:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

std::string answerName(int answer) {
    switch (answer) {
    case IDNO:
        return "No";
    case IDCANCEL:
        return "Cancel";
    default:
        return "OK";
    }
}

std::string iconName(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP:
        return "stop";
    case MB_ICONQUESTION:
        return "question";
    case MB_ICONEXCLAMATION:
        return "exclamation";
    case MB_ICONINFORMATION:
        return "information";
    default:
        return "no icon";
    }
}

bool isNumber(const std::string& text) {
    return !text.empty() && text.size() <= 9 && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

// The command number text names: the number itself, or the command of the
// menu item with that text; 0 for neither.
int commandNumber(const std::string& text, CMenuCollector* menu) {
    if (isNumber(text)) {
        return std::atoi(text.c_str());
    }
    for (int i = 0; i < menu->GetItemCount(); ++i) {
        if (text == static_cast<LPCSTR>(menu->GetItem(i)->GetText())) {
            return menu->GetItem(i)->GetCommand();
        }
    }
    return 0;
}

// Keys of before that after lacks, each with how many keys below it went too;
// only the topmost of a deleted tree is listed.
std::vector<std::pair<std::string, int>> deletedKeys(const std::vector<std::string>& before,
                                                     const std::vector<std::string>& after) {
    auto lower = [](std::string text) {
        for (char& c : text) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return text;
    };
    std::vector<std::string> kept;
    for (const std::string& key : after) {
        kept.push_back(lower(key));
    }
    std::sort(kept.begin(), kept.end());
    std::vector<std::pair<std::string, int>> deleted;
    for (const std::string& key : before) {
        if (std::binary_search(kept.begin(), kept.end(), lower(key))) {
            continue;
        }
        if (!deleted.empty() && lower(key).rfind(lower(deleted.back().first) + "\\", 0) == 0) {
            ++deleted.back().second;
            continue;
        }
        deleted.emplace_back(key, 0);
    }
    return deleted;
}

} // namespace

DryRun::DryRun(const emu::host::HostOptions& options, const std::string& command, std::ostream& out)
    : m_command(command), m_out(out), m_machine(options.machine) {}

bool DryRun::run(const emu::host::HostOptions& options, const std::string& command,
                 std::ostream& out, int& status, std::string& error) {
    DryRun dry(options, command, out);
    bool prepared = dry.prepareCopy(error);
    int number = 0;
    bool ran = prepared && dry.runCommand(number, error);
    if (ran) {
        for (const std::string& refusal : dry.m_refusals) {
            out << refusal << "\n";
        }
        dry.reportFiles();
        dry.reportKeys(dry.m_keysBefore, dry.m_keysAfter);
        dry.reportMessages();
        status = dry.succeeded(number) ? 0 : kWouldFail;
        out << (status == 0 ? "the command would succeed\n" : "the command would not succeed\n");
    }
    std::error_code ignored;
    if (!dry.m_temp.empty()) {
        fs::remove_all(dry.m_temp, ignored);
    }
    return ran;
}

bool DryRun::prepareCopy(std::string& error) {
    auto drive = m_machine.drives.find('C');
    if (drive == m_machine.drives.end()) {
        error = "--dry-run needs drive C: (--drive C=DIR)";
        return false;
    }
    std::error_code failed;
    fs::path original = fs::canonical(drive->second, failed);
    if (failed || !fs::is_directory(original)) {
        error = "drive C: folder " + drive->second + " does not exist";
        return false;
    }
    m_original = original.string();
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/corvane-dry-run.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        error = "cannot make a temporary folder from " + pattern;
        return false;
    }
    m_temp = pattern;
    m_copy = m_temp + "/c";
    fs::copy(original, m_copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
             failed);
    if (failed) {
        error = "cannot copy drive C: to " + m_copy + ": " + failed.message();
        return false;
    }
    m_machine.drives['C'] = m_copy;
    fs::path relative;
    if (!m_machine.registryFile.empty()) {
        fs::path hive = fs::weakly_canonical(m_machine.registryFile, failed);
        if (!failed && inside(hive, original, relative)) {
            m_machine.registryFile = (fs::path(m_copy) / relative).string();
        } else if (fs::exists(m_machine.registryFile)) {
            fs::path copy = fs::path(m_temp) / fs::path(m_machine.registryFile).filename();
            fs::copy_file(m_machine.registryFile, copy, failed);
            if (failed) {
                error = "cannot copy " + m_machine.registryFile + ": " + failed.message();
                return false;
            }
            m_machine.registryFile = copy.string();
        }
    }
    // A disk folder inside drive C: stays where it is on the copy.
    if (m_machine.currentDir.empty() && inside(fs::current_path(failed), original, relative)) {
        m_machine.currentDir = "C:\\" + backslashed(relative.generic_string());
    }
    m_machine.headless = true;
    m_machine.clock = emu::ClockMode::Virtual;
    m_machine.restart = emu::RestartAnswer::Refuse;
    return true;
}

bool DryRun::runCommand(int& command, std::string& error) {
    try {
        emu::boot(m_machine);
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    registerProgramResources();
    // A registry that cannot be read is the command's to meet: it says
    // what then happens, and the run reports it.
    std::string unreadable;
    bool registryRead = emu::kernel::listLocalMachineKeys(m_keysBefore, unreadable);
    if (!registryRead) {
        m_out << "the registry cannot be read: " << unreadable << "\n";
    }
    emu::user::MessageBox::setAnswerer(
        [this](const std::string& text, const std::string&, UINT type) {
            int answer = cautiousAnswer(type);
            m_messages.push_back({text, type, answer});
            return answer;
        });
    CSetupWnd* window = ProgramWindow::create(error);
    bool ok = window != nullptr;
    if (ok) {
        command = commandNumber(m_command, window->GetMenu());
        ok =
            command >= static_cast<int>(kFirstCommand) && command <= static_cast<int>(kLastCommand);
        if (!ok) {
            error = "\"" + m_command +
                    "\" is neither a command number from 1 to 400 nor the text of an item of the "
                    "menu";
        } else {
            m_out << "dry run of command " << command << " on a copy of drive C: (" << m_original
                  << "); the drive itself is not changed\n";
            if (command == 100) {
                m_out << "release: " << releaseSummary() << "\n";
            }
            collectRefusals(command, window);
            // The command as the menu posts it, run by the window's own handler.
            window->SendMessage(WM_COMMAND, static_cast<WPARAM>(command), 0);
        }
        window->DestroyWindow();
    }
    emu::user::MessageBox::setAnswerer(nullptr);
    if (!registryRead) {
        m_keysAfter = m_keysBefore;
        return ok;
    }
    return ok && emu::kernel::listLocalMachineKeys(m_keysAfter, error);
}

void DryRun::collectRefusals(int command, CSetupWnd* window) {
    static const char* const kWhy[] = {
        "",
        "it does not split into its names",
        "a name leaves its folder or is a device",
        "the backup is its own target",
        "the backup is a Windows INF file another line names",
        "the backup ends in .INF, as Windows' own INF files do",
        "another line names the backup for another Windows INF file",
    };
    CUpdateLines lines(window->GetLayout()->GetIniPath());
    auto refuse = [this](const char* kind, const CUpdateLines::Line& line,
                         CUpdateLines::Verdict verdict) {
        m_refusals.push_back(std::string("refuse ") + kind + " line [" +
                             static_cast<LPCSTR>(line.section) + "] " +
                             emu::quoteForTrace(line.text) + ": " + kWhy[verdict]);
    };
    if (command == 100) {
        CLauncherApp* app = static_cast<CLauncherApp*>(AfxGetApp());
        bool usb = CUpdateInf().InfFileExists("USB.INF") != 0;
        for (const CUpdateLines::Line& line : lines.GetInstallLines()) {
            bool walked = lstrcmpiA(line.section, "COMMON") == 0 ||
                          lstrcmpiA(line.section, app->GetReleaseTag()) == 0 ||
                          (usb && lstrcmpiA(line.section, "USB INF") == 0);
            CUpdateLines::Verdict verdict = lines.JudgeInstall(line);
            if (walked && verdict != CUpdateLines::lineAllowed) {
                refuse("install", line, verdict);
            }
        }
    } else if (command == 101) {
        for (const CUpdateLines::Line& line : lines.GetUninstallLines()) {
            CUpdateLines::Verdict verdict = lines.JudgeUninstall(line);
            if (verdict != CUpdateLines::lineAllowed) {
                refuse("uninstall", line, verdict);
            }
        }
    }
}

std::string DryRun::windowsPath(const std::string& relative) const {
    return "C:\\" + backslashed(relative);
}

void DryRun::reportFiles() {
    std::map<std::string, std::string> before = filesBelow(m_original);
    std::map<std::string, std::string> after = filesBelow(m_copy);
    std::error_code failed;
    fs::path hive = fs::weakly_canonical(emu::kernel::registryHostPath(), failed);
    for (const auto& [name, text] : after) {
        if (before.count(name) != 0) {
            continue;
        }
        std::string copyOf;
        std::string folder = fs::path(name).parent_path().generic_string();
        for (const auto& [originalName, originalText] : before) {
            if (copyOf.empty() && originalText == text &&
                fs::path(originalName).parent_path().generic_string() == folder) {
                copyOf = originalName;
            }
        }
        if (!copyOf.empty()) {
            m_out << "backup " << windowsPath(name) << " (a copy of " << windowsPath(copyOf)
                  << ")\n";
        } else {
            m_out << "new file " << windowsPath(name) << "\n";
        }
    }
    for (const auto& [name, text] : before) {
        auto now = after.find(name);
        if (now == after.end()) {
            m_out << "remove " << windowsPath(name) << "\n";
        } else if (now->second != text) {
            fs::path relative;
            if (!failed && inside(hive, fs::path(m_copy), relative) &&
                relative.generic_string() == name) {
                continue; // the registry: reported as keys
            }
            if (endsWithInf(name)) {
                m_out << UnifiedDiff::between(windowsPath(name), windowsPath(name), text,
                                              now->second);
            } else {
                m_out << "change " << windowsPath(name) << "\n";
            }
        }
    }
}

void DryRun::reportKeys(const std::vector<std::string>& before,
                        const std::vector<std::string>& after) {
    for (const auto& [key, subkeys] : deletedKeys(before, after)) {
        m_out << "delete key HKEY_LOCAL_MACHINE\\" << key << " with " << subkeys
              << (subkeys == 1 ? " subkey\n" : " subkeys\n");
    }
}

void DryRun::reportMessages() {
    for (const Message& message : m_messages) {
        m_out << "message (" << iconName(message.type) << ") "
              << emu::quoteForTrace(message.text.c_str()) << " answered "
              << answerName(message.answer) << "\n";
    }
}

bool DryRun::succeeded(int command) const {
    // A stop icon says the command failed (files missing, an incomplete
    // update); install and uninstall succeed when they reach the restart
    // question.
    bool asked = false;
    for (const Message& message : m_messages) {
        if ((message.type & MB_ICONMASK) == MB_ICONSTOP) {
            return false;
        }
        asked = asked || ((message.type & MB_TYPEMASK) == MB_YESNO &&
                          (message.type & MB_ICONMASK) == MB_ICONQUESTION);
    }
    return (command != 100 && command != 101) || asked;
}

} // namespace loader::author

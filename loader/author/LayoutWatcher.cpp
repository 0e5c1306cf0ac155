#include "loader/author/LayoutWatcher.h"

#include "loader/author/ProgramWindow.h"
#include "platform/emu/kernel/FileSystem.h"
#include "platform/emu/user/controls/MessageBox.h"
#include "platform/framework/AfxWin.h"
#include "window/CSetupWnd.h"

#include <cctype>
#include <dirent.h>
#include <sys/stat.h>

namespace loader::author {

namespace {

bool isPicture(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return tail == ".bmp";
}

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string LayoutWatcher::diskFolder() {
    // layout.ini is read from the program's current directory.
    return emu::kernel::resolveWindowsPath(emu::kernel::currentDirectory()).value_or("");
}

std::map<std::string, LayoutWatcher::Stamp> LayoutWatcher::stamps() const {
    std::map<std::string, Stamp> found;
    std::string folder = diskFolder();
    DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
    if (dir == nullptr) {
        return found;
    }
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (!sameNameIgnoringCase(name, "layout.ini") && !isPicture(name)) {
            continue;
        }
        struct stat info {};
        if (stat((folder + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            found[name] = {info.st_size, info.st_ino,
                           info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec};
        }
    }
    closedir(dir);
    return found;
}

void LayoutWatcher::check() {
    std::map<std::string, Stamp> now = stamps();
    bool changed = now.size() != m_stamps.size();
    for (const auto& [name, stamp] : now) {
        auto before = m_stamps.find(name);
        changed = changed || before == m_stamps.end() || before->second != stamp;
    }
    m_stamps = std::move(now);
    m_pending = m_pending || (changed && m_looked);
    m_looked = true;
    if (m_pending) {
        reload();
    }
}

void LayoutWatcher::reload() {
    CWinApp* app = AfxGetApp();
    CWnd* old = app != nullptr ? app->m_pMainWnd : nullptr;
    // While a command runs (its message box disables the window) the window
    // is in use: the reload waits until the command is over.
    if (old == nullptr || old->GetSafeHwnd() == nullptr || !IsWindowEnabled(old->GetSafeHwnd())) {
        return;
    }
    m_pending = false;
    // What the window would tell the user (layout.ini missing) becomes part
    // of the finding instead of a box over the window.
    std::string told;
    emu::user::MessageBox::setAnswerer([&told](const std::string& text, const std::string&, UINT) {
        told = text;
        return IDOK;
    });
    std::string error;
    CSetupWnd* fresh = ProgramWindow::create(error);
    emu::user::MessageBox::setAnswerer(nullptr);
    if (fresh == nullptr) {
        char caption[256] = "";
        GetWindowTextA(old->GetSafeHwnd(), caption, sizeof caption);
        std::string title = caption;
        size_t finding = title.find(kFindingPrefix);
        title = title.substr(0, finding) + kFindingPrefix + error;
        if (!told.empty()) {
            std::string first = told.substr(0, told.find('\n'));
            title += " (" + first + ")";
        }
        SetWindowTextA(old->GetSafeHwnd(), title.c_str());
        return;
    }
    RECT at;
    GetWindowRect(old->GetSafeHwnd(), &at);
    RECT size;
    GetWindowRect(fresh->GetSafeHwnd(), &size);
    MoveWindow(fresh->GetSafeHwnd(), at.left, at.top, size.right - size.left,
               size.bottom - size.top, FALSE);
    // The new window is the main window before the old one goes, so that
    // the old one's end does not end the program.
    app->m_pMainWnd = fresh;
    fresh->ShowWindow(SW_SHOW);
    fresh->UpdateWindow();
    old->DestroyWindow();
    ++m_reloads;
}

} // namespace loader::author

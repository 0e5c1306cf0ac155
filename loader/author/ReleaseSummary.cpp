#include "loader/author/ReleaseSummary.h"

#include "app/CLauncherApp.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/emu/kernel/WindowsRelease.h"
#include "platform/framework/AfxWin.h"

#include <cstring>

namespace loader::author {

std::string releaseSummary() {
    auto release = emu::kernel::WindowsRelease::installed();
    std::string name = release ? release->name() : "no release recorded in the registry";
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    std::string summary = name + ", service-pack text " + emu::quoteForTrace(info.szCSDVersion);
    auto* app = static_cast<CLauncherApp*>(AfxGetApp());
    if (app == nullptr || !app->ClassifyRelease()) {
        return summary + ": not the Windows 95 family, the program stops";
    }
    return summary + ": sections COMMON, " + app->GetReleaseTag();
}

} // namespace loader::author

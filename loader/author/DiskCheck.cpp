#include "loader/author/DiskCheck.h"

#include "loader/author/DiskFiles.h"
#include "loader/author/ProfileText.h"
#include "loader/author/SkinChecker.h"
#include "loader/author/UpdateChecker.h"
#include "platform/emu/kernel/Registry.h"
#include "platform/framework/CDC.h"
#include "platform/framework/CString.h"
#include "skin/CLayout.h"

namespace loader::author {

namespace {
// The screen's device context, which the skin measures and loads with.
class ScreenContext : public CDC {
public:
    ScreenContext() : CDC(GetDC(nullptr)) {}
    ~ScreenContext() override { ReleaseDC(nullptr, m_hDC); }
};
} // namespace

CheckReport checkDisk() {
    CheckReport report;
    CLayout locator;
    CString iniPath;
    ProfileText layout;
    // CLayout's own test first: the program stops on what it cannot open.
    if (!locator.LocateIniFile(iniPath) || !layout.load(static_cast<LPCSTR>(iniPath))) {
        report.error("layout.ini", 0,
                     "cannot be opened for reading in the current folder: the program says so "
                     "and stops");
        return report;
    }
    ScreenContext screen;
    SkinChecker(layout, report).run(&screen);
    UpdateChecker(layout, report).run();
    DiskFiles::checkNames(layout, static_cast<LPCSTR>(iniPath), report);
    // The registry the device keys are deleted from, checked as a user
    // servicing the machine would before and after.
    std::string hive;
    std::vector<std::string> problems;
    if (emu::kernel::checkLocalMachineHive(hive, problems)) {
        for (const std::string& problem : problems) {
            report.error(hive, 0, problem);
        }
    }
    std::string classes = emu::kernel::classesHiveHostPath();
    if (!classes.empty()) {
        report.warning(classes, 0,
                       "Windows ME's hive of file types and classes: left alone, neither "
                       "checked nor changed");
    }
    return report;
}

} // namespace loader::author

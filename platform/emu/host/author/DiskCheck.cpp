#include "platform/emu/host/author/DiskCheck.h"

#include "platform/emu/host/author/ProfileText.h"
#include "platform/emu/host/author/SkinChecker.h"
#include "platform/emu/host/author/UpdateChecker.h"
#include "platform/framework/CDC.h"
#include "platform/framework/CString.h"
#include "skin/CLayout.h"

namespace emu::host::author {

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
    return report;
}

} // namespace emu::host::author

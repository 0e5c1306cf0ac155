// Checks what the commands read from layout.ini: the file check, the install
// and uninstall sections with their fragments and Windows INF files, and the
// device sections. Lines are split as the command handler splits them and
// files are tested through CUpdateInf on the emulated machine, so the
// Windows directory and registry are those of the drives the check runs on.
#pragma once

#include "loader/author/CheckReport.h"
#include "loader/author/ProfileText.h"

#include "update/CUpdateLines.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CUpdateInf;

namespace loader::author {

class UpdateChecker {
public:
    UpdateChecker(const ProfileText& layout, CheckReport& report);
    void run();

private:
    struct InstallLine {
        std::string section;
        int line = 0;
        std::string target;
        std::string source;
        std::string backup;
    };

    void checkSections();
    void checkSectionSizes();
    void checkFileList(CUpdateInf& update);
    void readInstallLines();
    void checkFragment(CUpdateInf& update, const InstallLine& entry);
    void checkMergedSize(const std::string& targetName, const ProfileText& target,
                         const ProfileText& fragment, const std::string& section);
    // The program's own judgement of every install and uninstall line, with
    // the consequence of each refusal in words.
    void judgeLines();
    // Reports an install line (install) or an uninstall line the program
    // refuses, with why, as an error.
    void reportVerdict(const CUpdateLines::Line& line, bool install);
    int lineNumberOf(const CUpdateLines::Line* line) const;
    void checkUnlistedTargets();
    void checkUninstall();
    void checkDevices();
    // Every target on the C: drive that Windows 95's profile functions may
    // not take whole.
    void checkLargeTargets();

    const ProfileText& m_layout;
    CheckReport& m_report;
    std::vector<InstallLine> m_install;
    std::unique_ptr<CUpdateLines> m_lines;
    std::map<const CUpdateLines::Line*, int> m_lineNumbers;
    std::set<int> m_refusedInstall;
    std::set<int> m_refusedUninstall;
    std::vector<std::string> m_listedInfFiles;
    std::set<std::string> m_checkedFragments;
    std::string m_infDir;
    bool m_usbPresent = false; // the install walks [USB INF] on this machine
};

} // namespace loader::author

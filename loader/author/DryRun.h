// setup --dry-run COMMAND: runs one command's file work on a copy of drive C:
// in a temporary folder, with no window shown and every message box answered
// (No to a question, OK otherwise), and says what the command would do: the
// backups it would make, a unified diff of each INF file it would change,
// the files it would remove, the registry keys it would delete and the
// messages the user would see, in order, after the lines of layout.ini that
// the command refuses. The real drive is never touched.
#pragma once

#include "platform/emu/host/HostOptions.h"

#include <ostream>
#include <string>
#include <vector>

class CSetupWnd;

namespace loader::author {

class DryRun {
public:
    // The exit status of a dry run whose command would not succeed.
    static constexpr int kWouldFail = 4;

    // Runs command ("100", "101", or the text of a menu item) with the
    // machine options given; writes the report to out. 0 when the command
    // would succeed, kWouldFail when not; false from prepare problems, with
    // the reason in error (status 2).
    static bool run(const emu::host::HostOptions& options, const std::string& command,
                    std::ostream& out, int& status, std::string& error);

private:
    struct Message {
        std::string text;
        UINT type;
        int answer;
    };

    DryRun(const emu::host::HostOptions& options, const std::string& command, std::ostream& out);
    bool prepareCopy(std::string& error);
    bool runCommand(int& command, std::string& error);
    // The install or uninstall lines the command walks that the program
    // refuses, each with why, as the program's own CUpdateLines judges them.
    void collectRefusals(int command, CSetupWnd* window);
    void reportFiles();
    void reportKeys(const std::vector<std::string>& before, const std::vector<std::string>& after);
    void reportMessages();
    bool succeeded(int command) const;
    std::string windowsPath(const std::string& relative) const;

    const std::string& m_command; // as the command line gave it
    std::ostream& m_out;
    emu::MachineConfig m_machine;
    std::string m_original; // host folder of the real C:
    std::string m_temp;     // the temporary folder holding the copy
    std::string m_copy;     // host folder of the copy, drive C: of the run
    std::vector<Message> m_messages;
    std::vector<std::string> m_refusals;
    std::vector<std::string> m_keysBefore;
    std::vector<std::string> m_keysAfter;
};

} // namespace loader::author

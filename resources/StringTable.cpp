#include "resources/StringTable.h"

#include "resources/resource.h"

namespace {
const StringTableEntry kStrings[] = {
    {IDS_NO_LAYOUT,
     "Couldn't open layout.ini file.\nPlease make sure it is in the same directory as setup.exe."},
    {IDS_QUIT, "Quit this program?"},
    {IDS_FILES_MISSING,
     "This program couldn't proceed because of file or files missing.\n"
     "Please make sure the following files are exist:\n\n"
     "1) MSHDC.QTR in this working directory.\n"
     "2) MACHINE1.QTR in this working directory.\n"
     "3) MACHINE2.QTR in this working directory.\n"
     "4) USB.QTR in this working directory.\n"
     "5) MSHDC.INF in Windows INF directory.\n"
     "6) MACHINE.INF in Windows INF directory.\n"
     "7) USB.INF in Windows INF directory if you had installed USB supplement."},
    {IDS_RESTART, "This program has installed all the necessary update for this chipset.\n"
                  "You have to restart the system to take all the effects.\n\nRestart now?"},
    {IDS_MAKER, "Quentor"},
    {IDS_NO_UNINSTALL,
     "There were no uninstall files exist.\nUninstall function was unable to proceed."},
    {IDS_REBOOT_FAILED, "FAILED: Failed to reboot the system\nPlease do it manually.  All the "
                        "changes won't take effect until the system reboot."},
    {IDS_WIN95_ONLY, "This program runs under Windows 95 system only."},
    {AFX_IDS_APP_TITLE, "corvane"},
    {0, nullptr},
};
} // namespace

const StringTableEntry* corvaneStringTable() { return kStrings; }

/* The texts of the string table. The resource script of the Windows build and
   the table the emulated machine serves (StringTable.cpp) both take them from
   here. The script's preprocessor reads this file too, so it holds nothing but
   string literals: escapes \n only, adjacent literals joined. */
#pragma once

#define TEXT_NO_LAYOUT                                                                             \
    "Couldn't open layout.ini file.\nPlease make sure it is in the same directory as setup.exe."
#define TEXT_QUIT "Quit this program?"
#define TEXT_FILES_MISSING                                                                         \
    "This program couldn't proceed because of file or files missing.\n"                            \
    "Please make sure the following files are exist:\n\n"                                          \
    "1) MSHDC.QTR in this working directory.\n"                                                    \
    "2) MACHINE1.QTR in this working directory.\n"                                                 \
    "3) MACHINE2.QTR in this working directory.\n"                                                 \
    "4) USB.QTR in this working directory.\n"                                                      \
    "5) MSHDC.INF in Windows INF directory.\n"                                                     \
    "6) MACHINE.INF in Windows INF directory.\n"                                                   \
    "7) USB.INF in Windows INF directory if you had installed USB supplement."
#define TEXT_RESTART                                                                               \
    "This program has installed all the necessary update for this chipset.\n"                      \
    "You have to restart the system to take all the effects.\n\nRestart now?"
#define TEXT_MAKER "Quentor"
#define TEXT_NO_UNINSTALL                                                                          \
    "There were no uninstall files exist.\nUninstall function was unable to proceed."
#define TEXT_REBOOT_FAILED                                                                         \
    "FAILED: Failed to reboot the system\nPlease do it manually.  All the "                        \
    "changes won't take effect until the system reboot."
#define TEXT_UPDATE_INCOMPLETE                                                                     \
    "The update is incomplete: some Windows INF files could not be changed.\n"                     \
    "No device was removed and the system need not restart.\n\n"                                   \
    "Choose uninstall to put back what was changed."
#define TEXT_WIN95_ONLY "This program runs under Windows 95 system only."
#define TEXT_APP_TITLE "corvane"

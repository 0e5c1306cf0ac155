#include "resources/StringTable.h"

#include "resources/StringTexts.h"
#include "resources/resource.h"

namespace {
const StringTableEntry kStrings[] = {
    {IDS_NO_LAYOUT, TEXT_NO_LAYOUT},
    {IDS_QUIT, TEXT_QUIT},
    {IDS_FILES_MISSING, TEXT_FILES_MISSING},
    {IDS_RESTART, TEXT_RESTART},
    {IDS_MAKER, TEXT_MAKER},
    {IDS_NO_UNINSTALL, TEXT_NO_UNINSTALL},
    {IDS_REBOOT_FAILED, TEXT_REBOOT_FAILED},
    {IDS_UPDATE_INCOMPLETE, TEXT_UPDATE_INCOMPLETE},
    {IDS_WIN95_ONLY, TEXT_WIN95_ONLY},
    {AFX_IDS_APP_TITLE, TEXT_APP_TITLE},
    {0, nullptr},
};
} // namespace

const StringTableEntry* corvaneStringTable() {
    return kStrings;
}

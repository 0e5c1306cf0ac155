#include "platform/emu/host/ProgramResources.h"

#include "platform/emu/kernel/ModuleResources.h"
#include "resources/ProgressClip.h"
#include "resources/ProgressTemplate.h"
#include "resources/StringTable.h"
#include "resources/resource.h"

namespace emu::host {

void registerProgramResources() {
    kernel::ModuleResources resources;
    for (const StringTableEntry* entry = corvaneStringTable(); entry->text != nullptr; ++entry) {
        resources.strings[entry->id] = entry->text;
    }
    const unsigned char* dialog = progressDialogTemplate();
    resources.dialogs[IDD_PROGRESS].assign(dialog, dialog + progressDialogTemplateSize());
    const unsigned char* clip = progressClip();
    resources.clips[IDR_CLIP].assign(clip, clip + progressClipSize());
    kernel::setModuleResources(std::move(resources));
}

} // namespace emu::host

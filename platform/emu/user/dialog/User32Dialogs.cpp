// user32: dialogs made from templates in memory.
#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/emu/user/dialog/DialogManager.h"
#include "platform/emu/user/dialog/DialogTemplate.h"

using emu::user::DialogManager;

namespace {

// A template of the program's own resources comes with its size; any other
// is walked with a limit, as the caller gives none.
size_t templateSize(const unsigned char* bytes) {
    for (const auto& entry : emu::kernel::moduleResources().dialogs) {
        if (!entry.second.empty() && entry.second.data() == bytes) {
            return entry.second.size();
        }
    }
    return DialogManager::kUnsizedTemplateLimit;
}

// The trace names a template by its caption: its address differs from run to run.
std::string captionOf(const unsigned char* bytes, size_t size) {
    auto parsed = emu::user::DialogTemplate::parse(bytes, size);
    return parsed ? parsed->caption : std::string();
}

} // namespace

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA lpTemplate,
                                       HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(lpTemplate);
    size_t size = bytes != nullptr ? templateSize(bytes) : 0;
    emu::TraceCall call("CreateDialogIndirectParamA");
    if (emu::Trace::enabled()) {
        std::string caption = captionOf(bytes, size);
        call.handle(hInstance).str(bytes != nullptr ? caption.c_str() : nullptr).handle(hWndParent);
    }
    HWND dialog =
        DialogManager::create(hInstance, bytes, size, hWndParent, lpDialogFunc, dwInitParam);
    call.resultHandle(dialog);
    return dialog;
}

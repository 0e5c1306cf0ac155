// user32: dialogs made from templates in memory or in the program's resources.
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

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    // The program's module holds its dialogs under numbers; a template named
    // by text, or asked of another module, is not there.
    const std::vector<unsigned char>* bytes = nullptr;
    const bool ownModule = hInstance == nullptr || hInstance == emu::kernel::moduleInstance();
    if (ownModule && lpTemplateName != nullptr && IS_INTRESOURCE(lpTemplateName)) {
        const auto& dialogs = emu::kernel::moduleResources().dialogs;
        auto found = dialogs.find(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(lpTemplateName)));
        if (found != dialogs.end()) {
            bytes = &found->second;
        }
    }
    HWND dialog = nullptr;
    if (bytes == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    } else {
        dialog = DialogManager::create(hInstance, bytes->data(), bytes->size(), hWndParent,
                                       lpDialogFunc, dwInitParam);
    }
    if (emu::Trace::enabled()) {
        emu::TraceCall call("CreateDialogParamA");
        call.handle(hInstance);
        if (lpTemplateName != nullptr && IS_INTRESOURCE(lpTemplateName)) {
            call.num(static_cast<long long>(reinterpret_cast<ULONG_PTR>(lpTemplateName)));
        } else {
            call.str(lpTemplateName);
        }
        call.handle(hWndParent).resultHandle(dialog);
    }
    return dialog;
}

#include "platform/emu/user/controls/ControlClasses.h"

#include "platform/emu/user/WindowManager.h"
#include "platform/emu/user/controls/AnimateControl.h"
#include "platform/emu/user/controls/ProgressBar.h"
#include "platform/emu/user/dialog/DialogManager.h"

namespace emu::user {

void registerControlClasses(ClassTable& classes) {
    DialogManager::registerClass(classes);
    ProgressBar::registerClass(classes);
    AnimateControl::registerClass(classes);
}

void registerControlClasses() {
    if (WindowManager* manager = WindowManager::current()) {
        manager->registerClasses(static_cast<void (*)(ClassTable&)>(&registerControlClasses));
    }
}

} // namespace emu::user

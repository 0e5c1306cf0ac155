#include "platform/emu/user/BuiltinClasses.h"

#include "platform/emu/user/controls/ControlClasses.h"
#include "platform/emu/user/controls/MessageBox.h"
#include "platform/emu/user/controls/PushButton.h"

namespace emu::user {

void registerBuiltinClasses(ClassTable& classes) {
    PushButton::registerClass(classes);
    MessageBox::registerClass(classes);
    registerControlClasses(classes);
}

} // namespace emu::user

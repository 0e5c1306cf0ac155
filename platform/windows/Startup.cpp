// The process entry point of the Windows build. The program links no C
// runtime DLL (Windows 95 as first released has no msvcrt.dll), so this is
// what the runtime's start-up code would otherwise do: run the constructors
// of static objects, call WinMain with the arguments Windows gives a GUI
// program, run the exit handlers and end the process with WinMain's result.
#include "platform/windows/Runtime.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

// The linker script of the PE toolchain puts the addresses of the static
// constructors between these two markers: a -1 word first, the constructors,
// then a 0 word. GCC lists them in reverse order of construction.
extern "C" {
extern void (*__CTOR_LIST__[])();
}

namespace {

void runStaticConstructors() {
    size_t count = 0;
    while (__CTOR_LIST__[count + 1] != nullptr) {
        ++count;
    }
    for (size_t i = count; i >= 1; --i) {
        __CTOR_LIST__[i]();
    }
}

// The command line without the program's own name, as WinMain receives it.
LPSTR argumentsOf(LPSTR commandLine) {
    char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') {
            ++p;
        }
        if (*p == '"') {
            ++p;
        }
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t') {
            ++p;
        }
    }
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    return p;
}

int showCommand() {
    STARTUPINFOA info;
    info.cb = sizeof info;
    ::GetStartupInfoA(&info);
    return (info.dwFlags & STARTF_USESHOWWINDOW) != 0 ? info.wShowWindow : SW_SHOWDEFAULT;
}

} // namespace

// The name the linker takes as a GUI program's entry by default.
extern "C" void WinMainCRTStartup() {
    runStaticConstructors();
    const int result = WinMain(::GetModuleHandleA(nullptr), nullptr,
                               argumentsOf(::GetCommandLineA()), showCommand());
    corvane_runtime::runExitHandlers();
    ::ExitProcess(static_cast<UINT>(result));
}

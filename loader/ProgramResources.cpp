#include "loader/ProgramResources.h"

#include "loader/CompiledResources.h"
#include "platform/emu/kernel/ModuleResources.h"

#include <cstdio>
#include <cstdlib>

// The build compiles resources/corvane.rc into a .res file and names it in
// CORVANE_PROGRAM_RES; the assembler copies its bytes into the executable
// here, as the Windows linker copies them into setup.exe.
#ifndef CORVANE_PROGRAM_RES
#error "CORVANE_PROGRAM_RES must name the compiled resource file"
#endif

// clang-format off
asm(".section .rodata\n"
    ".balign 4\n"
    ".globl corvane_program_res\n"
    "corvane_program_res:\n"
    ".incbin \"" CORVANE_PROGRAM_RES "\"\n"
    ".globl corvane_program_res_end\n"
    "corvane_program_res_end:\n"
    ".previous\n");
// clang-format on

extern "C" const unsigned char corvane_program_res[];
extern "C" const unsigned char corvane_program_res_end[];

namespace loader {

const unsigned char* programResourceBytes() {
    return corvane_program_res;
}

size_t programResourceSize() {
    return static_cast<size_t>(corvane_program_res_end - corvane_program_res);
}

void registerProgramResources() {
    std::string why;
    auto entries = readCompiledResources(programResourceBytes(), programResourceSize(), why);
    auto resources = entries ? moduleResourcesFrom(*entries, why) : std::nullopt;
    if (!resources) {
        // The file is made by the build; a fault here is a fault of the build.
        std::fprintf(stderr, "setup: the program's resources are unreadable: %s\n", why.c_str());
        std::abort();
    }
    emu::kernel::setModuleResources(std::move(*resources));
}

} // namespace loader

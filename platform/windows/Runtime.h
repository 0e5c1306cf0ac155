// What the Windows build keeps of a C and C++ runtime: memory from the
// process heap, the handful of string functions the compiler and the
// standard headers call, exit handlers for static destructors. Nothing here
// imports from a C runtime DLL or calls a Win32 function that Windows 95
// does not implement.
#pragma once

namespace corvane_runtime {

// Runs the handlers registered with atexit, last registered first.
void runExitHandlers();

// Ends the process at once: what a failed allocation or a broken library
// precondition leads to, as the Windows build carries no exceptions.
[[noreturn]] void fail();

} // namespace corvane_runtime

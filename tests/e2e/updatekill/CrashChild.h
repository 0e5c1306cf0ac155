// Runs a piece of work in a forked child process, as one run of the program
// that may be cut short by the machine's crash injection.
#pragma once

#include "tests/support/TempDir.h"

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane_test {

enum class ChildEnding { Completed, Crashed, Failed };

// Starts work in a child process (-1 when fork failed) and, separately,
// waits for such a child; two children started before either is waited for
// run at the same time.
pid_t startChild(const std::function<void()>& work);
ChildEnding waitForChild(pid_t child, std::string& detail);

// Runs work in a child and waits for it. Completed: work returned; Crashed:
// the machine ended the child with emu::kCrashExitStatus; Failed: anything
// else (work threw, a sanitizer stopped it, a signal), with how in detail.
ChildEnding runInChild(const std::function<void()>& work, std::string& detail);

// Whether name is a temporary of the emulated kernel's whole-file writes.
bool isKernelTemporary(const std::string& name);

} // namespace corvane_test

// Win32 share modes between openers of one host file, in this process and in
// every other process of the emulated machine. Each opener's open file
// description holds shared open-file-description locks on bytes far beyond
// any real file's end, one byte for each fact "is open", "has read access",
// "has write access", "denies reading" and "denies writing". A newcomer tests
// the facts that would conflict with it and then sets its own while it holds
// an exclusive flock on the file, so that test and set are one step. The
// kernel drops every lock when the last descriptor of an opener closes,
// also when a process dies.
#pragma once

#include "platform/win32.h"

#include <functional>

namespace emu::kernel {

class ShareLock {
public:
    // Registers fd (open for reading when access asks for anything) as an
    // opener with the given access and share masks. false, registering
    // nothing, when an existing opener's access or share mask conflicts.
    static bool acquire(int fd, DWORD access, DWORD share);

    // Runs action while no newcomer can register, unless an opener other
    // than fd's open file description holds the file: then false, and action
    // does not run.
    static bool runIfUnused(int fd, const std::function<void()>& action);

private:
    enum Fact { IsOpen, HasRead, HasWrite, DeniesRead, DeniesWrite };
    static bool heldElsewhere(int fd, Fact fact);
    static bool hold(int fd, Fact fact);
    static bool conflicts(int fd, DWORD access, DWORD share);
    static void registerOpener(int fd, DWORD access, DWORD share);
};

} // namespace emu::kernel

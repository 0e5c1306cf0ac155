// What the emulated machine says about itself: its version record, its tick
// counter and its answer to a restart request.
#pragma once

#include "platform/emu/MachineConfig.h"

#include <optional>

namespace emu::kernel {

void bootSystemInfo(const MachineConfig& config);

// Chooses the machine's ANSI and OEM code pages (CodePage): the registry's
// ACP and OEMCP (HKLM\System\CurrentControlSet\Control\Nls\CodePage) when
// it records a code page the machine knows, else config.codePage, else 1252
// and 437. Runs after the registry is booted.
void bootCodePages(const MachineConfig& config);

// Fills the record as GetVersionExA does; false, leaving it untouched, when
// its dwOSVersionInfoSize is not sizeof(OSVERSIONINFOA) (Windows 95 knows no
// other size).
bool fillVersionRecord(OSVERSIONINFOA& record);

// The tick counter of GetTickCount and Sleep (see TickClock).
DWORD tickCount();
void sleepTicks(DWORD ms);
// The virtual tick counter, read without moving it (for the machine's own
// clocks, such as an animation's); nullopt when the machine keeps real time.
std::optional<DWORD> virtualTick();
// Lets ms milliseconds of virtual time pass (a script's `wait`, Sleep); no
// effect on the real clock.
void advanceVirtualClock(DWORD ms);

// Records an ExitWindowsEx request and gives the configured answer. The host
// is never touched; an accepted request ends the emulated session.
bool requestRestart(UINT flags);
// The flags of the last ExitWindowsEx call since boot; nullopt when none.
std::optional<UINT> restartRequested();
// True once a restart was accepted: the message loop ends (GetMessageA
// returns FALSE) and the program winds down.
bool sessionEnding();

} // namespace emu::kernel

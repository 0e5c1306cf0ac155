// The sizes and numbers the program is built around, in one place: the
// program reads with them, and the disk check holds a disk to them, so the
// two cannot come apart.
#pragma once

#include "platform/win32.h"

// A layout.ini value (picture, caption, font name, colour) is read into this
// many bytes with its terminator.
const DWORD kLayoutValueSize = 260;
// A [MENU] or install section of layout.ini is read into this many bytes;
// what lies past them is not seen.
const DWORD kLayoutSectionSize = 1024;
// LOGFONT's lfFaceName holds this many characters and its terminator.
const DWORD kFaceNameLength = 31;

// The first reads of the merge use the sizes every well-formed disk fits in;
// larger lists are read whole all the same, with a larger buffer.
const DWORD kSectionNamesSize = 256;
const DWORD kFragmentSectionSize = 4096;
const DWORD kTargetSectionSize = 30720;
// Windows 95 returns at most this many characters of one section or names
// list, whatever the buffer, and reports such a list as it reports a cut one
// of a buffer that size: two bytes short of it.
const DWORD kPlatformListLimit = 32767;
// Files over this size Windows 95's profile functions may not read or write
// whole.
const DWORD kPlatformFileSize = 32 * 1024;
// The largest fragment an install merges. A larger one is more than Windows
// 95's profile functions read whole, so no Windows 95 machine could merge it,
// and merging it section by section (each section a read of both files and
// a rewrite of the work file) would keep the window waiting for minutes: it
// is refused before anything is touched.
const DWORD kLargestFragment = kPlatformFileSize;
// The largest Windows INF file the merge reads whole (its check keeps the
// file's bytes in memory): far above any INF file of Windows 95 and far
// below the memory of a small host. A larger one is left as it is.
const DWORD kLargestInfFile = 16 * 1024 * 1024;

// The window takes the menu commands 1 to 400; these three do work.
const UINT kFirstCommand = 1;
const UINT kLastCommand = 400;
const UINT kQuitCommand = 4;
const UINT kInstallCommand = 100;
const UINT kUninstallCommand = 101;

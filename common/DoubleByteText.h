// Walking text of the system's ANSI code page by characters. In the Japanese,
// Chinese and Korean editions a character may be a lead byte and a trail
// byte, and the trail byte may be '\\', '[', ']' or '|': such a byte is part
// of its character, never a separator or a mark. These helpers step with
// CharNextA and CharPrevA, so they follow the code page Windows runs with.
#pragma once

#include "platform/win32.h"

// The offset of the first character c in text[0, length) (a single-byte
// character, never a trail byte), or -1 when there is none. The text need not
// end with a NUL: no byte at or past length is read.
int FindCharacter(LPCSTR text, int length, char c);

// Whether the last character of the NUL-ended text is c (a trail byte c does
// not count); FALSE for an empty text.
BOOL EndsWithCharacter(LPCSTR text, char c);

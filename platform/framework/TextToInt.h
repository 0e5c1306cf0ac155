// Decimal text to int, the way every number in a profile value is read.
#pragma once

#include "platform/win32.h"

// Skips leading white space, takes an optional sign and the decimal digits up
// to the first other character. No digits (or a null text) give 0; a value
// beyond the int range gives the nearest end of the range.
int TextToInt(LPCSTR text);

// A "key=value" line of a layout.ini section, as GetPrivateProfileSectionA
// hands it over, split at its first "=". The menu and the launcher window's
// install, uninstall, file and device sections all read their lines this way.
#pragma once

#include "platform/framework/CString.h"
#include "platform/win32.h"

// Puts what comes before the first "=" of line in key and all that follows it
// (which may hold "=" itself) in value, each exactly as the line has it, blanks
// included. FALSE, leaving both untouched, for a line without "=": such a line
// has no value.
BOOL SplitAtEquals(LPCSTR line, CString& key, CString& value);

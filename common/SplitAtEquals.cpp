#include "common/SplitAtEquals.h"

BOOL SplitAtEquals(LPCSTR line, CString& key, CString& value) {
    CString text(line);
    int equals = text.Find('=');
    if (equals < 0) {
        return FALSE;
    }
    key = text.Left(equals);
    value = text.Mid(equals + 1);
    return TRUE;
}

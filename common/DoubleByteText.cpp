#include "common/DoubleByteText.h"

int FindCharacter(LPCSTR text, int length, char c) {
    int at = 0;
    while (at < length) {
        if (text[at] == c) {
            return at;
        }
        // The last byte of the run takes no trail byte from beyond it.
        int step = 1;
        if (at + 1 < length) {
            step = static_cast<int>(CharNextA(text + at) - (text + at));
        }
        at += step > 0 ? step : 1;
    }
    return -1;
}

BOOL EndsWithCharacter(LPCSTR text, char c) {
    int length = lstrlenA(text);
    if (length == 0) {
        return FALSE;
    }
    LPCSTR last = CharPrevA(text, text + length);
    return last == text + length - 1 && *last == c ? TRUE : FALSE;
}

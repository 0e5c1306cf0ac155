// An animation control playing a clip from the module's resources. Without a
// window every operation does nothing.
#pragma once

#include "platform/framework/CWnd.h"

class CAnimateCtrl : public CWnd {
public:
    CAnimateCtrl() = default;

    // Opens clip resource nID of the module.
    BOOL Open(UINT nID);
    // Plays frames nFrom to nTo (0xFFFF: the last), nRep times (-1 without
    // end); nRep 0 with both frames 0xFFFF halts the playback.
    BOOL Play(UINT nFrom, UINT nTo, UINT nRep);
    BOOL Stop();
    // Closes the clip.
    BOOL Close();
};

#include "platform/framework/CAnimateCtrl.h"

BOOL CAnimateCtrl::Open(UINT nID) {
    return static_cast<BOOL>(
        SendMessage(ACM_OPENA, 0, reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(nID))));
}

BOOL CAnimateCtrl::Play(UINT nFrom, UINT nTo, UINT nRep) {
    return static_cast<BOOL>(
        SendMessage(ACM_PLAY, static_cast<WPARAM>(nRep),
                    static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(nFrom, nTo)))));
}

BOOL CAnimateCtrl::Stop() {
    return static_cast<BOOL>(SendMessage(ACM_STOP, 0, 0));
}

BOOL CAnimateCtrl::Close() {
    return static_cast<BOOL>(SendMessage(ACM_OPENA, 0, 0));
}

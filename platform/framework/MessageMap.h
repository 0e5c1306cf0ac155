// Message maps: a table per window class that names the handler of each
// message it takes. The window procedure looks a message up in the class's
// table, then in its base classes' tables; a message found nowhere gets the
// default processing.
//
// Each entry carries a small dispatcher that unpacks WPARAM and LPARAM and
// calls the handler with its typed arguments, so a handler with the wrong
// signature fails to compile instead of misreading its message.
#pragma once

#include "platform/win32.h"

class CWnd;

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nID;     // WM_COMMAND entries: first command identifier
    UINT nLastID; // WM_COMMAND entries: last command identifier
    LRESULT (*pfnDispatch)(CWnd* pWnd, WPARAM wParam, LPARAM lParam);
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries; // ended by an entry without dispatcher
};

#define DECLARE_MESSAGE_MAP()                                                                      \
protected:                                                                                         \
    static const AFX_MSGMAP* GetThisMessageMap();                                                  \
    const AFX_MSGMAP* GetMessageMap() const override;

// clang-format off
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }              \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                              \
        using ThisClass [[maybe_unused]] = theClass;                                               \
        using TheBaseClass = baseClass;                                                            \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                                          \
            {0, 0, 0, nullptr}};                                                                   \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &entries[0]};      \
        return &messageMap;                                                                        \
    }
// clang-format on

// Shorthands for the dispatchers below.
#define AFX_MAP_THIS (static_cast<ThisClass*>(pWnd))
#define AFX_MAP_POINT(lParam)                                                                      \
    CPoint(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)))

#define ON_WM_CREATE()                                                                             \
    {WM_CREATE, 0, 0, [](CWnd* pWnd, WPARAM, LPARAM lParam) -> LRESULT {                           \
         return AFX_MAP_THIS->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));                  \
     }},

#define ON_WM_ERASEBKGND()                                                                         \
    {WM_ERASEBKGND, 0, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM) -> LRESULT {                       \
         CDC dc(reinterpret_cast<HDC>(wParam));                                                    \
         return AFX_MAP_THIS->OnEraseBkgnd(&dc);                                                   \
     }},

#define ON_WM_PAINT()                                                                              \
    {WM_PAINT, 0, 0, [](CWnd* pWnd, WPARAM, LPARAM) -> LRESULT {                                   \
         AFX_MAP_THIS->OnPaint();                                                                  \
         return 0;                                                                                 \
     }},

#define AFX_ON_MOUSE(message, handler)                                                             \
    {message, 0, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM lParam) -> LRESULT {                      \
         AFX_MAP_THIS->handler(static_cast<UINT>(wParam), AFX_MAP_POINT(lParam));                  \
         return 0;                                                                                 \
     }},

#define ON_WM_MOUSEMOVE() AFX_ON_MOUSE(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() AFX_ON_MOUSE(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_ON_MOUSE(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_ON_MOUSE(WM_LBUTTONDBLCLK, OnLButtonDblClk)

#define AFX_ON_KEY(message, handler)                                                               \
    {message, 0, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM lParam) -> LRESULT {                      \
         AFX_MAP_THIS->handler(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));         \
         return 0;                                                                                 \
     }},

#define ON_WM_KEYDOWN() AFX_ON_KEY(WM_KEYDOWN, OnKeyDown)
#define ON_WM_KEYUP() AFX_ON_KEY(WM_KEYUP, OnKeyUp)

#define ON_WM_ACTIVATE()                                                                           \
    {WM_ACTIVATE, 0, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM lParam) -> LRESULT {                  \
         AFX_MAP_THIS->OnActivate(                                                                 \
             LOWORD(wParam), CWnd::FromHandle(reinterpret_cast<HWND>(lParam)), HIWORD(wParam));    \
         return 0;                                                                                 \
     }},

#define ON_WM_CLOSE()                                                                              \
    {WM_CLOSE, 0, 0, [](CWnd* pWnd, WPARAM, LPARAM) -> LRESULT {                                   \
         AFX_MAP_THIS->OnClose();                                                                  \
         return 0;                                                                                 \
     }},

#define ON_WM_MOUSEACTIVATE()                                                                      \
    {WM_MOUSEACTIVATE, 0, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM lParam) -> LRESULT {             \
         return AFX_MAP_THIS->OnMouseActivate(                                                     \
             CWnd::FromHandle(reinterpret_cast<HWND>(wParam)),                                     \
             static_cast<UINT>(static_cast<short>(LOWORD(lParam))), HIWORD(lParam));               \
     }},

#define ON_WM_ACTIVATEAPP()                                                                        \
    {WM_ACTIVATEAPP, 0, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM lParam) -> LRESULT {               \
         AFX_MAP_THIS->OnActivateApp(wParam != 0 ? TRUE : FALSE, static_cast<DWORD>(lParam));      \
         return 0;                                                                                 \
     }},

#define ON_WM_SETFOCUS()                                                                           \
    {WM_SETFOCUS, 0, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM) -> LRESULT {                         \
         AFX_MAP_THIS->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)));               \
         return 0;                                                                                 \
     }},

#define ON_WM_NCDESTROY()                                                                          \
    {WM_NCDESTROY, 0, 0, [](CWnd* pWnd, WPARAM, LPARAM) -> LRESULT {                               \
         AFX_MAP_THIS->OnNcDestroy();                                                              \
         return 0;                                                                                 \
     }},

// WM_COMMAND from a menu item, an accelerator or a button click (notification
// code 0) whose identifier lies in [idFirst, idLast]: memberFn(UINT nID).
#define ON_COMMAND_RANGE(idFirst, idLast, memberFn)                                                \
    {WM_COMMAND, static_cast<UINT>(idFirst), static_cast<UINT>(idLast),                            \
     [](CWnd* pWnd, WPARAM wParam, LPARAM) -> LRESULT {                                            \
         AFX_MAP_THIS->memberFn(LOWORD(wParam));                                                   \
         return 0;                                                                                 \
     }},

// The same for one identifier: memberFn().
#define ON_COMMAND(id, memberFn)                                                                   \
    {WM_COMMAND, static_cast<UINT>(id), static_cast<UINT>(id),                                     \
     [](CWnd* pWnd, WPARAM, LPARAM) -> LRESULT {                                                   \
         AFX_MAP_THIS->memberFn();                                                                 \
         return 0;                                                                                 \
     }},

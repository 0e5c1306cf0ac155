#include "platform/framework/CWnd.h"

#include "platform/framework/CRect.h"
#include "platform/framework/CWinApp.h"
#include "platform/framework/ModuleInstance.h"

#include <map>
#include <memory>

namespace {

// The message being handled, innermost first; a handler's Default() uses it.
struct DispatchFrame {
    MSG msg;
    BOOL defaulted;
    DispatchFrame* outer;
};

DispatchFrame* g_pFrame = nullptr;

// The object whose CreateEx is waiting for its window's first message.
CWnd* g_pWndBeingCreated = nullptr;

std::map<HWND, CWnd*>& permanentMap() {
    static std::map<HWND, CWnd*> map;
    return map;
}

// A temporary object stands for a window it does not own; it is unhooked
// before deletion so that its destructor leaves the window alone.
struct TemporaryDeleter {
    void operator()(CWnd* pWnd) const {
        pWnd->m_hWnd = nullptr;
        delete pWnd;
    }
};

std::map<HWND, std::unique_ptr<CWnd, TemporaryDeleter>>& temporaryMap() {
    static std::map<HWND, std::unique_ptr<CWnd, TemporaryDeleter>> map;
    return map;
}

// After WM_NCDESTROY the handle means nothing any more: drop whatever still
// refers to it. An object still bound here is alive (its destructor would
// have unbound it) but its handler skipped the base processing.
void forgetHandle(HWND hWnd) {
    auto found = permanentMap().find(hWnd);
    if (found != permanentMap().end()) {
        found->second->m_hWnd = nullptr;
        permanentMap().erase(found);
    }
    temporaryMap().erase(hWnd);
}

// The messages a window can get before CreateWindowExA has finished; only
// these make a window adopt the object whose CreateEx is running.
bool isCreationMessage(UINT message) {
    return message == WM_GETMINMAXINFO || message == WM_NCCREATE || message == WM_NCCALCSIZE ||
           message == WM_CREATE;
}

class FrameGuard {
public:
    explicit FrameGuard(DispatchFrame& frame) : m_frame(frame) { g_pFrame = &frame; }
    ~FrameGuard() { g_pFrame = m_frame.outer; }
    FrameGuard(const FrameGuard&) = delete;
    FrameGuard& operator=(const FrameGuard&) = delete;

private:
    DispatchFrame& m_frame;
};

} // namespace

const CRuntimeClass CWnd::classCWnd = {"CWnd", static_cast<int>(sizeof(CWnd)), nullptr,
                                       RUNTIME_CLASS(CObject)};

const CRuntimeClass* CWnd::GetRuntimeClass() const {
    return RUNTIME_CLASS(CWnd);
}

const AFX_MSGMAP* CWnd::GetMessageMap() const {
    return GetThisMessageMap();
}

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
    // WM_NCDESTROY always reaches OnNcDestroy, so every window is unbound
    // from its object when it goes.
    const auto ncDestroy = [](CWnd* pWnd, WPARAM, LPARAM) -> LRESULT {
        pWnd->OnNcDestroy();
        return 0;
    };
    static const AFX_MSGMAP_ENTRY entries[] = {{WM_NCDESTROY, 0, 0, ncDestroy}, {0, 0, 0, nullptr}};
    static const AFX_MSGMAP messageMap = {nullptr, &entries[0]};
    return &messageMap;
}

CWnd::~CWnd() {
    if (m_hWnd == nullptr || FromHandlePermanent(m_hWnd) != this) {
        return;
    }
    CWinApp* pApp = AfxGetApp();
    if (pApp != nullptr && pApp->m_pMainWnd == this) {
        pApp->m_pMainWnd = nullptr;
    }
    // Unbound first: the destroy messages then find no half-destroyed object.
    ::DestroyWindow(Detach());
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam) {
    if (m_hWnd != nullptr) {
        return FALSE;
    }
    g_pWndBeingCreated = this;
    HWND hWnd = ::CreateWindowExA(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left,
                                  rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                  pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)),
                                  AfxGetInstanceHandle(), lpParam);
    const bool adopted = g_pWndBeingCreated != this;
    g_pWndBeingCreated = nullptr;
    if (hWnd == nullptr) {
        // When the window did get messages, a WM_NCDESTROY handler may have
        // deleted this object: it is not touched again.
        return FALSE;
    }
    if (!adopted) {
        // A class with a procedure of its own: bound, but not routed.
        Attach(hWnd);
    }
    return TRUE;
}

BOOL CWnd::Attach(HWND hWndNew) {
    if (hWndNew == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWndNew) != nullptr) {
        return FALSE;
    }
    temporaryMap().erase(hWndNew);
    permanentMap()[hWndNew] = this;
    m_hWnd = hWndNew;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    if (hWnd != nullptr) {
        auto found = permanentMap().find(hWnd);
        if (found != permanentMap().end() && found->second == this) {
            permanentMap().erase(found);
        }
    }
    m_hWnd = nullptr;
    return hWnd;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (hWnd == nullptr) {
        return nullptr;
    }
    if (CWnd* pWnd = FromHandlePermanent(hWnd)) {
        return pWnd;
    }
    auto& temporaries = temporaryMap();
    auto found = temporaries.find(hWnd);
    if (found == temporaries.end()) {
        std::unique_ptr<CWnd, TemporaryDeleter> pWnd(new CWnd);
        pWnd->m_hWnd = hWnd;
        found = temporaries.emplace(hWnd, std::move(pWnd)).first;
    }
    return found->second.get();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    auto found = permanentMap().find(hWnd);
    return found != permanentMap().end() ? found->second : nullptr;
}

void CWnd::DeleteTempMap() {
    temporaryMap().clear();
}

BOOL CWnd::DestroyWindow() {
    return m_hWnd != nullptr ? ::DestroyWindow(m_hWnd) : FALSE;
}

BOOL CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
    return ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

BOOL CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint) {
    if (lpRect == nullptr) {
        return FALSE;
    }
    return MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left,
                      lpRect->bottom - lpRect->top, bRepaint);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    if (m_hWnd == nullptr) {
        return;
    }
    if ((::GetWindowLongA(m_hWnd, GWL_STYLE) & WS_CHILD) != 0) {
        CenterInParent(pAlternateOwner);
    } else {
        CenterOnScreen(pAlternateOwner);
    }
}

void CWnd::CenterInParent(CWnd* pAlternateOwner) {
    // A child's position is in its parent's client coordinates.
    HWND hWndParent = ::GetParent(m_hWnd);
    CRect area;
    ::GetClientRect(hWndParent, &area);
    CRect centerRect(area);
    if (pAlternateOwner != nullptr) {
        ::GetWindowRect(pAlternateOwner->m_hWnd, &centerRect);
        POINT topLeft = {centerRect.left, centerRect.top};
        POINT bottomRight = {centerRect.right, centerRect.bottom};
        ::ScreenToClient(hWndParent, &topLeft);
        ::ScreenToClient(hWndParent, &bottomRight);
        centerRect = CRect(topLeft.x, topLeft.y, bottomRight.x, bottomRight.y);
    }
    CenterIn(area, centerRect.CenterPoint());
}

void CWnd::CenterOnScreen(CWnd* pAlternateOwner) {
    HWND hWndCenter =
        pAlternateOwner != nullptr ? pAlternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
    CRect area;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, static_cast<LPRECT>(area), 0);
    CRect centerRect(area);
    if (hWndCenter != nullptr && ::IsWindowVisible(hWndCenter) && !::IsIconic(hWndCenter)) {
        ::GetWindowRect(hWndCenter, &centerRect);
    }
    CenterIn(area, centerRect.CenterPoint());
}

void CWnd::CenterIn(const RECT& area, POINT center) {
    CRect window;
    ::GetWindowRect(m_hWnd, &window);
    int x = center.x - window.Width() / 2;
    int y = center.y - window.Height() / 2;
    // Kept inside the area; a window larger than it keeps its top-left corner
    // in view.
    if (x + window.Width() > area.right) {
        x = area.right - window.Width();
    }
    if (x < area.left) {
        x = area.left;
    }
    if (y + window.Height() > area.bottom) {
        y = area.bottom - window.Height();
    }
    if (y < area.top) {
        y = area.top;
    }
    ::SetWindowPos(m_hWnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::SetWindowText(LPCSTR lpszString) {
    ::SetWindowTextA(m_hWnd, lpszString);
}

void CWnd::GetWindowText(CString& rString) const {
    // A caption longer than any window's title bar shows is cut.
    char text[256] = {};
    ::GetWindowTextA(m_hWnd, text, static_cast<int>(sizeof text));
    rString = text;
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    if (lpRect != nullptr && !::GetClientRect(m_hWnd, lpRect)) {
        *lpRect = RECT{0, 0, 0, 0};
    }
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
    if (lpRect != nullptr && !::GetWindowRect(m_hWnd, lpRect)) {
        *lpRect = RECT{0, 0, 0, 0};
    }
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    return ::ShowWindow(m_hWnd, nCmdShow);
}

void CWnd::UpdateWindow() {
    ::UpdateWindow(m_hWnd);
}

BOOL CWnd::IsWindowVisible() const {
    return m_hWnd != nullptr && ::IsWindowVisible(m_hWnd);
}

CWnd* CWnd::SetFocus() {
    return FromHandle(::SetFocus(m_hWnd));
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_hWnd != nullptr ? ::PostMessageA(m_hWnd, message, wParam, lParam) : FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_hWnd != nullptr ? ::SendMessageA(m_hWnd, message, wParam, lParam) : 0;
}

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    if (lpszCaption == nullptr && AfxGetApp() != nullptr) {
        lpszCaption = AfxGetApp()->m_pszAppName;
    }
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

LRESULT CALLBACK CWnd::WindowProcedure(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (pWnd == nullptr && g_pWndBeingCreated != nullptr && isCreationMessage(message)) {
        pWnd = g_pWndBeingCreated;
        g_pWndBeingCreated = nullptr;
        pWnd->Attach(hWnd);
    }
    if (pWnd == nullptr) {
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    }
    BOOL defaulted = FALSE;
    return RouteMessage(pWnd, hWnd, message, wParam, lParam, defaulted);
}

LRESULT CWnd::RouteMessage(CWnd* pWnd, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                           BOOL& defaulted) {
    DispatchFrame frame = {{hWnd, message, wParam, lParam, 0, {0, 0}}, FALSE, g_pFrame};
    LRESULT result = 0;
    {
        FrameGuard guard(frame);
        result = pWnd->WindowProc(message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        forgetHandle(hWnd);
    }
    defaulted = frame.defaulted;
    return result;
}

void CWnd::NoteDefaultWanted() {
    if (g_pFrame != nullptr) {
        g_pFrame->defaulted = TRUE;
    }
}

LRESULT CWnd::Default() {
    if (g_pFrame == nullptr) {
        return 0;
    }
    const MSG& msg = g_pFrame->msg;
    return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        return OnCommand(wParam, lParam) ? 0 : DefWindowProc(message, wParam, lParam);
    }
    if (const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(message)) {
        return pEntry->pfnDispatch(this, wParam, lParam);
    }
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_hWnd != nullptr ? ::DefWindowProcA(m_hWnd, message, wParam, lParam) : 0;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    // Menus and buttons send code 0, accelerators code 1 (without a control).
    const WORD code = HIWORD(wParam);
    if (code != 0 && !(code == 1 && lParam == 0)) {
        return FALSE;
    }
    const AFX_MSGMAP_ENTRY* pEntry = FindCommandEntry(LOWORD(wParam));
    if (pEntry == nullptr) {
        return FALSE;
    }
    pEntry->pfnDispatch(this, wParam, lParam);
    return TRUE;
}

void CWnd::PostNcDestroy() {}

const AFX_MSGMAP_ENTRY* CWnd::FindMessageEntry(UINT message) const {
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr;
         pMap = pMap->pfnGetBaseMap != nullptr ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->pfnDispatch != nullptr;
             ++pEntry) {
            if (pEntry->nMessage == message) {
                return pEntry;
            }
        }
    }
    return nullptr;
}

const AFX_MSGMAP_ENTRY* CWnd::FindCommandEntry(UINT nID) const {
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr;
         pMap = pMap->pfnGetBaseMap != nullptr ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->pfnDispatch != nullptr;
             ++pEntry) {
            if (pEntry->nMessage == WM_COMMAND && pEntry->nID <= nID && nID <= pEntry->nLastID) {
                return pEntry;
            }
        }
    }
    return nullptr;
}

int CWnd::OnCreate(LPCREATESTRUCT) {
    return static_cast<int>(Default());
}
BOOL CWnd::OnEraseBkgnd(CDC*) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnPaint() {
    Default();
}
void CWnd::OnMouseMove(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonUp(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonDblClk(UINT, CPoint) {
    Default();
}
void CWnd::OnKeyDown(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnKeyUp(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnActivate(UINT, CWnd*, BOOL) {
    Default();
}
void CWnd::OnClose() {
    Default();
}
int CWnd::OnMouseActivate(CWnd*, UINT, UINT) {
    return static_cast<int>(Default());
}
void CWnd::OnActivateApp(BOOL, DWORD) {
    Default();
}
void CWnd::OnSetFocus(CWnd*) {
    Default();
}

void CWnd::OnNcDestroy() {
    Default();
    CWinApp* pApp = AfxGetApp();
    if (pApp != nullptr && pApp->m_pMainWnd == this) {
        pApp->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
    Detach();
    PostNcDestroy();
}

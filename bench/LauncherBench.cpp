// Figures for the launcher window on the demo driver disk, headless and in
// this process: start-up until the first paint is done, one hover redraw of
// the menu, one background erase, and a whole repaint as uncovering the
// window causes it (there is no backing store).
#include "app/CLauncherApp.h"
#include "platform/emu/user/Window.h"
#include "platform/emu/user/WindowManager.h"
#include "platform/framework/CClientDC.h"
#include "skin/CLayout.h"
#include "skin/CMenuCollector.h"
#include "skin/CMyFont.h"
#include "skin/CMyMenu.h"
#include "tests/support/TestMachine.h"
#include "window/CSetupWnd.h"

#include <benchmark/benchmark.h>

namespace {

// Whether the window has been painted since it last became invalid.
bool painted(HWND window) {
    const emu::user::Window* found = emu::user::WindowManager::windowOf(window);
    return found != nullptr && found->update().empty();
}

CPoint centreOf(const RECT& rect) {
    return CPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

// Pixels of the item's rectangle in colour: a highlighted label has some.
int pixelsInColour(CWnd* window, const RECT& rect, COLORREF colour) {
    CClientDC dc(window);
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            count += GetPixel(dc.GetSafeHdc(), x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

// The demo's launcher, started once and shown.
class LaunchedDemo {
public:
    LaunchedDemo() {
        m_machine.boot();
        m_app.LoadAppTitle();
        m_started = m_app.InitInstance() != FALSE;
    }
    ~LaunchedDemo() {
        if (m_started) {
            m_app.m_pMainWnd->DestroyWindow();
        }
    }
    bool started() const { return m_started; }
    CSetupWnd* window() const { return static_cast<CSetupWnd*>(m_app.m_pMainWnd); }
    HWND handle() const { return m_app.m_pMainWnd->m_hWnd; }

private:
    corvane_test::TestMachine m_machine{corvane_test::TestMachine::demo()};
    CLauncherApp m_app;
    bool m_started = false;
};

// Boot, InitInstance (create, show, first WM_PAINT through UpdateWindow);
// the tear-down is left out of the time.
void BM_StartUpToFirstPaint(benchmark::State& state) {
    corvane_test::TestMachine machine{corvane_test::TestMachine::demo()};
    for (auto _ : state) {
        machine.boot();
        CLauncherApp app;
        app.LoadAppTitle();
        const BOOL started = app.InitInstance();
        state.PauseTiming();
        if (!started || !painted(app.m_pMainWnd->m_hWnd)) {
            state.SkipWithError("the launcher did not start and paint");
            break;
        }
        app.m_pMainWnd->DestroyWindow();
        machine.shutdown();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpToFirstPaint)->Unit(benchmark::kMillisecond);

// The pointer alternates between the first two items, so each redraw moves
// the highlight, as a real mouse move across the menu does.
void BM_HoverRedraw(benchmark::State& state) {
    LaunchedDemo demo;
    if (!demo.started()) {
        state.SkipWithError("the launcher did not start");
        return;
    }
    CSetupWnd* window = demo.window();
    CMenuCollector* menu = window->GetMenu();
    CMyFont font;
    if (menu->GetItemCount() < 2 || !font.Load(window->GetLayout()->GetIniPath())) {
        state.SkipWithError("the demo menu is not as expected");
        return;
    }
    const CPoint points[2] = {centreOf(menu->GetItem(0)->GetRect()),
                              centreOf(menu->GetItem(1)->GetRect())};
    size_t turn = 0;
    for (auto _ : state) {
        CClientDC dc(window);
        menu->Hover(0, points[turn++ & 1], &dc, &font);
    }
    {
        CClientDC dc(window);
        menu->Hover(0, points[0], &dc, &font);
    }
    if (pixelsInColour(window, menu->GetItem(0)->GetRect(), font.GetFocusColor()) == 0 ||
        pixelsInColour(window, menu->GetItem(1)->GetRect(), font.GetFocusColor()) != 0) {
        state.SkipWithError("the item under the pointer was not highlighted");
    }
    state.SetLabel("CMenuCollector::Hover, client DC included");
}
BENCHMARK(BM_HoverRedraw)->Unit(benchmark::kMicrosecond);

// The same through the window's own handler, message dispatch included.
void BM_HoverRedrawByMessage(benchmark::State& state) {
    LaunchedDemo demo;
    if (!demo.started()) {
        state.SkipWithError("the launcher did not start");
        return;
    }
    CMenuCollector* menu = demo.window()->GetMenu();
    const CPoint points[2] = {centreOf(menu->GetItem(0)->GetRect()),
                              centreOf(menu->GetItem(1)->GetRect())};
    size_t turn = 0;
    for (auto _ : state) {
        const CPoint& point = points[turn++ & 1];
        SendMessageA(demo.handle(), WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
    }
    SendMessageA(demo.handle(), WM_MOUSEMOVE, 0, MAKELPARAM(points[1].x, points[1].y));
    CMyFont font;
    font.Load(demo.window()->GetLayout()->GetIniPath());
    const COLORREF focus = font.GetFocusColor();
    if (pixelsInColour(demo.window(), menu->GetItem(1)->GetRect(), focus) == 0 ||
        pixelsInColour(demo.window(), menu->GetItem(0)->GetRect(), focus) != 0) {
        state.SkipWithError("the item under the pointer was not highlighted");
    }
    state.SetLabel("WM_MOUSEMOVE");
}
BENCHMARK(BM_HoverRedrawByMessage)->Unit(benchmark::kMicrosecond);

// The picture stretched over the whole client area.
void BM_BackgroundErase(benchmark::State& state) {
    LaunchedDemo demo;
    if (!demo.started()) {
        state.SkipWithError("the launcher did not start");
        return;
    }
    for (auto _ : state) {
        const HDC dc = GetDC(demo.handle());
        benchmark::DoNotOptimize(
            SendMessageA(demo.handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0));
        ReleaseDC(demo.handle(), dc);
    }
    RECT client;
    demo.window()->GetClientRect(&client);
    state.SetItemsProcessed(state.iterations() * client.right * client.bottom);
    state.SetLabel("WM_ERASEBKGND; items are pixels");
}
BENCHMARK(BM_BackgroundErase)->Unit(benchmark::kMicrosecond);

// Invalidate and update: erase, then every item and the focus frame.
void BM_WholeRepaint(benchmark::State& state) {
    LaunchedDemo demo;
    if (!demo.started()) {
        state.SkipWithError("the launcher did not start");
        return;
    }
    for (auto _ : state) {
        InvalidateRect(demo.handle(), nullptr, TRUE);
        UpdateWindow(demo.handle());
    }
    if (!painted(demo.handle())) {
        state.SkipWithError("the window was left unpainted");
    }
}
BENCHMARK(BM_WholeRepaint)->Unit(benchmark::kMicrosecond);

} // namespace

// Figures for the launcher's two hot drawing paths: every mouse move redraws
// all menu labels, every background erase stretches the picture.
#include "platform/emu/gdi/ScreenAccess.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

class BenchScreen {
public:
    BenchScreen() {
        emu::MachineConfig config;
        config.screenDepth = 32;
        emu::gdi::bootScreen(config);
        m_dc = emu::gdi::createDeviceContext(POINT{120, 100}, {RECT{0, 0, 800, 600}});
    }
    ~BenchScreen() {
        emu::gdi::destroyDeviceContext(m_dc);
        emu::gdi::shutdownScreen();
    }
    HDC dc() const { return m_dc; }

private:
    HDC m_dc;
};

// An 8-bit bottom-up picture with a 256-entry colour table.
std::vector<uint8_t> makePicture(int width, int height) {
    const size_t stride = ((static_cast<size_t>(width) * 8 + 31) / 32) * 4;
    std::vector<uint8_t> dib(sizeof(BITMAPINFOHEADER) + 1024 + stride * height);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 8;
    std::memcpy(dib.data(), &header, sizeof(header));
    for (int i = 0; i < 256; ++i) {
        uint8_t* q = dib.data() + sizeof(header) + 4 * i;
        q[0] = static_cast<uint8_t>(i);
        q[1] = static_cast<uint8_t>(255 - i);
        q[2] = static_cast<uint8_t>(i * 7);
    }
    uint8_t* bits = dib.data() + sizeof(header) + 1024;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bits[y * stride + x] = static_cast<uint8_t>((x / 3 + y / 2) & 0xFF);
        }
    }
    return dib;
}

void BM_RedrawTenMenuLabels(benchmark::State& state) {
    BenchScreen screen;
    LOGFONTA lf{};
    lf.lfHeight = 20;
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(lf.lfFaceName, "Arial");
    const HFONT font = CreateFontIndirectA(&lf);
    const char* labels[] = {"&Install drivers", "&Chipset update",
                            "&Audio driver",    "&Network driver",
                            "&Graphics driver", "&USB 2.0 driver",
                            "&Read me",         "&Browse disk",
                            "&Restart",         "E&xit"};
    bool focus = false;
    for (auto _ : state) {
        focus = !focus;
        for (int i = 0; i < 10; ++i) {
            SetTextColor(screen.dc(), focus && i == 3 ? RGB(255, 0, 0) : RGB(0, 255, 0));
            const int oldMode = SetBkMode(screen.dc(), TRANSPARENT);
            const HGDIOBJ oldFont = SelectObject(screen.dc(), font);
            RECT r{290, 20 + 30 * i, 450, 40 + 30 * i};
            DrawTextA(screen.dc(), labels[i], -1, &r, DT_SINGLELINE | DT_BOTTOM);
            SelectObject(screen.dc(), oldFont);
            SetBkMode(screen.dc(), oldMode);
        }
    }
    DeleteObject(font);
    state.SetItemsProcessed(state.iterations() * 10);
}
BENCHMARK(BM_RedrawTenMenuLabels);

void BM_StretchPictureOverClientArea(benchmark::State& state) {
    BenchScreen screen;
    const std::vector<uint8_t> dib = makePicture(560, 400);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
    const uint8_t* bits = dib.data() + sizeof(BITMAPINFOHEADER) + 1024;
    SetStretchBltMode(screen.dc(), COLORONCOLOR);
    for (auto _ : state) {
        benchmark::DoNotOptimize(StretchDIBits(screen.dc(), 0, 0, 554, 373, 0, 0, 560, 400, bits,
                                               info, DIB_RGB_COLORS, SRCCOPY));
    }
    state.SetItemsProcessed(state.iterations() * 554 * 373);
}
BENCHMARK(BM_StretchPictureOverClientArea);

} // namespace

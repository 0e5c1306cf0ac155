// Test support: a freshly booted screen and pictures written in memory.
#pragma once

#include "platform/emu/gdi/ScreenAccess.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace corvane_test {

// Boots a machine with a screen of the given size and depth and gives a
// device context that covers all of the screen.
class ScreenFixture : public ::testing::Test {
protected:
    // codePage is the machine's ANSI code page (--codepage); 1252 without it.
    void bootScreen(int width, int height, int depth, std::optional<UINT> codePage = std::nullopt);
    void TearDown() override;

    HDC dc() const { return m_dc; }
    // A copy of every pixel of the screen, row after row.
    std::vector<COLORREF> snapshot() const;
    COLORREF at(const std::vector<COLORREF>& shot, int x, int y) const {
        return shot[static_cast<size_t>(y) * emu::gdi::screen().width() + x];
    }
    // Fills the screen with a pattern where neighbouring pixels differ.
    void paintPattern();
    void fillScreen(COLORREF colour);

private:
    TestMachine m_machine;
    HDC m_dc = nullptr;
};

// A packed DIB (header, colour table, bits) of 1, 4 or 8 bits per pixel.
class PackedDib {
public:
    // index(x, y) gives the colour index of the pixel x, y counted from the top.
    PackedDib(int width, int height, int bitCount, bool topDown,
              const std::function<int(int, int)>& index);

    const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(m_data.data()); }
    BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(m_data.data()); }
    const uint8_t* bits() const { return m_data.data() + m_bitsOffset; }
    // The colour the table gives index i.
    static COLORREF tableColour(int i);

private:
    std::vector<uint8_t> m_data;
    size_t m_bitsOffset = 0;
};

} // namespace corvane_test

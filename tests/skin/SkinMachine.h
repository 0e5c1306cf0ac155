// A booted headless machine for the skin tests: the driver disk is D: and the
// current directory, layout.ini and pictures are written there, and the
// whole screen serves as the drawing surface.
#pragma once

#include "platform/framework/CDC.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane_test {

// The screen's device context (GetDC(NULL)), released with the object.
class ScreenDC : public CDC {
public:
    ScreenDC();
    ~ScreenDC() override;
};

// A rectangle of screen pixels, for comparing before and after.
struct ScreenArea {
    RECT rect;
    std::vector<COLORREF> pixels;
    bool operator==(const ScreenArea& other) const;
};

class SkinMachine : public ::testing::Test {
protected:
    void SetUp() override { bootMachine(32); }

    // Boots (again) with a display of the given bits per pixel.
    void bootMachine(int depth);

    static constexpr const char* kIniPath = "D:\\layout.ini";
    void writeLayout(const std::string& text) const { m_machine.writeDisk("layout.ini", text); }
    void writeDiskFile(const std::string& name, const std::string& bytes) const {
        m_machine.writeDisk(name, bytes);
    }

    static COLORREF pixel(int x, int y);
    static ScreenArea capture(const RECT& rect);
    // Fills a screen rectangle with one colour.
    static void fill(const RECT& rect, COLORREF colour);

    TestMachine m_machine;
};

} // namespace corvane_test

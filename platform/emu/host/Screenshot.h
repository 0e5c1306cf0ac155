// Writes the whole emulated screen as a PNG file (8-bit RGB).
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace emu::host {

// Pixels as 8-bit red, green and blue, row by row from the top.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

class Screenshot {
public:
    // False, with a reason in error, when the file cannot be written.
    static bool write(const std::string& hostPath, std::string& error);
    // The part of the screen inside area (screen coordinates, clipped to it).
    static RgbImage grab(const RECT& area);
    // Replaces the file with the picture whole, or leaves it as it was.
    static bool writePng(const std::string& hostPath, const RgbImage& image, std::string& error);
    // Whether bytes start as a PNG file does.
    static bool isPng(std::string_view bytes);
};

} // namespace emu::host

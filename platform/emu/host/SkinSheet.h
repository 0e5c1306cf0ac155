// setup --sheet FILE.png: one picture of the launcher window for a driver
// disk's documentation, as it looks on a 16-colour display (left) and on a
// 256-colour display (right), each with the focus frame on the first item
// and the mouse over the second. Each half comes from a machine of its own
// booted at that depth, with the window made and painted by its own code.
#pragma once

#include "platform/emu/host/HostOptions.h"
#include "platform/emu/host/Screenshot.h"

#include <string>

namespace emu::host {

class SkinSheet {
public:
    // The depths shown, left to right.
    static constexpr int kDepths[] = {4, 8};
    // Pixels between and around the two windows.
    static constexpr int kMargin = 16;

    // Writes the sheet to options.sheetFile; false with the reason in error.
    static bool write(const HostOptions& options, std::string& error);

    // The launcher window on a machine of that depth, as the screen shows it.
    static bool windowAtDepth(const MachineConfig& machine, int depth, RgbImage& image,
                              std::string& error);
    // The images side by side on a light grey ground, tops aligned.
    static RgbImage sideBySide(const RgbImage& left, const RgbImage& right);
};

} // namespace emu::host

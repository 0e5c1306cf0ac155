// setup --sheet FILE.png: one picture of the launcher window for a driver
// disk's documentation, as it looks on a 16-colour display (left) and on a
// 256-colour display (right), each with the focus frame on the first item
// and the mouse over the second. Each half comes from a machine of its own
// booted at that depth, with the window made and painted by its own code.
#pragma once

#include "platform/emu/host/HostOptions.h"
#include "platform/emu/host/Screenshot.h"

#include <string>

namespace loader::author {

class SkinSheet {
public:
    // The depths shown, left to right.
    static constexpr int kDepths[] = {4, 8};
    // Pixels between and around the two windows.
    static constexpr int kMargin = 16;

    // Writes the sheet to the host file file, a new one or a PNG picture,
    // which it replaces whole (a new file renamed into place); false with the
    // reason in error, and the file unchanged.
    static bool write(const emu::host::HostOptions& options, const std::string& file,
                      std::string& error);

    // Whether file may take the sheet: it is missing, or a PNG picture (not
    // a layout.ini named by mistake); false with the reason in error.
    static bool mayReplace(const std::string& file, std::string& error);
    // The launcher window on a machine of that depth, as the screen shows it.
    static bool windowAtDepth(const emu::MachineConfig& machine, int depth,
                              emu::host::RgbImage& image, std::string& error);
    // The images side by side on a light grey ground, tops aligned.
    static emu::host::RgbImage sideBySide(const emu::host::RgbImage& left,
                                          const emu::host::RgbImage& right);
};

} // namespace loader::author

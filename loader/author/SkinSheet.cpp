#include "loader/author/SkinSheet.h"

#include "loader/ProgramResources.h"
#include "loader/author/ProgramWindow.h"
#include "platform/emu/Machine.h"
#include "platform/emu/user/controls/MessageBox.h"
#include "skin/CMenuCollector.h"
#include "skin/CMyMenu.h"
#include "window/CSetupWnd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include <sys/stat.h>

namespace loader::author {

namespace {

const uint8_t kGround = 0xC0;

void paste(emu::host::RgbImage& onto, const emu::host::RgbImage& image, int left, int top) {
    for (int y = 0; y < image.height; ++y) {
        auto from = image.rgb.begin() + static_cast<long>(y) * image.width * 3;
        auto to = onto.rgb.begin() + (static_cast<long>(top + y) * onto.width + left) * 3;
        std::copy(from, from + image.width * 3, to);
    }
}

} // namespace

emu::host::RgbImage SkinSheet::sideBySide(const emu::host::RgbImage& left,
                                          const emu::host::RgbImage& right) {
    emu::host::RgbImage sheet;
    sheet.width = left.width + right.width + 3 * kMargin;
    sheet.height = std::max(left.height, right.height) + 2 * kMargin;
    sheet.rgb.assign(static_cast<size_t>(sheet.width) * sheet.height * 3, kGround);
    paste(sheet, left, kMargin, kMargin);
    paste(sheet, right, 2 * kMargin + left.width, kMargin);
    return sheet;
}

bool SkinSheet::windowAtDepth(const emu::MachineConfig& machine, int depth,
                              emu::host::RgbImage& image, std::string& error) {
    emu::MachineConfig config = machine;
    config.headless = true;
    config.screenDepth = depth;
    try {
        emu::boot(config);
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    registerProgramResources();
    // A message box (layout.ini missing) would wait for an answer no one gives.
    std::string told;
    emu::user::MessageBox::setAnswerer([&told](const std::string& text, const std::string&, UINT) {
        told = text;
        return IDOK;
    });
    CSetupWnd* window = ProgramWindow::create(error);
    emu::user::MessageBox::setAnswerer(nullptr);
    if (window == nullptr) {
        error += told.empty() ? "" : ": " + told;
        emu::shutdown();
        return false;
    }
    window->CenterWindow(nullptr);
    window->ShowWindow(SW_SHOW);
    window->UpdateWindow();
    CMenuCollector* menu = window->GetMenu();
    if (menu->GetItemCount() >= 2) {
        const RECT& item = menu->GetItem(1)->GetRect();
        window->SendMessage(WM_MOUSEMOVE, 0,
                            MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2));
    }
    RECT frame;
    GetWindowRect(window->GetSafeHwnd(), &frame);
    image = emu::host::Screenshot::grab(frame);
    window->DestroyWindow();
    emu::shutdown();
    return true;
}

bool SkinSheet::mayReplace(const std::string& file, std::string& error) {
    struct stat entry;
    if (lstat(file.c_str(), &entry) != 0) {
        if (errno == ENOENT) {
            return true;
        }
        error = "cannot write " + file + ": " + std::strerror(errno);
        return false;
    }
    char start[8] = {};
    std::ifstream in(file, std::ios::binary);
    in.read(start, sizeof start);
    if (!S_ISREG(entry.st_mode) ||
        !emu::host::Screenshot::isPng(std::string_view(start, static_cast<size_t>(in.gcount())))) {
        error = file + " is not a PNG picture; --sheet replaces only a picture";
        return false;
    }
    return true;
}

bool SkinSheet::write(const emu::host::HostOptions& options, const std::string& file,
                      std::string& error) {
    if (!mayReplace(file, error)) {
        return false;
    }
    emu::host::RgbImage halves[2];
    for (int i = 0; i < 2; ++i) {
        if (!windowAtDepth(options.machine, kDepths[i], halves[i], error)) {
            error = std::to_string(1 << kDepths[i]) + " colours: " + error;
            return false;
        }
    }
    return emu::host::Screenshot::writePng(file, sideBySide(halves[0], halves[1]), error);
}

} // namespace loader::author

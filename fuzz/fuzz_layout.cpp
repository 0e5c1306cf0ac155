// layout.ini as the launcher window reads it: the layout, the picture it
// names, the menu font and the menu, then the menu painted, hovered, clicked
// and driven by the keys, all on the screen of a headless machine.
#include "fuzz/Check.h"
#include "fuzz/CommandTarget.h"
#include "fuzz/FuzzMachine.h"
#include "fuzz/ScreenDC.h"
#include "skin/CLayout.h"
#include "skin/CMenuCollector.h"
#include "skin/CMyBitmap.h"
#include "skin/CMyFont.h"
#include "skin/CMyMenu.h"

#include <cstdint>
#include <string>

using corvane_fuzz::check;
using corvane_fuzz::CommandTarget;
using corvane_fuzz::FuzzMachine;
using corvane_fuzz::ScreenDC;

namespace {

// A 16 x 8 two-colour picture, D:\SKIN.BMP, for layouts that name it.
void writeSkinPicture(const FuzzMachine& machine) {
    const int width = 16, height = 8, stride = 4, colours = 2;
    const int offset = 14 + 40 + 4 * colours;
    const int fileSize = offset + stride * height;
    std::string bytes = "BM";
    auto put = [&bytes](uint32_t value, int count) {
        for (int i = 0; i < count; ++i) {
            bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    put(fileSize, 4), put(0, 4), put(offset, 4);
    put(40, 4), put(width, 4), put(height, 4), put(1, 2), put(1, 2);
    put(0, 4), put(stride * height, 4), put(0, 4), put(0, 4), put(colours, 4), put(0, 4);
    put(0x00204080, 4), put(0x00F0E0D0, 4);
    for (int row = 0; row < height; ++row) {
        put(row % 2 == 0 ? 0x0000F00Fu : 0x00000FF0u, 4);
    }
    machine.write(machine.onDisk("SKIN.BMP"), bytes);
}

CPoint centre(const RECT& rect) {
    // Wide: items placed by huge gaps lie anywhere in the coordinate space.
    return CPoint(static_cast<int>((int64_t{rect.left} + rect.right) / 2),
                  static_cast<int>((int64_t{rect.top} + rect.bottom) / 2));
}

// Every hover and key redraws the whole menu: a few of each reach every
// path (wrap-around included for short menus) and keep the runs fast.
void driveMenu(CMenuCollector& menu, CMyFont& font, CDC& dc, CWnd* target) {
    const int kSteps = 4;
    menu.Paint(&dc, &font);
    for (int i = 0; i < menu.GetItemCount() && i < kSteps; ++i) {
        CMyMenu* item = menu.GetItem(i);
        check(item != nullptr);
        menu.Hover(0, centre(item->GetRect()), &dc, &font);
    }
    menu.Hover(0, CPoint(-5, -5), &dc, &font);
    menu.Click(target, 0, centre(menu.GetItem(0)->GetRect()), &dc, &font);
    for (int i = 0; i < kSteps; ++i) {
        menu.Key(target, i % 2 == 0 ? VK_UP : VK_DOWN, &dc);
        menu.Key(target, VK_UP, &dc);
    }
    menu.Key(target, 'A', &dc);
    check(menu.GetFocusIndex() >= 0 && menu.GetFocusIndex() < menu.GetItemCount());
    menu.Key(target, VK_RETURN, &dc);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) {
        return 0;
    }
    FuzzMachine& machine = FuzzMachine::instance();
    static const bool pictureWritten = (writeSkinPicture(machine), true);
    static CommandTarget target;
    (void)pictureWritten;
    machine.write(machine.onDisk("layout.ini"), data, size);

    // The skin outlives the device context, as the window's does its paint
    // contexts: a palette or font can only go once no context holds it.
    CLayout layout;
    CMyBitmap bitmap;
    CMyFont font;
    CMenuCollector menu;
    ScreenDC dc;
    check(layout.Load() == 1);
    bool pictured = bitmap.Load(layout.GetBitmapFileName(&dc), &dc) == 1;
    RECT sizeRect = layout.GetSizeRect();
    if (pictured) {
        bitmap.Draw(&dc, RECT{0, 0, 64, 48});
        if (sizeRect.right == 0 && sizeRect.bottom == 0) {
            sizeRect = bitmap.GetPictureRect();
        }
    }
    CString caption;
    layout.GetCaption(caption);
    if (font.Load(layout.GetIniPath()) == 1 &&
        menu.Load(layout.GetIniPath(), &dc, &font, layout.GetAlignment(), sizeRect) == 1) {
        driveMenu(menu, font, dc, target.wnd());
    }
    target.drain();
    return 0;
}

#include "fuzz/BitmapInput.h"

#include "fuzz/Check.h"
#include "fuzz/FuzzMachine.h"
#include "fuzz/ScreenDC.h"
#include "skin/CMyBitmap.h"

namespace corvane_fuzz {

void runBitmapInput(const uint8_t* data, size_t size, int screenDepth) {
    if (size > 1 << 20) {
        return;
    }
    FuzzMachine& machine = FuzzMachine::instance(screenDepth);
    machine.write(machine.onDisk("PIC.BMP"), data, size);

    // The picture outlives the device context, as the window's does its
    // paint contexts: its palette can only go once no context holds it.
    CMyBitmap bitmap;
    ScreenDC dc;
    if (bitmap.Load("PIC.BMP", &dc) != 1) {
        return;
    }
    RECT picture = bitmap.GetPictureRect();
    check(picture.right > 0 && picture.bottom > 0);
    // The client rectangle: from bytes of the file header's reserved words,
    // which the loader ignores, so the choice does not hide the picture.
    int width = 1 + data[6] % 160;
    int height = 1 + data[7] % 120;
    int left = data[8] % 32 - 8;
    bitmap.Draw(&dc, RECT{left, left, left + width, left + height});
    bitmap.Draw(&dc, picture);
}

} // namespace corvane_fuzz

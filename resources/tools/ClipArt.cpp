#include "resources/tools/ClipArt.h"

namespace cliptool {

namespace {

enum Vga : uint8_t {
    kBlack = 0,
    kOlive = 3,
    kSilver = 7,
    kGrey = 8,
    kYellow = 11,
    kMagenta = 13,
    kWhite = 15,
};

constexpr int kFolderWidth = 36;
constexpr int kFolderTop = 14;
constexpr int kFolderBottom = 38;
constexpr int kPocketTop = kFolderTop + 6;
constexpr int kSheetWidth = 13;
constexpr int kSheetHeight = 16;
constexpr int kLeftFolder = 2;
constexpr int kRightFolder = ClipArt::kWidth - 2 - kFolderWidth;

} // namespace

void Picture::set(int x, int y, uint8_t index) {
    if (x >= 0 && y >= 0 && x < width && y < height) {
        pixels[static_cast<size_t>(y) * width + x] = index;
    }
}

void Picture::fill(int left, int top, int right, int bottom, uint8_t index) {
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            set(x, y, index);
        }
    }
}

const std::array<Rgb, 16>& ClipArt::vgaColours() {
    static const std::array<Rgb, 16> colours = {{
        {0, 0, 0},
        {128, 0, 0},
        {0, 128, 0},
        {128, 128, 0},
        {0, 0, 128},
        {128, 0, 128},
        {0, 128, 128},
        {192, 192, 192},
        {128, 128, 128},
        {255, 0, 0},
        {0, 255, 0},
        {255, 255, 0},
        {0, 0, 255},
        {255, 0, 255},
        {0, 255, 255},
        {255, 255, 255},
    }};
    return colours;
}

// A yellow panel outlined in black, lit along its top, shaded at the bottom
// and on the right.
void ClipArt::drawPanel(Picture& picture, int left, int top) {
    const int right = left + kFolderWidth;
    picture.fill(left, top, right, kFolderBottom, kBlack);
    picture.fill(left + 1, top + 1, right - 1, kFolderBottom - 1, kYellow);
    picture.fill(left + 1, top + 1, right - 1, top + 2, kWhite);
    picture.fill(left + 1, kFolderBottom - 3, right - 1, kFolderBottom - 1, kOlive);
    picture.fill(right - 3, top + 2, right - 1, kFolderBottom - 1, kOlive);
}

// The back of an open folder, with its tab on the upper left.
void ClipArt::drawFolder(Picture& picture, int left) {
    const int tabTop = kFolderTop - 4;
    picture.fill(left + 1, tabTop, left + 15, kFolderTop + 1, kBlack);
    picture.fill(left + 2, tabTop + 1, left + 14, kFolderTop + 1, kYellow);
    drawPanel(picture, left, kFolderTop);
}

// A written sheet with a folded corner on the upper right.
void ClipArt::drawSheet(Picture& picture, int left, int top) {
    const int right = left + kSheetWidth;
    const int bottom = top + kSheetHeight;
    picture.fill(left, top, right, bottom, kBlack);
    picture.fill(left + 1, top + 1, right - 1, bottom - 1, kWhite);
    for (int line = top + 4; line < bottom - 2; line += 2) {
        picture.fill(left + 3, line, right - 3, line + 1, kSilver);
    }
    for (int i = 0; i < 4; ++i) {
        picture.fill(right - 4 + i, top + i, right, top + i + 1, kMagenta);
        picture.set(right - 5 + i, top + i, kBlack);
    }
    picture.fill(right - 5, top + 4, right - 1, top + 5, kGrey);
    picture.fill(right - 2, top + 1, right - 1, top + 5, kGrey);
}

Picture ClipArt::frame(int index) {
    Picture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.pixels.assign(static_cast<size_t>(kWidth) * kHeight, kMagenta);
    drawFolder(picture, kLeftFolder);
    drawFolder(picture, kRightFolder);
    // A parabola through both folders, highest half-way; whole numbers keep
    // every build of the clip identical.
    const int last = kFrames - 1;
    const int startX = kLeftFolder + 8;
    const int endX = kRightFolder + kFolderWidth - 8 - kSheetWidth;
    const int x = startX + (endX - startX) * index / last;
    const int restTop = kFolderTop - 6;
    const int y = restTop - 7 * 4 * index * (last - index) / (last * last);
    drawSheet(picture, x, y);
    // The folders' front flaps hide the lower part of a sheet that sits in one.
    drawPanel(picture, kLeftFolder, kPocketTop);
    drawPanel(picture, kRightFolder, kPocketTop);
    return picture;
}

} // namespace cliptool

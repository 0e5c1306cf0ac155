#include "platform/emu/host/Screenshot.h"

#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/kernel/FileSystem.h"

#include <png.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace emu::host {

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* bytes = static_cast<std::string*>(png_get_io_ptr(png));
    bytes->append(reinterpret_cast<const char*>(data), size);
}

void noFlush(png_structp) {}

// libpng reports errors by longjmp; kept in a function of plain C data only.
bool encode(std::string* bytes, const std::vector<png_byte>& rgb, int width, int height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, bytes, appendBytes, noFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, rgb.data() + static_cast<size_t>(y) * width * 3);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

RgbImage Screenshot::grab(const RECT& area) {
    gdi::FrameBuffer& surface = gdi::screen();
    std::lock_guard<std::mutex> lock(surface.mutex());
    int left = std::max<int>(area.left, 0);
    int top = std::max<int>(area.top, 0);
    int right = std::min<int>(area.right, surface.width());
    int bottom = std::min<int>(area.bottom, surface.height());
    RgbImage image;
    image.width = std::max(right - left, 0);
    image.height = std::max(bottom - top, 0);
    image.rgb.reserve(static_cast<size_t>(image.width) * image.height * 3);
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            COLORREF c = surface.at(x, y);
            image.rgb.push_back(GetRValue(c));
            image.rgb.push_back(GetGValue(c));
            image.rgb.push_back(GetBValue(c));
        }
    }
    return image;
}

bool Screenshot::write(const std::string& hostPath, std::string& error) {
    RECT whole = {0, 0, 0, 0};
    {
        gdi::FrameBuffer& surface = gdi::screen();
        std::lock_guard<std::mutex> lock(surface.mutex());
        whole.right = surface.width();
        whole.bottom = surface.height();
    }
    return writePng(hostPath, grab(whole), error);
}

bool Screenshot::writePng(const std::string& hostPath, const RgbImage& image, std::string& error) {
    // The whole picture is made in memory first; then it replaces the file
    // in one rename, so a write that fails (a full disk) leaves the old file.
    std::string bytes;
    if (!encode(&bytes, image.rgb, image.width, image.height)) {
        error = "cannot encode screenshot " + hostPath;
        return false;
    }
    if (!kernel::replaceFileAtomically(hostPath, bytes)) {
        error = "cannot write screenshot " + hostPath;
        return false;
    }
    return true;
}

bool Screenshot::isPng(std::string_view bytes) {
    static constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
    return bytes.substr(0, kSignature.size()) == kSignature;
}

} // namespace emu::host

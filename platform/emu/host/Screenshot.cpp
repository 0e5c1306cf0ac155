#include "platform/emu/host/Screenshot.h"

#include "platform/emu/gdi/Screen.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

namespace emu::host {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::vector<png_byte> copyScreen(int& width, int& height) {
    gdi::Surface& surface = gdi::screen();
    std::lock_guard<std::mutex> lock(surface.mutex());
    width = surface.width();
    height = surface.height();
    std::vector<png_byte> rgb(static_cast<size_t>(width) * height * 3);
    size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            COLORREF c = surface.at(x, y);
            rgb[i++] = GetRValue(c);
            rgb[i++] = GetGValue(c);
            rgb[i++] = GetBValue(c);
        }
    }
    return rgb;
}

// libpng reports errors by longjmp; kept in a function of plain C data only.
bool encode(std::FILE* file, const std::vector<png_byte>& rgb, int width, int height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
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

bool Screenshot::write(const std::string& hostPath, std::string& error) {
    int width = 0;
    int height = 0;
    std::vector<png_byte> rgb = copyScreen(width, height);
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(hostPath.c_str(), "wb"));
    if (!file) {
        error = "cannot write screenshot " + hostPath;
        return false;
    }
    if (!encode(file.get(), rgb, width, height)) {
        error = "cannot encode screenshot " + hostPath;
        return false;
    }
    return true;
}

} // namespace emu::host

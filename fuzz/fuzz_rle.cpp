// Run-length data (BI_RLE8 and BI_RLE4) applied to a picture with padded
// rows, as DIBs and animation clip frames are decoded. The first three bytes
// choose the width, the height, the row padding and the packing.
#include "fuzz/Check.h"
#include "platform/emu/gdi/RunLengthDecoder.h"

#include <vector>

namespace {

constexpr uint8_t kUntouched = 0xA5;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3 || size > 1 << 16) {
        return 0;
    }
    using emu::gdi::RunLengthDecoder;
    const int width = 1 + data[0] % 64;
    const int height = 1 + data[1] % 64;
    const size_t stride = static_cast<size_t>(width) + data[2] % 4;
    const auto packing =
        data[2] & 0x80 ? RunLengthDecoder::Packing::Nibbles : RunLengthDecoder::Packing::Bytes;
    std::vector<uint8_t> pixels(stride * height, kUntouched);
    RunLengthDecoder(pixels.data(), width, height, stride, packing).apply(data + 3, size - 3);
    // Nothing lands in the padding past a row's last pixel, and four-bit data
    // sets four-bit indices only.
    for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
        for (size_t x = 0; x < stride; ++x) {
            const uint8_t pixel = pixels[y * stride + x];
            corvane_fuzz::check(x < static_cast<size_t>(width) || pixel == kUntouched);
            corvane_fuzz::check(packing == RunLengthDecoder::Packing::Bytes ||
                                pixel == kUntouched || pixel < 16);
        }
    }
    return 0;
}

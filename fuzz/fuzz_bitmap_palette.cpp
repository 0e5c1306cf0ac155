// The background picture on a 256-colour palette display, where loading
// realises the picture's palette and drawing maps through it.
#include "fuzz/BitmapInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvane_fuzz::runBitmapInput(data, size, 8);
    return 0;
}

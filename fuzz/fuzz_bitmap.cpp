// The background picture on a true-colour display.
#include "fuzz/BitmapInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvane_fuzz::runBitmapInput(data, size, 32);
    return 0;
}

// The animation control's clip reader: any bytes are loaded; an accepted clip
// has every frame decoded to its stated size and every pixel readable.
#include "fuzz/Check.h"
#include "platform/emu/user/controls/AviClip.h"

#include <string>

using corvane_fuzz::check;
using emu::user::AviClip;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string why;
    std::unique_ptr<AviClip> clip = AviClip::load(data, size, why);
    if (!clip) {
        check(!why.empty());
        return 0;
    }
    check(clip->width() > 0 && clip->width() <= AviClip::kMaxSide);
    check(clip->height() > 0 && clip->height() <= AviClip::kMaxSide);
    check(clip->frameCount() > 0 && clip->frameCount() <= AviClip::kMaxFrames);
    check(clip->stride() >= clip->width() && clip->stride() % 4 == 0);
    check(!clip->colours().empty() && clip->colours().size() <= 256);
    // The first and last pixel of every frame: reading them must stay inside
    // the frame's own bytes.
    volatile uint8_t seen = 0;
    for (int frame = 0; frame < clip->frameCount(); ++frame) {
        seen = seen ^ clip->pixel(frame, 0, 0) ^
               clip->pixel(frame, clip->width() - 1, clip->height() - 1);
    }
    return 0;
}

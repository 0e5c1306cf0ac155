// The progress dialog's clip, animation resource 132: a RIFF AVI of 17 run-
// length encoded frames (260 x 40, 16 colours, 10 frames a second) showing a
// sheet of paper flying from one folder to another. Made by
// resources/tools/make_clip.cpp.
#pragma once

#include <cstddef>

const unsigned char* progressClip();
size_t progressClipSize();

// The background picture of a new driver disk until its author draws one: a
// Windows BMP of the window's size in the form the program loads (an
// uncompressed 40-byte header, 4 bits per pixel for 16-colour displays or 8
// for 256), dark enough for light menu text, with a frame and a band on the
// side away from the menu.
#pragma once

#include <string>

namespace loader::author {

class PlaceholderPicture {
public:
    // The file's bytes; bitCount is 4 or 8, width and height at least 16.
    static std::string bmp(int width, int height, int bitCount);
};

} // namespace loader::author

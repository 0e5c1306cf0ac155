// Writes the progress dialog's clip (resource 132) as the AVI file that the
// resource script names:
//   cmake --build build/dev --target make_clip
//   build/dev/resources/tools/make_clip resources/ProgressClip.avi
#include "resources/tools/AviWriter.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_clip CLIP.avi\n");
        return 2;
    }
    std::vector<uint8_t> clip = cliptool::buildProgressClip();
    if (!writeFile(argv[1], std::string(clip.begin(), clip.end()))) {
        std::fprintf(stderr, "make_clip: cannot write the clip\n");
        return 1;
    }
    std::printf("%zu bytes\n", clip.size());
    return 0;
}

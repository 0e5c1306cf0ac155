#include "loader/ProgramResources.h"
#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/user/controls/AviClip.h"
#include "resources/resource.h"
#include "resources/tools/AviWriter.h"
#include "resources/tools/ClipArt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using cliptool::ClipArt;
using emu::user::AviClip;

namespace {

using Bytes = std::vector<uint8_t>;

// Clip 132 as the program's module carries it.
Bytes embeddedClip() {
    loader::registerProgramResources();
    return emu::kernel::moduleResources().clips.at(IDR_CLIP);
}

std::unique_ptr<AviClip> load(const Bytes& bytes, std::string& why) {
    return AviClip::load(bytes.data(), bytes.size(), why);
}

size_t find(const Bytes& bytes, const char* fourCc, size_t from = 0) {
    for (size_t i = from; i + 4 <= bytes.size(); ++i) {
        if (std::memcmp(&bytes[i], fourCc, 4) == 0) {
            return i;
        }
    }
    ADD_FAILURE() << fourCc << " not found";
    return 0;
}

void put32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void put16(Bytes& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

// Replaces the end-of-picture mark that closes the first frame's data.
void endFirstFrameWith(Bytes& bytes, uint8_t first, uint8_t second) {
    size_t at = find(bytes, "00dc");
    size_t size = bytes[at + 4] | bytes[at + 5] << 8;
    ASSERT_EQ(bytes[at + 8 + size - 2], 0);
    ASSERT_EQ(bytes[at + 8 + size - 1], 1);
    bytes[at + 8 + size - 2] = first;
    bytes[at + 8 + size - 1] = second;
}

uint32_t get32(const Bytes& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// Wraps everything inside the movie list in depth nested "rec " lists.
void nestMovieInRecords(Bytes& bytes, size_t depth) {
    size_t type = find(bytes, "movi");
    size_t begin = type + 4;
    size_t end = type + get32(bytes, type - 4);
    size_t inner = end - begin;
    Bytes headers;
    for (size_t level = 0; level < depth; ++level) {
        size_t size = 4 + 12 * (depth - 1 - level) + inner;
        headers.insert(headers.end(), {'L', 'I', 'S', 'T', 0, 0, 0, 0, 'r', 'e', 'c', ' '});
        put32(headers, headers.size() - 8, static_cast<uint32_t>(size));
    }
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(begin), headers.begin(),
                 headers.end());
    put32(bytes, type - 4, get32(bytes, type - 4) + static_cast<uint32_t>(headers.size()));
    put32(bytes, 4, get32(bytes, 4) + static_cast<uint32_t>(headers.size()));
}

// Offset of the BITMAPINFOHEADER inside the stream format chunk.
size_t formatAt(const Bytes& bytes) {
    return find(bytes, "strf") + 8;
}

} // namespace

TEST(Clip, TheEmbeddedClipIsWhatTheGeneratorMakes) {
    const Bytes clip = embeddedClip();
    EXPECT_EQ(clip, cliptool::buildProgressClip())
        << "resources/ProgressClip.avi is stale: run the make_clip tool (resources/tools)";
    // Comparable to the 9,484 bytes of the clip it stands in for.
    EXPECT_GT(clip.size(), 8000u);
    EXPECT_LT(clip.size(), 11000u);
}

TEST(Clip, DecodingRebuildsEveryFrameOfTheGenerator) {
    std::string why;
    auto clip = load(embeddedClip(), why);
    ASSERT_NE(clip, nullptr) << why;
    ASSERT_EQ(clip->width(), 260);
    ASSERT_EQ(clip->height(), 40);
    ASSERT_EQ(clip->frameCount(), 17);
    EXPECT_EQ(clip->microsecondsPerFrame(), 100000u);
    const auto& vga = ClipArt::vgaColours();
    ASSERT_EQ(clip->colours().size(), vga.size());
    for (size_t i = 0; i < vga.size(); ++i) {
        EXPECT_EQ(clip->colours()[i].rgbRed, vga[i].red);
        EXPECT_EQ(clip->colours()[i].rgbGreen, vga[i].green);
        EXPECT_EQ(clip->colours()[i].rgbBlue, vga[i].blue);
    }
    for (int f = 0; f < clip->frameCount(); ++f) {
        cliptool::Picture expected = ClipArt::frame(f);
        int mismatches = 0;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 260; ++x) {
                mismatches += clip->pixel(f, x, y) != expected.at(x, y);
            }
        }
        EXPECT_EQ(mismatches, 0) << "frame " << f;
        const RGBQUAD& corner = clip->colours()[clip->pixel(f, 0, 0)];
        EXPECT_EQ(RGB(corner.rgbRed, corner.rgbGreen, corner.rgbBlue), RGB(255, 0, 255));
    }
    // The sheet moves: no two frames alike.
    for (int f = 1; f < clip->frameCount(); ++f) {
        EXPECT_NE(std::memcmp(clip->frameBits(f - 1), clip->frameBits(f), 260 * 40), 0) << f;
    }
}

TEST(Clip, UncompressedFramesAreRead) {
    std::vector<cliptool::EncodedFrame> frames;
    for (int f = 0; f < 3; ++f) {
        cliptool::Picture picture = ClipArt::frame(f * 8);
        cliptool::EncodedFrame frame;
        frame.key = true;
        for (int y = picture.height - 1; y >= 0; --y) {
            for (int x = 0; x < picture.width; ++x) {
                frame.data.push_back(picture.at(x, y));
            }
        }
        frames.push_back(frame);
    }
    const auto& vga = ClipArt::vgaColours();
    cliptool::AviWriter writer(260, 40, 50000, {vga.begin(), vga.end()}, cliptool::AviWriter::kRgb);
    std::string why;
    auto clip = load(writer.write(frames), why);
    ASSERT_NE(clip, nullptr) << why;
    ASSERT_EQ(clip->frameCount(), 3);
    EXPECT_EQ(clip->microsecondsPerFrame(), 50000u);
    cliptool::Picture last = ClipArt::frame(16);
    for (int y = 0; y < 40; y += 3) {
        for (int x = 0; x < 260; x += 7) {
            ASSERT_EQ(clip->pixel(2, x, y), last.at(x, y)) << x << "," << y;
        }
    }
}

TEST(Clip, FramesInsideRecordListsAreFound) {
    for (size_t depth : {1, 8}) {
        Bytes bytes = embeddedClip();
        nestMovieInRecords(bytes, depth);
        std::string why;
        auto clip = load(bytes, why);
        ASSERT_NE(clip, nullptr) << depth << ": " << why;
        EXPECT_EQ(clip->frameCount(), load(embeddedClip(), why)->frameCount()) << depth;
    }
}

TEST(Clip, DamagedOrUnsupportedClipsAreRefused) {
    const Bytes good = embeddedClip();
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
    };
    const Case cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }},
        {"header only", [](Bytes& b) { b.resize(11); }},
        {"cut in the headers", [](Bytes& b) { b.resize(200); }},
        {"cut in half", [](Bytes& b) { b.resize(b.size() / 2); }},
        {"last byte missing", [](Bytes& b) { b.pop_back(); }},
        {"not RIFF", [](Bytes& b) { std::memcpy(b.data(), "RIFX", 4); }},
        {"not AVI", [](Bytes& b) { std::memcpy(b.data() + 8, "WAVE", 4); }},
        {"RIFF size past the end", [](Bytes& b) { put32(b, 4, static_cast<uint32_t>(b.size())); }},
        {"movie list past its parent",
         [](Bytes& b) { put32(b, find(b, "movi") - 4, static_cast<uint32_t>(b.size())); }},
        {"frame chunk past its list", [](Bytes& b) { put32(b, find(b, "00dc") + 4, 0x00FFFFFFu); }},
        {"no video stream", [](Bytes& b) { std::memcpy(&b[find(b, "vids")], "auds", 4); }},
        {"main header too short", [](Bytes& b) { put32(b, find(b, "avih") + 4, 8); }},
        {"compression RLE4", [](Bytes& b) { put32(b, formatAt(b) + 16, BI_RLE4); }},
        {"compression bitfields", [](Bytes& b) { put32(b, formatAt(b) + 16, BI_BITFIELDS); }},
        {"4 bits per pixel", [](Bytes& b) { put16(b, formatAt(b) + 14, 4); }},
        {"24 bits per pixel", [](Bytes& b) { put16(b, formatAt(b) + 14, 24); }},
        {"width 0", [](Bytes& b) { put32(b, formatAt(b) + 4, 0); }},
        {"height 0", [](Bytes& b) { put32(b, formatAt(b) + 8, 0); }},
        {"width 5000", [](Bytes& b) { put32(b, formatAt(b) + 4, 5000); }},
        {"height 70000", [](Bytes& b) { put32(b, formatAt(b) + 8, 70000); }},
        {"top-down height",
         [](Bytes& b) { put32(b, formatAt(b) + 8, static_cast<uint32_t>(-40)); }},
        {"colour table past the chunk", [](Bytes& b) { put32(b, formatAt(b) + 32, 200); }},
        {"more frames announced", [](Bytes& b) { put32(b, find(b, "avih") + 8 + 16, 18); }},
        {"no frames announced", [](Bytes& b) { put32(b, find(b, "avih") + 8 + 16, 0); }},
        {"run data cut inside an escape", [](Bytes& b) { endFirstFrameWith(b, 0, 2); }},
        {"absolute run longer than the data", [](Bytes& b) { endFirstFrameWith(b, 0, 200); }},
        {"record lists nested past any stack", [](Bytes& b) { nestMovieInRecords(b, 200000); }},
        {"record lists nested nine deep", [](Bytes& b) { nestMovieInRecords(b, 9); }},
    };
    for (const Case& c : cases) {
        Bytes bytes = good;
        c.damage(bytes);
        std::string why;
        EXPECT_EQ(load(bytes, why), nullptr) << c.what;
        EXPECT_FALSE(why.empty()) << c.what;
    }
}

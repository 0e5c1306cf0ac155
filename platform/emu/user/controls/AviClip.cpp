#include "platform/emu/user/controls/AviClip.h"

#include "platform/emu/gdi/RunLengthDecoder.h"
#include "platform/emu/kernel/ByteReader.h"
#include "platform/emu/user/controls/RiffReader.h"

#include <cstdlib>

namespace emu::user {

using kernel::ByteReader;

namespace {

constexpr size_t kMainHeaderSize = 56;
constexpr size_t kStreamHeaderMinimum = 48;
constexpr size_t kBitmapHeaderSize = 40;
constexpr DWORD kDefaultFramePeriod = 100000;

struct VideoFormat {
    LONG width = 0;
    LONG height = 0;
    WORD bitCount = 0;
    DWORD compression = 0;
    std::vector<RGBQUAD> colours;
};

struct ClipHeaders {
    DWORD microsecondsPerFrame = 0;
    DWORD totalFrames = 0;
    DWORD scale = 0;
    DWORD rate = 0;
    int videoStream = -1;
    VideoFormat format;
};

struct ClipLayout {
    ClipHeaders headers;
    std::vector<RiffChunk> frames;
};

bool fail(std::string& why, const char* reason) {
    why = reason;
    return false;
}

bool readMainHeader(const RiffChunk& chunk, ClipHeaders& headers) {
    if (chunk.size < kMainHeaderSize) {
        return false;
    }
    ByteReader reader(chunk.data, chunk.size);
    uint32_t ignored = 0;
    return reader.u32(headers.microsecondsPerFrame) && reader.u32(ignored) && reader.u32(ignored) &&
           reader.u32(ignored) && reader.u32(headers.totalFrames);
}

bool readFormat(const RiffChunk& chunk, VideoFormat& format, std::string& why) {
    ByteReader reader(chunk.data, chunk.size);
    uint32_t headerSize = 0;
    uint32_t ignored = 0;
    uint16_t planes = 0;
    uint32_t coloursUsed = 0;
    if (chunk.size < kBitmapHeaderSize || !reader.u32(headerSize) ||
        headerSize < kBitmapHeaderSize || headerSize > chunk.size) {
        return fail(why, "video format too short");
    }
    uint32_t width = 0;
    uint32_t height = 0;
    reader.u32(width);
    reader.u32(height);
    reader.u16(planes);
    reader.u16(format.bitCount);
    reader.u32(format.compression);
    reader.skip(12);
    reader.u32(coloursUsed);
    reader.u32(ignored);
    reader.skip(headerSize - kBitmapHeaderSize);
    format.width = static_cast<LONG>(width);
    format.height = static_cast<LONG>(height);
    if (format.bitCount != 8) {
        return fail(why, "unsupported bit depth");
    }
    size_t count = coloursUsed == 0 ? 256 : coloursUsed;
    if (count > 256 || reader.remaining() < count * 4) {
        return fail(why, "colour table missing or too large");
    }
    for (size_t i = 0; i < count; ++i) {
        RGBQUAD colour{};
        reader.u8(colour.rgbBlue);
        reader.u8(colour.rgbGreen);
        reader.u8(colour.rgbRed);
        reader.u8(colour.rgbReserved);
        format.colours.push_back(colour);
    }
    return true;
}

bool readStreamList(const RiffChunk& list, int streamNumber, ClipHeaders& headers,
                    std::string& why) {
    RiffReader reader(list);
    RiffChunk chunk;
    bool video = false;
    while (reader.next(chunk)) {
        if (chunk.id == fourCc("strh")) {
            ByteReader fields(chunk.data, chunk.size);
            uint32_t type = 0;
            video = chunk.size >= kStreamHeaderMinimum && fields.u32(type) &&
                    type == fourCc("vids") && headers.videoStream < 0;
            if (video) {
                fields.skip(16);
                fields.u32(headers.scale);
                fields.u32(headers.rate);
            }
        } else if (chunk.id == fourCc("strf") && video) {
            if (!readFormat(chunk, headers.format, why)) {
                return false;
            }
            headers.videoStream = streamNumber;
        }
    }
    return !reader.broken() || fail(why, "damaged stream header");
}

bool readHeaderList(const RiffChunk& list, ClipHeaders& headers, std::string& why) {
    RiffReader reader(list);
    RiffChunk chunk;
    bool mainHeader = false;
    int streams = 0;
    while (reader.next(chunk)) {
        if (chunk.id == fourCc("avih")) {
            mainHeader = readMainHeader(chunk, headers);
            if (!mainHeader) {
                return fail(why, "main header too short");
            }
        } else if (chunk.isList(fourCc("strl"))) {
            if (!readStreamList(chunk, streams++, headers, why)) {
                return false;
            }
        }
    }
    if (reader.broken()) {
        return fail(why, "damaged header list");
    }
    if (!mainHeader || headers.videoStream < 0) {
        return fail(why, "no video stream");
    }
    return true;
}

bool isFrameChunk(uint32_t id, int stream) {
    auto digit = [](uint32_t code, int shift) { return static_cast<char>((code >> shift) & 0xFF); };
    char tens = static_cast<char>('0' + stream / 10 % 10);
    char ones = static_cast<char>('0' + stream % 10);
    if (digit(id, 0) != tens || digit(id, 8) != ones) {
        return false;
    }
    char kind0 = digit(id, 16);
    char kind1 = digit(id, 24);
    return kind0 == 'd' && (kind1 == 'c' || kind1 == 'b');
}

// "rec " lists group the chunks of the movie data; each nesting costs a
// level of recursion, so a file that nests them deeper than any writer does
// is refused rather than allowed to exhaust the stack.
constexpr int kMaxRecordDepth = 8;

bool collectFrames(const RiffChunk& list, int stream, std::vector<RiffChunk>& frames,
                   std::string& why, int depth = 0) {
    RiffReader reader(list);
    RiffChunk chunk;
    while (reader.next(chunk)) {
        if (chunk.isList(fourCc("rec "))) {
            if (depth == kMaxRecordDepth) {
                return fail(why, "record lists nested too deep");
            }
            if (!collectFrames(chunk, stream, frames, why, depth + 1)) {
                return false;
            }
        } else if (isFrameChunk(chunk.id, stream)) {
            frames.push_back(chunk);
        }
    }
    return !reader.broken() || fail(why, "chunk size past the end of the movie data");
}

bool readLayout(const unsigned char* data, size_t size, ClipLayout& layout, std::string& why) {
    RiffReader file(data, size);
    RiffChunk riff;
    if (!file.next(riff) || riff.id != fourCc("RIFF") || riff.listType != fourCc("AVI ")) {
        return fail(why, file.broken() ? "truncated file" : "not an AVI file");
    }
    RiffReader reader(riff);
    RiffChunk chunk;
    bool headers = false;
    bool haveMovie = false;
    RiffChunk movie;
    while (reader.next(chunk)) {
        if (chunk.isList(fourCc("hdrl"))) {
            if (!readHeaderList(chunk, layout.headers, why)) {
                return false;
            }
            headers = true;
        } else if (chunk.isList(fourCc("movi")) && !haveMovie) {
            movie = chunk;
            haveMovie = true;
        }
    }
    if (reader.broken()) {
        return fail(why, "chunk size past the end of the file");
    }
    if (!headers || !haveMovie) {
        return fail(why, headers ? "no movie data" : "no header list");
    }
    return collectFrames(movie, layout.headers.videoStream, layout.frames, why);
}

bool checkFormat(const ClipHeaders& headers, std::string& why) {
    const VideoFormat& format = headers.format;
    if (format.compression != BI_RGB && format.compression != BI_RLE8) {
        return fail(why, "unsupported compression");
    }
    if (format.width <= 0 || format.height <= 0 || format.width > AviClip::kMaxSide ||
        format.height > AviClip::kMaxSide) {
        return fail(why, "frame size out of range");
    }
    if (headers.totalFrames == 0 || headers.totalFrames > static_cast<DWORD>(AviClip::kMaxFrames)) {
        return fail(why, "frame count out of range");
    }
    size_t frameBytes = static_cast<size_t>((format.width + 3) & ~3) * format.height;
    if (frameBytes * headers.totalFrames > AviClip::kMaxDecodedBytes) {
        return fail(why, "clip too large");
    }
    return true;
}

DWORD framePeriod(const ClipHeaders& headers) {
    if (headers.microsecondsPerFrame != 0) {
        return headers.microsecondsPerFrame;
    }
    if (headers.rate != 0 && headers.scale != 0) {
        return static_cast<DWORD>(1000000ull * headers.scale / headers.rate);
    }
    return kDefaultFramePeriod;
}

} // namespace

std::unique_ptr<AviClip> AviClip::load(const unsigned char* data, size_t size, std::string& why) {
    ClipLayout layout;
    if (data == nullptr || !readLayout(data, size, layout, why) ||
        !checkFormat(layout.headers, why)) {
        return nullptr;
    }
    if (layout.frames.size() < layout.headers.totalFrames) {
        why = "fewer frames than the header says";
        return nullptr;
    }
    std::unique_ptr<AviClip> clip(new AviClip());
    const VideoFormat& format = layout.headers.format;
    clip->m_width = format.width;
    clip->m_height = format.height;
    clip->m_stride = (format.width + 3) & ~3;
    clip->m_microsecondsPerFrame = framePeriod(layout.headers);
    clip->m_colours = format.colours;
    layout.frames.resize(layout.headers.totalFrames);
    if (!clip->decodeFrames(layout.frames, format.compression, why)) {
        return nullptr;
    }
    return clip;
}

bool AviClip::decodeFrames(const std::vector<RiffChunk>& chunks, DWORD compression,
                           std::string& why) {
    std::vector<uint8_t> bits(static_cast<size_t>(m_stride) * m_height, 0);
    for (const RiffChunk& chunk : chunks) {
        if (!applyFrame(bits, chunk, compression, why)) {
            return false;
        }
        m_frames.push_back(bits);
    }
    return true;
}

bool AviClip::applyFrame(std::vector<uint8_t>& bits, const RiffChunk& chunk, DWORD compression,
                         std::string& why) const {
    // An empty chunk repeats the frame before.
    if (chunk.size == 0) {
        return true;
    }
    if (compression == BI_RLE8) {
        emu::gdi::RunLengthDecoder decoder(bits.data(), m_width, m_height,
                                           static_cast<size_t>(m_stride),
                                           emu::gdi::RunLengthDecoder::Packing::Bytes);
        return decoder.apply(chunk.data, chunk.size) || fail(why, "damaged run-length data");
    }
    if (chunk.size < bits.size()) {
        return fail(why, "frame data too short");
    }
    bits.assign(chunk.data, chunk.data + bits.size());
    return true;
}

} // namespace emu::user

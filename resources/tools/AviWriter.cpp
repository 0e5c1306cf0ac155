#include "resources/tools/AviWriter.h"

#include "resources/tools/Rle8Encoder.h"

#include <algorithm>

namespace cliptool {

namespace {

constexpr uint32_t kHasIndex = 0x10;
constexpr uint32_t kKeyFrame = 0x10;
// A key frame every few frames lets a player start anywhere without decoding
// from the first.
constexpr int kKeyFrameInterval = 3;

class Bytes {
public:
    void u16(uint32_t value) {
        m_data.push_back(static_cast<uint8_t>(value & 0xFF));
        m_data.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
    }
    void u32(uint32_t value) {
        u16(value & 0xFFFF);
        u16(value >> 16);
    }
    void code(const char* fourCc) { m_data.insert(m_data.end(), fourCc, fourCc + 4); }
    void append(const std::vector<uint8_t>& bytes) {
        m_data.insert(m_data.end(), bytes.begin(), bytes.end());
    }
    // A chunk: code, size, data and a pad byte when the size is odd.
    void chunk(const char* fourCc, const std::vector<uint8_t>& data) {
        code(fourCc);
        u32(static_cast<uint32_t>(data.size()));
        append(data);
        if (data.size() % 2 != 0) {
            m_data.push_back(0);
        }
    }
    void list(const char* type, const std::vector<uint8_t>& content) {
        Bytes body;
        body.code(type);
        body.append(content);
        chunk("LIST", body.data());
    }
    size_t size() const { return m_data.size(); }
    const std::vector<uint8_t>& data() const { return m_data; }

private:
    std::vector<uint8_t> m_data;
};

size_t largestFrame(const std::vector<EncodedFrame>& frames) {
    size_t largest = 0;
    for (const EncodedFrame& frame : frames) {
        largest = std::max(largest, frame.data.size());
    }
    return largest;
}

} // namespace

std::vector<uint8_t> AviWriter::format() const {
    Bytes f;
    f.u32(40);
    f.u32(static_cast<uint32_t>(m_width));
    f.u32(static_cast<uint32_t>(m_height));
    f.u16(1);
    f.u16(8);
    f.u32(m_compression);
    f.u32(static_cast<uint32_t>(((m_width + 3) & ~3) * m_height));
    f.u32(0);
    f.u32(0);
    f.u32(static_cast<uint32_t>(m_colours.size()));
    f.u32(0);
    for (const Rgb& colour : m_colours) {
        f.u32(static_cast<uint32_t>(colour.blue) | colour.green << 8 | colour.red << 16);
    }
    return f.data();
}

std::vector<uint8_t> AviWriter::streamList(const std::vector<EncodedFrame>& frames) const {
    Bytes h;
    h.code("vids");
    h.code(m_compression == kRle8 ? "RLE " : "DIB ");
    h.u32(0);                  // flags
    h.u32(0);                  // priority and language
    h.u32(0);                  // initial frames
    h.u32(1);                  // scale
    h.u32(1000000 / m_period); // rate: frames a second
    h.u32(0);                  // start
    h.u32(static_cast<uint32_t>(frames.size()));
    h.u32(static_cast<uint32_t>(largestFrame(frames)));
    h.u32(0xFFFFFFFFu); // quality
    h.u32(0);           // sample size
    h.u16(0);
    h.u16(0);
    h.u16(static_cast<uint32_t>(m_width));
    h.u16(static_cast<uint32_t>(m_height));
    Bytes list;
    list.chunk("strh", h.data());
    list.chunk("strf", format());
    return list.data();
}

std::vector<uint8_t> AviWriter::headerList(const std::vector<EncodedFrame>& frames) const {
    Bytes main;
    main.u32(m_period);
    main.u32(static_cast<uint32_t>(largestFrame(frames) * (1000000 / m_period)));
    main.u32(0);
    main.u32(kHasIndex);
    main.u32(static_cast<uint32_t>(frames.size()));
    main.u32(0);
    main.u32(1);
    main.u32(static_cast<uint32_t>(largestFrame(frames)));
    main.u32(static_cast<uint32_t>(m_width));
    main.u32(static_cast<uint32_t>(m_height));
    for (int i = 0; i < 4; ++i) {
        main.u32(0);
    }
    Bytes list;
    list.chunk("avih", main.data());
    list.list("strl", streamList(frames));
    return list.data();
}

std::vector<uint8_t> AviWriter::write(const std::vector<EncodedFrame>& frames) const {
    Bytes movie;
    Bytes index;
    for (const EncodedFrame& frame : frames) {
        // Index offsets count from the "movi" code.
        const char* code = m_compression == kRle8 ? "00dc" : "00db";
        index.code(code);
        index.u32(frame.key ? kKeyFrame : 0);
        index.u32(static_cast<uint32_t>(movie.size() + 4));
        index.u32(static_cast<uint32_t>(frame.data.size()));
        movie.chunk(code, frame.data);
    }
    Bytes content;
    content.code("AVI ");
    content.list("hdrl", headerList(frames));
    content.list("movi", movie.data());
    content.chunk("idx1", index.data());
    Bytes file;
    file.chunk("RIFF", content.data());
    return file.data();
}

std::vector<uint8_t> buildProgressClip() {
    std::vector<EncodedFrame> frames;
    Picture before;
    for (int i = 0; i < ClipArt::kFrames; ++i) {
        Picture picture = ClipArt::frame(i);
        if (i % kKeyFrameInterval == 0) {
            frames.push_back({Rle8Encoder::keyFrame(picture), true});
        } else {
            frames.push_back({Rle8Encoder::deltaFrame(before, picture), false});
        }
        before = std::move(picture);
    }
    const auto& vga = ClipArt::vgaColours();
    AviWriter writer(ClipArt::kWidth, ClipArt::kHeight, ClipArt::kMicrosecondsPerFrame,
                     std::vector<Rgb>(vga.begin(), vga.end()));
    return writer.write(frames);
}

} // namespace cliptool

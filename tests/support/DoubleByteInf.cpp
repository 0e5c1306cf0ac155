#include "tests/support/DoubleByteInf.h"

#include <map>
#include <stdexcept>

namespace corvane_test {

namespace {

// Ten double-byte words of a code page, by the letter the texts below name
// them with: {G} and {X} end in a trail byte '\\', {J} in '[', {B} in ']',
// {P} in 'A' and {Q} in 'a'; {N}, {K}, {Z} and {H} are plain.
using Words = std::map<char, std::string>;

const std::map<unsigned, Words>& wordsOfCodePages() {
    static const std::map<unsigned, Words> words = {
        // Shift JIS: ソ 表 ゼ ゾ ア ヂ, ド 可 装 置
        {932,
         {{'G', "\x83\x5C"},
          {'X', "\x95\x5C"},
          {'J', "\x83\x5B"},
          {'B', "\x83\x5D"},
          {'P', "\x83\x41"},
          {'Q', "\x83\x61"},
          {'N', "\x83\x68"},
          {'K', "\x89\xC2"},
          {'Z', "\x91\x95"},
          {'H', "\x92\x75"}}},
        // GBK: 乗 刓 乕 乚 丄 乤, 件 可 装 置
        {936,
         {{'G', "\x81\x5C"},
          {'X', "\x84\x5C"},
          {'J', "\x81\x5B"},
          {'B', "\x81\x5D"},
          {'P', "\x81\x41"},
          {'Q', "\x81\x61"},
          {'N', "\xBC\xFE"},
          {'K', "\xBF\xC9"},
          {'Z', "\xD7\xB0"},
          {'H', "\xD6\xC3"}}},
        // Unified Hangul Code: 한 드 설 치 갂 갵, 글 라 이 버
        {949,
         {{'G', "\xC7\xD1"},
          {'X', "\xB5\xE5"},
          {'J', "\xBC\xB3"},
          {'B', "\xC4\xA1"},
          {'P', "\x81\x41"},
          {'Q', "\x81\x61"},
          {'N', "\xB1\xDB"},
          {'K', "\xB6\xF3"},
          {'Z', "\xC0\xCC"},
          {'H', "\xB9\xF6"}}},
        // Big5: 功 許 加 包 丕 仟, 能 可 裝 置
        {950,
         {{'G', "\xA5\x5C"},
          {'X', "\xB3\x5C"},
          {'J', "\xA5\x5B"},
          {'B', "\xA5\x5D"},
          {'P', "\xA5\x41"},
          {'Q', "\xA5\x61"},
          {'N', "\xAF\xE0"},
          {'K', "\xA5\x69"},
          {'Z', "\xB8\xCB"},
          {'H', "\xB8\x6D"}}},
    };
    return words;
}

// The installation's own INF file: an ASCII part, a section named in
// double-byte words, one whose name holds '[' and ']' as trail bytes with a
// comment between, the two pairs of names above, and an empty section at
// the end whose name ends in a trail byte '\\'.
const char kTarget[] = "; Fenwick FX-7 {Z}{H}\r\n"
                       "[Version]\r\n"
                       "Signature=\"$CHICAGO$\"\r\n"
                       "Class=System\r\n"
                       "\r\n"
                       "[{G}{N}]\r\n"
                       "PCI\\VEN_6B21&DEV_0410={X}{K}\r\n"
                       "; {G}\r\n"
                       "[{J}{B}]\r\n"
                       "{G}={G}\r\n"
                       "\r\n"
                       "[{B}X]\r\n"
                       "x=1\r\n"
                       "[{B}Y]\r\n"
                       "y=1\r\n"
                       "[{P}]\r\n"
                       "p=1\r\n"
                       "[{Q}]\r\n"
                       "q=1\r\n"
                       "[Strings]\r\n"
                       "Fenwick=\"Fenwick {Z}{H}\"\r\n"
                       "[{Z}{G}]\r\n";

// Lines for the double-byte sections, the second of each pair among them,
// and values with trail bytes '\\' beside a plain '\\'.
const char kFragment[] = "; Fenwick FX-7: {J}\r\n"
                         "[{G}{N}]\r\n"
                         "PCI\\VEN_6B21&DEV_0411={X}\r\n"
                         "[{J}{B}]\r\n"
                         "{B}={J}\\{X}\r\n"
                         "[{B}Y]\r\n"
                         "y=2\r\n"
                         "[{Q}]\r\n"
                         "q=2\r\n"
                         "[{Z}{G}]\r\n"
                         "HKR,,{G},,{X}\r\n";

// Each section's new lines after its last data line, every other byte as
// it was.
const char kMerged[] = "; Fenwick FX-7 {Z}{H}\r\n"
                       "[Version]\r\n"
                       "Signature=\"$CHICAGO$\"\r\n"
                       "Class=System\r\n"
                       "\r\n"
                       "[{G}{N}]\r\n"
                       "PCI\\VEN_6B21&DEV_0410={X}{K}\r\n"
                       "PCI\\VEN_6B21&DEV_0411={X}\r\n"
                       "; {G}\r\n"
                       "[{J}{B}]\r\n"
                       "{G}={G}\r\n"
                       "{B}={J}\\{X}\r\n"
                       "\r\n"
                       "[{B}X]\r\n"
                       "x=1\r\n"
                       "[{B}Y]\r\n"
                       "y=1\r\n"
                       "y=2\r\n"
                       "[{P}]\r\n"
                       "p=1\r\n"
                       "[{Q}]\r\n"
                       "q=1\r\n"
                       "q=2\r\n"
                       "[Strings]\r\n"
                       "Fenwick=\"Fenwick {Z}{H}\"\r\n"
                       "[{Z}{G}]\r\n"
                       "HKR,,{G},,{X}\r\n";

std::string spelt(const std::string& text, const Words& words) {
    std::string out;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '{' && at + 2 < text.size() && text[at + 2] == '}') {
            out += words.at(text[at + 1]);
            at += 2;
        } else {
            out += text[at];
        }
    }
    return out;
}

} // namespace

DoubleByteInf doubleByteInf(unsigned codePage) {
    auto found = wordsOfCodePages().find(codePage);
    if (found == wordsOfCodePages().end()) {
        throw std::invalid_argument("no double-byte INF of code page " + std::to_string(codePage));
    }
    const Words& words = found->second;
    return {spelt(kTarget, words), spelt(kFragment, words), spelt(kMerged, words),
            spelt("FX-7 {Z}{H}", words), spelt("{Z}{H} {G}{N}", words)};
}

} // namespace corvane_test

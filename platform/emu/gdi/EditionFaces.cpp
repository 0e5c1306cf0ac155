#include "platform/emu/gdi/EditionFaces.h"

#include <algorithm>
#include <cctype>

namespace emu::gdi {

namespace {

// The editions of the double-byte code pages: the user-interface face in the
// code page's bytes, Win32's number of the character set, and a character
// every face with the edition's characters has.
struct Edition {
    UINT codePage;
    const char* uiFace;
    BYTE charSet;
    char32_t sample;
};

const Edition kEditions[] = {
    {932, "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E", 128,
     U'\u3042'},                               // ＭＳ Ｐゴシック, Shift JIS, hiragana a
    {936, "\xCB\xCE\xCC\xE5", 134, U'\u4E2D'}, // 宋体, GB 2312, zhong
    {949, "\xB1\xBC\xB8\xB2", 129, U'\uAC00'}, // 굴림, Hangul, ga
    {950, "\xB7\x73\xB2\xD3\xA9\xFA\xC5\xE9", 136, U'\u4E2D'}, // 新細明體, Big5, zhong
};

const Edition* editionOf(UINT codePage) {
    for (const Edition& edition : kEditions) {
        if (edition.codePage == codePage) {
            return &edition;
        }
    }
    return nullptr;
}

// IPA (P)Gothic of fonts-ipafont-gothic for Japanese; WenQuanYi Micro Hei of
// fonts-wqy-microhei, which has every character of code pages 949 and 950
// and all but three of 936, for the others. A Ming, Song, Batang or Mincho
// face is asked for by its Debian family first, used when installed. The
// last family is the generic one, asked for in the edition's language.
struct EditionFace {
    std::vector<std::string> names; // localised, then English
    std::vector<std::string> families;
    std::string language;
};

const std::vector<EditionFace>& editionFaces() {
    static const std::vector<EditionFace> faces = {
        {{"ＭＳ Ｐゴシック", "MS PGothic", "MS UI Gothic"},
         {"IPAPGothic", "IPAGothic", "sans-serif"},
         "ja"},
        {{"ＭＳ ゴシック", "MS Gothic"}, {"IPAGothic", "monospace"}, "ja"},
        {{"ＭＳ Ｐ明朝", "ＭＳ 明朝", "MS PMincho", "MS Mincho"},
         {"IPAPMincho", "IPAMincho", "IPAPGothic", "serif"},
         "ja"},
        {{"新細明體", "細明體", "PMingLiU", "MingLiU"},
         {"AR PL UMing TW", "WenQuanYi Micro Hei", "serif"},
         "zh-tw"},
        {{"宋体", "新宋体", "SimSun", "NSimSun"},
         {"AR PL UMing CN", "WenQuanYi Micro Hei", "serif"},
         "zh-cn"},
        {{"黑体", "SimHei"}, {"WenQuanYi Micro Hei", "sans-serif"}, "zh-cn"},
        {{"굴림", "굴림체", "돋움", "돋움체", "Gulim", "GulimChe", "Dotum", "DotumChe"},
         {"UnDotum", "WenQuanYi Micro Hei", "sans-serif"},
         "ko"},
        {{"바탕", "바탕체", "궁서", "Batang", "BatangChe", "Gungsuh"},
         {"UnBatang", "WenQuanYi Micro Hei", "serif"},
         "ko"},
    };
    return faces;
}

// Only the ASCII letters fold: the localised names have none to fold.
bool sameName(const std::string& a, const std::string& other) {
    return a.size() == other.size() &&
           std::equal(a.begin(), a.end(), other.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

} // namespace

std::optional<HostFaceRequest> EditionFaces::hostRequest(const std::string& windowsName) {
    for (const EditionFace& candidate : editionFaces()) {
        for (const std::string& name : candidate.names) {
            if (sameName(windowsName, name)) {
                return HostFaceRequest{candidate.families, candidate.language};
            }
        }
    }
    return std::nullopt;
}

const char* EditionFaces::uiFace(UINT codePage) {
    const Edition* edition = editionOf(codePage);
    return edition ? edition->uiFace : nullptr;
}

BYTE EditionFaces::charSet(UINT codePage) {
    const Edition* edition = editionOf(codePage);
    return edition ? edition->charSet : 0;
}

char32_t EditionFaces::sampleCharacter(UINT codePage) {
    const Edition* edition = editionOf(codePage);
    return edition ? edition->sample : 0;
}

} // namespace emu::gdi

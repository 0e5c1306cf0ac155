#include "platform/emu/gdi/EditionFaces.h"

#include <algorithm>
#include <cctype>

namespace emu::gdi {

namespace {

// Win32's numbers of the four editions' character sets.
constexpr BYTE kShiftJisCharSet = 128;
constexpr BYTE kHangulCharSet = 129;
constexpr BYTE kGb2312CharSet = 134;
constexpr BYTE kChineseBig5CharSet = 136;

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
    switch (codePage) {
    case 932:
        return "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E"; // ＭＳ Ｐゴシック
    case 936:
        return "\xCB\xCE\xCC\xE5"; // 宋体
    case 949:
        return "\xB1\xBC\xB8\xB2"; // 굴림
    case 950:
        return "\xB7\x73\xB2\xD3\xA9\xFA\xC5\xE9"; // 新細明體
    default:
        return nullptr;
    }
}

BYTE EditionFaces::charSet(UINT codePage) {
    switch (codePage) {
    case 932:
        return kShiftJisCharSet;
    case 936:
        return kGb2312CharSet;
    case 949:
        return kHangulCharSet;
    case 950:
        return kChineseBig5CharSet;
    default:
        return 0;
    }
}

char32_t EditionFaces::sampleCharacter(UINT codePage) {
    switch (codePage) {
    case 932:
        return U'\u3042'; // hiragana a
    case 936:
    case 950:
        return U'\u4E2D'; // zhong, middle
    case 949:
        return U'\uAC00'; // ga
    default:
        return 0;
    }
}

} // namespace emu::gdi

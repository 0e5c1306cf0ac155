#include "resources/ProgressTemplate.h"

#include "platform/win32.h"
#include "resources/resource.h"

#include <vector>

namespace {

class TemplateBytes {
public:
    void word(WORD value) {
        m_bytes.push_back(static_cast<unsigned char>(value & 0xFF));
        m_bytes.push_back(static_cast<unsigned char>(value >> 8));
    }
    void dword(DWORD value) {
        word(static_cast<WORD>(value & 0xFFFF));
        word(static_cast<WORD>(value >> 16));
    }
    // Templates store their strings as zero-terminated UTF-16.
    void text(const char* ascii) {
        for (; *ascii != '\0'; ++ascii) {
            word(static_cast<unsigned char>(*ascii));
        }
        word(0);
    }
    void alignToDword() {
        while (m_bytes.size() % 4 != 0) {
            m_bytes.push_back(0);
        }
    }
    void rect(short x, short y, short cx, short cy) {
        word(static_cast<WORD>(x));
        word(static_cast<WORD>(y));
        word(static_cast<WORD>(cx));
        word(static_cast<WORD>(cy));
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, const char* windowClass,
              const char* title) {
        alignToDword();
        dword(style);
        dword(0);
        rect(x, y, cx, cy);
        word(id);
        text(windowClass);
        text(title);
        word(0); // no creation data
    }
    const std::vector<unsigned char>& bytes() const { return m_bytes; }

private:
    std::vector<unsigned char> m_bytes;
};

std::vector<unsigned char> buildTemplate() {
    const DWORD dialogStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT;
    const DWORD progressStyle = WS_CHILD | WS_VISIBLE | WS_BORDER;
    const DWORD animateStyle =
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | ACS_CENTER | ACS_TRANSPARENT | ACS_AUTOPLAY;
    TemplateBytes t;
    t.dword(dialogStyle);
    t.dword(0);
    t.word(2);
    t.rect(0, 0, 208, 73);
    t.word(0); // no menu
    t.word(0); // the standard dialog class
    t.text("In Process...");
    t.word(8);
    t.text("MS Sans Serif");
    t.item(progressStyle, 7, 50, 194, 16, IDC_PROGRESS, PROGRESS_CLASSA, "Progress1");
    t.item(animateStyle, 7, 15, 194, 28, IDC_ANIMATE, ANIMATE_CLASSA, "Animate1");
    return t.bytes();
}

const std::vector<unsigned char>& templateBytes() {
    static const std::vector<unsigned char> bytes = buildTemplate();
    return bytes;
}

} // namespace

const unsigned char* progressDialogTemplate() {
    return templateBytes().data();
}

size_t progressDialogTemplateSize() {
    return templateBytes().size();
}

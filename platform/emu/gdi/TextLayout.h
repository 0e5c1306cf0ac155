// Breaks DrawTextA's text into the lines it draws: mnemonic prefixes
// resolved ("&x" underlines x, "&&" is one "&"), hard line breaks honoured,
// and with DT_WORDBREAK lines wrapped at blanks, and beside double-byte
// characters, to fit the rectangle.
#pragma once

#include "platform/emu/gdi/TextPainter.h"

#include <string>
#include <string_view>
#include <vector>

namespace emu::gdi {

struct TextLine {
    std::string text;
    int underlined = -1; // index into text of the mnemonic, -1 for none
    int width = 0;
};

class TextLayout {
public:
    TextLayout(TextPainter& painter, UINT format) : m_painter(painter), m_format(format) {}

    std::vector<TextLine> lines(std::string_view text, int maxWidth) const;

    // The text as shown and the index of the underlined character (-1 none).
    static std::pair<std::string, int> resolvePrefixes(std::string_view text);

private:
    void addParagraph(const std::string& shown, size_t begin, size_t end, int underlined,
                      int maxWidth, std::vector<TextLine>& out) const;
    void addLine(const std::string& shown, size_t begin, size_t end, int underlined,
                 std::vector<TextLine>& out) const;

    TextPainter& m_painter;
    UINT m_format;
};

} // namespace emu::gdi

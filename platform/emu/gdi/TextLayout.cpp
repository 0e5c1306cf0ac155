#include "platform/emu/gdi/TextLayout.h"

#include <tuple>

namespace emu::gdi {

namespace {

bool isBreak(char c) {
    return c == '\n' || c == '\r';
}

} // namespace

std::pair<std::string, int> TextLayout::resolvePrefixes(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    int underlined = -1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            shown += text[i];
            continue;
        }
        if (i + 1 >= text.size()) {
            break; // a lone trailing prefix shows nothing
        }
        ++i;
        if (text[i] != '&') {
            underlined = static_cast<int>(shown.size());
        }
        shown += text[i];
    }
    return {shown, underlined};
}

std::vector<TextLine> TextLayout::lines(std::string_view text, int maxWidth) const {
    std::string shown(text);
    int underlined = -1;
    if (!(m_format & DT_NOPREFIX)) {
        std::tie(shown, underlined) = resolvePrefixes(text);
    }
    std::vector<TextLine> out;
    if (m_format & DT_SINGLELINE) {
        addLine(shown, 0, shown.size(), underlined, out);
        return out;
    }
    size_t begin = 0;
    while (true) {
        size_t end = begin;
        while (end < shown.size() && !isBreak(shown[end])) {
            ++end;
        }
        addParagraph(shown, begin, end, underlined, maxWidth, out);
        if (end >= shown.size()) {
            break;
        }
        // "\r\n" is one break.
        begin = end +
                ((shown[end] == '\r' && end + 1 < shown.size() && shown[end + 1] == '\n') ? 2 : 1);
    }
    return out;
}

void TextLayout::addParagraph(const std::string& shown, size_t begin, size_t end, int underlined,
                              int maxWidth, std::vector<TextLine>& out) const {
    if (!(m_format & DT_WORDBREAK) || begin == end) {
        addLine(shown, begin, end, underlined, out);
        return;
    }
    size_t lineStart = begin;
    while (lineStart < end) {
        int width = 0;
        size_t lastBlank = std::string::npos;
        size_t lineEnd = end;
        bool afterDoubleByte = false;
        for (size_t i = lineStart, length = 0; i < end; i += length) {
            length = m_painter.charLength(shown, i);
            if (shown[i] == ' ') {
                lastBlank = i;
            }
            width += m_painter.advance(shown, i);
            if (width > maxWidth && i > lineStart && shown[i] != ' ') {
                if (lastBlank != std::string::npos && lastBlank > lineStart) {
                    lineEnd = lastBlank;
                } else if (length == 2 || afterDoubleByte) {
                    // Text of double-byte characters has no blanks: a line
                    // may end before any of them, and after one.
                    lineEnd = i;
                } else {
                    // A word wider than the rectangle stays whole on its line.
                    lineEnd = shown.find(' ', i);
                    lineEnd = lineEnd == std::string::npos || lineEnd > end ? end : lineEnd;
                }
                break;
            }
            afterDoubleByte = length == 2;
        }
        size_t trimmed = lineEnd;
        while (trimmed > lineStart && shown[trimmed - 1] == ' ') {
            --trimmed;
        }
        addLine(shown, lineStart, trimmed, underlined, out);
        lineStart = lineEnd;
        while (lineStart < end && shown[lineStart] == ' ') {
            ++lineStart;
        }
    }
}

void TextLayout::addLine(const std::string& shown, size_t begin, size_t end, int underlined,
                         std::vector<TextLine>& out) const {
    TextLine line;
    line.text = shown.substr(begin, end - begin);
    if (underlined >= static_cast<int>(begin) && underlined < static_cast<int>(end)) {
        line.underlined = underlined - static_cast<int>(begin);
    }
    line.width = m_painter.width(line.text);
    out.push_back(std::move(line));
}

} // namespace emu::gdi

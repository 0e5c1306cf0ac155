#include "loader/author/ValueText.h"

#include "platform/framework/TextToInt.h"

namespace loader::author {

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
} // namespace

NumberForm numberForm(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        ++i;
    }
    if (i == digits) {
        return NumberForm::None;
    }
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    return i == text.size() ? NumberForm::Whole : NumberForm::Cut;
}

int numberValue(const std::string& text) {
    return TextToInt(text.c_str());
}

std::vector<std::string> splitAtCommas(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) {
            return parts;
        }
        start = comma + 1;
    }
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace loader::author

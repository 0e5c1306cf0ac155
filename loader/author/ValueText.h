// How the program's decimal reading (leading blanks, a sign, digits up to the
// first other character, 0 without digits) takes a text, so that a checker
// can say when a value is read as 0 or cut short.
#pragma once

#include <string>
#include <vector>

namespace loader::author {

enum class NumberForm {
    Whole, // a number and nothing else (blanks around it aside)
    Cut,   // a number followed by other text, which is ignored
    None,  // no digits: read as 0
};

NumberForm numberForm(const std::string& text);
// What the program reads from text.
int numberValue(const std::string& text);
// Text split at every comma.
std::vector<std::string> splitAtCommas(const std::string& text);
std::string quoted(const std::string& text);

} // namespace loader::author

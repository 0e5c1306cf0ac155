// UTF-8, the encoding the host's tools print names in: one code point read
// from it, one written to it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace emu::hostsupport {

// The code point of UTF-8 text at `at`, which moves past it; nullopt for a
// byte sequence that is no UTF-8 (overlong forms and surrogates too), and
// `at` stays.
std::optional<char32_t> nextCodePoint(std::string_view text, size_t& at);

// Appends the code point c (at most U+10FFFF, no surrogate) to text.
void appendUtf8(std::string& text, char32_t c);

} // namespace emu::hostsupport

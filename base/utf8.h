// The one UTF-8 decoder: text is bytes, read as UTF-8 where it is valid.
#pragma once

#include <cstddef>
#include <string_view>

namespace base {

// Decodes the character at s[i] into c and moves i past it; false (i and c
// unchanged) when the bytes there are not UTF-8: a bad lead or trail byte, a
// sequence cut short, an overlong form, a surrogate or a value past U+10FFFF.
bool next_utf8(std::string_view s, std::size_t& i, char32_t& c);

// Whether all of `s` is UTF-8.
bool valid_utf8(std::string_view s);

}  // namespace base

#pragma once

#include <string>
#include <string_view>

// UTF-8 <-> UTF-16 at the program's edges. Invalid input never throws:
// malformed UTF-8 sequences and unpaired surrogates become U+FFFD.
std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);
// No overlong form, no surrogate, nothing above U+10FFFF, no sequence cut
// short: text that every decoder reads alike.
bool is_well_formed_utf8(std::string_view bytes);

// Length in UTF-16 units of the character that starts at `at`: 2 for a
// surrogate pair, else 1.
std::size_t character_length(std::u16string_view text, std::size_t at);
// The first `count` characters, a surrogate pair counting as one and never
// split.
std::u16string first_characters(std::u16string_view text, std::size_t count);
// At most `units` UTF-16 units, a surrogate pair never split.
std::u16string first_units(std::u16string_view text, std::size_t units);

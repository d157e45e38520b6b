#pragma once

#include <string>
#include <string_view>

// UTF-8 <-> UTF-16 at the program's edges. Invalid input never throws:
// malformed UTF-8 sequences and unpaired surrogates become U+FFFD.
std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);

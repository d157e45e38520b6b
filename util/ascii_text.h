#pragma once

#include <string>
#include <string_view>

// Case folding of the 26 ASCII letters only: accented letters and every other
// character stay as they are, which is how stored names are compared.
char16_t ascii_lower(char16_t c);
std::u16string ascii_upper(std::u16string_view text);
std::u16string ascii_lower(std::u16string_view text);
bool equal_ignoring_ascii_case(std::u16string_view a, std::u16string_view b);

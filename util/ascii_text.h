#pragma once

#include <string>
#include <string_view>

// Case folding of the 26 ASCII letters only: accented letters and every other
// character stay as they are, which is how stored names are compared. The
// same rules serve protocol texts (bytes) and the program's own (UTF-16).
char ascii_lower(char c);
char16_t ascii_lower(char16_t c);
std::string ascii_upper(std::string_view text);
std::u16string ascii_upper(std::u16string_view text);
std::string ascii_lower(std::string_view text);
std::u16string ascii_lower(std::u16string_view text);
bool equal_ignoring_ascii_case(std::string_view a, std::string_view b);
bool equal_ignoring_ascii_case(std::u16string_view a, std::u16string_view b);

// The text without the blanks (space and tab) at either end.
std::string_view trim_blanks(std::string_view text);
std::u16string_view trim_blanks(std::u16string_view text);
// The same, line ends (CR and LF) counted as blanks.
std::string_view trim_blanks_and_line_ends(std::string_view text);

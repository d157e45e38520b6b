#pragma once

#include <string>
#include <string_view>

// Conversions between UTF-16 and a code page the system knows by name: by
// iconv's names on Linux, where characters the code page lacks become
// iconv's transliteration or "?"; by number on Windows, where the system's
// own best fit and default character apply. Bytes that are not valid in the
// code page become U+FFFD.
bool iconv_supports(const std::string& code_page);
std::string iconv_encode(const std::string& code_page, std::u16string_view text);
std::u16string iconv_decode(const std::string& code_page, std::string_view bytes);

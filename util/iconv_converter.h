#pragma once

#include <string>
#include <string_view>

// Conversions between UTF-16 and a code page that iconv knows by name.
// Characters the code page lacks become iconv's transliteration or "?";
// bytes that are not valid in it become U+FFFD.
bool iconv_supports(const std::string& code_page);
std::string iconv_encode(const std::string& code_page, std::u16string_view text);
std::u16string iconv_decode(const std::string& code_page, std::string_view bytes);

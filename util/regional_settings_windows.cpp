#include "util/regional_settings.h"

#include <windows.h>

#include <charconv>

char16_t read_regional_decimal_separator()
{
    wchar_t separator[8] = {};
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    // The length counts the terminator.
    return length == 2 ? static_cast<char16_t>(separator[0]) : u'.';
}

// The ANSI code page by its number, which the Windows converter takes as its
// name; 65001 is named UTF-8, so that the UTF-8 rule (a byte-order mark)
// applies to it.
std::string read_environment_codeset()
{
    const UINT code_page = GetACP();
    if (code_page == CP_UTF8) return "UTF-8";
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, code_page).ptr;
    return std::string(digits, end);
}

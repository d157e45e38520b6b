#include "util/ascii_text.h"

#include <algorithm>

namespace {

template <typename Char> Char lower(Char c)
{
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

template <typename Char> Char upper(Char c)
{
    return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}

template <typename Char, typename Fold> std::basic_string<Char> folded(std::basic_string_view<Char> text, Fold fold)
{
    std::basic_string<Char> out(text);
    for (auto& c : out) c = fold(c);
    return out;
}

template <typename Char> bool equal_folded(std::basic_string_view<Char> a, std::basic_string_view<Char> b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](Char x, Char y) { return lower(x) == lower(y); });
}

template <typename Char, typename IsBlank>
std::basic_string_view<Char> trimmed(std::basic_string_view<Char> text, IsBlank is_blank)
{
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

template <typename Char> bool is_blank(Char c)
{
    return c == Char(' ') || c == Char('\t');
}

}  // namespace

char ascii_lower(char c)
{
    return lower(c);
}

char16_t ascii_lower(char16_t c)
{
    return lower(c);
}

std::string ascii_upper(std::string_view text)
{
    return folded(text, upper<char>);
}

std::u16string ascii_upper(std::u16string_view text)
{
    return folded(text, upper<char16_t>);
}

std::string ascii_lower(std::string_view text)
{
    return folded(text, lower<char>);
}

std::u16string ascii_lower(std::u16string_view text)
{
    return folded(text, lower<char16_t>);
}

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b)
{
    return equal_folded(a, b);
}

bool equal_ignoring_ascii_case(std::u16string_view a, std::u16string_view b)
{
    return equal_folded(a, b);
}

std::string_view trim_blanks(std::string_view text)
{
    return trimmed(text, is_blank<char>);
}

std::u16string_view trim_blanks(std::u16string_view text)
{
    return trimmed(text, is_blank<char16_t>);
}

std::string_view trim_blanks_and_line_ends(std::string_view text)
{
    return trimmed(text, [](char c) { return is_blank(c) || c == '\r' || c == '\n'; });
}

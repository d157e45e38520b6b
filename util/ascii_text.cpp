#include "util/ascii_text.h"

#include <algorithm>

namespace {

char16_t ascii_upper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

}  // namespace

char16_t ascii_lower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

std::u16string ascii_upper(std::u16string_view text)
{
    std::u16string out(text);
    for (auto& c : out) c = ascii_upper(c);
    return out;
}

std::u16string ascii_lower(std::u16string_view text)
{
    std::u16string out(text);
    for (auto& c : out) c = ascii_lower(c);
    return out;
}

bool equal_ignoring_ascii_case(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char16_t x, char16_t y) { return ascii_lower(x) == ascii_lower(y); });
}

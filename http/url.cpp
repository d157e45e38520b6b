#include "http/url.h"

#include "util/utf.h"

#include <algorithm>

namespace {

bool allowed_in_segment(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("-._~!$&'()*+,;=:@").find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

std::u16string url_path_segment(std::u16string_view text)
{
    static constexpr char16_t hex[] = u"0123456789ABCDEF";
    const bool only_dots = !text.empty() && std::all_of(text.begin(), text.end(), [](char16_t c) { return c == u'.'; });
    std::u16string segment;
    for (unsigned char c : utf16_to_utf8(text)) {
        if (allowed_in_segment(c) && !(only_dots && c == '.')) {
            segment += static_cast<char16_t>(c);
        } else {
            segment += u'%';
            segment += hex[c >> 4];
            segment += hex[c & 15];
        }
    }
    return segment;
}

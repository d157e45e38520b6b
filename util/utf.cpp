#include "util/utf.h"

namespace {

constexpr char32_t replacement_character = 0xFFFD;

void append_utf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void append_utf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one UTF-8 sequence starting at i, advancing i; rejects overlong
// forms, surrogates and truncated sequences.
char32_t next_code_point(std::string_view s, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(s[i++]);
    if (lead < 0x80) return lead;
    int extra;
    char32_t cp;
    char32_t min;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
        min = 0x10000;
    } else
        return replacement_character;
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return replacement_character;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return replacement_character;
    return cp;
}

}  // namespace

bool is_well_formed_utf8(std::string_view bytes)
{
    constexpr std::string_view encoded_replacement = "\xEF\xBF\xBD";
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t start = i;
        if (next_code_point(bytes, i) == replacement_character && bytes.substr(start, i - start) != encoded_replacement)
            return false;
    }
    return true;
}

std::u16string utf8_to_utf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {  // the common case, kept cheap
            out.push_back(c);
            ++i;
        } else {
            append_utf16(out, next_code_point(utf8, i));
        }
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = replacement_character;
        }
        append_utf8(out, cp);
    }
    return out;
}

std::size_t character_length(std::u16string_view text, std::size_t at)
{
    const bool pair = at + 1 < text.size() && text[at] >= 0xD800 && text[at] <= 0xDBFF && text[at + 1] >= 0xDC00 &&
                      text[at + 1] <= 0xDFFF;
    return pair ? 2 : 1;
}

std::u16string first_characters(std::u16string_view text, std::size_t count)
{
    std::size_t end = 0;
    for (std::size_t n = 0; n < count && end < text.size(); ++n) end += character_length(text, end);
    return std::u16string(text.substr(0, end));
}

std::u16string first_units(std::u16string_view text, std::size_t units)
{
    if (text.size() <= units) return std::u16string(text);
    if (units > 0 && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF) --units;
    return std::u16string(text.substr(0, units));
}

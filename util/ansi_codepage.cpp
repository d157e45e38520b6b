#include "util/ansi_codepage.h"

#include "util/ascii_text.h"
#include "util/error.h"
#include "util/iconv_converter.h"
#include "util/regional_settings.h"
#include "util/utf.h"

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F. The five bytes it
// leaves undefined map to the C1 controls of the same value, as on Windows.
constexpr char16_t windows1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

// Best fit for Latin Extended-A (U+0100-U+017F): the base letter. Entries
// that Windows-1252 holds itself are found in the table above first.
constexpr std::string_view latin_extended_a_fit = "AaAaAaCcCcCcCcDd"
                                                  "DdEeEeEeEeEeGgGg"
                                                  "GgGgHhHhIiIiIiIi"
                                                  "Ii??JjKkkLlLlLlL"
                                                  "lLlNnNnNnnNnOoOo"
                                                  "OoOoRrRrRrSsSsSs"
                                                  "SsTtTtTtUuUuUuUu"
                                                  "UuUuWwYyYZzZzZzs";
static_assert(latin_extended_a_fit.size() == 0x80);

constexpr char unmappable = '?';

char windows1252_best_fit(char16_t c)
{
    if (c >= 0x0100 && c <= 0x017F) return latin_extended_a_fit[c - 0x0100];
    switch (c) {
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2015:
    case 0x2212: return '-';
    // Quote-like marks become the code page's typographic quotes, never the
    // ASCII ones: SQL text is quoted before it is encoded, and a quote made
    // here would end a literal early.
    case 0x201B:
    case 0x2032: return '\x92';
    case 0x201F:
    case 0x2033: return '\x94';
    case 0x2044:
    case 0x2215: return '/';
    default: return unmappable;
    }
}

char windows1252_byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (int i = 0; i < 32; ++i)
        if (windows1252_high[i] == c) return static_cast<char>(0x80 + i);
    return windows1252_best_fit(c);
}

bool is_high_surrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool is_low_surrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

std::string encode_windows1252(std::u16string_view text)
{
    std::string out(text.size(), '\0');
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(text[i + 1]))
            ++i;  // one character, one "?"
        out[n++] = windows1252_byte(c);
    }
    out.resize(n);
    return out;
}

std::u16string decode_windows1252(std::string_view bytes)
{
    std::u16string out(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? windows1252_high[b - 0x80] : static_cast<char16_t>(b);
    }
    return out;
}

bool names_utf8(const std::string& upper)
{
    return upper == "UTF-8" || upper == "UTF8";
}

bool names_windows1252(const std::string& upper)
{
    return upper == "CP1252" || upper == "WINDOWS-1252" || upper == "MS-ANSI";
}

// C/POSIX locales (and a locale that cannot be had) mean plain ASCII; the
// program then uses Windows-1252, which agrees with it on ASCII.
bool names_ascii(const std::string& upper)
{
    return upper.empty() || upper == "ANSI_X3.4-1968" || upper == "ASCII" || upper == "US-ASCII";
}

AnsiCodePage code_page_of_environment()
{
    const std::string codeset = read_environment_codeset();
    const std::string upper = ascii_upper(codeset);
    if (names_utf8(upper)) return AnsiCodePage::utf8();
    if (names_ascii(upper)) return AnsiCodePage::windows1252();
    try {
        return AnsiCodePage::named(codeset);
    } catch (const Error&) {
        return AnsiCodePage::windows1252();
    }
}

}  // namespace

const AnsiCodePage& AnsiCodePage::system()
{
    static const AnsiCodePage page = code_page_of_environment();
    return page;
}

AnsiCodePage AnsiCodePage::windows1252()
{
    return AnsiCodePage("WINDOWS-1252", Kind::windows1252);
}

AnsiCodePage AnsiCodePage::utf8()
{
    return AnsiCodePage("UTF-8", Kind::utf8);
}

AnsiCodePage AnsiCodePage::named(const std::string& iconv_name)
{
    const std::string upper = ascii_upper(iconv_name);
    if (names_utf8(upper)) return utf8();
    if (names_windows1252(upper)) return windows1252();
    if (!iconv_supports(iconv_name)) throw Error(u"Unknown code page '" + utf8_to_utf16(iconv_name) + u"'");
    return AnsiCodePage(iconv_name, Kind::iconv);
}

std::string AnsiCodePage::encode(std::u16string_view text) const
{
    switch (kind_) {
    case Kind::utf8: return utf16_to_utf8(text);
    case Kind::windows1252: return encode_windows1252(text);
    case Kind::iconv: break;
    }
    return iconv_encode(name_, text);
}

std::u16string AnsiCodePage::decode(std::string_view bytes) const
{
    switch (kind_) {
    case Kind::utf8: return utf8_to_utf16(bytes);
    case Kind::windows1252: return decode_windows1252(bytes);
    case Kind::iconv: break;
    }
    return iconv_decode(name_, bytes);
}

std::u16string AnsiCodePage::longest_prefix_within(std::u16string_view text, std::size_t max_bytes) const
{
    std::size_t end = 0;
    std::size_t bytes = 0;
    while (end < text.size()) {
        const std::size_t length = character_length(text, end);
        bytes += encode(text.substr(end, length)).size();
        if (bytes > max_bytes) break;
        end += length;
    }
    return std::u16string(text.substr(0, end));
}

// The code page converter on Windows: the system's own conversion
// (WideCharToMultiByte without flags, so its best fit and default character),
// code pages named by their numbers ("1252", "932").
#include "util/iconv_converter.h"

#include "util/error.h"
#include "util/utf.h"

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <optional>

namespace {

std::optional<UINT> code_page_number(const std::string& name)
{
    UINT number = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
    if (error != std::errc() || end != name.data() + name.size() || !IsValidCodePage(number)) return std::nullopt;
    return number;
}

UINT checked_code_page(const std::string& name)
{
    const auto number = code_page_number(name);
    if (!number) throw Error(u"Unknown code page '" + std::u16string(name.begin(), name.end()) + u"'");
    return *number;
}

const wchar_t* wide(std::u16string_view text)
{
    return reinterpret_cast<const wchar_t*>(text.data());
}

// Both calls take int lengths; texts longer than that are cut into pieces
// at a character boundary.
constexpr std::size_t max_piece = INT_MAX / 4;

std::string system_encode(UINT number, std::u16string_view text)
{
    std::string out;
    while (!text.empty()) {
        std::size_t piece = std::min(text.size(), max_piece);
        if (piece < text.size() && text[piece - 1] >= 0xD800 && text[piece - 1] <= 0xDBFF) --piece;
        const int length = static_cast<int>(piece);
        const int needed = WideCharToMultiByte(number, 0, wide(text), length, nullptr, 0, nullptr, nullptr);
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(needed));
        WideCharToMultiByte(number, 0, wide(text), length, out.data() + start, needed, nullptr, nullptr);
        text.remove_prefix(piece);
    }
    return out;
}

std::size_t quotes_in(std::u16string_view text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\'') +
                                    std::count(text.begin(), text.end(), u'"'));
}

std::size_t quotes_in(std::string_view bytes)
{
    return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\'') +
                                    std::count(bytes.begin(), bytes.end(), '"'));
}

// The system's best fit turns marks such as U+2032 and U+FF07 into ASCII
// quotes. SQL text is quoted before it is encoded, so a quote made here
// would end a literal early: such a character becomes the default "?".
std::string without_made_quotes(UINT number, std::u16string_view text)
{
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = character_length(text, at);
        const std::u16string_view character = text.substr(at, length);
        std::string bytes = system_encode(number, character);
        if (quotes_in(bytes) != quotes_in(character)) bytes = "?";
        out += bytes;
        at += length;
    }
    return out;
}

}  // namespace

bool iconv_supports(const std::string& code_page)
{
    return code_page_number(code_page).has_value();
}

std::string iconv_encode(const std::string& code_page, std::u16string_view text)
{
    const UINT number = checked_code_page(code_page);
    std::string out = system_encode(number, text);
    if (quotes_in(out) != quotes_in(text)) out = without_made_quotes(number, text);
    return out;
}

std::u16string iconv_decode(const std::string& code_page, std::string_view bytes)
{
    const UINT number = checked_code_page(code_page);
    if (bytes.empty()) return {};
    // Pieces could split a multi-byte character; a text that long never
    // reaches the program (the body cap is far below).
    if (bytes.size() > max_piece) throw Error(u"Text too long to convert");
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(number, 0, bytes.data(), length, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(needed), u'\0');
    MultiByteToWideChar(number, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(out.data()), needed);
    return out;
}

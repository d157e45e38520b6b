#include "http/body_text.h"

#include "util/ansi_codepage.h"
#include "util/ascii_text.h"
#include "util/error.h"
#include "util/utf.h"

#include <algorithm>
#include <array>

namespace {

bool is_one_of(std::string_view name, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::u16string decode_latin1(std::string_view bytes)
{
    std::u16string text(bytes.size(), u'\0');
    std::transform(bytes.begin(), bytes.end(), text.begin(),
                   [](char b) { return static_cast<char16_t>(static_cast<unsigned char>(b)); });
    return text;
}

}  // namespace

std::string content_type_charset(std::string_view content_type)
{
    std::size_t semicolon = content_type.find(';');
    while (semicolon != std::string_view::npos) {
        content_type.remove_prefix(semicolon + 1);
        semicolon = content_type.find(';');
        std::string_view parameter = trim_blanks(content_type.substr(0, semicolon));
        std::size_t equals = parameter.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string name = ascii_lower(trim_blanks(parameter.substr(0, equals)));
        if (name != "charset") continue;
        std::string_view value = trim_blanks(parameter.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        return ascii_lower(value);
    }
    return {};
}

bool body_is_utf8(std::string_view content_type)
{
    std::string charset = content_type_charset(content_type);
    return charset.empty() || charset == "utf-8" || charset == "utf8";
}

std::string_view without_utf8_bom(std::string_view body)
{
    return body.substr(0, 3) == "\xEF\xBB\xBF" ? body.substr(3) : body;
}

std::u16string decode_body_text(std::string_view body, std::string_view content_type)
{
    const std::string charset = content_type_charset(content_type);
    if (charset.empty() || charset == "utf-8" || charset == "utf8") return utf8_to_utf16(without_utf8_bom(body));
    if (is_one_of(charset, {"iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "latin-1", "l1", "us-ascii", "ascii"}))
        return decode_latin1(body);
    if (is_one_of(charset, {"windows-1252", "cp1252", "x-cp1252"})) return AnsiCodePage::windows1252().decode(body);
    try {
        return AnsiCodePage::named(charset).decode(body);
    } catch (const Error&) {
        return utf8_to_utf16(without_utf8_bom(body));
    }
}

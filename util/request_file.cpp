#include "util/request_file.h"

#include "util/ansi_codepage.h"
#include "util/ascii_text.h"
#include "util/utf.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

// The reading buffer of the back-office profile reader holds 2048
// characters including the terminator.
constexpr std::size_t max_value_length = 2047;

std::optional<std::string> read_all_bytes(const std::filesystem::path& file)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::u16string decode_utf16le(std::string_view bytes)
{
    std::u16string out(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return out;
}

bool has_multibyte_character(std::string_view bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char byte) { return static_cast<unsigned char>(byte) >= 0x80; });
}

std::u16string_view without_enclosing_quotes(std::u16string_view value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// Calls on_line for each line without its CR LF or LF; stops when it says so.
template <typename OnLine> void for_each_line(std::u16string_view text, OnLine on_line)
{
    while (!text.empty()) {
        const auto end = text.find(u'\n');
        auto line = text.substr(0, end);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        if (!on_line(line)) return;
        if (end == std::u16string_view::npos) return;
        text.remove_prefix(end + 1);
    }
}

// A "[name]" line gives the name; any other line gives nothing.
std::optional<std::u16string_view> section_name(std::u16string_view line)
{
    if (line.empty() || line.front() != u'[') return std::nullopt;
    const auto close = line.find(u']');
    if (close == std::u16string_view::npos) return std::nullopt;
    return trim_blanks(line.substr(1, close - 1));
}

std::optional<std::u16string> find_value(std::u16string_view text, std::u16string_view section, std::u16string_view key)
{
    std::optional<std::u16string> found;
    bool in_section = false;
    for_each_line(text, [&](std::u16string_view raw_line) {
        const auto line = trim_blanks(raw_line);
        if (const auto name = section_name(line)) {
            in_section = equal_ignoring_ascii_case(*name, section);
            return true;
        }
        if (!in_section || line.empty() || line.front() == u';') return true;
        const auto equals = line.find(u'=');
        if (equals == std::u16string_view::npos) return true;
        if (!equal_ignoring_ascii_case(trim_blanks(line.substr(0, equals)), key)) return true;
        found = std::u16string(without_enclosing_quotes(trim_blanks(line.substr(equals + 1))));
        return false;  // the first of duplicate keys wins
    });
    return found;
}

}  // namespace

std::u16string decode_request_text(std::string_view bytes, const AnsiCodePage& code_page)
{
    if (bytes.starts_with("\xFF\xFE")) return decode_utf16le(bytes.substr(2));
    if (bytes.starts_with("\xEF\xBB\xBF")) return utf8_to_utf16(bytes.substr(3));
    // Accented text in a single-byte code page almost never forms valid
    // multi-byte UTF-8, so the guess is safe for the names a shop writes.
    if (has_multibyte_character(bytes) && is_well_formed_utf8(bytes)) return utf8_to_utf16(bytes);
    return code_page.decode(bytes);
}

std::u16string read_profile_string(const std::filesystem::path& file, std::u16string_view section,
                                   std::u16string_view key)
{
    const auto bytes = read_all_bytes(file);
    if (!bytes) return {};
    auto value = find_value(decode_request_text(*bytes, AnsiCodePage::system()), trim_blanks(section), trim_blanks(key)).value_or(u"");
    if (value.size() > max_value_length) value.resize(max_value_length);
    return value;
}

RunRequest read_run_request(const std::filesystem::path& file)
{
    return {.token = read_profile_string(file, u"CONF", u"token_quintara"),
            .database = read_profile_string(file, u"CONF", u"pathBancoDados"),
            .page_size = read_profile_string(file, u"CONF", u"Reg_por_trafego")};
}

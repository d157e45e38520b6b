#include "db/character_sets.h"

#include "util/ascii_text.h"
#include "util/error.h"
#include "util/utf.h"

#include <cstdlib>
#include <string>

namespace {

// Firebird's names for the sets whose iconv name is not derived below.
struct NamedSet {
    std::string_view firebird;
    std::string_view iconv;
};
constexpr NamedSet named_sets[] = {
    {"UTF8", "UTF-8"},       {"UNICODE_FSS", "UTF-8"}, {"ASCII", "ASCII"},
    {"KOI8R", "KOI8-R"},     {"KOI8U", "KOI8-U"},      {"SJIS_0208", "SHIFT_JIS"},
    {"EUCJ_0208", "EUC-JP"}, {"BIG_5", "BIG5"},        {"GB_2312", "GB2312"},
    {"GBK", "GBK"},          {"GB18030", "GB18030"},   {"KSC_5601", "EUC-KR"},
    {"TIS620", "TIS-620"},   {"CP943C", "CP943"},
};

// WIN1252 is CP1252, DOS850 is CP850, ISO8859_1 is ISO-8859-1.
std::string iconv_name_of(const std::string& set)
{
    for (const auto& named : named_sets)
        if (set == named.firebird) return std::string(named.iconv);
    if (set.starts_with("WIN")) return "CP" + set.substr(3);
    if (set.starts_with("DOS")) return "CP" + set.substr(3);
    if (set.starts_with("ISO8859_")) return "ISO-8859-" + set.substr(8);
    return {};
}

}  // namespace

std::optional<AnsiCodePage> code_page_of_character_set(std::u16string_view name)
{
    const std::string set = ascii_upper(utf16_to_utf8(trim_blanks(name)));
    if (set.empty() || set == "NONE" || set == "OCTETS") return std::nullopt;
    const std::string iconv_name = iconv_name_of(set);
    if (iconv_name.empty()) return std::nullopt;
    try {
        return AnsiCodePage::named(iconv_name);
    } catch (const Error&) {
        return std::nullopt;
    }
}

AnsiCodePage code_page_without_character_set()
{
    const char* configured = std::getenv("IMPORTADOR_DATABASE_CODEPAGE");
    if (configured && *configured) return AnsiCodePage::named(configured);
    return AnsiCodePage::system();
}

std::u16string fit_to_column(std::u16string_view text, std::size_t limit, bool character_set_declared,
                             const AnsiCodePage& code_page)
{
    if (character_set_declared) return first_characters(text, limit);
    return code_page.longest_prefix_within(text, limit);
}

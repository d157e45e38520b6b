#include "db/firebird/database_parameters.h"

#include <string_view>

#include "util/ansi_codepage.h"
#include "util/ascii_text.h"
#include "util/error.h"

namespace {

constexpr char dpb_version1 = 1;
constexpr char dpb_user_name = 28;
constexpr char dpb_password = 29;
constexpr char dpb_lc_ctype = 48;

char parameter_code(std::u16string_view name)
{
    auto key = ascii_lower(trim_blanks(name));
    std::u16string_view bare = key;
    if (bare.starts_with(u"isc_dpb_")) bare.remove_prefix(8);
    if (bare == u"user_name") return dpb_user_name;
    if (bare == u"password") return dpb_password;
    if (bare == u"lc_ctype") return dpb_lc_ctype;
    throw Error(u"DPB Constant (" + std::u16string(name) + u") is unknown");
}

}  // namespace

std::string database_parameter_buffer(const std::vector<std::u16string>& params)
{
    const auto& code_page = AnsiCodePage::system();
    std::string buffer(1, dpb_version1);
    for (const auto& line : params) {
        std::u16string_view text = line;
        auto equals = text.find(u'=');
        auto name = text.substr(0, equals);
        auto value = equals == std::u16string_view::npos ? std::u16string_view() : text.substr(equals + 1);
        auto bytes = code_page.encode(value);
        if (bytes.size() > 255)
            throw Error(u"The value of " + std::u16string(trim_blanks(name)) + u" is longer than 255 bytes");
        buffer += parameter_code(name);
        buffer += static_cast<char>(bytes.size());
        buffer += bytes;
    }
    return buffer;
}

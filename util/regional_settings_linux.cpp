#include "util/regional_settings.h"

#include "util/utf.h"

#include <langinfo.h>
#include <locale.h>

#include <string_view>

namespace {

// Owns a locale_t made from the environment for one category.
class EnvironmentLocale {
public:
    explicit EnvironmentLocale(int category_mask) : locale_(newlocale(category_mask, "", nullptr)) { }
    ~EnvironmentLocale()
    {
        if (locale_) freelocale(locale_);
    }
    EnvironmentLocale(const EnvironmentLocale&) = delete;
    EnvironmentLocale& operator=(const EnvironmentLocale&) = delete;

    // Null when the environment names a locale that is not installed.
    const char* info(nl_item item) const { return locale_ ? nl_langinfo_l(item, locale_) : nullptr; }

private:
    locale_t locale_;
};

}  // namespace

char16_t read_regional_decimal_separator()
{
    const EnvironmentLocale locale(LC_NUMERIC_MASK);
    const char* radix = locale.info(RADIXCHAR);
    if (!radix) return u'.';
    const auto separator = utf8_to_utf16(std::string_view(radix));
    return separator.size() == 1 ? separator[0] : u'.';
}

std::string read_environment_codeset()
{
    const EnvironmentLocale locale(LC_CTYPE_MASK);
    const char* codeset = locale.info(CODESET);
    return codeset ? std::string(codeset) : std::string();
}

#include "util/shell_texts.h"

#include "util/number_text.h"
#include "util/utf.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t tray_tip_capacity = 127;

}  // namespace

std::u16string application_title_from_file_name(std::u16string_view file_name, const ToLower& to_lower)
{
    const std::u16string_view title = file_name.substr(0, file_name.find(u'.'));
    std::u16string text(title.substr(0, 1));
    if (title.size() > 1) text += to_lower(title.substr(1));
    return text;
}

std::u16string tray_tip_text(std::u16string_view title)
{
    return first_units(title, tray_tip_capacity);
}

std::u16string error_box_text(std::u16string_view message)
{
    std::u16string text(message);
    if (text.empty() || text.back() > u'.') text += u'.';
    return text;
}

int failure_box_lifetime()
{
    int seconds = failure_box_seconds;
    if (const char* configured = std::getenv("IMPORTADOR_BOX_SECONDS"))
        std::from_chars(configured, configured + std::strlen(configured), seconds);
    return seconds;
}

std::u16string failure_box_text(std::u16string_view message, int seconds_left)
{
    return std::u16string(message) + u"\n\nEsta mensagem se fecha sozinha em " + integer_to_text(seconds_left) + u" s.";
}

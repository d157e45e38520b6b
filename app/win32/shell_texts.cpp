#include "app/win32/shell_texts.h"

#include "util/executable_path.h"

#include <windows.h>

std::u16string application_title_from_file_name(std::u16string_view file_name)
{
    return application_title_from_file_name(file_name, [](std::u16string_view text) {
        std::wstring lower(text.begin(), text.end());
        CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
        return std::u16string(lower.begin(), lower.end());
    });
}

std::u16string application_title()
{
    return application_title_from_file_name(executable_file_name());
}

std::u16string one_line_text(std::u16string_view text)
{
    std::u16string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n') {
            line += text[i];
            continue;
        }
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        line += u"; ";
    }
    return line;
}

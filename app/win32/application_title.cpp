#include "app/win32/application_title.h"

#include "util/executable_path.h"
#include "util/shell_texts.h"

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

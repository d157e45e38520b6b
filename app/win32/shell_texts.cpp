#include "app/win32/shell_texts.h"

#include <windows.h>

#include <vector>

namespace {

constexpr std::size_t tray_tip_capacity = 127;

std::u16string executable_file_name()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()))) == buffer.size())
        buffer.resize(buffer.size() * 2);
    const std::u16string path(buffer.begin(), buffer.begin() + length);
    const auto separator = path.find_last_of(u"\\/:");
    return separator == std::u16string::npos ? path : path.substr(separator + 1);
}

}  // namespace

std::u16string application_title_from_file_name(std::u16string_view file_name)
{
    std::u16string title(file_name.substr(0, file_name.find(u'.')));
    if (title.size() > 1) {
        // The system's own case mapping, as the title is shown by the system.
        std::wstring rest(title.begin() + 1, title.end());
        CharLowerBuffW(rest.data(), static_cast<DWORD>(rest.size()));
        title.resize(1);
        title.append(rest.begin(), rest.end());
    }
    return title;
}

std::u16string application_title()
{
    return application_title_from_file_name(executable_file_name());
}

std::u16string tray_tip_text(std::u16string_view title)
{
    if (title.size() <= tray_tip_capacity) return std::u16string(title);
    std::size_t length = tray_tip_capacity;
    if (title[length - 1] >= 0xD800 && title[length - 1] <= 0xDBFF) --length;
    return std::u16string(title.substr(0, length));
}

std::u16string error_box_text(std::u16string_view message)
{
    if (!message.empty() && message.back() <= u'.') return std::u16string(message);
    return std::u16string(message) + u'.';
}

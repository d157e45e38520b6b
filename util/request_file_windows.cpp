#include "util/request_file.h"

#include <windows.h>

namespace {

// The reading buffer holds 2048 characters including the terminator, so a
// longer value comes back cut to 2047.
constexpr DWORD buffer_length = 2048;

}  // namespace

std::u16string read_profile_string(const std::filesystem::path& file, std::u16string_view section,
                                   std::u16string_view key)
{
    const std::wstring section_text(section.begin(), section.end());
    const std::wstring key_text(key.begin(), key.end());
    wchar_t buffer[buffer_length] = {};
    const DWORD length =
        GetPrivateProfileStringW(section_text.c_str(), key_text.c_str(), L"", buffer, buffer_length, file.c_str());
    return std::u16string(buffer, buffer + length);
}

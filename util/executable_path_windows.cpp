#include "util/executable_path.h"

#include "util/frmfunckelvo.h"

#include <windows.h>

#include <vector>

namespace {

std::u16string executable_file_path()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::u16string(buffer.begin(), buffer.begin() + length);
        buffer.resize(buffer.size() * 2);  // truncated (long path): ask again with more room
    }
}

}  // namespace

std::u16string executable_directory()
{
    const std::u16string path = executable_file_path();
    const auto separator = path.find_last_of(u"\\:");
    if (separator == std::u16string::npos) return {};
    return Funcoes_da_Kelvo::AjustaContraBarra(std::u16string_view(path).substr(0, separator + 1));
}

std::u16string executable_file_name()
{
    const std::u16string path = executable_file_path();
    const auto separator = path.find_last_of(u"\\/:");
    return separator == std::u16string::npos ? path : path.substr(separator + 1);
}

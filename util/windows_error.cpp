#include "util/windows_error.h"

#include <windows.h>

#include <charconv>
#include <memory>

namespace {

struct LocalFreer {
    void operator()(wchar_t* text) const noexcept { LocalFree(text); }
};

}  // namespace

std::u16string windows_error_text(unsigned long code, const wchar_t* module_name)
{
    const HMODULE module = module_name ? GetModuleHandleW(module_name) : nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                        (module ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM);
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(flags, module, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, LocalFreer> owned(buffer);
    std::u16string text(buffer, buffer + (buffer ? length : 0));
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ')) text.pop_back();
    if (!text.empty()) return text;
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, code).ptr;
    return u"error " + std::u16string(digits, end);
}

#include "db/firebird/shared_library.h"

#include "util/utf.h"
#include "util/windows_error.h"

#include <windows.h>

#include <utility>

SharedLibrary SharedLibrary::open(const std::string& file_name)
{
    const std::u16string name = utf8_to_utf16(file_name);
    return SharedLibrary(LoadLibraryW(reinterpret_cast<const wchar_t*>(name.c_str())));
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) { }

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept
{
    if (this != &other) {
        if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

SharedLibrary::~SharedLibrary()
{
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

SharedLibrary::Lookup SharedLibrary::find(const char* symbol_name) const
{
    Lookup lookup;
    lookup.address = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), symbol_name));
    if (!lookup.address) {
        lookup.error_code = static_cast<int>(GetLastError());
        lookup.error_text = utf16_to_utf8(windows_error_text(static_cast<unsigned long>(lookup.error_code)));
    }
    return lookup;
}

#include "db/firebird/shared_library.h"

#include "util/utf.h"
#include "util/windows_error.h"

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace {

std::uint32_t little_endian(const std::string& bytes, std::size_t at, std::size_t size)
{
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// The word size a DLL is built for, from its own header: 32, 64, or 0 when
// the file is not found where the loader looks first, or is no DLL.
int word_size_bits_of(const std::u16string& name)
{
    wchar_t found[MAX_PATH];
    const DWORD length =
        SearchPathW(nullptr, reinterpret_cast<const wchar_t*>(name.c_str()), nullptr, MAX_PATH, found, nullptr);
    if (length == 0 || length >= MAX_PATH) return 0;
    std::ifstream in(std::filesystem::path(found), std::ios::binary);
    std::string header(4096, '\0');
    in.read(header.data(), static_cast<std::streamsize>(header.size()));
    header.resize(static_cast<std::size_t>(in.gcount()));
    if (header.size() < 0x40 || !header.starts_with("MZ")) return 0;
    const std::size_t pe = little_endian(header, 0x3C, 4);
    if (pe > header.size() - 6 || header.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return 0;
    switch (little_endian(header, pe + 4, 2)) {
    case IMAGE_FILE_MACHINE_I386: return 32;
    case IMAGE_FILE_MACHINE_AMD64: return 64;
    default: return 0;
    }
}

}  // namespace

SharedLibrary SharedLibrary::open(const std::string& file_name)
{
    const std::u16string name = utf8_to_utf16(file_name);
    SharedLibrary library(LoadLibraryW(reinterpret_cast<const wchar_t*>(name.c_str())));
    // A damaged file gives the same error as one built for the other word
    // size: only the file's header tells them apart.
    if (!library.loaded() && GetLastError() == ERROR_BAD_EXE_FORMAT) {
        const int bits = word_size_bits_of(name);
        if (bits != 0 && bits != static_cast<int>(sizeof(void*) * 8)) library.other_word_size_bits_ = bits;
    }
    return library;
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), other_word_size_bits_(other.other_word_size_bits_)
{
}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept
{
    if (this != &other) {
        if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = std::exchange(other.handle_, nullptr);
        other_word_size_bits_ = other.other_word_size_bits_;
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

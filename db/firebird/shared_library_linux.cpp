#include "db/firebird/shared_library.h"

#include <dlfcn.h>

#include <string_view>
#include <utility>

SharedLibrary SharedLibrary::open(const std::string& file_name)
{
    // RTLD_NODELETE: the client library starts threads of its own, and its
    // code has to stay mapped until they are gone, even after we close it.
    SharedLibrary library(dlopen(file_name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
    if (!library.loaded()) {
        const char* text = dlerror();
        const std::string_view failure = text ? text : "";
        if (failure.find("wrong ELF class: ELFCLASS32") != std::string_view::npos) library.other_word_size_bits_ = 32;
        if (failure.find("wrong ELF class: ELFCLASS64") != std::string_view::npos) library.other_word_size_bits_ = 64;
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
        if (handle_) dlclose(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
        other_word_size_bits_ = other.other_word_size_bits_;
    }
    return *this;
}

SharedLibrary::~SharedLibrary()
{
    if (handle_) dlclose(handle_);
}

// dlsym has no error number; the code is 0 and dlerror's text (which names
// the library and the symbol) says what went wrong.
SharedLibrary::Lookup SharedLibrary::find(const char* symbol_name) const
{
    Lookup lookup;
    dlerror();
    lookup.address = dlsym(handle_, symbol_name);
    if (!lookup.address) {
        const char* text = dlerror();
        lookup.error_text = text ? text : std::string("undefined symbol: ") + symbol_name;
    }
    return lookup;
}

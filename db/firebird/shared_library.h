#pragma once

#include <string>

// Owns one library loaded at run time. The platform's loader lives in one
// small unit per platform; the caller builds its own messages from the
// texts returned here.
class SharedLibrary {
public:
    // A library that cannot be loaded gives an empty object.
    static SharedLibrary open(const std::string& file_name);

    SharedLibrary() = default;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    ~SharedLibrary();

    bool loaded() const { return handle_ != nullptr; }
    // For an object that could not be loaded because the file found is built
    // for the other word size: that size in bits (32 or 64); else 0.
    int other_word_size_bits() const { return other_word_size_bits_; }

    struct Lookup {
        void* address = nullptr;
        int error_code = 0;  // the platform's code for a failed lookup
        std::string error_text;  // the platform's text for a failed lookup
    };
    Lookup find(const char* symbol_name) const;

private:
    explicit SharedLibrary(void* handle) : handle_(handle) { }
    void* handle_ = nullptr;
    int other_word_size_bits_ = 0;
};

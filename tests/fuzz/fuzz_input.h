#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Takes typed pieces off the front of a fuzz input; once it is used up every
// piece reads as zero or empty, so any input is a valid one.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) { }

    bool empty() const { return size_ == 0; }
    std::uint8_t byte()
    {
        if (size_ == 0) return 0;
        --size_;
        return *data_++;
    }
    // The next `count` bytes, or what is left.
    std::string_view bytes(std::size_t count)
    {
        if (count > size_) count = size_;
        const std::string_view piece(reinterpret_cast<const char*>(data_), count);
        data_ += count;
        size_ -= count;
        return piece;
    }
    std::string_view rest() { return bytes(size_); }
    // A length byte, then that many UTF-16 code units, little-endian: any
    // unit can be reached directly, unpaired surrogates included.
    std::u16string utf16_text()
    {
        const std::string_view units = bytes(std::size_t{byte()} * 2);
        std::u16string text(units.size() / 2, u'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(static_cast<unsigned char>(units[2 * i]) |
                                            static_cast<unsigned char>(units[2 * i + 1]) << 8);
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

#pragma once

#include <charconv>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

// A benchmark option's value: a positive whole number, or a clear complaint.
inline std::size_t count_argument(const std::string& name, const char* text)
{
    std::size_t value = 0;
    const std::string_view view(text);
    auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
    if (error != std::errc() || end != view.data() + view.size() || value == 0)
        throw std::invalid_argument(name + " needs a positive whole number");
    return value;
}

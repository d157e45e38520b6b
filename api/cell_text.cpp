#include "api/cell_text.h"

#include "util/error.h"
#include "util/number_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace {

std::string ascii(std::u16string_view lexeme)
{
    return std::string(lexeme.begin(), lexeme.end());  // a JSON number is ASCII
}

// Whether a number lexeme that does not fit a double is too large rather
// than too small: the power of ten of its first significant digit.
bool lexeme_overflows(std::string_view lexeme)
{
    const std::size_t exponent_mark = lexeme.find_first_of("eE");
    const std::string_view mantissa = lexeme.substr(0, exponent_mark);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return false;
    long long power =
        first < point ? static_cast<long long>(point - first) - 1 : -static_cast<long long>(first - point);
    if (exponent_mark != std::string_view::npos) {
        std::string_view digits = lexeme.substr(exponent_mark + 1);
        const bool negative = !digits.empty() && digits[0] == '-';
        if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
        long long exponent = 0;
        for (char digit : digits) exponent = std::min(exponent * 10 + (digit - '0'), 1'000'000'000LL);
        power += negative ? -exponent : exponent;
    }
    return power > 0;
}

ConversionError not_a_float(std::u16string_view lexeme)
{
    return ConversionError(u"'" + std::u16string(lexeme) + u"' is not a valid floating point value");
}

}  // namespace

std::u16string json_number_cell_text(std::u16string_view lexeme, char16_t decimal_separator)
{
    if (lexeme.size() > 11 && lexeme.find(u'.') == std::u16string_view::npos) {
        const std::int64_t whole = text_to_int64(lexeme);
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, whole).ptr;
        return std::u16string(digits, end);
    }
    const std::string characters = ascii(lexeme);
    double value = 0;
    const auto [end, error] = std::from_chars(characters.data(), characters.data() + characters.size(), value);
    if (error == std::errc::result_out_of_range) {
        if (lexeme_overflows(characters)) throw not_a_float(lexeme);
        value = 0;
    } else if (error != std::errc() || end != characters.data() + characters.size()) {
        throw not_a_float(lexeme);
    }
    return float_to_text(value, decimal_separator);
}

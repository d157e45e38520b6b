#include "util/number_text.h"

#include "util/error.h"
#include "util/regional_settings.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

// A finite, non-zero magnitude as 0.d1 d2 ... dn x 10^exponent, d1 not zero,
// at most 15 digits and no trailing zero.
struct DecimalDigits {
    std::string digits;
    int exponent;
};

constexpr int significant_digits = 15;

// Rounds to nearest at 18 digits first (exact, by to_chars), then half-up at
// the 16th: the two-step rounding is what stored values were written with.
DecimalDigits round_to_significant_digits(double magnitude)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 17);
    const std::string_view text(buffer, result.ptr - buffer);  // d.ddddddddddddddddde[+-]xx
    const auto e_position = text.find('e');

    std::string digits;
    digits.push_back(text[0]);
    digits.append(text.substr(2, e_position - 2));
    int exponent = 0;
    const auto exponent_text = text.substr(e_position + 1);
    const bool negative_exponent = exponent_text.front() == '-';
    std::from_chars(exponent_text.data() + 1, exponent_text.data() + exponent_text.size(), exponent);
    if (negative_exponent) exponent = -exponent;
    exponent += 1;

    const bool round_up = digits[significant_digits] >= '5';
    digits.resize(significant_digits);
    if (round_up) {
        int i = significant_digits - 1;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            digits.assign(1, '1');
            ++exponent;
        }
    }
    const auto last = digits.find_last_not_of('0');
    digits.resize(last + 1);
    return {digits, exponent};
}

std::u16string plain_form(const DecimalDigits& d, char16_t separator)
{
    std::u16string out;
    const int n = static_cast<int>(d.digits.size());
    if (d.exponent > 0) {
        for (int i = 0; i < d.exponent; ++i) out.push_back(i < n ? d.digits[i] : u'0');
        if (n > d.exponent) {
            out.push_back(separator);
            for (int i = d.exponent; i < n; ++i) out.push_back(d.digits[i]);
        }
    } else {
        out.push_back(u'0');
        out.push_back(separator);
        out.append(static_cast<std::size_t>(-d.exponent), u'0');
        for (char c : d.digits) out.push_back(c);
    }
    return out;
}

std::u16string exponent_form(const DecimalDigits& d, char16_t separator)
{
    std::u16string out;
    out.push_back(d.digits[0]);
    if (d.digits.size() > 1) {
        out.push_back(separator);
        for (std::size_t i = 1; i < d.digits.size(); ++i) out.push_back(d.digits[i]);
    }
    out.push_back(u'E');
    const int power = d.exponent - 1;
    if (power < 0) out.push_back(u'-');
    for (char c : std::to_string(power < 0 ? -power : power)) out.push_back(c);
    return out;
}

[[noreturn]] void throw_not_integer(std::u16string_view text)
{
    throw ConversionError(u"'" + std::u16string(text) + u"' is not a valid integer value");
}

[[noreturn]] void throw_not_float(std::u16string_view text)
{
    throw ConversionError(u"'" + std::u16string(text) + u"' is not a valid floating point value");
}

bool is_decimal_digit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

int hex_digit_value(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The integer text rule for a width of 32 or 64 bits. Accumulates without
// sign in 64 bits, which holds every intermediate value the limits allow.
template <typename Int> Int read_integer_text(std::u16string_view text)
{
    using Unsigned = std::make_unsigned_t<Int>;
    constexpr Unsigned decimal_limit = static_cast<Unsigned>(std::numeric_limits<Int>::max()) / 10;
    constexpr Unsigned hex_limit = std::numeric_limits<Unsigned>::max() >> 4;

    std::size_t i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';

    const auto rest = text.substr(i);
    std::size_t prefix = 0;
    if (!rest.empty() && (rest[0] == u'$' || rest[0] == u'x' || rest[0] == u'X'))
        prefix = 1;
    else if (rest.size() >= 2 && rest[0] == u'0' && (rest[1] == u'x' || rest[1] == u'X'))
        prefix = 2;

    std::uint64_t value = 0;
    std::size_t digit_count = 0;
    if (prefix > 0) {
        for (i += prefix; i < text.size(); ++i, ++digit_count) {
            const int digit = hex_digit_value(text[i]);
            if (digit < 0) throw_not_integer(text);
            if (value > hex_limit) throw_not_integer(text);
            value = (value << 4) | static_cast<unsigned>(digit);
        }
        if (digit_count == 0) throw_not_integer(text);
        const Unsigned pattern = static_cast<Unsigned>(value);
        return static_cast<Int>(negative ? static_cast<Unsigned>(0u - pattern) : pattern);
    }

    for (; i < text.size(); ++i, ++digit_count) {
        if (!is_decimal_digit(text[i])) throw_not_integer(text);
        if (value > decimal_limit) throw_not_integer(text);
        value = value * 10 + static_cast<unsigned>(text[i] - u'0');
    }
    if (digit_count == 0) throw_not_integer(text);
    const std::uint64_t max_magnitude =
        static_cast<std::uint64_t>(std::numeric_limits<Int>::max()) + (negative ? 1 : 0);
    if (value > max_magnitude) throw_not_integer(text);
    return negative ? static_cast<Int>(0u - static_cast<Unsigned>(value)) : static_cast<Int>(value);
}

// The parts of a decimal text, laid out for from_chars.
struct DecimalTextParts {
    bool negative = false;
    std::string mantissa;  // digits with an optional "."
    int exponent = 0;
};

constexpr int exponent_digit_limit = 500;

bool parse_decimal_text(std::u16string_view text, char16_t separator, DecimalTextParts& parts)
{
    std::size_t i = 0;
    const auto at = [&](std::size_t k) { return k < text.size() ? text[k] : u'\0'; };
    while (at(i) == u' ') ++i;
    if (at(i) == u'+' || at(i) == u'-') parts.negative = text[i++] == u'-';

    bool read_something = false;
    for (; i < text.size() && is_decimal_digit(text[i]); ++i, read_something = true)
        parts.mantissa.push_back(static_cast<char>(text[i]));
    if (i < text.size() && text[i] == separator) {
        ++i;
        read_something = true;
        parts.mantissa.push_back('.');
        for (; i < text.size() && is_decimal_digit(text[i]); ++i) parts.mantissa.push_back(static_cast<char>(text[i]));
    }
    if (!read_something) return false;

    if (at(i) == u'E' || at(i) == u'e') {
        ++i;
        bool negative_exponent = false;
        if (at(i) == u'+' || at(i) == u'-') negative_exponent = text[i++] == u'-';
        int value = 0;
        for (; i < text.size() && is_decimal_digit(text[i]) && value < exponent_digit_limit; ++i)
            value = value * 10 + (text[i] - u'0');
        parts.exponent = negative_exponent ? -value : value;
    }
    while (at(i) == u' ') ++i;
    return i == text.size();
}

// Power of ten of the first non-zero mantissa digit, to tell an underflow
// (which reads as zero) from an overflow (which fails).
bool is_tiny(const DecimalTextParts& parts)
{
    const auto first = parts.mantissa.find_first_of("123456789");
    if (first == std::string::npos) return true;
    auto point = parts.mantissa.find('.');
    if (point == std::string::npos) point = parts.mantissa.size();
    const long position = point > first ? static_cast<long>(point - first - 1) : -static_cast<long>(first - point);
    return position + parts.exponent < 0;
}

// The largest double is written as 1.79769313486232E308, a little above it;
// that text and any up to it must read back, as the largest double.
bool rounds_to_largest_double(const DecimalTextParts& parts)
{
    const std::string tenth = parts.mantissa + 'e' + std::to_string(parts.exponent - 1);
    double value = 0;
    const auto result = std::from_chars(tenth.data(), tenth.data() + tenth.size(), value);
    return result.ec == std::errc() && value <= 1.79769313486232e307;
}

}  // namespace

char16_t regional_decimal_separator()
{
    static const char16_t separator = read_regional_decimal_separator();
    return separator;
}

std::u16string float_to_text(double value, char16_t decimal_separator)
{
    if (std::isnan(value)) return u"NAN";
    if (std::isinf(value)) return value > 0 ? u"INF" : u"-INF";
    if (value == 0) return u"0";

    const auto digits = round_to_significant_digits(std::fabs(value));
    std::u16string out = value < 0 ? u"-" : u"";
    const bool plain = digits.exponent >= -3 && digits.exponent <= 15;
    out += plain ? plain_form(digits, decimal_separator) : exponent_form(digits, decimal_separator);
    return out;
}

std::u16string float_to_text(double value)
{
    return float_to_text(value, regional_decimal_separator());
}

std::int32_t text_to_int32(std::u16string_view text)
{
    return read_integer_text<std::int32_t>(text);
}

std::int64_t text_to_int64(std::u16string_view text)
{
    return read_integer_text<std::int64_t>(text);
}

double text_to_float(std::u16string_view text, char16_t decimal_separator)
{
    DecimalTextParts parts;
    if (!parse_decimal_text(text, decimal_separator, parts)) throw_not_float(text);

    std::string number = parts.mantissa == "." ? "0" : parts.mantissa;
    number += 'e';
    number += std::to_string(parts.exponent);
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        if (is_tiny(parts))
            value = 0;
        else if (rounds_to_largest_double(parts))
            value = std::numeric_limits<double>::max();
        else
            throw_not_float(text);
    } else if (result.ec != std::errc() || result.ptr != number.data() + number.size() || std::isinf(value)) {
        throw_not_float(text);
    }
    return parts.negative ? -value : value;
}

double text_to_float(std::u16string_view text)
{
    return text_to_float(text, regional_decimal_separator());
}

std::u16string integer_to_text(std::int64_t value)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::u16string(buffer, end);
}

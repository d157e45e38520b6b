// The number rules: integer and decimal texts read, numbers written, and the
// round trips the rules promise.
#include "fuzz_input.h"
#include "fuzz_targets.h"

#include "util/error.h"
#include "util/frmfunckelvo.h"
#include "util/number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace {

template <typename Read> auto read_or_nothing(Read read) -> std::optional<decltype(read())>
{
    try {
        return read();
    } catch (const ConversionError&) {
        return std::nullopt;
    }
}

template <typename Int> std::u16string decimal(Int value)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::u16string(buffer, end);
}

std::u16string hexadecimal(std::uint32_t value)
{
    char buffer[16];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, 16).ptr;
    return u"$" + std::u16string(buffer, end);
}

bool is_hexadecimal_text(std::u16string_view text)
{
    return text.find_first_of(u"$xX") != std::u16string_view::npos;
}

int significant_digits(std::u16string_view text)
{
    const auto end = text.find(u'E');
    const auto mantissa = text.substr(0, end);
    const auto first = mantissa.find_first_of(u"123456789");
    if (first == std::u16string_view::npos) return 0;
    int count = 0;
    for (auto c : mantissa.substr(first))
        if (c >= u'0' && c <= u'9') ++count;
    return count;
}

// A written number reads back, and what it reads back to is written the same.
void check_written(double value, char16_t separator)
{
    const std::u16string text = float_to_text(value, separator);
    const char16_t other = separator == u',' ? u'.' : u',';
    std::u16string with_other = float_to_text(value, other);
    for (auto& c : with_other)
        if (c == other) c = separator;
    fuzz_expect(text == with_other, "only the separator depends on the separator", text);
    if (!std::isfinite(value)) return;

    // Plain or exponent form, but never an integer longer than 15 digits.
    fuzz_expect(significant_digits(text) <= 15, "at most 15 significant digits", text);
    const auto back = read_or_nothing([&] { return text_to_float(text, separator); });
    fuzz_expect(back.has_value(), "a written number reads back", text);
    fuzz_expect(float_to_text(*back, separator) == text, "a written number reads back to itself", text);
    if (value != 0 && std::fabs(value) >= std::numeric_limits<double>::min())
        fuzz_expect(std::fabs(*back - value) <= std::fabs(value) * 1e-14, "it reads back close", text);

    const double whole = std::trunc(value);
    if (std::fabs(whole) <= 2147483647.0) {
        const auto as_int = read_or_nothing([&] { return Funcoes_da_Kelvo::FloatToInt(value); });
        fuzz_expect(as_int == static_cast<std::int32_t>(whole), "FloatToInt truncates", text);
    }
}

void check_integer_text(std::u16string_view text)
{
    const auto narrow = read_or_nothing([&] { return text_to_int32(text); });
    const auto wide = read_or_nothing([&] { return text_to_int64(text); });
    if (narrow) {
        fuzz_expect(text_to_int32(decimal(*narrow)) == *narrow, "an integer's text reads back", text);
        if (!is_hexadecimal_text(text))
            fuzz_expect(wide == std::int64_t{*narrow}, "both widths agree on decimal text", text);
    }
    if (wide) {
        fuzz_expect(text_to_int64(decimal(*wide)) == *wide, "a long integer's text reads back", text);
        if (!is_hexadecimal_text(text) && *wide >= std::numeric_limits<std::int32_t>::min() &&
            *wide <= std::numeric_limits<std::int32_t>::max())
            fuzz_expect(narrow == static_cast<std::int32_t>(*wide), "both widths agree within 32 bits", text);
    }
}

}  // namespace

int fuzz_number_rules(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t selector = input.byte();
    const char16_t separator = selector & 1 ? u',' : u'.';

    // A number's bits first, then the rest as a text of Latin-1 characters.
    if (selector & 2) {
        const auto bits = input.bytes(8);
        double value = 0;
        std::memcpy(&value, bits.data(), bits.size());
        check_written(value, separator);
        std::int32_t integer = 0;
        std::memcpy(&integer, bits.data(), std::min<std::size_t>(4, bits.size()));
        fuzz_expect(text_to_int32(decimal(integer)) == integer, "every integer's text reads back");
        fuzz_expect(text_to_int32(hexadecimal(static_cast<std::uint32_t>(integer))) == integer,
                    "every integer's hexadecimal text reads back");
    }

    const auto bytes = input.rest();
    std::u16string text;
    for (unsigned char b : bytes) text.push_back(b);
    check_integer_text(text);
    if (const auto value = read_or_nothing([&] { return text_to_float(text, separator); })) {
        fuzz_expect(std::isfinite(*value), "a decimal text reads as a finite number", text);
        check_written(*value, separator);
    }
    return 0;
}

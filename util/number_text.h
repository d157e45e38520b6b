#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The program's number conventions. Locale-free: the decimal separator is
// always passed in; regional_decimal_separator() reads the environment's
// LC_NUMERIC once without touching the process locale.
char16_t regional_decimal_separator();

// Number-to-text rule: 15 significant digits, plain or exponent form.
std::u16string float_to_text(double value, char16_t decimal_separator);
std::u16string float_to_text(double value);

// Decimal digits of an integer, with "-" when negative.
std::u16string integer_to_text(std::int64_t value);

// Integer text rule (32 bits): throws ConversionError
// "'%s' is not a valid integer value".
std::int32_t text_to_int32(std::u16string_view text);
// The same rule widened to 64 bits, for long JSON numbers.
std::int64_t text_to_int64(std::u16string_view text);

// Decimal text rule: throws ConversionError
// "'%s' is not a valid floating point value".
double text_to_float(std::u16string_view text, char16_t decimal_separator);
double text_to_float(std::u16string_view text);

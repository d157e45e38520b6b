#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The size of every text column of an answer's table: longer texts are cut.
inline constexpr std::size_t text_column_size = 255;

// The cell text of a JSON number, from its characters: more than 11 without
// "." keep their digits as a 64-bit integer (ConversionError "'%s' is not a
// valid integer value" when they are none), the rest is read as a double and
// written by the number-to-text rule with `decimal_separator`.
std::u16string json_number_cell_text(std::u16string_view lexeme, char16_t decimal_separator);

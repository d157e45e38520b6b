#pragma once

// Internal to db/: one column of the current row read as text or integer.
//
// Text forms: NULL gives empty text; integers their decimal digits; NUMERIC
// and DECIMAL with a scale their exact digits with all scale digits and the
// regional decimal separator ("12,50" on comma settings); FLOAT and DOUBLE
// by the number-to-text rule; CHAR without its trailing blanks; DATE as
// YYYY-MM-DD, TIME as HH:MM:SS, TIMESTAMP as YYYY-MM-DD HH:MM:SS (a fraction
// of a second, when there is one, as four more digits after a "."); BOOLEAN
// as "True"/"False". Text columns are decoded with the connection's code page.
//
// Integers: NULL gives 0; scaled numbers and floats are rounded half away
// from zero; BOOLEAN gives 1 or 0; text reads by the integer text rule.
// A value outside 32 bits fails like the integer text rule does.

#include <cstdint>
#include <string>

#include "db/firebird/isc_api.h"

class AnsiCodePage;

std::u16string column_text(const XSQLVAR& column, const AnsiCodePage& code_page);
std::int32_t column_integer(const XSQLVAR& column, const AnsiCodePage& code_page);

#include "db/firebird/column_value.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "util/ansi_codepage.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"
#include "util/number_text.h"

namespace {

bool is_null(const XSQLVAR& column)
{
    return (column.sqltype & 1) && column.sqlind && *column.sqlind == -1;
}

int base_type(const XSQLVAR& column)
{
    return column.sqltype & ~1;
}

template <typename T> T read(const XSQLVAR& column)
{
    T value;
    std::memcpy(&value, column.sqldata, sizeof value);
    return value;
}

std::int64_t read_integer(const XSQLVAR& column)
{
    switch (base_type(column)) {
    case SQL_SHORT: return read<ISC_SHORT>(column);
    case SQL_LONG: return read<ISC_LONG>(column);
    default: return read<ISC_INT64>(column);
    }
}

bool is_integer_type(int type)
{
    return type == SQL_SHORT || type == SQL_LONG || type == SQL_INT64;
}

void append_digits(std::u16string& out, std::uint64_t value, int min_digits = 1)
{
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    for (int missing = min_digits - static_cast<int>(end - digits); missing > 0; --missing) out += u'0';
    out.append(digits, end);
}

std::uint64_t magnitude(std::int64_t value)
{
    return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

std::uint64_t power_of_ten(int exponent)
{
    std::uint64_t power = 1;
    while (exponent-- > 0) power *= 10;
    return power;
}

std::u16string scaled_text(std::int64_t value, int scale)
{
    std::u16string text;
    if (value < 0) text += u'-';
    const int decimals = -scale;
    if (decimals <= 0) {
        append_digits(text, magnitude(value));
        for (int i = 0; i < -decimals; ++i) text += u'0';
        return text;
    }
    const std::uint64_t unit = power_of_ten(decimals);
    append_digits(text, magnitude(value) / unit);
    text += regional_decimal_separator();
    append_digits(text, magnitude(value) % unit, decimals);
    return text;
}

std::int64_t rounded_scaled(std::int64_t value, int scale)
{
    if (scale >= 0) return value * static_cast<std::int64_t>(power_of_ten(scale));
    const std::uint64_t unit = power_of_ten(-scale);
    std::uint64_t whole = magnitude(value) / unit;
    if (magnitude(value) % unit * 2 >= unit) ++whole;
    return value < 0 ? -static_cast<std::int64_t>(whole) : static_cast<std::int64_t>(whole);
}

std::int32_t to_int32(std::int64_t value)
{
    if (value < INT32_MIN || value > INT32_MAX) {
        std::u16string text;
        if (value < 0) text += u'-';
        append_digits(text, magnitude(value));
        return text_to_int32(text);  // fails with the rule's message
    }
    return static_cast<std::int32_t>(value);
}

std::u16string fixed_char_text(const XSQLVAR& column, const AnsiCodePage& code_page)
{
    std::string_view bytes(column.sqldata, static_cast<unsigned short>(column.sqllen));
    auto last = bytes.find_last_not_of(' ');
    return code_page.decode(bytes.substr(0, last == std::string_view::npos ? 0 : last + 1));
}

std::u16string varying_text(const XSQLVAR& column, const AnsiCodePage& code_page)
{
    auto length = static_cast<unsigned short>(read<ISC_SHORT>(column));
    return code_page.decode(std::string_view(column.sqldata + sizeof(ISC_SHORT), length));
}

void append_two(std::u16string& out, unsigned value)
{
    append_digits(out, value, 2);
}

// Days since 17 Nov 1858, the client library's day zero, to a civil date.
void append_date(std::u16string& out, ISC_DATE date)
{
    std::int64_t z = static_cast<std::int64_t>(date) - 40587 + 719468;  // to days since 0000-03-01
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2);
    if (year < 0) out += u'-';
    append_digits(out, magnitude(year), 4);
    out += u'-';
    append_two(out, month);
    out += u'-';
    append_two(out, day);
}

// Time of day in units of 1/10000 second.
void append_time(std::u16string& out, ISC_TIME time)
{
    const unsigned seconds = time / 10000;
    append_two(out, seconds / 3600);
    out += u':';
    append_two(out, seconds / 60 % 60);
    out += u':';
    append_two(out, seconds % 60);
    if (time % 10000) {
        out += u'.';
        append_digits(out, time % 10000, 4);
    }
}

}  // namespace

std::u16string column_text(const XSQLVAR& column, const AnsiCodePage& code_page)
{
    if (is_null(column)) return {};
    const int type = base_type(column);
    if (is_integer_type(type)) return scaled_text(read_integer(column), column.sqlscale);
    std::u16string text;
    switch (type) {
    case SQL_TEXT: return fixed_char_text(column, code_page);
    case SQL_VARYING: return varying_text(column, code_page);
    case SQL_FLOAT: return float_to_text(read<float>(column));
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return float_to_text(read<double>(column));
    case SQL_BOOLEAN: return read<FB_BOOLEAN>(column) ? u"True" : u"False";
    case SQL_TYPE_DATE: append_date(text, read<ISC_DATE>(column)); return text;
    case SQL_TYPE_TIME: append_time(text, read<ISC_TIME>(column)); return text;
    case SQL_TIMESTAMP: {
        auto stamp = read<ISC_TIMESTAMP>(column);
        append_date(text, stamp.timestamp_date);
        text += u' ';
        append_time(text, stamp.timestamp_time);
        return text;
    }
    default: throw Error(u"Unsupported column type " + scaled_text(type, 0));
    }
}

std::int32_t column_integer(const XSQLVAR& column, const AnsiCodePage& code_page)
{
    if (is_null(column)) return 0;
    const int type = base_type(column);
    if (is_integer_type(type)) return to_int32(rounded_scaled(read_integer(column), column.sqlscale));
    switch (type) {
    case SQL_FLOAT: return Funcoes_da_Kelvo::FloatToInt(std::round(read<float>(column)));
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return Funcoes_da_Kelvo::FloatToInt(std::round(read<double>(column)));
    case SQL_BOOLEAN: return read<FB_BOOLEAN>(column) ? 1 : 0;
    default: return text_to_int32(column_text(column, code_page));
    }
}

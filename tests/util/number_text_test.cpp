#include "util/number_text.h"

#include "util/error.h"
#include "util/utf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

std::string utf8(std::u16string_view text)
{
    return utf16_to_utf8(text);
}

template <typename F> std::string failure_message(F&& f)
{
    try {
        f();
    } catch (const ConversionError& e) {
        return e.what();
    }
    return "(no failure)";
}

TEST(FloatToText, WritesFifteenSignificantDigitsWithEitherSeparator)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct {
        double value;
        std::string comma;
        std::string point;
    } cases[] = {
        {28.25, "28,25", "28.25"},
        {100, "100", "100"},
        {-2.5, "-2,5", "-2.5"},
        {12345.678, "12345,678", "12345.678"},
        {0.1 + 0.2, "0,3", "0.3"},
        {2.0 / 3.0, "0,666666666666667", "0.666666666666667"},
        {0.0001, "0,0001", "0.0001"},
        {0.00009, "9E-5", "9E-5"},
        {0.00001, "1E-5", "1E-5"},
        {1.5e-7, "1,5E-7", "1.5E-7"},
        {999999999999999, "999999999999999", "999999999999999"},
        {999999999999999.9, "1E15", "1E15"},
        {1e15, "1E15", "1E15"},
        {1234567890123456, "1,23456789012346E15", "1.23456789012346E15"},
        {-1234567890123456e10, "-1,23456789012346E25", "-1.23456789012346E25"},
        {1.5e300, "1,5E300", "1.5E300"},
        {5e-324, "4,94065645841247E-324", "4.94065645841247E-324"},
        {123456789012345.6, "123456789012346", "123456789012346"},
        {6.578074250685785, "6,57807425068579",
         "6.57807425068579"},  // ...784999x rounds to ...78500 at 18 digits, so the 15th digit goes up
        {0.0, "0", "0"},
        {-0.0, "0", "0"},
        {std::nan(""), "NAN", "NAN"},
        {inf, "INF", "INF"},
        {-inf, "-INF", "-INF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.comma, utf8(float_to_text(c.value, u','))) << c.point;
        EXPECT_EQ(c.point, utf8(float_to_text(c.value, u'.'))) << c.point;
    }
}

TEST(TextToInt32, ReadsDecimalAndHexadecimalTexts)
{
    struct {
        std::u16string text;
        std::int32_t expected;
    } cases[] = {
        {u"0", 0},
        {u" 42", 42},
        {u"+7", 7},
        {u"-0", 0},
        {u"007", 7},
        {u"$1F", 31},
        {u"x1F", 31},
        {u"X1f", 31},
        {u"0x1f", 31},
        {u"0X1F", 31},
        {u"-$10", -16},
        {u"$FFFFFFFF", -1},
        {u"$7FFFFFFF", 2147483647},
        {u"$80000000", -2147483647 - 1},
        {u"$000000000001", 1},
        {u"2147483647", 2147483647},
        {u"-2147483648", -2147483647 - 1},
        {u"0002147483647", 2147483647},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, text_to_int32(c.text)) << utf8(c.text);
}

TEST(TextToInt32, RejectsAnyOtherTextQuotingItWhole)
{
    const std::u16string cases[] = {
        u"",           u" ",           u"42 ",         u"1.5",        u"1,5",         u"True",   u"- 5",
        u"+",          u"-",           u"$",           u"0x",         u"x",           u"$G",     u"1e3",
        u"2147483648", u"-2147483649", u"99999999999", u"$100000000", u"0x1FFFFFFFF", u"\uFF11",
    };
    for (const auto& text : cases)
        EXPECT_EQ("'" + utf8(text) + "' is not a valid integer value", failure_message([&] { text_to_int32(text); }))
            << utf8(text);
}

TEST(TextToInt64, ReadsTheWholeSixtyFourBitRange)
{
    struct {
        std::u16string text;
        std::int64_t expected;
    } cases[] = {
        {u"7891234567890", 7891234567890},
        {u"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {u"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
        {u"$FFFFFFFFFFFFFFFF", -1},
        {u"-42", -42},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, text_to_int64(c.text)) << utf8(c.text);

    for (const std::u16string text : {u"9223372036854775808", u"-9223372036854775809", u"92233720368547758070",
                                      u"$10000000000000000", u"12345678e100", u""})
        EXPECT_EQ("'" + utf8(text) + "' is not a valid integer value", failure_message([&] { text_to_int64(text); }))
            << utf8(text);
}

TEST(TextToFloat, ReadsDecimalTextsWithTheGivenSeparator)
{
    struct {
        std::u16string text;
        char16_t separator;
        double expected;
    } cases[] = {
        {u" 2,5 ", u',', 2.5},
        {u"28.25", u'.', 28.25},
        {u",5", u',', 0.5},
        {u"-,5", u',', -0.5},
        {u"5,", u',', 5},
        {u",", u',', 0},
        {u"1E", u',', 1},
        {u"1e3", u',', 1000},
        {u"+1,5E-2", u',', 0.015},
        {u"-2E+2", u',', -200},
        {u"0,1", u',', 0.1},
        {u"28", u',', 28},
        {u"1E-400", u',', 0},
        {u"-1E-400", u',', -0.0},
        {u"1,7976931348623157E308", u',', 1.7976931348623157e308},
        // the largest double as it is written, rounded up past it
        {u"1,79769313486232E308", u',', std::numeric_limits<double>::max()},
        {u"-1.79769313486232E308", u'.', -std::numeric_limits<double>::max()},
        {u"0,000000000000000000000000000000123e-290", u',', 1.23e-321},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, text_to_float(c.text, c.separator)) << utf8(c.text);
}

TEST(TextToFloat, RejectsOtherTextsWithTheFloatingPointMessage)
{
    struct {
        std::u16string text;
        char16_t separator;
    } cases[] = {
        {u"28.25", u','},    {u"28,25", u'.'},
        {u"1.000,50", u','}, {u"-", u','},
        {u"", u','},         {u" ", u','},
        {u"E5", u','},       {u"1E5000", u','},
        {u"1E400", u','},    {u"1E0499", u','},
        {u"abc", u','},      {u"1 2", u','},
        {u"True", u','},     {u"1,79769313486233E308", u','},
    };
    for (const auto& c : cases)
        EXPECT_EQ("'" + utf8(c.text) + "' is not a valid floating point value",
                  failure_message([&] { text_to_float(c.text, c.separator); }))
            << utf8(c.text);
}

TEST(TextToFloat, ReadsBackWhatFloatToTextWrote)
{
    for (double value : {0.1, 28.25, -1234.5678, 1.5e300, 1e-5, 123456789012345.0, 4.94065645841247E-324,
                         std::numeric_limits<double>::max()})
        for (char16_t separator : {u',', u'.'}) {
            const auto text = float_to_text(value, separator);
            EXPECT_EQ(float_to_text(text_to_float(text, separator), separator), text) << utf8(text);
        }
}

}  // namespace

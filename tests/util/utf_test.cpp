#include "util/utf.h"

#include <gtest/gtest.h>

namespace {

// Each rule at its limit and one past it.
TEST(WellFormedUtf8, AcceptsOnlyWhatEveryDecoderReadsAlike)
{
    const struct {
        std::string_view bytes;
        bool well_formed;
    } cases[] = {
        {"", true},
        {"Pão", true},
        {"\xC2\x80", true},
        {"\xC1\xBF", false},  // overlong
        {"\xE0\xA0\x80", true},
        {"\xE0\x9F\xBF", false},  // overlong
        {"\xED\x9F\xBF", true},
        {"\xED\xA0\x80", false},  // surrogate
        {"\xEF\xBF\xBD", true},  // U+FFFD itself
        {"\xF4\x8F\xBF\xBF", true},
        {"\xF4\x90\x80\x80", false},  // above U+10FFFF
        {"\xF5\x80\x80\x80", false},
        {"\xE2\x82", false},  // cut short
        {"a\x80", false},  // a lone continuation byte
        {"\xFF", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.well_formed, is_well_formed_utf8(c.bytes)) << testing::PrintToString(c.bytes);
}

}  // namespace

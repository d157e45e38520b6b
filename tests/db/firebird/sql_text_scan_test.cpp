#include "db/firebird/sql_text_scan.h"

#include <gtest/gtest.h>

#include "support/failure_message.h"
#include "util/utf.h"

namespace {

TEST(SqlTextScan, FindsMarkersOnlyOutsideLiteralsAndComments)
{
    struct {
        std::u16string text;
        bool markers;
    } cases[] = {
        {u"select * from t where a = 1", false},     {u"select * from t where a = :a", true},
        {u"select * from t where a = ?", true},      {u"update t set nom='Aberto 10:30?'", false},
        {u"update t set nom='O''Neil: sim'", false}, {u"select \"A:B\" from t", false},
        {u"select 1 /* :x ? */ from t", false},      {u"select 1 /* a */ from t where b = :b", true},
    };
    for (const auto& c : cases) EXPECT_EQ(c.markers, has_parameter_markers(c.text)) << utf16_to_utf8(c.text);
}

TEST(SqlTextScan, OpenLiteralOrCommentFails)
{
    struct {
        std::u16string text;
        std::u16string message;
    } cases[] = {
        {u"insert into t values ('O'Neil')\r\n", u"SQL Parse Error:\r\n\r\nEOF in string detected"},
        {u"select \"a from t", u"SQL Parse Error:\r\n\r\nEOF in string detected"},
        {u"select 1 /* note", u"SQL Parse Error:\r\n\r\nEOF in comment detected"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.message, failure_message([&] { has_parameter_markers(c.text); })) << utf16_to_utf8(c.text);
}

}  // namespace

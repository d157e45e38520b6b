#include "db/statement_texts.h"

#include <gtest/gtest.h>

#include "util/utf.h"

namespace {

using Lines = std::vector<std::u16string>;

std::string joined(const Lines& lines)
{
    std::string text;
    for (const auto& line : lines) text += utf16_to_utf8(line) + "|";
    return text;
}

TEST(StatementTexts, SelectLine)
{
    EXPECT_EQ(u"Select * From Mercadorias Where ( cod_red=7 )", select_statement_line(u"Mercadorias", u"cod_red=7"));
    EXPECT_EQ(u"Select * From Departamentos Where ( nom_dep='A''B' )",
              select_statement_line(u"Departamentos", u"nom_dep='A''B'"));
}

TEST(StatementTexts, InsertLines)
{
    struct {
        Lines pairs;
        Lines expected;
    } cases[] = {
        {{u"cod_dep", u"1", u"nom_dep", u"O'Neil"},
         {u"Insert into T", u"( cod_dep,nom_dep )  ", u" Values ( '1','O''Neil' )  "}},
        // commas and double quotes stay; an empty value is two quotes
        {{u"a", u"1,5", u"b", u"x\"y", u"c", u""},
         {u"Insert into T", u"( a,b,c )  ", u" Values ( '1,5','x\"y','' )  "}},
        // a trailing name without a value is ignored
        {{u"a", u"1", u"b"}, {u"Insert into T", u"( a )  ", u" Values ( '1' )  "}},
        {{}, {u"Insert into T", u"(  )  ", u" Values (  )  "}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(joined(c.expected), joined(insert_statement_lines(u"T", c.pairs))) << joined(c.pairs);
}

TEST(StatementTexts, UpdateLines)
{
    EXPECT_EQ(joined({u"UPDATE Mercadorias SET", u"a='1',b='2'", u"WHERE", u"( cod_red=7 )"}),
              joined(update_statement_lines(u"Mercadorias", u"a='1',b='2'", u"cod_red=7")));
}

TEST(StatementTexts, UpdateAssignments)
{
    struct {
        Lines pairs;
        std::u16string expected;
    } cases[] = {
        {{u"vlr_ven", u"12,50"}, u"vlr_ven='12,50'"},
        {{u"nom_mer", u"O'Neil \"X\", 2"}, u"nom_mer='O''Neil \"X\", 2'"},
        {{u"a", u"1", u"b", u"", u"c", u"3"}, u"a='1',b='',c='3'"},
        {{u"", u"", u"a", u"1"}, u"a='1'"},
        {{u"", u""}, u""},
        {{u"", u"5"}, u"='5'"},
        {{u"a", u"1", u"b"}, u"a='1'"},
        {{}, u""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, update_assignments(c.pairs)) << joined(c.pairs);
}

TEST(StatementTexts, PairCountIsTheWholePartOfHalf)
{
    struct {
        std::size_t texts;
        int pairs;
    } cases[] = {{0, 0}, {1, 0}, {2, 1}, {27, 13}, {28, 14}};
    for (const auto& c : cases) EXPECT_EQ(c.pairs, pair_count(Lines(c.texts, u"x"))) << c.texts;
}

}  // namespace

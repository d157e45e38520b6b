#include "db/firebird/ib_query.h"

#include <gtest/gtest.h>

#include <optional>

#include "db/firebird/client_library.h"
#include "db/firebird/database_error.h"
#include "db/firebird/ib_database.h"
#include "db/firebird/ib_transaction.h"
#include "support/failure_message.h"
#include "support/test_database.h"
#include "util/number_text.h"
#include "util/utf.h"

namespace {

class IBQueryTest : public ::testing::Test {
protected:
    IBQueryTest() : database(ClientLibrary::load()), transaction(database), query(database, transaction, u"qrySelect1")
    {
        database.set_params({u"user_name=SYSDBA", u"password=plumbdoor"});
        database.set_database_name(db.name());
    }

    void connect()
    {
        database.connect();
        transaction.start();
    }

    void run(std::u16string statement)
    {
        query.replace_text({std::move(statement)});
        query.execute();
    }

    void open(std::u16string select)
    {
        query.replace_text({std::move(select)});
        query.Open();
    }

    TestDatabase db;
    IBDatabase database;
    IBTransaction transaction;
    IBQuery query;
};

TEST_F(IBQueryTest, ReadsEachColumnTypeAsTextAndInteger)
{
    connect();
    const std::u16string sep(1, regional_decimal_separator());
    struct {
        std::u16string expression;
        std::u16string text;
        std::optional<std::int32_t> integer;  // none: not an integer text
    } cases[] = {
        {u"cast(-12 as smallint)", u"-12", -12},
        {u"cast(2147483647 as integer)", u"2147483647", 2147483647},
        {u"cast(-2147483648 as integer)", u"-2147483648", INT32_MIN},
        {u"cast(12 as bigint)", u"12", 12},
        {u"cast(12.5 as numeric(15,2))", u"12" + sep + u"50", 13},
        {u"cast(-12.5 as numeric(15,2))", u"-12" + sep + u"50", -13},
        {u"cast(-0.05 as numeric(4,2))", u"-0" + sep + u"05", 0},
        {u"cast(1.25 as decimal(18,4))", u"1" + sep + u"2500", 1},
        {u"cast(2.5 as double precision)", u"2" + sep + u"5", 3},
        {u"cast(0.5 as float)", u"0" + sep + u"5", 1},
        {u"cast(' 42' as varchar(10))", u" 42", 42},
        {u"cast('T' as char(3))", u"T", std::nullopt},
        {u"cast(null as integer)", u"", 0},
        {u"cast(null as varchar(5))", u"", 0},
        {u"true", u"True", 1},
        {u"date '2024-02-29'", u"2024-02-29", std::nullopt},
        {u"date '1858-11-16'", u"1858-11-16", std::nullopt},
        {u"time '13:05:09'", u"13:05:09", std::nullopt},
        {u"timestamp '2001-12-31 23:59:58.5'", u"2001-12-31 23:59:58.5000", std::nullopt},
    };
    for (const auto& c : cases) {
        open(u"select " + c.expression + u" as v from rdb$database");
        auto field = query.FieldByName(u"v");
        EXPECT_EQ(c.text, field.AsString()) << utf16_to_utf8(c.expression);
        if (c.integer)
            EXPECT_EQ(*c.integer, field.AsInteger()) << utf16_to_utf8(c.expression);
        else
            EXPECT_THROW(field.AsInteger(), ConversionError) << utf16_to_utf8(c.expression);
    }
}

TEST_F(IBQueryTest, IntegerOutside32BitsFailsLikeTheIntegerRule)
{
    connect();
    open(u"select cast(3000000000 as bigint) as v from rdb$database");
    EXPECT_EQ(u"'3000000000' is not a valid integer value",
              failure_message([&] { query.FieldByName(u"v").AsInteger(); }));
}

TEST_F(IBQueryTest, ColumnsAreFoundByNameInAnyCase)
{
    connect();
    run(u"insert into Departamentos (cod_dep, nom_dep) values (7, 'BEBIDAS')");
    open(u"select * from Departamentos");
    for (auto name : {u"COD_DEP", u"cod_dep", u"Cod_Dep"})
        EXPECT_EQ(7, query.FieldByName(name).AsInteger()) << utf16_to_utf8(name);
    EXPECT_EQ(u"qrySelect1: Field 'codigo' not found", failure_message([&] { query.FieldByName(u"codigo"); }));

    open(u"Select Max(cod_dep) codigo from Departamentos where cod_dep > 7");
    EXPECT_FALSE(query.Eof());
    EXPECT_TRUE(query.FieldByName(u"CODIGO").IsNull());
    EXPECT_EQ(0, query.FieldByName(u"codigo").AsInteger());
    EXPECT_EQ(u"", query.FieldByName(u"codigo").AsString());
}

TEST_F(IBQueryTest, OpenStopsAtTheFirstRowAndNextMovesOn)
{
    connect();
    run(u"insert into Departamentos (cod_dep) select 1 from rdb$database union all select 2 from rdb$database");
    open(u"select cod_dep from Departamentos order by cod_dep");
    EXPECT_FALSE(query.Eof());
    EXPECT_EQ(1, query.FieldByName(u"cod_dep").AsInteger());
    query.Next();
    EXPECT_EQ(2, query.FieldByName(u"cod_dep").AsInteger());
    query.Next();
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(u"", query.FieldByName(u"cod_dep").AsString());

    open(u"select cod_dep from Departamentos where cod_dep = 3");
    EXPECT_TRUE(query.active());
    EXPECT_TRUE(query.Eof());
    query.close();
    EXPECT_EQ(u"qrySelect1: Cannot perform this operation on a closed dataset",
              failure_message([&] { query.FieldByName(u"cod_dep"); }));
}

TEST_F(IBQueryTest, WideResultGrowsItsBuffers)
{
    connect();
    std::u16string select = u"select ";
    for (int i = 1; i <= 40; ++i)
        select += (i > 1 ? u", " : u"") + utf8_to_utf16(std::to_string(i) + " as c" + std::to_string(i));
    open(select + u" from rdb$database");
    EXPECT_EQ(40, query.field_count());
    EXPECT_EQ(1, query.FieldByName(u"c1").AsInteger());
    EXPECT_EQ(40, query.FieldByName(u"c40").AsInteger());
}

// The server keeps the text of the running statement: it shows every line
// followed by CR LF, the last one included.
TEST_F(IBQueryTest, TextIsTheLinesEachFollowedByCrLf)
{
    connect();
    query.replace_text({u"select cast(mon$sql_text as varchar(200)) as sql_text from mon$statements",
                        u"where mon$attachment_id = current_connection and mon$state = 1"});
    query.Open();
    EXPECT_EQ(u"select cast(mon$sql_text as varchar(200)) as sql_text from mon$statements\r\n"
              u"where mon$attachment_id = current_connection and mon$state = 1\r\n",
              query.FieldByName(u"sql_text").AsString());
}

TEST_F(IBQueryTest, ColonInsideALiteralIsText)
{
    connect();
    run(u"insert into Departamentos (cod_dep, nom_dep) values (1, 'Aberto 10:30? sim')");
    open(u"select nom_dep from Departamentos");
    EXPECT_EQ(u"Aberto 10:30? sim", query.FieldByName(u"nom_dep").AsString());
}

// Nothing is connected, so a parse error proves that nothing was sent.
TEST_F(IBQueryTest, UnpairedQuoteFailsBeforeTheServerIsAsked)
{
    query.replace_text({u"insert into Departamentos (nom_dep)", u"values ('O'Neil')"});
    EXPECT_EQ(u"SQL Parse Error:\r\n\r\nEOF in string detected", failure_message([&] { query.execute(); }));
    EXPECT_EQ(u"Cannot perform operation -- DB is not open", [&] {
        query.replace_text({u"select 1 from rdb$database"});
        return failure_message([&] { query.Open(); });
    }());
}

TEST_F(IBQueryTest, EmptyTexts)
{
    connect();
    EXPECT_EQ(u"Empty query", failure_message([&] { query.prepare(); }));
    EXPECT_EQ(u"Empty SQL Statement", failure_message([&] { query.execute(); }));
}

TEST_F(IBQueryTest, ServerErrorLinesJoinedByCrLf)
{
    connect();
    query.replace_text({u"select * from Nowhere"});
    try {
        query.Open();
        FAIL();
    } catch (const DatabaseError& e) {
        EXPECT_EQ(u"Dynamic SQL Error\r\nSQL error code = -204\r\nTable unknown\r\nNOWHERE\r\nAt line 1, column 15",
                  e.message());
        EXPECT_EQ(-204, e.sql_code());
        EXPECT_EQ(335544569, e.error_code());  // isc_dsql_error
    }
    EXPECT_FALSE(query.prepared());
    EXPECT_TRUE(transaction.active());  // a failed statement leaves the transaction alone
}

}  // namespace

namespace {

// Bound values reach the columns as the same values written as literals
// would: quotes untouched, numbers converted by the column's type, NULL
// for no value or a marker left unset; a new text forgets them all.
TEST_F(IBQueryTest, ParametersConvertAsLiteralsDo)
{
    connect();
    run(u"create table t (name varchar(20), price numeric(15,2), code integer)");
    transaction.commit_retaining();
    query.replace_text({u"insert into t (name, price, code) values (?, ?, ?)"});
    ASSERT_EQ(3, query.parameter_count());
    const std::optional<std::u16string_view> rows[][3] = {
        {u"D'Ouro \"1\", ok", u"12.345", u"7"},
        {std::nullopt, u"-3", u" 8 "},
        {u"", std::nullopt, std::nullopt},
    };
    for (const auto& row : rows) {
        for (int i = 0; i < 3; ++i) query.set_parameter(i, row[i]);
        query.execute();
    }
    query.replace_text({u"insert into t (name, price) values (?, ?)"});
    query.set_parameter(0, u"unset price");
    query.execute();

    run(u"insert into t (name, price, code) values ('literal', '12.345', ' 8 ')");
    open(u"select coalesce(name, '<null>'), coalesce(price, -1), coalesce(code, -1) from t");
    std::vector<std::u16string> seen;
    for (; !query.Eof(); query.Next())
        for (int i = 0; i < 3; ++i) seen.push_back(query.field(i).AsString());
    const std::u16string sep(1, regional_decimal_separator());
    EXPECT_EQ((std::vector<std::u16string>{u"D'Ouro \"1\", ok", u"12" + sep + u"35", u"7", u"<null>",
                                           u"-3" + sep + u"00", u"8", u"", u"-1" + sep + u"00", u"-1", u"unset price",
                                           u"-1" + sep + u"00", u"-1", u"literal", u"12" + sep + u"35", u"8"}),
              seen);
}

TEST_F(IBQueryTest, ParameterRefusals)
{
    connect();
    query.replace_text({u"select cast(? as varchar(5)) from rdb$database"});
    EXPECT_EQ(u"qrySelect1: Parameter index out of range", failure_message([&] { query.set_parameter(1, u"x"); }));
    EXPECT_EQ(u"qrySelect1: Parameter value too long",
              failure_message([&] { query.set_parameter(0, std::u16string(32768, u'x')); }));
    query.set_parameter(0, u"abcdef");
    EXPECT_NE(std::u16string::npos, failure_message([&] { query.Open(); }).find(u"truncation"));
}

// One exchange gives the row; no cursor is left to close.
TEST_F(IBQueryTest, SingleRowReadsAsAfterOpen)
{
    connect();
    query.replace_text({u"select cast(? as integer) + 1 as next_code from rdb$database"});
    query.set_parameter(0, u"41");
    query.open_single_row();
    EXPECT_FALSE(query.Eof());
    EXPECT_EQ(42, query.FieldByName(u"NEXT_CODE").AsInteger());
    query.Next();
    EXPECT_TRUE(query.Eof());
    query.close();
    query.set_parameter(0, u"1");
    query.open_single_row();
    EXPECT_EQ(2, query.FieldByName(u"next_code").AsInteger());
}

}  // namespace

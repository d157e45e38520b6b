#include "api/memory_table.h"
#include "support/failure_message.h"
#include "util/error.h"
#include "util/utf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string u8(std::u16string_view text)
{
    return utf16_to_utf8(text);
}

struct Table : MemoryTable {
    explicit Table(char16_t separator = u',') : MemoryTable(u"tblProdutos") { set_decimal_separator(separator); }
};

// Columns, then every row: "codigo|nome;1|A;2|∅" (∅ for a null cell).
std::u16string dump(MemoryTable& table)
{
    std::u16string out;
    const auto names = table.column_names();
    for (std::size_t i = 0; i < names.size(); ++i) out += (i ? u"|" : u"") + names[i];
    for (table.First(); !table.Eof(); table.Next()) {
        out += u";";
        for (std::size_t i = 0; i < names.size(); ++i) {
            const auto field = table.FieldByName(names[i]);
            out += (i ? u"|" : u"") + (field.IsNull() ? u"∅" : field.AsString());
        }
    }
    return out;
}

std::u16string closed_message()
{
    return u"tblProdutos: Cannot perform this operation on a closed dataset";
}

TEST(MemoryTable, AnswersGiveColumnsAndRows)
{
    struct {
        std::u16string body;
        std::u16string table;
    } cases[] = {
        {uR"([{"codigo":1,"nome":"A"},{"codigo":2,"nome":"B","extra":5}])", u"codigo|nome;1|A;2|B"},
        {uR"([{"codigo":1,"nome":"A"},{"codigo":2}])", u"codigo|nome;1|A;2|∅"},
        {uR"({"message":"Unauthenticated."})", u"message;Unauthenticated."},
        {uR"([{"Nome":"A"},{"nome":"B"}])", u"Nome;A;∅"},
        {uR"([{"a":1,"A":2,"a":3}])", u"a;1"},
        {uR"([{"Preço":1,"PREÇO":2}])", u"Preço;1"},
        {uR"([{"":1,"b":2}])", u"b;2"},
        {uR"([{"o":{"x":"a/b"},"l":[1,2.50],"t":true,"f":false,"n":null,"s":"","b":"x  "}])",
         uR"(o|l|t|f|n|s|b;{"x":"a\/b"}|[1,2.50]|True|False|∅||x  )"},
        {uR"([{"x":1},2,null,[3]])", u"x;1;∅;∅;∅"},
        {uR"([1,"a",{"x":1},null])", uR"(valor;1;a;{"x":1};∅)"},
        {uR"([[1,2]])", u"valor;[1,2]"},
        {uR"("texto")", u"valor;texto"},
        {u"null", u"valor;∅"},
        {u"false", u"valor;False"},
    };
    for (const auto& c : cases) {
        Table table;
        table.load_body(c.body);
        EXPECT_TRUE(table.Active()) << u8(c.body);
        EXPECT_EQ(c.table, dump(table)) << u8(c.body);
    }
}

TEST(MemoryTable, AnswersWithoutColumnsLeaveItClosed)
{
    for (const std::u16string body : {u"", u"[]", u"{}", u"[{}]", uR"([{"":1}])"}) {
        Table table;
        table.load_body(uR"([{"codigo":1}])");
        table.load_body(body);
        EXPECT_FALSE(table.Active()) << u8(body);
        EXPECT_EQ(0u, table.RecordCount()) << u8(body);
        EXPECT_TRUE(table.column_names().empty()) << u8(body);
        EXPECT_TRUE(table.Eof()) << u8(body);
        EXPECT_EQ(closed_message(), failure_message([&] { table.First(); })) << u8(body);
        EXPECT_EQ(closed_message(), failure_message([&] { table.Next(); })) << u8(body);
    }
}

TEST(MemoryTable, InvalidBodyKeepsThePreviousPage)
{
    Table table;
    table.load_body(uR"([{"codigo":1},{"codigo":2}])");
    table.Next();
    for (const std::u16string body : {u"<html><body>Bad Gateway</body></html>", u"[1,"}) {
        EXPECT_EQ(u"Response content is not valid JSON", failure_message([&] { table.load_body(body); })) << u8(body);
        EXPECT_EQ(u"2", table.FieldByName(u"codigo").AsString());
    }
    EXPECT_EQ(u"codigo;1;2", dump(table));
}

TEST(MemoryTable, NextPageReplacesColumnsAndRows)
{
    Table table;
    table.load_body(uR"([{"codigo":1,"nome":"A"},{"codigo":2,"nome":"B"}])");
    table.Next();
    table.Next();
    ASSERT_TRUE(table.Eof());
    table.load_body(uR"([{"id":9}])");
    EXPECT_FALSE(table.Eof());
    EXPECT_EQ(1u, table.RecordCount());
    EXPECT_EQ(u"tblProdutos: Field 'codigo' not found", failure_message([&] { table.FieldByName(u"codigo"); }));
    EXPECT_EQ(u"id;9", dump(table));
}

TEST(MemoryTable, NumbersBecomeTextWithEitherSeparator)
{
    struct {
        std::u16string lexeme;
        std::u16string comma;
        std::u16string point;
    } cases[] = {
        {u"7891234567890", u"7891234567890", u"7891234567890"},
        {u"12345678901", u"12345678901", u"12345678901"},
        {u"123456789012", u"123456789012", u"123456789012"},
        {u"-9223372036854775808", u"-9223372036854775808", u"-9223372036854775808"},
        {u"22021000", u"22021000", u"22021000"},
        {u"-5", u"-5", u"-5"},
        {u"-0", u"0", u"0"},
        {u"28.25", u"28,25", u"28.25"},
        {u"10.50", u"10,5", u"10.5"},
        {u"1E3", u"1000", u"1000"},
        {u"0.00001", u"1E-5", u"1E-5"},
        {u"0.1", u"0,1", u"0.1"},
        {u"1.5e300", u"1,5E300", u"1.5E300"},
        {u"100000000000.5", u"100000000000,5", u"100000000000.5"},
        {u"1234567890.123456789", u"1234567890,12346", u"1234567890.12346"},
        {u"1e-400", u"0", u"0"},
    };
    for (const auto& c : cases) {
        for (const auto& [separator, expected] : {std::pair{u',', c.comma}, std::pair{u'.', c.point}}) {
            Table table(separator);
            table.load_body(u"[" + c.lexeme + u"]");
            EXPECT_EQ(expected, table.FieldByName(u"valor").AsString()) << u8(c.lexeme);
            // A JSON number always reads back as a number.
            EXPECT_NO_THROW(table.FieldByName(u"valor").AsFloat()) << u8(c.lexeme);
        }
    }
}

// A number the table cannot hold fails every read of its own cell with the
// integer rule's message, and nothing else: the product that carries it
// can be skipped alone.
TEST(MemoryTable, UnreadableNumberFailsOnlyItsCell)
{
    const std::u16string lexemes[] = {u"123456789012345678901", u"9223372036854775808", u"12345678e100"};
    for (const auto& lexeme : lexemes) {
        Table table;
        table.load_body(uR"([{"a":1,"b":2,"c":3},{"a":4,"b":)" + lexeme + uR"(,"c":6},{"a":7,"b":8,"c":9}])");
        EXPECT_EQ(3u, table.RecordCount());
        table.Next();
        const std::u16string message = u"'" + lexeme + u"' is not a valid integer value";
        EXPECT_EQ(message, failure_message([&] { table.FieldByName(u"b").AsString(); })) << u8(lexeme);
        EXPECT_EQ(message, failure_message([&] { table.FieldByName(u"b").AsInteger(); })) << u8(lexeme);
        EXPECT_EQ(message, failure_message([&] { table.FieldByName(u"b").AsFloat(); })) << u8(lexeme);
        EXPECT_EQ(u"4", table.FieldByName(u"a").AsString());
        EXPECT_EQ(u"6", table.FieldByName(u"c").AsString());
        table.Next();
        EXPECT_EQ(u"8", table.FieldByName(u"b").AsString());
    }
}

TEST(MemoryTable, LongTextsAreCutTo255Characters)
{
    const std::u16string long_text(300, u'ç');
    Table table;
    table.load_body(uR"([{"s":")" + long_text + uR"(","o":[")" + long_text + uR"("],"e":")" +
                    std::u16string(255, u'x') + u"\"}]");
    EXPECT_EQ(long_text.substr(0, 255), table.FieldByName(u"s").AsString());
    EXPECT_EQ(u"[\"" + long_text.substr(0, 253), table.FieldByName(u"o").AsString());
    EXPECT_EQ(std::u16string(255, u'x'), table.FieldByName(u"e").AsString());
}

TEST(MemoryTable, ReadsCellsAsIntegers)
{
    struct {
        std::u16string json;
        std::int32_t value;
        std::u16string message;
    } cases[] = {
        {u"7", 7, u""},
        {u"\"42\"", 42, u""},
        {u"\" 42\"", 42, u""},
        {u"-2147483648", -2147483648, u""},
        {u"2147483647", 2147483647, u""},
        {u"2147483648", 0, u"'2147483648' is not a valid integer value"},
        {u"7891234567890", 0, u"'7891234567890' is not a valid integer value"},
        {u"28.5", 0, u"'28,5' is not a valid integer value"},
        {u"\"1.0\"", 0, u"'1.0' is not a valid integer value"},
        {u"true", 0, u"'True' is not a valid integer value"},
        {u"null", 0, u"'' is not a valid integer value"},
        {u"\"\"", 0, u"'' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        Table table(u',');
        table.load_body(uR"([{"v":0},{"v":)" + c.json + u"}]");
        table.Next();
        const auto field = table.FieldByName(u"V");
        if (c.message.empty())
            EXPECT_EQ(c.value, field.AsInteger()) << u8(c.json);
        else
            EXPECT_EQ(c.message, failure_message([&] { field.AsInteger(); })) << u8(c.json);
    }
    // A member missing from the row reads as the empty text.
    Table table;
    table.load_body(uR"([{"codigo":1,"nome":"A"},{"codigo":2}])");
    table.Next();
    EXPECT_EQ(u"'' is not a valid integer value", failure_message([&] { table.FieldByName(u"nome").AsInteger(); }));
}

TEST(MemoryTable, ReadsCellsAsNumbersWithTheTablesSeparator)
{
    struct {
        char16_t separator;
        std::u16string json;
        double value;
        std::u16string message;
    } cases[] = {
        {u',', u"28.25", 28.25, u""},
        {u'.', u"28.25", 28.25, u""},
        {u',', u"0.1", 0.1, u""},
        {u'.', u"1.5e300", 1.5e300, u""},
        {u',', u"\"28\"", 28, u""},
        {u',', u"\" 2,5 \"", 2.5, u""},
        {u',', u"\",5\"", 0.5, u""},
        {u'.', u"\"28.25\"", 28.25, u""},
        {u',', u"\"28.25\"", 0, u"'28.25' is not a valid floating point value"},
        {u'.', u"\"2,5\"", 0, u"'2,5' is not a valid floating point value"},
        {u',', u"\"1.000,50\"", 0, u"'1.000,50' is not a valid floating point value"},
        {u',', u"\"-\"", 0, u"'-' is not a valid floating point value"},
        {u',', u"null", 0, u"'' is not a valid floating point value"},
        {u'.', u"true", 0, u"'True' is not a valid floating point value"},
    };
    for (const auto& c : cases) {
        Table table(c.separator);
        table.load_body(uR"({"v":)" + c.json + u"}");
        const auto field = table.FieldByName(u"v");
        if (c.message.empty())
            EXPECT_DOUBLE_EQ(c.value, field.AsFloat()) << u8(c.json) << " with " << char(c.separator);
        else
            EXPECT_EQ(c.message, failure_message([&] { field.AsFloat(); }))
                << u8(c.json) << " with " << char(c.separator);
    }
}

TEST(MemoryTable, WalksRowsLikeADataset)
{
    Table table;
    table.load_body(u"[1,2,3]");
    const auto field = table.FieldByName(u"valor");
    EXPECT_EQ(3u, table.RecordCount());
    EXPECT_FALSE(table.Eof());
    EXPECT_EQ(u"1", field.AsString());
    table.Next();
    table.Next();
    EXPECT_FALSE(table.Eof());
    EXPECT_EQ(u"3", field.AsString());
    table.Next();
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(u"3", field.AsString());
    table.Next();
    EXPECT_TRUE(table.Eof());
    table.First();
    EXPECT_FALSE(table.Eof());
    EXPECT_EQ(u"1", field.AsString());
    // A field kept across closing the table reports the closed table.
    table.Close();
    EXPECT_EQ(closed_message(), failure_message([&] { field.AsString(); }));
}

TEST(MemoryTable, FindsColumnsIgnoringCaseOfAccentedLetters)
{
    Table table;
    table.load_body(uR"([{"Preço":1,"ÁGUA":2,"Ÿ":3,"Ĳ":4,"Ł":5,"é":6}])");
    struct {
        std::u16string name;
        std::u16string value;
    } cases[] = {
        {u"preço", u"1"}, {u"PREÇO", u"1"}, {u"água", u"2"}, {u"Água", u"2"},
        {u"ÿ", u"3"},     {u"ĳ", u"4"},     {u"ł", u"5"},    {u"É", u"6"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value, table.FieldByName(c.name).AsString()) << u8(c.name);
    // Accents are letters of their own, not decorations of the plain letter.
    for (const std::u16string name : {u"preco", u"agua", u"e", u"nomeDepartamento"})
        EXPECT_EQ(u"tblProdutos: Field '" + name + u"' not found", failure_message([&] { table.FieldByName(name); }))
            << u8(name);
}

}  // namespace

#include "api/memory_table.h"
#include "support/failure_message.h"
#include "util/utf.h"
#include "json/reader.h"

#include <gtest/gtest.h>

#include <string>

// The products table filled from the body's events: what columns and cells
// an answer of each shape gives, and what a failure leaves.
namespace {

std::string u8(std::u16string_view text)
{
    return utf16_to_utf8(text);
}

// "!failure! " when there was one, then "closed", or the columns, "@" and the
// current row, "=" and every row; "∅" is a null cell, "⚠message" a cell whose
// read fails.
std::u16string dump(MemoryTable& table, const std::u16string& failure)
{
    std::u16string out = failure == u"(no error)" ? u"" : u"!" + failure + u"! ";
    if (!table.Active()) return out + u"closed";
    const auto columns = table.column_names();
    for (std::size_t i = 0; i < columns.size(); ++i) out += (i ? u"|" : u"") + columns[i];
    auto row = [&] {
        out += u";";
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const auto field = table.FieldByName(columns[i]);
            out += i ? u"|" : u"";
            try {
                out += field.IsNull() ? std::u16string(u"∅") : field.AsString();
            } catch (const ConversionError& failure) {
                out += u"⚠" + failure.message();
            }
        }
    };
    out += u" @";
    row();
    out += u" =";
    for (table.First(); !table.Eof(); table.Next()) row();
    return out;
}

// Each table starts with an earlier page on its second row, so that a
// failure that must leave it unchanged shows.
std::u16string rebuilt(const std::function<void(MemoryTable&)>& load)
{
    MemoryTable table(u"tblProdutos");
    table.set_decimal_separator(u',');
    table.load_body(uR"([{"anterior":1},{"anterior":2}])");
    table.Next();
    const std::u16string failure = failure_message([&] { load(table); });
    return dump(table, failure);
}

// The same table from the UTF-16 text and from the UTF-8 bytes.
void expect_table(std::u16string_view body, std::u16string_view expected)
{
    EXPECT_EQ(expected, rebuilt([&](MemoryTable& table) { table.load_body(body); })) << u8(body);
    const std::string utf8 = utf16_to_utf8(body);
    EXPECT_EQ(expected, rebuilt([&](MemoryTable& table) {
                  table.load_json([&](JsonEvents& events) { return read_json_events_utf8(utf8, events); });
              }))
        << u8(body);
}

std::u16string nested(int depth)
{
    return std::u16string(depth, u'[') + std::u16string(depth, u']');
}

const std::u16string bad = u"123456789012345678901";
const std::u16string bad_cell = u"⚠'123456789012345678901' is not a valid integer value";
const std::u16string earlier_page_kept = u"!Response content is not valid JSON! anterior @;2 =;1;2";

TEST(JsonTableLoader, ShapesOfAnswers)
{
    struct {
        std::u16string body;
        std::u16string expected;
    } cases[] = {
        {uR"([{"codigo":1,"nome":"A"},{"codigo":2,"nome":"B","extra":5}])", u"codigo|nome @;1|A =;1|A;2|B"},
        {uR"([{"codigo":1,"nome":"A"},{"codigo":2}])", u"codigo|nome @;1|A =;1|A;2|∅"},
        {uR"({"message":"Unauthenticated."})", u"message @;Unauthenticated. =;Unauthenticated."},
        // Columns from the first element: later elements that are no object
        // give empty rows, nested objects their compact text.
        {uR"([{"x":1},2,null,[3,{"x":9}],"x",{"x":{"x":1}},true])", uR"(x @;1 =;1;∅;∅;∅;∅;{"x":1};∅)"},
        {uR"([1,"a",{"x":1},null,[2,[3]],false])", uR"(valor @;1 =;1;a;{"x":1};∅;[2,[3]];False)"},
        {uR"([[{"a":1}],{"a":2}])", uR"(valor @;[{"a":1}] =;[{"a":1}];{"a":2})"},
        {u"\"texto\"", u"valor @;texto =;texto"},
        {u"7", u"valor @;7 =;7"},
        {u"-0.5e3", u"valor @;-500 =;-500"},
        {u"null", u"valor @;∅ =;∅"},
        {u"true", u"valor @;True =;True"},
        {u"false", u"valor @;False =;False"},
        {u"[[]]", u"valor @;[] =;[]"},
        // No column at all: closed.
        {u"[]", u"closed"},
        {u"{}", u"closed"},
        {u"[{}]", u"closed"},
        {uR"([{},{"a":1}])", u"closed"},
        {uR"([{"":1}])", u"closed"},
        {uR"({"":1})", u"closed"},
        {u"[{}, 3]", u"closed"},
    };
    for (const auto& c : cases) expect_table(c.body, c.expected);
}

TEST(JsonTableLoader, KeysAndValues)
{
    struct {
        std::u16string body;
        std::u16string expected;
    } cases[] = {
        // Keys: empty, repeated, other letter case, out of column order.
        {uR"([{"":1,"b":2},{"":5,"b":3,"b":4}])", u"b @;2 =;2;3"},
        {uR"([{"a":1,"A":2,"a":3},{"A":4,"a":5,"a":6}])", u"a @;1 =;1;5"},
        {uR"([{"Nome":"A"},{"nome":"B"},{"NOME":"C","Nome":"D"}])", u"Nome @;A =;A;∅;D"},
        {uR"([{"Preço":1,"PREÇO":2},{"preço":3,"Preço":4}])", u"Preço @;1 =;1;4"},
        {uR"([{"a":1,"b":2,"c":3},{"c":30,"b":20,"a":10},{"b":200}])", u"a|b|c @;1|2|3 =;1|2|3;10|20|30;∅|200|∅"},
        {uR"([{"a\"b":1,"a\/b":2},{"a/b":3}])", u"a\"b|a/b @;1|2 =;1|2;∅|3"},
        // Values: nested, null, booleans, empty and blank strings, escapes.
        {uR"([{"o":{"x":[1,{"y":null}],"z":"a/b"},"l":[],"n":null},{"o":[{"k":"v"}],"l":{"a":{}},"n":1}])",
         uR"(o|l|n @;{"x":[1,{"y":null}],"z":"a\/b"}|[]|∅ =;{"x":[1,{"y":null}],"z":"a\/b"}|[]|∅;[{"k":"v"}]|{"a":{}}|1)"},
        {uR"([{"t":true,"f":false,"s":"","b":"x  ","e":"\u00e9\ud83d\ude00\n\t\\"}])",
         u"t|f|s|b|e @;True|False||x  |é😀\n\t\\ =;True|False||x  |é😀\n\t\\"},
        {uR"({"o":{"o":{"o":{"o":[[[["deep"]]]]}}},"n":[null,true,1.5e300]})",
         uR"(o|n @;{"o":{"o":{"o":[[[["deep"]]]]}}}|[null,true,1.5e300] =;{"o":{"o":{"o":[[[["deep"]]]]}}}|[null,true,1.5e300])"},
        // Numbers: long integers keep their digits, the rest the regional form.
        {uR"([{"n":7891234567890},{"n":12345678901},{"n":-9223372036854775808},{"n":22021000},{"n":-5},{"n":-0}])",
         u"n @;7891234567890 =;7891234567890;12345678901;-9223372036854775808;22021000;-5;0"},
        {uR"([{"n":28.25},{"n":10.50},{"n":1E3},{"n":0.00001},{"n":1.5e300},{"n":1e-400},{"n":1234567890.123456789}])",
         u"n @;28,25 =;28,25;10,5;1000;1E-5;1,5E300;0;1234567890,12346"},
    };
    for (const auto& c : cases) expect_table(c.body, c.expected);
}

TEST(JsonTableLoader, TextsAreCutToTheColumnSize)
{
    const std::u16string long_text(300, u'ç');
    const std::u16string cut(255, u'ç');
    const std::u16string x255(255, u'x');
    const auto cut_compact = [](std::u16string text) { return text.substr(0, 255); };
    expect_table(uR"([{"s":")" + long_text + uR"(","o":[")" + long_text + uR"("],"e":")" + x255 + u"\"}]",
                 u"s|o|e @;" + cut + u"|" + cut_compact(u"[\"" + long_text) + u"|" + x255 + u" =;" + cut + u"|" +
                     cut_compact(u"[\"" + long_text) + u"|" + x255);
    expect_table(u"[\"" + long_text + uR"(",[")" + long_text + uR"("],{"k":")" + long_text + u"\"}]",
                 u"valor @;" + cut + u" =;" + cut + u";" + cut_compact(u"[\"" + long_text) + u";" +
                     cut_compact(u"{\"k\":\"" + long_text));
    // A column name is not cut.
    expect_table(uR"({")" + long_text + uR"(":1})", long_text + u" @;1 =;1");
}

// A number that is no 64-bit integer fails only its own cell, whatever the
// members' order; the rows go on. Inside a nested value it is only text.
TEST(JsonTableLoader, UnreadableNumberFailsOnlyItsCell)
{
    struct {
        std::u16string body;
        std::u16string expected;
    } cases[] = {
        {uR"([{"a":1,"b":2,"c":3},{"a":4,"b":)" + bad + uR"(,"c":6},{"a":7,"b":8,"c":9}])",
         u"a|b|c @;1|2|3 =;1|2|3;4|" + bad_cell + u"|6;7|8|9"},
        {uR"([{"a":1,"b":2,"c":3},{"c":)" + bad + uR"(,"a":4,"b":5},{"a":7}])",
         u"a|b|c @;1|2|3 =;1|2|3;4|5|" + bad_cell + u";7|∅|∅"},
        {uR"([{"a":1,"b":2,"c":3},{"c":99999999999999999999,"b":88888888888888888888,"a":4}])",
         u"a|b|c @;1|2|3 =;1|2|3;4|⚠'88888888888888888888' is not a valid integer value|"
         u"⚠'99999999999999999999' is not a valid integer value"},
        {uR"([{"a":1},{"a":)" + bad + uR"(,"a":2}])", u"a @;1 =;1;" + bad_cell},
        {uR"([{"a":1},{"a":2,"a":)" + bad + u"}]", u"a @;1 =;1;2"},
        {uR"([{"a":)" + bad + uR"(,"b":1}])", u"a|b @;" + bad_cell + u"|1 =;" + bad_cell + u"|1"},
        {uR"({"a":1,"b":)" + bad + uR"(,"c":2})", u"a|b|c @;1|" + bad_cell + u"|2 =;1|" + bad_cell + u"|2"},
        {u"[1," + bad + u",3]", u"valor @;1 =;1;" + bad_cell + u";3"},
        {u"[1,12345678e100]", u"valor @;1 =;1;⚠'12345678e100' is not a valid integer value"},
        // Too large for a double, though JSON's grammar allows them.
        {u"[1e400,-1E+999999,1" + std::u16string(400, u'0') + u",1e-999999]",
         u"valor @;⚠'1e400' is not a valid floating point value =;⚠'1e400' is not a valid floating point value;"
         u"⚠'-1E+999999' is not a valid floating point value;⚠'1" +
             std::u16string(400, u'0') + u"' is not a valid integer value;0"},
        {bad, u"valor @;" + bad_cell + u" =;" + bad_cell},
        {uR"([{"a":1},{"a":{"n":)" + bad + u"}}]", u"a @;1 =;1;{\"n\":" + bad + u"}"},
    };
    for (const auto& c : cases) expect_table(c.body, c.expected);
}

// A body that is no JSON leaves the earlier page as it was, even after a
// number failed before the fault was found.
TEST(JsonTableLoader, BodyThatIsNoJsonKeepsTheEarlierPage)
{
    const std::u16string bodies[] = {
        u"<html><body>Bad Gateway</body></html>",
        u"[1,",
        u"[{\"a\":1}] x",
        u"{}{}",
        uR"([{"a":1},{"a":)" + bad + u"},",
        u"  \n",
        nested(max_json_nesting + 1),
        u"[{\"a\":" + nested(max_json_nesting) + u"}]",
    };
    for (const auto& body : bodies) expect_table(body, earlier_page_kept);
    expect_table(nested(max_json_nesting), u"valor @;" + nested(max_json_nesting).substr(0, 255) + u" =;" +
                                               nested(max_json_nesting).substr(0, 255));
}

}  // namespace

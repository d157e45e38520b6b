#include "api/memory_table.h"
#include "support/failure_message.h"
#include "util/error.h"
#include "util/utf.h"
#include "json/compact_writer.h"
#include "json/value.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

// A table filled straight from the body's events must equal, cell by cell,
// the table filled from the body's value tree, failures included.
namespace {

std::string u8(std::u16string_view text)
{
    return utf16_to_utf8(text);
}

struct Snapshot {
    std::u16string failure;
    bool active = false;
    bool eof = false;
    std::vector<std::u16string> columns;
    std::vector<std::optional<std::u16string>> cells;

    bool operator==(const Snapshot&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Snapshot& s)
{
    out << "failure '" << u8(s.failure) << "', " << (s.active ? "open" : "closed") << (s.eof ? ", eof" : "") << ", ";
    for (const auto& column : s.columns) out << u8(column) << "|";
    for (const auto& cell : s.cells) out << (cell ? "«" + u8(*cell) + "»" : "∅") << " ";
    return out;
}

// The table as a reader sees it right after the rebuild: open on its first
// row, then every row.
Snapshot snapshot(MemoryTable& table, std::u16string failure)
{
    Snapshot s{std::move(failure), table.Active(), table.Eof(), table.column_names(), {}};
    if (!s.active) return s;
    for (std::size_t i = 0; i < s.columns.size(); ++i)
        s.cells.push_back(table.FieldByName(s.columns[i]).AsString());  // the current row first
    for (table.First(); !table.Eof(); table.Next())
        for (const auto& name : s.columns) {
            const auto field = table.FieldByName(name);
            s.cells.push_back(field.IsNull() ? std::nullopt : std::optional(field.AsString()));
        }
    return s;
}

// Each table starts with an earlier page, so that a failure that must leave
// it unchanged shows.
MemoryTable earlier_page(char16_t separator)
{
    MemoryTable table(u"tblProdutos");
    table.set_decimal_separator(separator);
    table.load_body(uR"([{"anterior":1},{"anterior":2}])");
    table.Next();
    return table;
}

template <typename Load> Snapshot rebuilt(char16_t separator, Load&& load)
{
    MemoryTable table = earlier_page(separator);
    const std::u16string failure = failure_message([&] { load(table); });
    return snapshot(table, failure);
}

Snapshot from_tree(std::u16string_view body, char16_t separator)
{
    return rebuilt(separator, [&](MemoryTable& table) {
        const std::optional<JsonValue> value = read_json(body);
        if (!value) throw Error(u"Response content is not valid JSON");
        table.load(*value);
    });
}

Snapshot streamed(std::u16string_view body, char16_t separator)
{
    return rebuilt(separator, [&](MemoryTable& table) { table.load_body(body); });
}

Snapshot streamed_utf8(const std::string& body, char16_t separator)
{
    return rebuilt(separator, [&](MemoryTable& table) {
        table.load_json([&](JsonEvents& events) { return read_json_events_utf8(body, events); });
    });
}

void expect_same_table(std::u16string_view body)
{
    for (const char16_t separator : {u',', u'.'}) {
        const Snapshot expected = from_tree(body, separator);
        EXPECT_EQ(expected, streamed(body, separator)) << u8(body);
        EXPECT_EQ(expected, streamed_utf8(utf16_to_utf8(body), separator)) << u8(body);
    }
    std::u16string compact;
    CompactJsonWriter writer(compact);
    const bool valid = read_json_events(body, writer);
    const std::optional<JsonValue> value = read_json(body);
    ASSERT_EQ(value.has_value(), valid) << u8(body);
    if (value) {
        EXPECT_EQ(compact_json_text(*value), compact) << u8(body);
    }
}

std::u16string nested(int depth)
{
    return std::u16string(depth, u'[') + std::u16string(depth, u']');
}

TEST(JsonTableLoader, FillsTheSameTableAsTheValueTree)
{
    const std::u16string long_text(300, u'ç');
    const std::u16string bad = u"123456789012345678901";
    const std::u16string bodies[] = {
        // Shapes.
        uR"([{"codigo":1,"nome":"A"},{"codigo":2,"nome":"B","extra":5}])",
        uR"([{"codigo":1,"nome":"A"},{"codigo":2}])",
        uR"({"message":"Unauthenticated."})",
        uR"([{"x":1},2,null,[3,{"x":9}],"x",{"x":{"x":1}},true])",
        uR"([1,"a",{"x":1},null,[2,[3]],false])",
        uR"([[{"a":1}],{"a":2}])",
        u"\"texto\"",
        u"7",
        u"-0.5e3",
        u"null",
        u"true",
        u"false",
        u"[]",
        u"{}",
        u"[{}]",
        uR"([{},{"a":1}])",
        uR"([{"":1}])",
        uR"({"":1})",
        u"[[]]",
        u"[{}, 3]",
        // Keys: empty, repeated, other letter case, out of column order.
        uR"([{"":1,"b":2},{"":5,"b":3,"b":4}])",
        uR"([{"a":1,"A":2,"a":3},{"A":4,"a":5,"a":6}])",
        uR"([{"Nome":"A"},{"nome":"B"},{"NOME":"C","Nome":"D"}])",
        uR"([{"Preço":1,"PREÇO":2},{"preço":3,"Preço":4}])",
        uR"([{"a":1,"b":2,"c":3},{"c":30,"b":20,"a":10},{"b":200}])",
        uR"([{"a\"b":1,"a\/b":2},{"a/b":3}])",
        // Values: nested, null, booleans, empty and blank strings, escapes.
        uR"([{"o":{"x":[1,{"y":null}],"z":"a/b"},"l":[],"n":null},{"o":[{"k":"v"}],"l":{"a":{}},"n":1}])",
        uR"([{"t":true,"f":false,"s":"","b":"x  ","e":"\u00e9\ud83d\ude00\n\t\\"}])",
        uR"({"o":{"o":{"o":{"o":[[[["deep"]]]]}}},"n":[null,true,1.5e300]})",
        // Numbers.
        uR"([{"n":7891234567890},{"n":12345678901},{"n":-9223372036854775808},{"n":22021000},{"n":-5},{"n":-0}])",
        uR"([{"n":28.25},{"n":10.50},{"n":1E3},{"n":0.00001},{"n":1.5e300},{"n":1e-400},{"n":1234567890.123456789}])",
        // Texts at and past the column size, plain and nested.
        uR"([{"s":")" + long_text + uR"(","o":[")" + long_text + uR"("],"e":")" + std::u16string(255, u'x') + u"\"}]",
        u"[\"" + long_text + uR"(",[")" + long_text + uR"("],{"k":")" + long_text + u"\"}]",
        uR"({")" + long_text + uR"(":1})",
        // A number that is no 64-bit integer ends the rows; the row it is in
        // keeps the cells before its column, whatever the members' order.
        uR"([{"a":1,"b":2,"c":3},{"a":4,"b":)" + bad + uR"(,"c":6},{"a":7,"b":8,"c":9}])",
        uR"([{"a":1,"b":2,"c":3},{"c":)" + bad + uR"(,"a":4,"b":5},{"a":7}])",
        uR"([{"a":1,"b":2,"c":3},{"c":99999999999999999999,"b":88888888888888888888,"a":4}])",
        uR"([{"a":1},{"a":)" + bad + uR"(,"a":2}])",
        uR"([{"a":1},{"a":2,"a":)" + bad + u"}]",
        uR"([{"a":)" + bad + uR"(,"b":1}])",
        uR"({"a":1,"b":)" + bad + uR"(,"c":2})",
        u"[1," + bad + u",3]",
        u"[1,12345678e100]",
        bad,
        uR"([{"a":1},{"a":{"n":)" + bad + u"}}]",
        // Not JSON: the earlier page stays, even after a failing number.
        u"<html><body>Bad Gateway</body></html>",
        u"[1,",
        u"[{\"a\":1}] x",
        u"{}{}",
        uR"([{"a":1},{"a":1e400}])",
        uR"([{"a":1},{"a":)" + bad + u"},",
        u"  \n",
        nested(max_json_nesting),
        nested(max_json_nesting + 1),
        u"[{\"a\":" + nested(max_json_nesting) + u"}]",
    };
    for (const auto& body : bodies) expect_same_table(body);
}

// Random answers over a few keys that collide in letter case, with values
// of every kind, find what the list above does not.
class RandomAnswer {
public:
    explicit RandomAnswer(unsigned seed) : random_(seed) { }

    std::u16string page()
    {
        std::u16string out = u"[";
        const int rows = pick(6);
        for (int i = 0; i < rows; ++i) out += (i ? u"," : u"") + (pick(8) == 0 ? value(1) : object(1));
        return out + u"]";
    }
    std::u16string value(int depth)
    {
        switch (pick(depth < 3 ? 9 : 7)) {
        case 0: return u"null";
        case 1: return pick(2) ? u"true" : u"false";
        case 2:
        case 3: return one_of(numbers_);
        case 4:
        case 5: return one_of(strings_);
        case 6: return u"\"" + std::u16string(250 + pick(10), u'w') + u"\"";
        case 7: return object(depth + 1);
        default: {
            std::u16string out = u"[";
            for (int i = 0, n = pick(4); i < n; ++i) out += (i ? u"," : u"") + value(depth + 1);
            return out + u"]";
        }
        }
    }

private:
    std::u16string object(int depth)
    {
        std::u16string out = u"{";
        for (int i = 0, n = pick(6); i < n; ++i) out += (i ? u"," : u"") + one_of(keys_) + u":" + value(depth);
        return out + u"}";
    }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    const std::u16string& one_of(const std::vector<std::u16string>& items) { return items[pick(int(items.size()))]; }

    std::mt19937 random_;
    const std::vector<std::u16string> keys_ = {uR"("a")", uR"("A")",   uR"("b")",  uR"("c")",
                                               uR"("")",  uR"("ção")", uR"("ÇÃO")"};
    const std::vector<std::u16string> numbers_ = {
        u"0", u"-7", u"28.25", u"1E3", u"12345678901", u"7891234567890", u"123456789012345678901", u"0.00001"};
    const std::vector<std::u16string> strings_ = {uR"("")", uR"("x")", uR"("a\/b \"q\" \u00e3")", uR"(" 2,5 ")"};
};

TEST(JsonTableLoader, FillsTheSameTableForRandomAnswers)
{
    RandomAnswer answers(20240501);
    for (int i = 0; i < 400; ++i) expect_same_table(i % 5 == 0 ? answers.value(1) : answers.page());
}

}  // namespace

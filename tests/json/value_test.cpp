#include "util/utf.h"
#include "json/compact_writer.h"
#include "json/value.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

std::string u8(std::u16string_view text)
{
    return utf16_to_utf8(text);
}

// Both readers must agree, through a value tree and written as they read,
// so every body goes all four ways.
void expect_compact(std::u16string_view body, const std::optional<std::u16string>& expected)
{
    const std::string utf8 = utf16_to_utf8(body);
    const auto from_utf16 = read_json(body);
    const auto from_utf8 = read_json_utf8(utf8);
    ASSERT_EQ(expected.has_value(), from_utf16.has_value()) << u8(body);
    ASSERT_EQ(expected.has_value(), from_utf8.has_value()) << u8(body);
    std::u16string streamed16, streamed8;
    CompactJsonWriter writer16(streamed16), writer8(streamed8);
    ASSERT_EQ(expected.has_value(), read_json_events(body, writer16)) << u8(body);
    ASSERT_EQ(expected.has_value(), read_json_events_utf8(utf8, writer8)) << u8(body);
    if (expected) {
        EXPECT_EQ(*expected, compact_json_text(*from_utf16)) << u8(body);
        EXPECT_EQ(*expected, compact_json_text(*from_utf8)) << u8(body);
        EXPECT_EQ(*expected, streamed16) << u8(body);
        EXPECT_EQ(*expected, streamed8) << u8(body);
    }
}

TEST(JsonValue, BodiesGiveTheirCompactText)
{
    struct {
        std::u16string body;
        std::u16string compact;
    } cases[] = {
        {uR"({ "codigo": 7, "nome": "P\u00e3o/Leite", "preco": 10.50, "ativo": true })",
         uR"({"codigo":7,"nome":"Pão\/Leite","preco":10.50,"ativo":true})"},
        {u"200", u"200"},
        {u"\"200\"", u"\"200\""},
        {u" \r\n\t-0 \n", u"-0"},
        {uR"({"b":1,"a":2,"b":3})", uR"({"b":1,"a":2,"b":3})"},
        {uR"([1E3, 1.0e+3, -0.5E-02, 12345678901234567890123])", uR"([1E3,1.0e+3,-0.5E-02,12345678901234567890123])"},
        // Beyond a double, and number-like text in strings, kept as they are.
        {u"[1e999999, -1.5E+400, 1" + std::u16string(400, u'0') + uR"(, 1e-99999, "1e999", "a\"1e999"])",
         u"[1e999999,-1.5E+400,1" + std::u16string(400, u'0') + uR"(,1e-99999,"1e999","a\"1e999"])"},
        {uR"( [ {"x" : [ ] , "y":{ }} , null , false ] )", uR"([{"x":[],"y":{}},null,false])"},
        // Only " \ / and the five named controls are escaped; the rest is written as itself.
        {uR"("\u0001\b\f\n\r\t\"\\\/ /\u001f")", u"\"\u0001\\b\\f\\n\\r\\t\\\"\\\\\\/ \\/\u001f\""},
        {uR"("\u00e9\ud83d\ude00\u0000x")", u"\"é\U0001F600\0x\""s},
        {u"{\"chave \\/ \u00e7\":\"\u00e7\"}", u"{\"chave \\/ ç\":\"ç\"}"},
    };
    for (const auto& c : cases) expect_compact(c.body, c.compact);
}

TEST(JsonValue, InvalidBodiesGiveNoValue)
{
    const std::u16string cases[] = {
        u"",
        u"  \n",
        u"<html><body>500 Internal Server Error</body></html>",
        u"{} x",
        u"{}{}",
        u"{}\0"s,
        u"[1,]",
        uR"({"a":1,})",
        u"// note\n1",
        u"01",
        u"1.",
        u"1.e999",
        u"01e999",
        u"-e999",
        u"1e999.5",
        u"[1e999 1]",
        u"NaN",
        u"'a'",
        u"\"tab\there\"",
        uR"({"a"})",
        u"[",
        u"\"open",
    };
    for (const auto& body : cases) expect_compact(body, std::nullopt);
}

// The reader widens a number on a stack it may have to grow meanwhile: the
// digits must come through whole, from past the stack's first size to past
// the size where blocks are mapped on their own.
TEST(JsonValue, LongNumbersKeepEveryDigit)
{
    for (std::size_t digits : {100, 300, 300'000}) {
        const std::u16string number = u"-7." + std::u16string(digits, u'7') + u"E-2";
        expect_compact(u"[" + number + u",{\"n\":" + number + u"}]", u"[" + number + u",{\"n\":" + number + u"}]");
    }
}

TEST(JsonValue, NestingIsBounded)
{
    auto nested = [](int depth) { return std::u16string(depth, u'[') + std::u16string(depth, u']'); };
    expect_compact(nested(max_json_nesting), nested(max_json_nesting));
    expect_compact(nested(max_json_nesting + 1), std::nullopt);
    // Far deeper than any stack could follow: refused, not a crash.
    expect_compact(nested(1'000'000), std::nullopt);
}

TEST(JsonValue, KeepsLexemesDecodedStringsAndMembers)
{
    const auto value = read_json(uR"({"n":10.50,"s":"P\u00e3o","n":[-1E3,true]})");
    ASSERT_TRUE(value);
    ASSERT_EQ(JsonValue::Kind::Object, value->kind());
    const auto& members = value->members();
    ASSERT_EQ(3u, members.size());
    EXPECT_EQ(u"n", members[0].first);
    EXPECT_EQ(JsonValue::Kind::Number, members[0].second.kind());
    EXPECT_EQ(u"10.50", members[0].second.text());
    EXPECT_EQ(JsonValue::Kind::String, members[1].second.kind());
    EXPECT_EQ(u"Pão", members[1].second.text());
    const auto& elements = members[2].second.elements();
    ASSERT_EQ(2u, elements.size());
    EXPECT_EQ(u"-1E3", elements[0].text());
    EXPECT_EQ(JsonValue::Kind::True, elements[1].kind());
    ASSERT_NE(nullptr, value->find_member(u"n"));
    EXPECT_EQ(u"10.50", value->find_member(u"n")->text());
    EXPECT_EQ(nullptr, value->find_member(u"N"));
}

// The unpaired-surrogate strings of JSONTestSuite, whose meaning the grammar
// leaves open: each unpaired escape reads as U+FFFD, so that one string
// cannot refuse a page; a pair still reads as its character.
TEST(JsonValue, UnpairedSurrogateEscapesReadAsReplacementCharacter)
{
    struct {
        std::u16string body;
        std::u16string compact;
    } cases[] = {
        {uR"(["\uDADA"])", u"[\"\uFFFD\"]"},
        {uR"(["\uD888\u1234"])", u"[\"\uFFFD\u1234\"]"},
        {uR"(["\uD800\n"])", u"[\"\uFFFD\\n\"]"},
        {uR"(["\uDd1ea"])", u"[\"\uFFFDa\"]"},
        {uR"(["\uD800\uD800\n"])", u"[\"\uFFFD\uFFFD\\n\"]"},
        {uR"(["\ud800"])", u"[\"\uFFFD\"]"},
        {uR"(["\ud800abc"])", u"[\"\uFFFDabc\"]"},
        {uR"(["\uDd1e\uD834"])", u"[\"\uFFFD\uFFFD\"]"},
        {uR"(["\uDFAA"])", u"[\"\uFFFD\"]"},
        {uR"({"\uDFAA":0})", u"{\"\uFFFD\":0}"},
        // A lone high one just before a pair.
        {uR"(["\ud800\ud834\udd1e"])", u"[\"\uFFFD\U0001D11E\"]"},
        // An escaped backslash before "u" is no escape to mend.
        {uR"(["\\ud800"])", u"[\"\\\\ud800\"]"},
    };
    for (const auto& c : cases) expect_compact(c.body, c.compact);
    // Mending stops at the end of the text; what is unfinished stays invalid.
    expect_compact(u"[\"\\ud800", std::nullopt);
}

TEST(JsonValue, MalformedUtf8ReadsAsReplacementCharacter)
{
    const auto value = read_json_utf8("[\"a\xff"
                                      "b\", \"\xc3\xa7\"]");
    ASSERT_TRUE(value);
    EXPECT_EQ(u"[\"a\uFFFDb\",\"ç\"]", compact_json_text(*value));
    EXPECT_FALSE(read_json_utf8("[1]\xff"));
}

}  // namespace

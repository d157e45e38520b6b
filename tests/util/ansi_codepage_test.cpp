#include "util/ansi_codepage.h"

#include "util/error.h"
#include "util/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string hex(std::string_view bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string utf8(std::u16string_view text)
{
    return utf16_to_utf8(text);
}

TEST(Windows1252, EncodesWithItsOwnTableAndBestFit)
{
    const auto cp = AnsiCodePage::windows1252();
    struct {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {u"ERRO-Status: Servidor-API n\u00E3o responde (", "ERRO-Status: Servidor-API n\xE3o responde ("},
        {u"\u20AC \u2026 \u201Cx\u201D \u0152 \u017E \u0178", "\x80 \x85 \x93x\x94 \x8C \x9E \x9F"},
        {u"\u00A0\u00FF", "\xA0\xFF"},
        {u"\u0081\u008D\u008F\u0090\u009D", "\x81\x8D\x8F\x90\x9D"},
        {u"\u0100\u0107\u0142\u017F", "Acls"},  // best fit: the base letter
        {u"\u2010\u2212", "--"},
        // quote-like marks never become ASCII quotes, which would end an SQL literal
        {u"'\u201B\u2032\"\u201F\u2033", "'\x92\x92\"\x94\x94"},
        {u"\u4E2D\u0080", "??"},
        {u"a\U0001F600b", "a?b"},  // one character, one "?"
        {u"a\xD800"
         u"b\xDC00",
         "a?b?"},  // unpaired surrogates
    };
    for (const auto& c : cases) EXPECT_EQ(hex(c.bytes), hex(cp.encode(c.text))) << utf8(c.text);
}

TEST(Windows1252, DecodesEveryByteAndEncodesItBack)
{
    const auto cp = AnsiCodePage::windows1252();
    std::string all_bytes;
    for (int b = 0; b < 256; ++b) all_bytes.push_back(static_cast<char>(b));
    const auto text = cp.decode(all_bytes);
    ASSERT_EQ(256u, text.size());
    EXPECT_EQ(u'\u20AC', text[0x80]);
    EXPECT_EQ(u'\u0081', text[0x81]);
    EXPECT_EQ(u'\u2122', text[0x99]);
    EXPECT_EQ(u'\u00E3', text[0xE3]);
    EXPECT_EQ(hex(all_bytes), hex(cp.encode(text)));
}

TEST(AnsiCodePage, Utf8KeepsEverything)
{
    const auto cp = AnsiCodePage::utf8();
    EXPECT_TRUE(cp.is_utf8());
    EXPECT_EQ("n\xC3\xA3o \xF0\x9F\x98\x80", cp.encode(u"n\u00E3o \U0001F600"));
    EXPECT_EQ(u"n\u00E3o", cp.decode("n\xC3\xA3o"));
}

TEST(AnsiCodePage, NamedCodePagesGoThroughIconv)
{
    const auto cp = AnsiCodePage::named("ISO-8859-15");
    EXPECT_FALSE(cp.is_utf8());
    EXPECT_EQ(hex("\xA4 n\xE3o ?"), hex(cp.encode(u"\u20AC n\u00E3o \u4E2D")));
    EXPECT_EQ(u"\u20AC n\u00E3o", cp.decode("\xA4 n\xE3o"));

    // Transliteration serves only where it makes no quote.
    const auto latin1 = AnsiCodePage::named("ISO-8859-1");
    EXPECT_EQ(hex("'? ?x? \"EUR"), hex(latin1.encode(u"'\u2019 \u201Cx\u201D \"\u20AC")));

    const auto ascii = AnsiCodePage::named("ASCII");
    EXPECT_EQ("a?b", ascii.encode(u"a\xD800"
                                  u"b"));  // invalid input does not stop the conversion
    EXPECT_EQ(u"a\uFFFDb", ascii.decode("a\xE3"
                                        "b"));
}

TEST(AnsiCodePage, NamesOfUtf8And1252UseTheBuiltInConversions)
{
    EXPECT_TRUE(AnsiCodePage::named("utf-8").is_utf8());
    EXPECT_EQ(AnsiCodePage::windows1252().name(), AnsiCodePage::named("CP1252").name());
}

TEST(AnsiCodePage, UnknownNameFails)
{
    EXPECT_THROW(AnsiCodePage::named("NO-SUCH-CODE-PAGE"), Error);
}

TEST(AnsiCodePage, SystemCodePageRoundTripsPortugueseText)
{
    const auto& cp = AnsiCodePage::system();
    EXPECT_EQ(u"Importa\u00E7\u00E3o conclu\u00EDda", cp.decode(cp.encode(u"Importa\u00E7\u00E3o conclu\u00EDda")))
        << cp.name();
}

}  // namespace

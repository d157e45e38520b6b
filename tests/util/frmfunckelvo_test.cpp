#include "util/frmfunckelvo.h"

#include "util/utf.h"

#include "support/failure_message.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>

namespace {

std::string utf8(std::u16string_view text)
{
    return utf16_to_utf8(text);
}

TEST(TextHelpers, CutReplaceAndAdjustTexts)
{
    const auto& k = ObjKelvo;
    struct {
        const char* call;
        std::u16string actual;
        std::u16string expected;
    } cases[] = {
        {"Busca first part", k.BuscaStringDelimitador(u"abc,def", u","), u"abc"},
        {"Busca leading delimiter", k.BuscaStringDelimitador(u",abc", u","), u""},
        {"Busca no delimiter", k.BuscaStringDelimitador(u"abc", u","), u"abc"},
        {"Busca empty delimiter", k.BuscaStringDelimitador(u"a,b", u""), u"a,b"},
        {"Extrai rest", k.ExtraiStringDelimitador(u"abc,def,ghi", u","), u"def,ghi"},
        {"Extrai trailing delimiter", k.ExtraiStringDelimitador(u"abc,", u","), u""},
        {"Extrai no delimiter", k.ExtraiStringDelimitador(u"abc", u","), u"abc"},
        {"StringDelimitador RESTO", k.StringDelimitador(u"a:b:c", u":", u"RESTO"), u"b:c"},
        {"StringDelimitador inicio", k.StringDelimitador(u"a:b:c", u":", u"inicio"), u"a"},
        {"StringDelimitador InIcIo", k.StringDelimitador(u"a:b:c", u":", u"InIcIo"), u"a"},
        {"StringDelimitador meio", k.StringDelimitador(u"a:b:c", u":", u"meio"), u""},
        {"StringDelimitador long delimiter inicio", k.StringDelimitador(u"a::b", u"::", u"inicio"), u"a::b"},
        {"StringDelimitador long delimiter resto", k.StringDelimitador(u"a::b", u"::", u"resto"), u"a::b"},
        {"StringDelimitador accented capital", k.StringDelimitador(u"a:b", u":", u"\u00CDnicio"), u""},
        {"TrocaLetra removes quotes", k.TrocaLetra(u"\"a\"b\"", u"\"", u""), u"ab"},
        {"TrocaLetra grows", k.TrocaLetra(u"aaa", u"a", u"bb"), u"bbbbbb"},
        {"TrocaLetra two-character current", k.TrocaLetra(u"abc", u"ab", u"x"), u"abc"},
        {"TrocaLetra empty current", k.TrocaLetra(u"abc", u"", u"x"), u"abc"},
        {"TrocaLetra comma to point", k.TrocaLetra(u"1,5,0", u",", u"."), u"1.5.0"},
        {"AjustaContraBarra empty", k.AjustaContraBarra(u""), u"\\"},
        {"AjustaContraBarra kept", k.AjustaContraBarra(u"C:\\dados\\"), u"C:\\dados\\"},
        {"AjustaContraBarra added", k.AjustaContraBarra(u"C:\\dados"), u"C:\\dados\\"},
        {"Entre_Aspas name", Entre_Aspas(u"O'Brien"), u"'O''Brien'"},
        {"Entre_Aspas empty", Entre_Aspas(u""), u"''"},
        {"Entre_Aspas quotes only", Entre_Aspas(u"''"), u"''''''"},
        {"Entre_Aspas non-ASCII", Entre_Aspas(u"p\u00E3o d'\u00E1gua"), u"'p\u00E3o d''\u00E1gua'"},
    };
    for (const auto& c : cases) EXPECT_EQ(utf8(c.expected), utf8(c.actual)) << c.call;
}

TEST(TextHelpers, FindWordIgnoringAsciiCaseOnly)
{
    struct {
        std::u16string word;
        std::u16string text;
        bool expected;
    } cases[] = {
        {u"erro", u"Erro", true},
        {u"er", u"Erro", true},
        {u"RRO", u"ERRO-Status", true},
        {u"Erros", u"Erro", false},
        {u"", u"Erro", true},
        {u"", u"", false},
        {u"a", u"", false},
        {u"\u00E3o", u"N\u00C3O", false},
        {u"\u00C3O", u"N\u00C3O", true},
        {u"unauthenticated", u"{\"message\":\"Unauthenticated.\"}", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, ObjKelvo.Tem_Palavra_no_Texto(c.word, c.text)) << utf8(c.word) << " in " << utf8(c.text);
}

TEST(FloatToInt, TakesTheIntegralPartWithinThirtyTwoBits)
{
    struct {
        double value;
        std::int32_t expected;
    } cases[] = {
        {13.0 / 2, 6}, {-6.5, -6}, {-0.5, 0}, {2147483647.9, 2147483647}, {-2147483648.9, -2147483647 - 1}, {0, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, ObjKelvo.FloatToInt(c.value)) << c.value;
}

TEST(FloatToInt, FailsOutsideThirtyTwoBitsQuotingTheNumberText)
{
    struct {
        double value;
        const char* message;
    } cases[] = {
        {3000000000.7, "'3000000000' is not a valid integer value"},
        {2147483648.0, "'2147483648' is not a valid integer value"},
        {-2147483649.0, "'-2147483649' is not a valid integer value"},
        {1e15, "'1E15' is not a valid integer value"},
        {std::nan(""), "'NAN' is not a valid integer value"},
        {-std::numeric_limits<double>::infinity(), "'-INF' is not a valid integer value"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.message, utf8(failure_message([&] { ObjKelvo.FloatToInt(c.value); })));
}

TEST(FormataValorParaSql, WritesAPointWhateverTheSeparator)
{
    struct {
        double value;
        const char* expected;
    } cases[] = {{28.25, "28.25"}, {1e15, "1E15"}, {0.00001, "1E-5"}, {-3, "-3"}, {1.5e-7, "1.5E-7"}};
    for (const auto& c : cases) EXPECT_EQ(c.expected, utf8(ObjKelvo.Formata_Valor_para_Sql(c.value))) << c.expected;
}

// Sets TZ for the scope of a test and puts the old one back.
class TimeZone {
public:
    explicit TimeZone(const char* tz)
    {
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TimeZone()
    {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> old_;
};

TEST(Seconds, CountsLocalTimeSinceMidnight)
{
    const TimeZone three_hours_east("<+03>-3");
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::time_t before = std::time(nullptr);
        const int seconds = ObjKelvo.Seconds();
        if (std::time(nullptr) != before) continue;  // a second ticked by: ask again
        EXPECT_EQ((before + 3 * 3600) % 86400, seconds);
        return;
    }
    FAIL() << "the clock would not hold still";
}

TEST(PathDoExecutavel, IsTheExecutablesDirectoryWithATrailingSlash)
{
    const auto directory = std::filesystem::canonical("/proc/self/exe").parent_path();
    EXPECT_EQ(directory.string() + "/", utf8(ObjKelvo.Path_Do_Executavel()));
}

}  // namespace

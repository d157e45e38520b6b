#include "api/response_checker.h"
#include "util/utf.h"
#include "json/value.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Entries = std::vector<std::u16string>;

std::string u8(std::u16string_view text)
{
    return utf16_to_utf8(text);
}

Entries repeated(const Entries& pair, int times)
{
    Entries out;
    for (int i = 0; i < times; ++i) out.insert(out.end(), pair.begin(), pair.end());
    return out;
}

TEST(ResponseChecker, JudgesCompactTexts)
{
    struct {
        std::u16string ErroIn;
        Entries scan;
        std::u16string result;
    } cases[] = {
        {uR"([{"codigo":10,"nome":"Arroz","ativo":1}])",
         {u"codigo", u"10", u"nome", u"Arroz", u"ativo", u"1", u"ativo", u"1"},
         u"OK"},
        {uR"({"erro":"Falha"})", repeated({u"erro", u"Falha"}, 4), u"ERRO: Falha"},
        {uR"({"Message":"Falha"})", repeated({u"Message", u"Falha"}, 4), u"ERRO: Falha"},
        {uR"({"error":"Falha"})", repeated({u"error", u"Falha"}, 4), u"OK"},
        {uR"({"status":"erro","msg":"x"})", {u"status", u"erro", u"msg", u"x", u"msg", u"x", u"msg", u"x"}, u"OK"},
        {uR"({"erro":"a, b"})", {u"erro", u"a", u" b", u" b", u" b", u" b", u" b", u" b"}, u"ERRO: a"},
        {uR"({"erro":"x:y"})", repeated({u"erro", u"x:y"}, 4), u"ERRO: x:y"},
        {uR"({"erro":{"msg":"x"}})", repeated({u"erro", u"{msg:x"}, 4), u"ERRO: {msg:x"},
        {uR"({"":"x"})", repeated({u"", u"x"}, 4), u"ERRO: x"},
        {uR"({"e":1})", repeated({u"e", u"1"}, 4), u"ERRO: 1"},
        {uR"({"SAGE":"s"})", repeated({u"SAGE", u"s"}, 4), u"ERRO: s"},
        {uR"({"mensagem":"m"})", repeated({u"mensagem", u"m"}, 4), u"OK"},
        {u"{}", {}, u"ERRO: Nao houve retorno de dados"},
        {u"[{}]", {}, u"ERRO: Nao houve retorno de dados"},
        {u"", {}, u"ERRO: Nao houve retorno de dados"},
        {u"[]", Entries(8, u"[]"), u"OK"},
        {u"200", Entries(8, u"200"), u"OK"},
        {uR"([{"codigo":1},{"erro":"x"}])", repeated({u"codigo", u"1"}, 4), u"OK"},
        // A comma with nothing behind it ends the scan early.
        {uR"({"erro":"a",})", {u"erro", u"a"}, u"ERRO: a"},
    };
    for (const auto& c : cases) {
        Entries scan{u"left over"};
        EXPECT_EQ(c.result, judge_response(c.ErroIn, &scan)) << u8(c.ErroIn);
        EXPECT_EQ(c.scan, scan) << u8(c.ErroIn);
    }
}

TEST(ResponseChecker, ScansKeysOrValuesAlone)
{
    const std::u16string text = uR"([{"codigo":10,"nome":"Arroz","ativo":1}])";
    EXPECT_EQ((Entries{u"codigo", u"nome", u"ativo", u"ativo", u"ativo", u"ativo", u"ativo"}),
              scan_json_members(text, 1, 6));
    EXPECT_EQ((Entries{u"10", u"Arroz", u"1", u"1", u"1", u"1", u"1"}), scan_json_members(text, 2, 6));
    EXPECT_EQ((Entries{u"codigo", u"10"}), scan_json_members(text, 0, 1));
    EXPECT_EQ((Entries{u"codigo"}), scan_json_members(text, 1, 0));
    // Anything but 0, 1 or 2 collects nothing instead of scanning forever.
    EXPECT_EQ(Entries{}, scan_json_members(text, 3, 6));
    EXPECT_EQ(Entries{}, scan_json_members(text, -1, 6));
}

TEST(ResponseChecker, ErrorTextKeepsTheEscapedSlashOfTheCompactForm)
{
    const auto value = read_json(uR"({ "erro" : "a/b" })");
    ASSERT_TRUE(value);
    EXPECT_EQ(uR"(ERRO: a\/b)", judge_response(compact_json_text(*value)));
}

}  // namespace

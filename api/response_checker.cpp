#include "api/response_checker.h"

#include "util/frmfunckelvo.h"

namespace {

std::u16string without_quotes(std::u16string_view text)
{
    return ObjKelvo.TrocaLetra(text, u"\"", u"");
}

}  // namespace

std::vector<std::u16string> scan_json_members(std::u16string_view textIn, int qualCampo, int MaximoCampos,
                                              std::u16string_view chvA, std::u16string_view chvF)
{
    std::vector<std::u16string> entries;
    // Any other choice would collect nothing and never reach the count.
    if (qualCampo < 0 || qualCampo > 2) return entries;

    std::u16string text = ObjKelvo.StringDelimitador(textIn, chvA, u"resto");
    text = ObjKelvo.StringDelimitador(text, chvF, u"inicio");

    // Once no comma is left the text keeps its last field, which is then
    // read again until the count is passed.
    for (;;) {
        const std::u16string field = ObjKelvo.StringDelimitador(text, u",", u"inicio");
        text = ObjKelvo.StringDelimitador(text, u",", u"resto");
        if (field.empty()) break;
        if (qualCampo == 0 || qualCampo == 1)
            entries.push_back(without_quotes(ObjKelvo.StringDelimitador(field, u":", u"inicio")));
        if (qualCampo == 0 || qualCampo == 2)
            entries.push_back(without_quotes(ObjKelvo.StringDelimitador(field, u":", u"resto")));
        if (static_cast<long long>(entries.size()) > MaximoCampos) break;
    }
    return entries;
}

std::u16string judge_response(std::u16string_view ErroIn, std::vector<std::u16string>* scan)
{
    std::vector<std::u16string> entries = scan_json_members(ErroIn, 0, 6);
    std::u16string result;
    if (entries.empty()) {
        result = u"ERRO: Nao houve retorno de dados";
    } else {
        const std::u16string& key = entries[0];
        const bool error_key =
            ObjKelvo.Tem_Palavra_no_Texto(key, u"Erro") || ObjKelvo.Tem_Palavra_no_Texto(key, u"Message");
        result = error_key ? u"ERRO: " + entries[1] : u"OK";
    }
    if (scan) *scan = std::move(entries);
    return result;
}

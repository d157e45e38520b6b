#include "util/frmfunckelvo.h"

#include "util/ascii_text.h"
#include "util/executable_path.h"
#include "util/local_time.h"
#include "util/number_text.h"
#include "util/utf.h"
#include "util/working_set.h"

#include <algorithm>
#include <cmath>

namespace {

// Position of the first character equal to a one-character delimiter;
// npos for a delimiter of any other length.
std::size_t find_delimiter(std::u16string_view text, std::u16string_view delimiter)
{
    if (delimiter.size() != 1) return std::u16string_view::npos;
    return text.find(delimiter[0]);
}

}  // namespace

std::int32_t Funcoes_da_Kelvo::FloatToInt(double ValorIn)
{
    return text_to_int32(float_to_text(std::trunc(ValorIn)));
}

int Funcoes_da_Kelvo::Seconds()
{
    return local_seconds_of_day();
}

std::u16string Funcoes_da_Kelvo::ExtraiStringDelimitador(std::u16string_view strTexto, std::u16string_view delimit)
{
    const auto position = find_delimiter(strTexto, delimit);
    if (position == std::u16string_view::npos) return std::u16string(strTexto);
    return std::u16string(strTexto.substr(position + 1));
}

std::u16string Funcoes_da_Kelvo::BuscaStringDelimitador(std::u16string_view strTexto, std::u16string_view delimit)
{
    return std::u16string(strTexto.substr(0, find_delimiter(strTexto, delimit)));
}

std::u16string Funcoes_da_Kelvo::StringDelimitador(std::u16string_view strTexto, std::u16string_view delimitIn,
                                                   std::u16string_view oqueIn)
{
    const auto what = ascii_lower(oqueIn);
    if (what == u"inicio") return BuscaStringDelimitador(strTexto, delimitIn);
    if (what == u"resto") return ExtraiStringDelimitador(strTexto, delimitIn);
    return {};
}

std::u16string Funcoes_da_Kelvo::AjustaContraBarra(std::u16string_view StringIn)
{
    std::u16string out(StringIn);
    if (out.empty() || out.back() != u'\\') out.push_back(u'\\');
    return out;
}

std::u16string Funcoes_da_Kelvo::TrocaLetra(std::u16string_view strIn, std::u16string_view strLetraAtual,
                                            std::u16string_view strLetraNova)
{
    if (strLetraAtual.size() != 1) return std::u16string(strIn);
    std::u16string out;
    out.reserve(strIn.size());
    for (char16_t c : strIn) {
        if (c == strLetraAtual[0])
            out.append(strLetraNova);
        else
            out.push_back(c);
    }
    return out;
}

std::u16string Funcoes_da_Kelvo::Path_Do_Executavel()
{
    auto directory = executable_directory();
    if (directory.empty()) return u"./";  // the system will not tell: fall back to the working directory
    return directory;
}

bool Funcoes_da_Kelvo::Tem_Palavra_no_Texto(std::u16string_view palavraIn, std::u16string_view textoIn)
{
    if (textoIn.empty()) return false;
    return ascii_upper(textoIn).find(ascii_upper(palavraIn)) != std::u16string::npos;
}

std::u16string Funcoes_da_Kelvo::Formata_Valor_para_Sql(double ValorIn)
{
    return TrocaLetra(float_to_text(ValorIn), u",", u".");
}

void Funcoes_da_Kelvo::Clear_memory_pc() noexcept
{
    trim_working_set();
}

std::u16string Entre_Aspas(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size() + 2);
    out.push_back(u'\'');
    for (char16_t c : text) {
        if (c == u'\'') out.push_back(u'\'');
        out.push_back(c);
    }
    out.push_back(u'\'');
    return out;
}

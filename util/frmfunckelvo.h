#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text and number helpers shared by the whole program. Stateless: every
// operation is static and the object ObjKelvo exists only so call sites read
// as they always have.
class Funcoes_da_Kelvo {
public:
    static std::int32_t FloatToInt(double ValorIn);
    static int Seconds();

    static std::u16string ExtraiStringDelimitador(std::u16string_view strTexto, std::u16string_view delimit);
    static std::u16string BuscaStringDelimitador(std::u16string_view strTexto, std::u16string_view delimit);
    static std::u16string StringDelimitador(std::u16string_view strTexto, std::u16string_view delimitIn,
                                            std::u16string_view oqueIn);
    static std::u16string AjustaContraBarra(std::u16string_view StringIn);
    static std::u16string TrocaLetra(std::u16string_view strIn, std::u16string_view strLetraAtual,
                                     std::u16string_view strLetraNova);
    static std::u16string Path_Do_Executavel();
    static bool Tem_Palavra_no_Texto(std::u16string_view palavraIn, std::u16string_view textoIn);
    static std::u16string Formata_Valor_para_Sql(double ValorIn);

    // Trims the working set. Never fails.
    static void Clear_memory_pc() noexcept;
};

inline constexpr Funcoes_da_Kelvo ObjKelvo{};

// Quotes a value for SQL text: every "'" doubled, the whole enclosed in "'".
std::u16string Entre_Aspas(std::u16string_view text);

#include "sync/outcome_texts.h"

#include "util/number_text.h"

namespace {

constexpr std::u16string_view run_failure_prefix = u"Erro de conexao com banco de dados Local...";

}  // namespace

std::u16string run_failure_text(std::u16string_view message)
{
    return std::u16string(run_failure_prefix) + std::u16string(message);
}

std::u16string no_new_start_id_text(std::int32_t start_id)
{
    return u"ERRO: a pagina iniciada no id " + integer_to_text(start_id) +
           u" nao indicou um novo id inicial; importacao interrompida";
}

std::u16string write_interrupted_text(std::u16string_view codigo, std::u16string_view message)
{
    return u"ERRO: a gravacao do produto " + std::u16string(codigo) + u" falhou (" + std::u16string(message) +
           u"); importacao interrompida";
}

std::u16string page_not_saved_text(std::int32_t start_id)
{
    return u"ERRO: a gravacao da pagina iniciada no id " + integer_to_text(start_id) +
           u" falhou e foi desfeita; importacao interrompida";
}

std::u16string foreign_control_record_text(std::int32_t start_id)
{
    return u"ERRO: a pagina iniciada no id " + integer_to_text(start_id) +
           u" traz o registro de controle de outro token; importacao interrompida";
}

std::u16string page_read_text(std::int32_t start_id, std::u16string_view rows_or_ending)
{
    return u"Página lida (id inicial " + integer_to_text(start_id) + u"): " + std::u16string(rows_or_ending);
}

std::u16string page_rows_text(std::size_t rows)
{
    return integer_to_text(static_cast<long long>(rows)) + u" linhas";
}

std::u16string confirmation_not_sent_text(std::u16string_view answer)
{
    return u"Confirmação de recebimento não enviada: " + std::u16string(answer);
}

std::u16string confirmation_refused_text(long status)
{
    return u"Confirmação de recebimento recusada: o servico respondeu HTTP " + integer_to_text(status);
}

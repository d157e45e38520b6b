#include "sync/product_import.h"

#include "api/uGer_API.h"
#include "db/uDtmApi.h"
#include "util/ascii_text.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"
#include "util/utf.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace {

constexpr char16_t import_ok_text[] = u"Importacao de dados Ok";

std::u16string decimal_text(long long value)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::u16string(buffer, end);
}

std::u16string first_characters(std::u16string text, std::size_t count)
{
    if (text.size() > count) text.resize(count);
    return text;
}

// The result file keeps only the outcome; what the operator needs to know
// about single products goes to standard error.
void report_line(const std::u16string& text)
{
    const auto line = utf16_to_utf8(text) + '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::u16string no_new_start_id_text(std::int32_t start_id)
{
    return u"ERRO: a pagina iniciada no id " + decimal_text(start_id) +
           u" nao indicou um novo id inicial; importacao interrompida";
}

std::u16string page_not_saved_text(std::int32_t start_id)
{
    return u"ERRO: a gravacao da pagina iniciada no id " + decimal_text(start_id) +
           u" falhou e foi desfeita; importacao interrompida";
}

std::u16string seconds_text(std::chrono::steady_clock::duration elapsed)
{
    const double seconds = std::chrono::duration<double>(elapsed).count();
    char buffer[32];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 1).ptr;
    std::u16string text(buffer, end);
    for (auto& c : text)
        if (c == u'.') c = u',';
    return text;
}

}  // namespace

ProductImport::ProductImport(Tger_API& api, TdtmApi& database, Progress progress)
    : api_(api), database_(database), progress_(std::move(progress))
{
}

std::u16string ProductImport::AtualizarPrecos_API_Quintara(std::u16string_view qual_tipo_at)
{
    const auto started = std::chrono::steady_clock::now();
    // Printed however the run ends, a failure escaping to the caller included.
    struct Summary {
        const ProductImport& import;
        std::chrono::steady_clock::time_point started;
        ~Summary()
        {
            try {
                print();
            } catch (...) {
                // Only the report is lost; the run's own outcome stands.
            }
        }
        void print() const
        {
            const auto& c = import.counts();
            report_line(u"Resumo: " + decimal_text(c.pages) + u" páginas, " + decimal_text(c.inserted) +
                        u" produtos inseridos, " + decimal_text(c.updated) + u" atualizados, " +
                        decimal_text(c.skipped) + u" ignorados, " + decimal_text(c.departments_created) +
                        u" departamentos criados, em " + seconds_text(std::chrono::steady_clock::now() - started) +
                        u" s");
        }
    } summary{*this, started};

    std::u16string strRetorno = import_ok_text;
    ObjKelvo.Clear_memory_pc();

    bool Laco_atualizacao = true;
    std::int32_t Id_inicial_at = 0;
    std::set<std::int32_t> requested_start_ids;
    while (Laco_atualizacao) {
        const std::int32_t page_start = Id_inicial_at;
        requested_start_ids.insert(page_start);
        report_progress(u"Lendo página " + decimal_text(counts_.pages + 1) + u" (id inicial " +
                        decimal_text(page_start) + u"), " + decimal_text(counts_.inserted + counts_.updated) +
                        u" produtos gravados até agora...");

        const std::u16string RetornoApi = api_.load_dados_Produtos(qual_tipo_at, decimal_text(Id_inicial_at));
        if (RetornoApi == u"OK") {
            const Counts before_page = counts_;
            ++counts_.pages;
            auto& table = api_.tblProdutos;
            bool control_record_seen = false;
            const bool page_has_rows = table.Active() && table.RecordCount() > 0;
            if (!page_has_rows) {
                Laco_atualizacao = false;
            } else {
                for (table.First(); !table.Eof(); table.Next()) {
                    if (is_control_record(table.FieldByName(u"nome").AsString())) {
                        control_record_seen = true;
                        Id_inicial_at = table.FieldByName(u"codigo").AsInteger();
                        if (Id_inicial_at == 0) Laco_atualizacao = false;
                    } else {
                        write_product_row();
                    }
                }
            }
            // A page whose commit was refused is gone: carrying on would report
            // success for a catalogue with a hole in it.
            if (page_has_rows && !database_.dtmApiCommit()) {
                counts_ = before_page;
                strRetorno = page_not_saved_text(page_start);
                Laco_atualizacao = false;
            }
            // A page that names no new start would be asked for again forever.
            else if (Laco_atualizacao && (!control_record_seen || requested_start_ids.count(Id_inicial_at))) {
                strRetorno = no_new_start_id_text(page_start);
                Laco_atualizacao = false;
            } else if (!Laco_atualizacao) {
                api_.envia_confirmacao_de_dados(u"Produtos");
            }
        } else {
            strRetorno = RetornoApi;
            Laco_atualizacao = false;
        }
        ObjKelvo.Clear_memory_pc();
    }
    report_progress(strRetorno);
    return strRetorno;
}

bool ProductImport::is_control_record(const std::u16string& nome) const
{
    return nome.size() == 7 + api_.token_de_acesso.size() && nome.compare(0, 7, u"Bearer ") == 0 &&
           nome.compare(7, std::u16string::npos, api_.token_de_acesso) == 0;
}

void ProductImport::write_product_row()
{
    const auto& table = api_.tblProdutos;
    const std::u16string proBlanca = table.FieldByName(u"produtoBalanca").AsInteger() == 1 ? u"T" : u"F";
    const std::u16string ProAtivo = table.FieldByName(u"Ativo").AsInteger() == 1 ? u"T" : u"F";
    Sinc_Departamento();
    const auto mDados = merchandise_pairs(proBlanca, ProAtivo);
    Sinc_At_Mercadorias(table.FieldByName(u"codigo").AsInteger(), mDados);
}

std::vector<std::u16string> ProductImport::merchandise_pairs(const std::u16string& proBlanca,
                                                             const std::u16string& ProAtivo)
{
    const auto& table = api_.tblProdutos;
    auto text = [&table](const char16_t* name) { return table.FieldByName(name).AsString(); };
    auto sql_number = [&table](const char16_t* name) {
        return ObjKelvo.Formata_Valor_para_Sql(table.FieldByName(name).AsFloat());
    };
    // Braced lists evaluate left to right, so fields are read in column order.
    return {
        u"cod_red",     text(u"codigo"),
        u"nom_mer",     first_characters(text(u"nome"), 50),
        u"ape_cup",     first_characters(text(u"apelidoProduto"), 30),
        u"cod_bar",     first_characters(text(u"codigoBarras"), 30),
        u"ref_mer",     first_characters(text(u"referencia"), 30),
        u"dep_mer",     strCodDep,
        u"uni_mer",     first_characters(text(u"unidadeVenda"), 5),
        u"uni_bal",     text(u"unidadeBalanca"),
        u"pro_balanca", proBlanca,
        u"pro_servico", u"F",
        u"cod_ncm",     u"0" + text(u"ncm"),
        u"QTD_EST",     sql_number(u"qtdEstoque"),
        u"vlr_ven",     sql_number(u"valorVenda"),
        u"pro_ativo",   ProAtivo,
    };
}

void ProductImport::Sinc_Departamento()
{
    strCodDep = u"0";
    strnomeDep = ascii_upper(api_.tblProdutos.FieldByName(u"nomeDepartamento").AsString());
    if (database_.SelectFile(u"1", u"Departamentos", u"nom_dep=" + Entre_Aspas(strnomeDep))) {
        strCodDep = database_.qrySelect1.FieldByName(u"cod_dep").AsString();
        return;
    }
    database_.qrySelect1.replace_text({u"Select Max(cod_dep) codigo from Departamentos"});
    database_.qrySelect1.Open();
    strCodDep = decimal_text(static_cast<long long>(database_.qrySelect1.FieldByName(u"codigo").AsInteger()) + 1);
    database_.INSERTFILE(u"Departamentos",
                         {u"cod_dep", strCodDep, u"nom_dep", strnomeDep, u"tipo_item", u"99", u"com_dep", u"0"});
    ++counts_.departments_created;
}

void ProductImport::Sinc_At_Mercadorias(std::int32_t codIn, const std::vector<std::u16string>& mDados)
{
    try {
        const std::u16string condicao = u"cod_red=" + decimal_text(codIn);
        if (database_.SelectFile(u"1", u"Mercadorias", condicao)) {
            database_.UPDATEFILE_Matriz(u"Mercadorias", condicao, mDados);
            ++counts_.updated;
        } else {
            database_.INSERTFILE(u"Mercadorias", mDados);
            ++counts_.inserted;
        }
    } catch (const std::exception& failure) {
        ++counts_.skipped;
        report_line(u"Produto " + decimal_text(codIn) + u" ignorado: " + message_of(failure));
    }
}

void ProductImport::report_progress(const std::u16string& text)
{
    if (progress_) progress_(text);
}

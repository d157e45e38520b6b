#include "sync/product_import.h"

#include "api/uGer_API.h"
#include "db/firebird/database_error.h"
#include "db/uDtmApi.h"
#include "sync/control_records.h"
#include "sync/run_report.h"
#include "util/ascii_text.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"
#include "util/number_text.h"
#include "util/utf.h"

#include <utility>

namespace {

constexpr char16_t import_ok_text[] = u"Importacao de dados Ok";

std::u16string decimal_text(long long value)
{
    return integer_to_text(value);
}

std::u16string no_new_start_id_text(std::int32_t start_id)
{
    return u"ERRO: a pagina iniciada no id " + decimal_text(start_id) +
           u" nao indicou um novo id inicial; importacao interrompida";
}

std::u16string write_interrupted_text(const std::u16string& codigo, const std::u16string& message)
{
    return u"ERRO: a gravacao do produto " + codigo + u" falhou (" + message + u"); importacao interrompida";
}

// A product write that failed for a reason that may pass (a lock, a lost
// connection): skipping the product would lose it for good, since the page
// would be committed and confirmed. The page is given up instead.
struct InterruptedWrite {
    std::u16string codigo;
    std::u16string message;
};

[[noreturn]] void throw_interrupted_write(const std::exception& failure, const std::u16string& codigo)
{
    throw InterruptedWrite{codigo, message_of(failure)};
}

bool is_transient(const std::exception& failure)
{
    const auto* database_failure = dynamic_cast<const DatabaseError*>(&failure);
    return database_failure && database_failure->is_transient();
}

// The merchandise pair list's columns, in its order.
const std::vector<std::u16string> merchandise_columns = {
    u"cod_red", u"nom_mer",     u"ape_cup",     u"cod_bar", u"ref_mer", u"dep_mer", u"uni_mer",
    u"uni_bal", u"pro_balanca", u"pro_servico", u"cod_ncm", u"QTD_EST", u"vlr_ven", u"pro_ativo"};
constexpr char16_t department_code_column[] = u"dep_mer";

// A NUL would travel as a bound value but not in a statement's text, and
// a bound text has a length limit: such a row goes by statements, so that
// both ways store (or refuse) it alike.
constexpr std::size_t longest_bound_text = 8000;  // UTF-16 units: at most 24,000 bytes in UTF-8

bool travels_in_batch(const MerchandiseBatch::Row& row)
{
    const auto fits = [](const std::u16string& text) {
        return text.size() <= longest_bound_text && text.find(u'\0') == std::u16string::npos;
    };
    if (!fits(row.department_name)) return false;
    for (const auto& text : row.mDados)
        if (!fits(text)) return false;
    return true;
}

std::u16string page_not_saved_text(std::int32_t start_id)
{
    return u"ERRO: a gravacao da pagina iniciada no id " + decimal_text(start_id) +
           u" falhou e foi desfeita; importacao interrompida";
}

}  // namespace

ProductImport::ProductImport(Tger_API& api, TdtmApi& database, RunReport& report, Progress progress)
    : api_(api),
      database_(database),
      report_(report),
      progress_(std::move(progress)),
      write_path_(write_path_of_environment())
{
}

ProductImport::WritePath ProductImport::write_path_of_environment()
{
    const char* chosen = std::getenv("IMPORTADOR_WRITE_PATH");
    return chosen && std::string_view(chosen) == "statements" ? WritePath::statements : WritePath::batches;
}

ProductImport::Counts& ProductImport::Counts::operator+=(const Counts& other)
{
    pages += other.pages;
    inserted += other.inserted;
    updated += other.updated;
    skipped += other.skipped;
    departments_created += other.departments_created;
    return *this;
}

std::u16string ProductImport::AtualizarPrecos_API_Quintara(std::u16string_view qual_tipo_at)
{
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

        std::u16string RetornoApi = api_.load_dados_Produtos(qual_tipo_at, decimal_text(Id_inicial_at));
        if (RetornoApi == u"OK") RetornoApi = check_control_records(api_.tblProdutos, api_.token_de_acesso, page_start);
        report_.log(u"Página lida (id inicial " + decimal_text(page_start) + u"): " +
                    (RetornoApi == u"OK"
                         ? decimal_text(static_cast<long long>(api_.tblProdutos.RecordCount())) + u" linhas"
                         : RetornoApi));
        if (RetornoApi == u"OK") {
            page_counts_ = Counts{.pages = 1};
            auto& table = api_.tblProdutos;
            bool control_record_seen = false;
            bool product_fields_checked = false;
            bool write_interrupted = false;
            const bool page_has_rows = table.Active() && table.RecordCount() > 0;
            if (!page_has_rows) {
                Laco_atualizacao = false;
            } else {
                try {
                    for (table.First(); !table.Eof(); table.Next()) {
                        if (is_control_record(table.FieldByName(u"nome").AsString())) {
                            control_record_seen = true;
                            Id_inicial_at = table.FieldByName(u"codigo").AsInteger();
                            if (Id_inicial_at == 0) Laco_atualizacao = false;
                        } else {
                            if (!product_fields_checked) require_product_fields();
                            product_fields_checked = true;
                            if (write_path_ == WritePath::batches)
                                add_product_row();
                            else
                                write_product_row();
                        }
                    }
                    write_batch();
                } catch (const InterruptedWrite& interrupted) {
                    drop_batch();
                    department_codes_.clear();
                    database_.discard_uncommitted();
                    strRetorno = write_interrupted_text(interrupted.codigo, interrupted.message);
                    Laco_atualizacao = false;
                    write_interrupted = true;
                } catch (...) {
                    write_batch_before_failure();
                    throw;
                }
            }
            // A page whose commit was refused is gone: carrying on would report
            // success for a catalogue with a hole in it.
            if (write_interrupted) {
                // Nothing of the page stays and nothing is confirmed: the
                // next run brings it again.
            } else if (page_has_rows && !database_.dtmApiCommit()) {
                department_codes_.clear();
                strRetorno = page_not_saved_text(page_start);
                Laco_atualizacao = false;
            } else {
                counts_ += page_counts_;
                // A page that names no new start would be asked for again forever.
                if (Laco_atualizacao && (!control_record_seen || requested_start_ids.count(Id_inicial_at))) {
                    strRetorno = no_new_start_id_text(page_start);
                    Laco_atualizacao = false;
                } else if (!Laco_atualizacao) {
                    confirm_receipt();
                }
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

// A page without one of these columns is no products page (an error answer
// the checker let through, say): skipping each of its rows would hide it.
void ProductImport::require_product_fields() const
{
    for (const char16_t* name :
         {u"codigo", u"nome", u"apelidoProduto", u"codigoBarras", u"referencia", u"nomeDepartamento", u"unidadeVenda",
          u"unidadeBalanca", u"produtoBalanca", u"Ativo", u"ncm", u"qtdEstoque", u"valorVenda"})
        api_.tblProdutos.FieldByName(name);
}

// The reads keep their order (flags, department, the other fields, codigo),
// so a product skipped for a bad value keeps the department it created, as
// one the database refuses does.
void ProductImport::write_product_row()
{
    const auto& table = api_.tblProdutos;
    std::int32_t codIn = 0;
    std::vector<std::u16string> mDados;
    try {
        const std::u16string proBlanca = table.FieldByName(u"produtoBalanca").AsInteger() == 1 ? u"T" : u"F";
        const std::u16string ProAtivo = table.FieldByName(u"Ativo").AsInteger() == 1 ? u"T" : u"F";
        Sinc_Departamento();
        mDados = merchandise_pairs(proBlanca, ProAtivo);
        codIn = table.FieldByName(u"codigo").AsInteger();
    } catch (const std::exception& failure) {
        const std::u16string codigo = table.FieldByName(u"codigo").received_text();
        if (is_transient(failure)) throw_interrupted_write(failure, codigo);
        skip_product(codigo, message_of(failure));
        return;
    }
    Sinc_At_Mercadorias(codIn, mDados);
}

// The batch twin of write_product_row: the same reads in the same order,
// the writes left to the batch.
void ProductImport::add_product_row()
{
    const auto& table = api_.tblProdutos;
    PendingRow pending{.table_row = table.current_row(),
                       .codigo = table.FieldByName(u"codigo").received_text(),
                       .skip_reason = std::nullopt,
                       .in_batch = false};
    MerchandiseBatch::Row row;
    try {
        const std::u16string proBlanca = table.FieldByName(u"produtoBalanca").AsInteger() == 1 ? u"T" : u"F";
        const std::u16string ProAtivo = table.FieldByName(u"Ativo").AsInteger() == 1 ? u"T" : u"F";
        row.department_name = ascii_upper(table.FieldByName(u"nomeDepartamento").AsString());
        if (const auto known = department_codes_.find(row.department_name); known != department_codes_.end())
            row.department_code = known->second;
        pending.in_batch = true;
        row.mDados = merchandise_pairs(proBlanca, ProAtivo);
        row.codIn = table.FieldByName(u"codigo").AsInteger();
    } catch (const std::exception& failure) {
        pending.skip_reason = message_of(failure);
        row.steps = MerchandiseBatch::Steps::department;
        row.mDados.clear();
    }
    if (pending.in_batch && !travels_in_batch(row)) {
        write_batch();
        write_product_row();
        return;
    }
    // A department already looked up leaves nothing to write.
    if (row.steps == MerchandiseBatch::Steps::department && row.department_code) pending.in_batch = false;
    if (pending.in_batch) batch_rows_.push_back(std::move(row));
    pending_rows_.push_back(std::move(pending));
    if (batch_rows_.size() == static_cast<std::size_t>(MerchandiseBatch::capacity)) write_batch();
}

// A batch the database refuses has written nothing: its rows are written
// again by statements, which skip (and report) the refused product alone
// with its own message. A connection that is gone ends the page instead.
void ProductImport::write_batch()
{
    if (pending_rows_.empty()) return;
    const auto rows = std::exchange(pending_rows_, {});
    const auto batch_rows = std::exchange(batch_rows_, {});
    if (!batch_rows.empty() && !batch_available(rows.front().codigo)) {
        rewrite_by_statements(rows);
        return;
    }
    try {
        const auto written = batch_rows.empty() ? MerchandiseBatch::Written{} : batch_->write(batch_rows);
        page_counts_.inserted += written.inserted;
        page_counts_.updated += written.updated;
        page_counts_.departments_created += written.departments_created;
        remember_department_codes(batch_rows, written.department_codes);
    } catch (const std::exception& failure) {
        if (!database_.dtbVardex.connected()) throw_interrupted_write(failure, rows.front().codigo);
        report_.log(u"Lote de " + decimal_text(static_cast<long long>(batch_rows.size())) + u" produtos recusado (" +
                    message_of(failure) + u"); gravados um a um");
        rewrite_by_statements(rows);
        return;
    }
    for (const auto& row : rows)
        if (row.skip_reason) skip_product(row.codigo, *row.skip_reason);
}

// The batch statement is prepared once; a database that cannot take it
// (an engine without the statement's features, a table without a column)
// is written by statements for the rest of the run.
bool ProductImport::batch_available(const std::u16string& codigo)
{
    if (batch_) return true;
    if (write_path_ != WritePath::batches) return false;
    auto batch = std::make_unique<MerchandiseBatch>(database_, merchandise_columns, department_code_column);
    try {
        batch->prepare();
    } catch (const std::exception& failure) {
        if (!database_.dtbVardex.connected()) throw_interrupted_write(failure, codigo);
        report_.log(u"Gravação em lotes indisponível (" + message_of(failure) + u"); produtos gravados um a um");
        write_path_ = WritePath::statements;
        return false;
    }
    batch_ = std::move(batch);
    return true;
}

void ProductImport::rewrite_by_statements(const std::vector<PendingRow>& rows)
{
    auto& table = api_.tblProdutos;
    const std::size_t current = table.current_row();
    const bool at_end = table.Eof();
    for (const auto& row : rows) {
        table.move_to_row(row.table_row);
        write_product_row();
    }
    table.move_to_row(current);
    if (at_end) table.Next();
}

// The run's departments change only by its own inserts, which never add a
// name the lookup would find among them: a name looked up once keeps its
// code for the run, as long as the pages that hold them are kept.
void ProductImport::remember_department_codes(const std::vector<MerchandiseBatch::Row>& rows,
                                              const std::vector<std::u16string>& codes)
{
    auto code = codes.begin();
    for (const auto& row : rows) {
        if (row.department_code) continue;
        if (code == codes.end()) return;
        department_codes_.emplace(row.department_name, *code++);
    }
}

void ProductImport::drop_batch()
{
    batch_rows_.clear();
    pending_rows_.clear();
}

// A failure that ends the run mid-page: the rows read before it are
// written as statements would have written them by then, so that the
// report names the same skips. The run's rollback undoes them either way.
void ProductImport::write_batch_before_failure() noexcept
{
    try {
        write_batch();
    } catch (...) {
        // The failure under way is the one to tell.
    }
}

void ProductImport::skip_product(const std::u16string& codigo, const std::u16string& reason)
{
    ++page_counts_.skipped;
    report_.report(u"Produto " + codigo + u" ignorado: " + reason);
}

// Its answer does not change the outcome, but the operator should know
// that the service may send the catalogue again.
void ProductImport::confirm_receipt()
{
    const std::u16string answer = api_.envia_confirmacao_de_dados(u"Produtos");
    const long status = api_.rResponse_post_Ok_dados.StatusCode();
    if (answer != u"OK")
        report_.report(u"Confirmação de recebimento não enviada: " + answer);
    else if (status < 200 || status > 299)
        report_.report(u"Confirmação de recebimento recusada: o servico respondeu HTTP " + decimal_text(status));
    else
        report_.log(u"Confirmação de recebimento enviada");
}

std::vector<std::u16string> ProductImport::merchandise_pairs(const std::u16string& proBlanca,
                                                             const std::u16string& ProAtivo)
{
    const auto& table = api_.tblProdutos;
    auto text = [&table](const char16_t* name) { return table.FieldByName(name).AsString(); };
    auto fit = [this](const std::u16string& value, std::size_t limit) { return database_.fit_to_column(value, limit); };
    auto sql_number = [&table](const char16_t* name) {
        return ObjKelvo.Formata_Valor_para_Sql(table.FieldByName(name).AsFloat());
    };
    // Braced lists evaluate left to right, so fields are read in column order.
    std::u16string values[] = {
        text(u"codigo"),
        fit(text(u"nome"), 50),
        fit(text(u"apelidoProduto"), 30),
        fit(text(u"codigoBarras"), 30),
        fit(text(u"referencia"), 30),
        strCodDep,
        fit(text(u"unidadeVenda"), 5),
        text(u"unidadeBalanca"),
        proBlanca,
        u"F",
        u"0" + text(u"ncm"),
        sql_number(u"qtdEstoque"),
        sql_number(u"valorVenda"),
        ProAtivo,
    };
    static_assert(std::size(values) == 14);
    std::vector<std::u16string> mDados;
    mDados.reserve(2 * merchandise_columns.size());
    for (std::size_t i = 0; i < merchandise_columns.size(); ++i) {
        mDados.push_back(merchandise_columns[i]);
        mDados.push_back(std::move(values[i]));
    }
    return mDados;
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
    ++page_counts_.departments_created;
}

void ProductImport::Sinc_At_Mercadorias(std::int32_t codIn, const std::vector<std::u16string>& mDados)
{
    try {
        const std::u16string condicao = u"cod_red=" + decimal_text(codIn);
        if (database_.SelectFile(u"1", u"Mercadorias", condicao)) {
            database_.UPDATEFILE_Matriz(u"Mercadorias", condicao, mDados);
            ++page_counts_.updated;
        } else {
            database_.INSERTFILE(u"Mercadorias", mDados);
            ++page_counts_.inserted;
        }
    } catch (const std::exception& failure) {
        if (is_transient(failure)) throw_interrupted_write(failure, decimal_text(codIn));
        skip_product(decimal_text(codIn), message_of(failure));
    }
}

void ProductImport::report_progress(const std::u16string& text)
{
    if (progress_) progress_(text);
}

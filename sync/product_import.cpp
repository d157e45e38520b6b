#include "sync/product_import.h"

#include "api/uGer_API.h"
#include "db/uDtmApi.h"
#include "sync/control_records.h"
#include "sync/product_row.h"
#include "sync/run_report.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"
#include "util/number_text.h"

#include <utility>

namespace {

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

// A control record's codigo that cannot be read names no start.
std::optional<std::int32_t> next_start_named_by(const MemoryTable& control_record)
{
    try {
        return control_record.FieldByName(u"codigo").AsInteger();
    } catch (const ConversionError&) {
        return std::nullopt;
    }
}

std::u16string page_not_saved_text(std::int32_t start_id)
{
    return u"ERRO: a gravacao da pagina iniciada no id " + decimal_text(start_id) +
           u" falhou e foi desfeita; importacao interrompida";
}

// Memory trimmed and the shell's pending input served; neither may stop
// the import.
void serve_between_pages(ImportShell& shell) noexcept
{
    ObjKelvo.Clear_memory_pc();
    try {
        shell.dispatch_messages();
    } catch (...) {
    }
}

}  // namespace

ProductImport::ProductImport(Tger_API& api, TdtmApi& database, RunReport& report, ImportShell& shell)
    : api_(api),
      database_(database),
      report_(report),
      shell_(shell),
      writer_(make_product_writer(write_path_of_environment(), {database, report, shell, page_counts_, routes_})),
      fetcher_(api, fetch_mode_of_environment())
{
}

std::u16string ProductImport::AtualizarPrecos_API_Quintara(std::u16string_view qual_tipo_at)
{
    // However the loop ends, its outcome is decided: nothing may wait on
    // the answer to a page fetched ahead.
    struct StopFetching {
        PageFetcher& fetcher;
        ~StopFetching() { fetcher.stop(); }
    } stop_fetching{fetcher_};
    serve_between_pages(shell_);
    std::int32_t Id_inicial_at = 0;
    std::optional<std::u16string> strRetorno;
    while (!strRetorno) {
        strRetorno = import_page(qual_tipo_at, Id_inicial_at);
        serve_between_pages(shell_);
    }
    return *strRetorno;
}

// One page read, written and committed. Returns the run's outcome when the
// page ends the run; otherwise `Id_inicial_at` is the next page's start.
std::optional<std::u16string> ProductImport::import_page(std::u16string_view qual_tipo_at, std::int32_t& Id_inicial_at)
{
    const std::int32_t page_start = Id_inicial_at;
    ProductsPage& page = read_page(qual_tipo_at, page_start);
    if (page.answer != u"OK") return page.answer;
    fetch_next_page_ahead(qual_tipo_at, page.table);
    page_counts_ = ImportCounts{.pages = 1};
    NextPage next;
    try {
        next = write_page(page.table);
    } catch (const InterruptedWrite& interrupted) {
        return give_up_page(interrupted);
    }
    auto outcome = end_of_page(next, page_start);
    if (!outcome) Id_inicial_at = *next.start_id;
    return outcome;
}

// The shell hears of the query when the loop waits for the page, which may
// have been fetched while the page before it was written.
ProductsPage& ProductImport::read_page(std::u16string_view qual_tipo_at, std::int32_t page_start)
{
    requested_start_ids_.insert(page_start);
    show_step(RunProgress::Step::querying_service);
    ProductsPage& page = fetcher_.take(qual_tipo_at, page_start);
    report_.log(u"Página lida (id inicial " + decimal_text(page_start) + u"): " +
                (page.answer == u"OK" ? decimal_text(static_cast<long long>(page.table.RecordCount())) + u" linhas"
                                      : page.answer));
    return page;
}

// The next page is asked for only where the loop would ask for it once
// this one is committed; if this one fails instead, it is dropped unwritten.
void ProductImport::fetch_next_page_ahead(std::u16string_view qual_tipo_at, MemoryTable& table)
{
    if (const auto next_start = next_start_id_of(table)) fetcher_.fetch_ahead(qual_tipo_at, *next_start);
}

// The start the loop goes on with after this page, read as write_rows will
// read it; nothing when the page ends the run, or when it is no products
// page (writing the page will tell).
std::optional<std::int32_t> ProductImport::next_start_id_of(MemoryTable& table) const noexcept
{
    try {
        NextPage next;
        if (!table.Active() || table.RecordCount() == 0) return std::nullopt;
        for (table.First(); !table.Eof(); table.Next()) read_control_record(table, next);
        if (next.last || !asks_again(next)) return std::nullopt;
        return next.start_id;
    } catch (...) {
        return std::nullopt;
    }
}

// Every row of the page to the writer, which is flushed at the page's end.
ProductImport::NextPage ProductImport::write_page(MemoryTable& table)
{
    NextPage next;
    next.has_rows = table.Active() && table.RecordCount() > 0;
    next.last = !next.has_rows;
    if (!next.has_rows) return next;
    show_step(RunProgress::Step::writing_page);
    try {
        write_rows(table, next);
        writer_->flush();
    } catch (const InterruptedWrite&) {
        throw;
    } catch (...) {
        flush_before_failure();
        throw;
    }
    return next;
}

void ProductImport::write_rows(MemoryTable& table, NextPage& next)
{
    const ColumnFit fit = [this](std::u16string_view text, std::size_t limit) {
        return database_.fit_to_column(text, limit);
    };
    bool product_fields_checked = false;
    for (table.First(); !table.Eof(); table.Next()) {
        if (read_control_record(table, next)) continue;
        if (!product_fields_checked) require_product_fields(table);
        product_fields_checked = true;
        writer_->write(read_product_row(table, fit));
    }
}

// True when the current row is this run's control record, whose codigo is
// where the next page starts (0: nowhere).
bool ProductImport::read_control_record(const MemoryTable& table, NextPage& next) const
{
    if (!is_control_record(table, api_.token_de_acesso)) return false;
    next.start_id = next_start_named_by(table);
    if (next.start_id == 0) next.last = true;
    return true;
}

// A page that names no new start would be asked for forever.
bool ProductImport::asks_again(const NextPage& next) const
{
    return next.start_id && !requested_start_ids_.contains(*next.start_id);
}

// A failure that ends the run mid-page: the rows held before it are
// written as statements would have written them by then, so that the
// report names the same skips. The run's rollback undoes them either way.
void ProductImport::flush_before_failure() noexcept
{
    try {
        writer_->flush();
    } catch (...) {
        // The failure under way is the one to tell.
    }
}

// The page is committed, or the run ends: a page whose commit was refused
// is gone, and carrying on would report success for a catalogue with a
// hole in it. The confirmation goes only once the last page is committed,
// with no fetch under way.
std::optional<std::u16string> ProductImport::end_of_page(const NextPage& next, std::int32_t page_start)
{
    if (next.has_rows && !database_.dtmApiCommit()) {
        writer_->discard();
        return page_not_saved_text(page_start);
    }
    counts_ += page_counts_;
    show_step(RunProgress::Step::page_committed);
    if (!next.last && !asks_again(next)) return no_new_start_id_text(page_start);
    if (!next.last) return std::nullopt;
    fetcher_.drop();
    confirm_receipt();
    return std::u16string(ok_outcome);
}

// Nothing of the page stays and nothing is confirmed: the next run brings
// it again.
std::u16string ProductImport::give_up_page(const InterruptedWrite& interrupted)
{
    writer_->discard();
    database_.discard_uncommitted();
    return write_interrupted_text(interrupted.codigo, interrupted.message);
}

// A page without one of these columns is no products page (an error answer
// the checker let through, say): skipping each of its rows would hide it.
void ProductImport::require_product_fields(const MemoryTable& table) const
{
    for (const char16_t* name :
         {u"codigo", u"nome", u"apelidoProduto", u"codigoBarras", u"referencia", u"nomeDepartamento", u"unidadeVenda",
          u"unidadeBalanca", u"produtoBalanca", u"Ativo", u"ncm", u"qtdEstoque", u"valorVenda"})
        table.FieldByName(name);
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

// The page told is the one under way: once committed, it is counted.
void ProductImport::show_step(RunProgress::Step step)
{
    const int page = step == RunProgress::Step::page_committed ? counts_.pages : counts_.pages + 1;
    shell_.show_progress({.step = step, .page = page, .committed = counts_});
}

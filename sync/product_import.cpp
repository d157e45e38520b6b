#include "sync/product_import.h"

#include "api/http_status.h"
#include "api/uGer_API.h"
#include "db/uDtmApi.h"
#include "sync/outcome_texts.h"
#include "sync/product_row.h"
#include "sync/run_report.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"

#include <utility>

namespace {

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
      writer_(make_product_writer(write_path_of_environment(), {database, report, shell, page_counts_, routes_}))
{
}

std::u16string ProductImport::AtualizarPrecos_API_Quintara(std::u16string_view qual_tipo_at, const RunRequest& request)
{
    fetcher_.emplace(api_, request, fetch_mode_of_environment());
    // However the loop ends, its outcome is decided: nothing may wait on
    // the answer to a page fetched ahead.
    struct StopFetching {
        std::optional<PageFetcher>& fetcher;
        ~StopFetching() { fetcher.reset(); }
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
    ProductsPage page = read_page(qual_tipo_at, page_start);
    if (auto ending = page.ending()) return ending;
    fetch_next_page_ahead(qual_tipo_at, page.facts);
    page_counts_ = ImportCounts{.pages = 1};
    try {
        write_page(page);
    } catch (const InterruptedWrite& interrupted) {
        return give_up_page(interrupted);
    }
    auto outcome = end_of_page(page.facts, page_start);
    if (!outcome) Id_inicial_at = *page.facts.next_start_id;
    return outcome;
}

// The shell hears of the query when the loop waits for the page, which may
// have been fetched while the page before it was written.
ProductsPage ProductImport::read_page(std::u16string_view qual_tipo_at, std::int32_t page_start)
{
    requested_start_ids_.insert(page_start);
    show_step(RunProgress::Step::querying_service);
    ProductsPage page = fetcher_->take(qual_tipo_at, page_start);
    const auto ending = page.ending();
    report_.log(page_read_text(page_start, ending ? *ending : page_rows_text(page.table().RecordCount())));
    return page;
}

// The next page is asked for only where the loop would ask for it once
// this one is committed; if this one fails instead, it is dropped unwritten.
// A page whose rows cannot all be read fails to write.
void ProductImport::fetch_next_page_ahead(std::u16string_view qual_tipo_at, const PageFacts& page)
{
    if (page.unreadable_row || page.last || !asks_again(page)) return;
    fetcher_->fetch_ahead(qual_tipo_at, *page.next_start_id);
}

// Every row of the page to the writer, which is flushed at the page's end.
void ProductImport::write_page(ProductsPage& page)
{
    if (!page.facts.has_rows) return;
    show_step(RunProgress::Step::writing_page);
    try {
        write_rows(page.table(), page.facts);
        writer_->flush();
    } catch (const InterruptedWrite&) {
        throw;
    } catch (...) {
        flush_before_failure();
        throw;
    }
}

void ProductImport::write_rows(MemoryTable& table, const PageFacts& facts)
{
    const ColumnFit fit = [this](std::u16string_view text, std::size_t limit) {
        return database_.fit_to_column(text, limit);
    };
    bool product_fields_checked = false;
    for (table.First(); !table.Eof(); table.Next()) {
        if (table.current_row() == facts.unreadable_row) std::rethrow_exception(facts.unreadable_reason);
        if (facts.is_control_row(table.current_row())) continue;
        if (!product_fields_checked) require_product_fields(table);
        product_fields_checked = true;
        writer_->write(read_product_row(table, fit));
    }
}

// A page that names no new start would be asked for forever.
bool ProductImport::asks_again(const PageFacts& page) const
{
    return page.next_start_id && !requested_start_ids_.contains(*page.next_start_id);
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
std::optional<std::u16string> ProductImport::end_of_page(const PageFacts& next, std::int32_t page_start)
{
    if (next.has_rows && !database_.dtmApiCommit()) {
        writer_->discard();
        return page_not_saved_text(page_start);
    }
    counts_ += page_counts_;
    show_step(RunProgress::Step::page_committed);
    if (!next.last && !asks_again(next)) return no_new_start_id_text(page_start);
    if (!next.last) return std::nullopt;
    fetcher_->drop();
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

// A page without one of the schema's members is no products page (an
// error answer the checker let through, say): skipping each of its rows
// would hide it.
void ProductImport::require_product_fields(const MemoryTable& table) const
{
    require_product_members(table);
}

// Its answer does not change the outcome, but the operator should know
// that the service may send the catalogue again.
void ProductImport::confirm_receipt()
{
    const std::u16string answer = api_.envia_confirmacao_de_dados(u"Produtos");
    const long status = api_.rResponse_post_Ok_dados.StatusCode();
    if (answer != u"OK")
        report_.report(confirmation_not_sent_text(answer));
    else if (!is_success_status(status))
        report_.report(confirmation_refused_text(status));
    else
        report_.log(std::u16string(confirmation_sent_text));
}

// The page told is the one under way: once committed, it is counted.
void ProductImport::show_step(RunProgress::Step step)
{
    const int page = step == RunProgress::Step::page_committed ? counts_.pages : counts_.pages + 1;
    shell_.show_progress({.step = step, .page = page, .committed = counts_});
}

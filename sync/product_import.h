#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "sync/import_counts.h"
#include "sync/import_shell.h"
#include "sync/page_fetcher.h"
#include "sync/product_writer.h"
#include "sync/products_page.h"

class MemoryTable;
class RunReport;
struct RunRequest;
class TdtmApi;
class Tger_API;

// One import of the whole catalogue: the page loop over ger_API's products
// requests, each page's product rows handed to a writer and committed.
// While a page is written, the next one is fetched (unless
// IMPORTADOR_FETCH_AHEAD=0); everything else happens on the caller's thread.
class ProductImport {
public:
    // `shell` is told of each page's steps and of each skipped product, and
    // serves its input between pages; `report` gets the pages read, skipped
    // products and the confirmation.
    ProductImport(Tger_API& api, TdtmApi& database, RunReport& report, ImportShell& shell);

    // Every page into the database, then the confirmation. Returns the
    // outcome text. A product whose own data fails is skipped and reported;
    // a page that is no products page, and database failures outside a
    // product, escape.
    std::u16string AtualizarPrecos_API_Quintara(std::u16string_view qual_tipo_at, const RunRequest& request);

    // What the committed pages hold.
    const ImportCounts& counts() const { return counts_; }
    // How the products were written, committed or not.
    const WriteRoutes& routes() const { return routes_; }

private:
    std::optional<std::u16string> import_page(std::u16string_view qual_tipo_at, std::int32_t& Id_inicial_at);
    ProductsPage read_page(std::u16string_view qual_tipo_at, std::int32_t page_start);
    void fetch_next_page_ahead(std::u16string_view qual_tipo_at, const PageFacts& page);
    bool asks_again(const PageFacts& page) const;
    void write_page(ProductsPage& page);
    void write_rows(MemoryTable& table, const PageFacts& facts);
    void flush_before_failure() noexcept;
    std::optional<std::u16string> end_of_page(const PageFacts& page, std::int32_t page_start);
    std::u16string give_up_page(const InterruptedWrite& interrupted);
    void require_product_fields(const MemoryTable& table) const;
    void confirm_receipt();
    void show_step(RunProgress::Step step);

    Tger_API& api_;
    TdtmApi& database_;
    RunReport& report_;
    ImportShell& shell_;
    ImportCounts counts_;
    ImportCounts page_counts_;  // the page being written, until its commit
    WriteRoutes routes_;
    std::unique_ptr<ProductWriter> writer_;
    std::set<std::int32_t> requested_start_ids_;
    std::optional<PageFetcher> fetcher_;  // the run's; last: its thread ends before the rest goes
};

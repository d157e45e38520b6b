#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/merchandise_batch.h"

class RunReport;
class TdtmApi;
class Tger_API;

// One import of the whole catalogue: the page loop over ger_API's products
// requests and, per product row, the department lookup and the merchandise
// upsert through dtmApi.
class ProductImport {
public:
    using Progress = std::function<void(const std::u16string&)>;
    // `progress` is told at each page, in Portuguese, and at the end;
    // `report` gets the pages read, skipped products and the confirmation.
    ProductImport(Tger_API& api, TdtmApi& database, RunReport& report, Progress progress = {});

    // Every page into the database, then the confirmation. Returns the
    // outcome text. A product whose own data fails is skipped and reported;
    // a page that is no products page, and database failures outside a
    // product, escape.
    std::u16string AtualizarPrecos_API_Quintara(std::u16string_view qual_tipo_at);

    // Shared by the two steps of a product row, as the loop's own locals.
    std::u16string strCodDep;
    std::u16string strnomeDep;

    void Sinc_Departamento();
    void Sinc_At_Mercadorias(std::int32_t codIn, const std::vector<std::u16string>& mDados);

    struct Counts {
        int pages = 0;
        int inserted = 0;
        int updated = 0;
        int skipped = 0;
        int departments_created = 0;
        Counts& operator+=(const Counts& other);
    };
    // What the committed pages hold.
    const Counts& counts() const { return counts_; }

    // How product rows reach the database: many to a statement, or each
    // through its own statements (the reference the batches match).
    enum class WritePath { batches, statements };
    // IMPORTADOR_WRITE_PATH=statements chooses the statements; anything
    // else the batches.
    static WritePath write_path_of_environment();

private:
    // A product row read and waiting in the batch, with what to report
    // once the batch is written.
    struct PendingRow {
        std::size_t table_row;
        std::u16string codigo;  // as received
        std::optional<std::u16string> skip_reason;
        bool in_batch;
    };

    bool is_control_record(const std::u16string& nome) const;
    void require_product_fields() const;
    void write_product_row();
    void add_product_row();
    void write_batch();
    bool batch_available(const std::u16string& codigo);
    void rewrite_by_statements(const std::vector<PendingRow>& rows);
    void drop_batch();
    void remember_department_codes(const std::vector<MerchandiseBatch::Row>& rows,
                                   const std::vector<std::u16string>& codes);
    void write_batch_before_failure() noexcept;
    void skip_product(const std::u16string& codigo, const std::u16string& reason);
    void confirm_receipt();
    std::vector<std::u16string> merchandise_pairs(const std::u16string& proBlanca, const std::u16string& ProAtivo);
    void report_progress(const std::u16string& text);

    Tger_API& api_;
    TdtmApi& database_;
    RunReport& report_;
    Progress progress_;
    Counts counts_;
    Counts page_counts_;  // the page being written, until its commit
    WritePath write_path_;
    std::unique_ptr<MerchandiseBatch> batch_;  // prepared on the first batch
    std::vector<MerchandiseBatch::Row> batch_rows_;
    std::vector<PendingRow> pending_rows_;
    std::unordered_map<std::u16string, std::u16string> department_codes_;  // by upper-cased name
};

#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/merchandise_batch.h"
#include "sync/statement_writer.h"

// The batch route: rows held and written up to MerchandiseBatch::capacity
// to a statement, storing (or refusing) exactly what the statement route
// would. It falls back to that route by itself: for a row that cannot
// travel bound, for a batch the database refuses (its rows replayed one at
// a time, so that the refused product is skipped alone with its own
// message), and for the rest of the run when the batch does not compile.
class BatchWriter : public ProductWriter {
public:
    explicit BatchWriter(const WriteContext& context);

    void write(ProductRow row) override;
    void flush() override;
    void discard() noexcept override;

private:
    bool takes_batch_slot(const ProductRow& row) const;
    bool batch_available(const std::u16string& codigo);
    void write_held(const std::vector<ProductRow>& rows);
    std::vector<MerchandiseBatch::Row> batch_rows(const std::vector<ProductRow>& rows) const;
    void refused(const std::exception& failure, const std::vector<ProductRow>& rows, std::size_t batch_size);
    void replay(std::vector<ProductRow> rows);
    void remember_department_codes(const std::vector<MerchandiseBatch::Row>& rows,
                                   const std::vector<std::u16string>& codes);

    WriteContext context_;
    StatementWriter statements_;
    bool unavailable_ = false;  // the batch did not compile: statements for the run
    std::unique_ptr<MerchandiseBatch> batch_;  // prepared on the first batch
    std::vector<ProductRow> held_;  // in the page's order
    std::size_t held_slots_ = 0;
    std::unordered_map<std::u16string, std::u16string> department_codes_;  // by upper-cased name
};

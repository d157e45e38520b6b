#include "sync/batch_writer.h"

#include "db/uDtmApi.h"
#include "sync/run_report.h"
#include "util/error.h"
#include "util/number_text.h"

#include <utility>

namespace {

// A NUL would travel as a bound value but not in a statement's text, and
// a bound text has a length limit: such a row goes by statements, so that
// both ways store (or refuse) it alike.
constexpr std::size_t longest_bound_text = 8000;  // UTF-16 units: at most 24,000 bytes in UTF-8

bool travels_bound(const ProductRow& row)
{
    const auto fits = [](const std::u16string& text) {
        return text.size() <= longest_bound_text && text.find(u'\0') == std::u16string::npos;
    };
    if (!fits(*row.department_name)) return false;
    for (const auto& text : row.values)
        if (!fits(text)) return false;
    return true;
}

}  // namespace

BatchWriter::BatchWriter(const WriteContext& context) : context_(context), statements_(context) { }

void BatchWriter::write(ProductRow row)
{
    if (unavailable_) return statements_.write(std::move(row));
    if (row.department_name && !travels_bound(row)) {
        flush();
        return statements_.write(std::move(row));
    }
    if (takes_batch_slot(row)) ++held_slots_;
    held_.push_back(std::move(row));
    if (held_slots_ == static_cast<std::size_t>(MerchandiseBatch::capacity)) flush();
}

// A product whose own data failed writes only its department, and nothing
// at all once an earlier batch of the run has looked that name up.
bool BatchWriter::takes_batch_slot(const ProductRow& row) const
{
    return row.department_name && !(row.failure && department_codes_.contains(*row.department_name));
}

void BatchWriter::flush()
{
    if (held_.empty()) return;
    held_slots_ = 0;
    write_held(std::exchange(held_, {}));
}

void BatchWriter::discard() noexcept
{
    held_.clear();
    held_slots_ = 0;
    department_codes_.clear();
}

void BatchWriter::write_held(const std::vector<ProductRow>& rows)
{
    const auto batch = batch_rows(rows);
    if (!batch.empty() && !batch_available(rows.front().codigo)) return replay(rows);
    try {
        const auto written = batch.empty() ? MerchandiseBatch::Written{} : batch_->write(batch);
        context_.page.inserted += written.inserted;
        context_.page.updated += written.updated;
        context_.page.departments_created += written.departments_created;
        remember_department_codes(batch, written.department_codes);
    } catch (const std::exception& failure) {
        return refused(failure, rows, batch.size());
    }
    if (!batch.empty()) ++context_.routes.batches;
    context_.routes.products_by_batch += static_cast<int>(batch.size());
    for (const auto& row : rows)
        if (row.failure) skip_product(context_, row.codigo, *row.failure);
}

std::vector<MerchandiseBatch::Row> BatchWriter::batch_rows(const std::vector<ProductRow>& rows) const
{
    std::vector<MerchandiseBatch::Row> batch;
    for (const auto& row : rows) {
        if (!takes_batch_slot(row)) continue;
        auto& slot = batch.emplace_back();
        slot.department_name = *row.department_name;
        if (const auto known = department_codes_.find(slot.department_name); known != department_codes_.end())
            slot.department_code = known->second;
        if (row.failure) slot.steps = MerchandiseBatch::Steps::department;
        slot.code = row.code;
        slot.values = row.values;
    }
    return batch;
}

// A batch the database refuses has written nothing. A transient failure is
// replayed too while the connection lasts, so that the product that meets
// it (a row another station holds) is the one named.
void BatchWriter::refused(const std::exception& failure, const std::vector<ProductRow>& rows, std::size_t batch_size)
{
    if (classify(failure, context_.database) == WriteFailure::connection_gone)
        throw_interrupted_write(failure, rows.front().codigo);
    ++context_.routes.refused_batches;
    context_.report.log(u"Lote de " + integer_to_text(static_cast<long long>(batch_size)) + u" produtos recusado (" +
                        message_of(failure) + u"); gravados um a um");
    replay(rows);
}

// The batch statement is prepared once; a database that cannot take it
// (an engine without the statement's features, a table without a column)
// is written by statements for the rest of the run.
bool BatchWriter::batch_available(const std::u16string& codigo)
{
    if (batch_) return true;
    auto batch = std::make_unique<MerchandiseBatch>(context_.database);
    try {
        batch->prepare();
    } catch (const std::exception& failure) {
        if (classify(failure, context_.database) == WriteFailure::connection_gone)
            throw_interrupted_write(failure, codigo);
        context_.report.log(u"Gravação em lotes indisponível (" + message_of(failure) +
                            u"); produtos gravados um a um");
        unavailable_ = true;
        return false;
    }
    batch_ = std::move(batch);
    return true;
}

void BatchWriter::replay(std::vector<ProductRow> rows)
{
    for (auto& row : rows) statements_.write(std::move(row));
}

// The run's departments change only by its own inserts, which never add a
// name the lookup would find among them: a name looked up once keeps its
// code for the run, as long as the pages that hold them are kept.
void BatchWriter::remember_department_codes(const std::vector<MerchandiseBatch::Row>& rows,
                                            const std::vector<std::u16string>& codes)
{
    auto code = codes.begin();
    for (const auto& row : rows) {
        if (row.department_code) continue;
        if (code == codes.end()) return;
        department_codes_.emplace(row.department_name, *code++);
    }
}

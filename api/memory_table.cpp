#include "api/memory_table.h"

#include "api/cell_text.h"
#include "api/table_loader.h"
#include "util/error.h"
#include "util/number_text.h"

#include <string>
#include <utility>

namespace {

// Lower case for ASCII, Latin-1 and Latin Extended-A: enough for the
// Portuguese (and other Western) letters that column names can carry.
char16_t fold_letter(char16_t c)
{
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + 0x20) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return char16_t(c + 0x20);
    if (c < 0x100 || c > 0x17F) return c;
    if (c == 0x130) return u'i';
    if (c == 0x178) return 0xFF;
    const bool even = c % 2 == 0;
    if ((c <= 0x137 && even) || (c >= 0x14A && c <= 0x177 && even)) return char16_t(c + 1);
    if ((c >= 0x139 && c <= 0x148 && !even) || (c >= 0x179 && c <= 0x17E && !even)) return char16_t(c + 1);
    return c;
}

}  // namespace

std::u16string MemoryTable::folded_name(std::u16string_view name)
{
    std::u16string out(name);
    for (char16_t& c : out) c = fold_letter(c);
    return out;
}

MemoryTable::MemoryTable(std::u16string name) : name_(std::move(name)), decimal_separator_(regional_decimal_separator())
{
}

void MemoryTable::Close()
{
    active_ = false;
    eof_ = false;
    columns_.clear();
    cells_.clear();
    failed_cells_.clear();
    current_row_ = 0;
}

std::size_t MemoryTable::RecordCount() const
{
    return columns_.empty() ? 0 : cells_.size() / columns_.size();
}

void MemoryTable::load_json(const std::function<bool(JsonEvents&)>& read_body)
{
    JsonTableLoader loader(decimal_separator_);
    if (!read_body(loader)) throw Error(u"Response content is not valid JSON");
    assign(loader.take_content());
}

void MemoryTable::load_body(std::u16string_view body)
{
    if (body.empty()) {
        Close();
        return;
    }
    load_json([body](JsonEvents& events) { return read_json_events(body, events); });
}

void MemoryTable::assign(Content content)
{
    Close();
    if (content.columns.empty()) return;
    columns_ = std::move(content.columns);
    cells_ = std::move(content.cells);
    failed_cells_ = std::move(content.failed_cells);
    active_ = true;
}

void MemoryTable::move_rows_to(MemoryTable& other)
{
    if (&other == this) return;
    other.decimal_separator_ = decimal_separator_;
    other.active_ = active_;
    other.eof_ = eof_;
    other.columns_ = std::move(columns_);
    other.cells_ = std::move(cells_);
    other.failed_cells_ = std::move(failed_cells_);
    other.current_row_ = current_row_;
    Close();
}

void MemoryTable::require_open() const
{
    if (!active_) throw Error(name_ + u": Cannot perform this operation on a closed dataset");
}

void MemoryTable::First()
{
    require_open();
    current_row_ = 0;
    eof_ = false;
}

void MemoryTable::Next()
{
    require_open();
    eof_ = current_row_ + 1 >= RecordCount();
    if (!eof_) ++current_row_;
}

void MemoryTable::move_to_row(std::size_t row)
{
    require_open();
    if (row >= RecordCount()) throw Error(name_ + u": Record not found");
    current_row_ = row;
    eof_ = false;
}

bool MemoryTable::Eof() const
{
    // A closed table has nothing left to read.
    return !active_ || eof_;
}

MemoryTable::Field MemoryTable::FieldByName(std::u16string_view name) const
{
    const std::u16string wanted = folded_name(name);
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].folded_name == wanted) return Field(*this, i);
    throw Error(name_ + u": Field '" + std::u16string(name) + u"' not found");
}

std::vector<std::u16string> MemoryTable::column_names() const
{
    std::vector<std::u16string> names;
    for (const Column& column : columns_) names.push_back(column.name);
    return names;
}

std::size_t MemoryTable::cell_index(std::size_t column) const
{
    require_open();
    if (column >= columns_.size()) throw Error(name_ + u": Field index out of range");
    return current_row_ * columns_.size() + column;
}

const MemoryTable::Cell& MemoryTable::cell_at(std::size_t column) const
{
    const std::size_t index = cell_index(column);
    if (!failed_cells_.empty())
        if (const auto failed = failed_cells_.find(index); failed != failed_cells_.end()) throw failed->second;
    return cells_[index];
}

const std::optional<std::u16string>& MemoryTable::Field::cell() const
{
    return table_->cell_at(column_);
}

std::u16string MemoryTable::Field::AsString() const
{
    return cell().value_or(std::u16string());
}

std::int32_t MemoryTable::Field::AsInteger() const
{
    return text_to_int32(AsString());
}

double MemoryTable::Field::AsFloat() const
{
    return text_to_float(AsString(), table_->decimal_separator_);
}

std::u16string MemoryTable::Field::received_text() const
{
    return table_->cells_[table_->cell_index(column_)].value_or(std::u16string());
}

bool MemoryTable::Field::IsNull() const
{
    return !cell().has_value();
}

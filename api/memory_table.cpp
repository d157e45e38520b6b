#include "api/memory_table.h"

#include "api/cell_text.h"
#include "api/table_loader.h"
#include "util/error.h"
#include "util/number_text.h"
#include "json/value.h"

#include <string>

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

std::optional<std::u16string> cell_text(const JsonValue& value, char16_t decimal_separator)
{
    std::u16string text;
    switch (value.kind()) {
    case JsonValue::Kind::Null: return std::nullopt;
    case JsonValue::Kind::True: text = u"True"; break;
    case JsonValue::Kind::False: text = u"False"; break;
    case JsonValue::Kind::String: text = value.text(); break;
    case JsonValue::Kind::Number: text = json_number_cell_text(value.text(), decimal_separator); break;
    case JsonValue::Kind::Array:
    case JsonValue::Kind::Object: text = compact_json_text(value); break;
    }
    if (text.size() > text_column_size) text.resize(text_column_size);
    return text;
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
    columns_from_members_ = false;
    columns_.clear();
    cells_.clear();
    current_row_ = 0;
}

std::size_t MemoryTable::RecordCount() const
{
    return columns_.empty() ? 0 : cells_.size() / columns_.size();
}

void MemoryTable::derive_columns(const JsonValue& value)
{
    const JsonValue* source = &value;
    if (value.is_array()) {
        if (value.elements().empty()) return;
        source = &value.elements().front();
    }
    if (!source->is_object()) {
        columns_.push_back(Column{std::u16string(single_column_name), folded_name(single_column_name)});
        return;
    }
    columns_from_members_ = true;
    for (const JsonValue::Member& member : source->members()) {
        if (member.first.empty()) continue;
        std::u16string folded = folded_name(member.first);
        bool taken = false;
        for (const Column& column : columns_) taken = taken || column.folded_name == folded;
        if (!taken) columns_.push_back(Column{member.first, std::move(folded)});
    }
}

void MemoryTable::add_row(const JsonValue& element)
{
    static const JsonValue null_value;
    const std::size_t row_start = cells_.size();
    try {
        for (const Column& column : columns_) {
            const JsonValue* value = &element;
            if (columns_from_members_) {
                value = element.is_object() ? element.find_member(column.name) : nullptr;
                if (!value) value = &null_value;
            }
            cells_.push_back(cell_text(*value, decimal_separator_));
        }
    } catch (...) {
        // The row keeps the cells filled before the failing one.
        cells_.resize(row_start + columns_.size());
        throw;
    }
}

void MemoryTable::load(const JsonValue& value)
{
    Close();
    derive_columns(value);
    if (columns_.empty()) {
        Close();
        return;
    }
    active_ = true;
    if (value.is_array()) {
        for (const JsonValue& element : value.elements()) add_row(element);
    } else {
        add_row(value);
    }
}

void MemoryTable::load_json(const std::function<bool(JsonEvents&)>& read_body)
{
    JsonTableLoader loader(decimal_separator_);
    if (!read_body(loader)) throw Error(u"Response content is not valid JSON");
    assign(loader.take_content());
    if (const std::optional<ConversionError>& failure = loader.failure()) throw *failure;
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
    active_ = true;
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

const MemoryTable::Cell& MemoryTable::cell_at(std::size_t column) const
{
    require_open();
    if (column >= columns_.size()) throw Error(name_ + u": Field index out of range");
    return cells_[current_row_ * columns_.size() + column];
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

bool MemoryTable::Field::IsNull() const
{
    return !cell().has_value();
}

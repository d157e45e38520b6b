#include "api/table_loader.h"

#include "api/cell_text.h"

#include <utility>

namespace {

MemoryTable::Cell cut(std::u16string_view text)
{
    return std::u16string(text.substr(0, text_column_size));
}

}  // namespace

JsonTableLoader::JsonTableLoader(char16_t decimal_separator) : decimal_separator_(decimal_separator) { }

// The answer itself, or an element of the answer's array: each gives a row.
bool JsonTableLoader::at_element() const
{
    return depth_ == 0 || (answer_is_array_ && depth_ == 1);
}

JsonTableLoader::Use JsonTableLoader::start_element(bool is_object)
{
    const bool first = elements_++ == 0;
    if (first) {
        columns_from_members_ = is_object;
        if (!is_object)
            content_.columns.push_back({std::u16string(MemoryTable::single_column_name),
                                        MemoryTable::folded_name(MemoryTable::single_column_name)});
    }
    if (rows_ended_) return Use::skip;
    begin_row(first);
    if (!columns_from_members_) return Use::whole_cell;
    if (is_object) return Use::row_object;
    end_row();  // no members, so nulls only
    return Use::skip;
}

// The first row makes the columns (an empty key or one that differs only in
// letter case from an earlier one makes none); later rows fill the column
// of exactly their key, from its first member only.
std::size_t JsonTableLoader::column_for_key(std::u16string_view name)
{
    std::vector<MemoryTable::Column>& columns = content_.columns;
    if (first_row_) {
        if (name.empty()) return no_column;
        std::u16string folded = MemoryTable::folded_name(name);
        for (const MemoryTable::Column& column : columns)
            if (column.folded_name == folded) return no_column;
        columns.push_back({std::u16string(name), std::move(folded)});
        row_.emplace_back();
        filled_.push_back(false);
        return columns.size() - 1;
    }
    // Members mostly come in column order, so the search starts after the
    // last match.
    for (std::size_t n = 0; n < columns.size(); ++n) {
        const std::size_t i = (next_column_ + n) % columns.size();
        if (columns[i].name == name) {
            next_column_ = i + 1;
            return filled_[i] ? no_column : i;
        }
    }
    return no_column;
}

JsonTableLoader::Target JsonTableLoader::scalar_target()
{
    if (nested_depth_ > 0) return {};
    if (!at_element()) return {std::exchange(key_column_, no_column), false};
    return start_element(false) == Use::whole_cell ? Target{0, true} : Target{};
}

void JsonTableLoader::begin_nested(std::size_t column)
{
    nested_depth_ = 1;
    nested_column_ = column;
    nested_writer_.reset();
    if (column == no_column) return;
    nested_text_.clear();
    nested_writer_.emplace(nested_text_, text_column_size);
}

void JsonTableLoader::end_nested()
{
    if (--nested_depth_ > 0 || !nested_writer_) return;
    nested_writer_.reset();
    fill(nested_column_, cut(nested_text_));
    if (!columns_from_members_) end_row();
}

void JsonTableLoader::begin_row(bool first)
{
    first_row_ = first;
    row_.assign(content_.columns.size(), std::nullopt);
    filled_.assign(content_.columns.size(), false);
    key_column_ = no_column;
    next_column_ = 0;
    row_failures_.clear();
}

void JsonTableLoader::end_row()
{
    if (first_row_ && content_.columns.empty()) {
        rows_ended_ = true;  // no column: the table stays closed
        return;
    }
    first_row_ = false;
    const std::size_t row_start = content_.cells.size();
    for (auto& [column, failure] : row_failures_) content_.failed_cells.emplace(row_start + column, std::move(failure));
    for (MemoryTable::Cell& cell : row_) content_.cells.push_back(std::move(cell));
}

void JsonTableLoader::fill(std::size_t column, MemoryTable::Cell cell)
{
    row_[column] = std::move(cell);
    filled_[column] = true;
}

void JsonTableLoader::fail(std::size_t column, std::u16string_view lexeme, const ConversionError& failure)
{
    fill(column, std::u16string(lexeme));
    row_failures_.emplace_back(column, failure);
}

void JsonTableLoader::null()
{
    if (nested_writer_) nested_writer_->null();
    const Target target = scalar_target();
    if (target.column != no_column) fill(target.column, std::nullopt);
    if (target.ends_row) end_row();
}

void JsonTableLoader::boolean(bool value)
{
    if (nested_writer_) nested_writer_->boolean(value);
    const Target target = scalar_target();
    if (target.column != no_column) fill(target.column, value ? u"True" : u"False");
    if (target.ends_row) end_row();
}

void JsonTableLoader::number(std::u16string_view lexeme)
{
    if (nested_writer_) nested_writer_->number(lexeme);
    const Target target = scalar_target();
    if (target.column != no_column) {
        try {
            fill(target.column, cut(json_number_cell_text(lexeme, decimal_separator_)));
        } catch (const ConversionError& failure) {
            fail(target.column, lexeme, failure);
        }
    }
    if (target.ends_row) end_row();
}

void JsonTableLoader::string(std::u16string_view text)
{
    if (nested_writer_) nested_writer_->string(text);
    const Target target = scalar_target();
    if (target.column != no_column) fill(target.column, cut(text));
    if (target.ends_row) end_row();
}

void JsonTableLoader::key(std::u16string_view name)
{
    if (nested_depth_ > 0) {
        if (nested_writer_) nested_writer_->key(name);
        return;
    }
    key_column_ = column_for_key(name);
}

void JsonTableLoader::start_object()
{
    if (nested_depth_ > 0) {
        ++nested_depth_;
    } else if (!at_element()) {
        begin_nested(std::exchange(key_column_, no_column));
    } else {
        const Use use = start_element(true);
        if (use == Use::row_object) {
            ++depth_;
            return;
        }
        begin_nested(use == Use::whole_cell ? 0 : no_column);
    }
    if (nested_writer_) nested_writer_->start_object();
}

void JsonTableLoader::end_object()
{
    if (nested_depth_ > 0) {
        if (nested_writer_) nested_writer_->end_object();
        end_nested();
        return;
    }
    --depth_;  // a row's object
    end_row();
}

void JsonTableLoader::start_array()
{
    if (nested_depth_ > 0) {
        ++nested_depth_;
    } else if (depth_ == 0) {
        depth_ = 1;
        answer_is_array_ = true;
        return;
    } else if (!at_element()) {
        begin_nested(std::exchange(key_column_, no_column));
    } else {
        begin_nested(start_element(false) == Use::whole_cell ? 0 : no_column);
    }
    if (nested_writer_) nested_writer_->start_array();
}

void JsonTableLoader::end_array()
{
    if (nested_depth_ > 0) {
        if (nested_writer_) nested_writer_->end_array();
        end_nested();
        return;
    }
    --depth_;  // the answer's array
}

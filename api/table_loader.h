#pragma once

#include "api/memory_table.h"
#include "util/error.h"
#include "json/compact_writer.h"
#include "json/reader.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Fills a table straight from a reader's events, without a value tree. A
// long number that is no 64-bit integer leaves its cell failed: only a read
// of that cell fails, so one product's bad number cannot cost the page.
class JsonTableLoader : public JsonEvents {
public:
    explicit JsonTableLoader(char16_t decimal_separator);

    void null() override;
    void boolean(bool value) override;
    void number(std::u16string_view lexeme) override;
    void string(std::u16string_view text) override;
    void start_object() override;
    void key(std::u16string_view name) override;
    void end_object() override;
    void start_array() override;
    void end_array() override;

    MemoryTable::Content take_content() { return std::move(content_); }

private:
    static constexpr std::size_t no_column = static_cast<std::size_t>(-1);
    // What an element of the answer is to the table.
    enum class Use { row_object, whole_cell, skip };
    // Where a scalar goes: a column of the row (or none), and whether it is
    // a whole row.
    struct Target {
        std::size_t column = no_column;
        bool ends_row = false;
    };

    bool at_element() const;
    Use start_element(bool is_object);
    std::size_t column_for_key(std::u16string_view name);
    Target scalar_target();
    void begin_nested(std::size_t column);
    void end_nested();

    void begin_row(bool first);
    void end_row();
    void fill(std::size_t column, MemoryTable::Cell cell);
    void fail(std::size_t column, std::u16string_view lexeme, const ConversionError& failure);

    char16_t decimal_separator_;
    MemoryTable::Content content_;

    // Where the reader stands among the containers that shape the table:
    // the answer's array and the objects that are rows.
    std::size_t depth_ = 0;
    bool answer_is_array_ = false;
    std::size_t elements_ = 0;
    bool columns_from_members_ = false;
    bool rows_ended_ = false;

    // The row being filled.
    bool first_row_ = false;
    std::vector<MemoryTable::Cell> row_;
    std::vector<bool> filled_;
    std::size_t key_column_ = no_column;
    std::size_t next_column_ = 0;
    std::vector<std::pair<std::size_t, ConversionError>> row_failures_;  // by column

    // A nested object or array: written as a cell's compact text, or skipped.
    std::size_t nested_depth_ = 0;
    std::size_t nested_column_ = no_column;
    std::u16string nested_text_;
    std::optional<CompactJsonWriter> nested_writer_;
};

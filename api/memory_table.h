#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "util/error.h"

class JsonEvents;

// The in-memory table an answer is turned into (tblProdutos, tblPessoas):
// text columns derived from the answer, every row held at once, read by
// column name without regard to letter case.
class MemoryTable {
public:
    struct Column {
        std::u16string name;
        std::u16string folded_name;
    };
    using Cell = std::optional<std::u16string>;
    // The columns and rows of one answer, built aside and put in place whole.
    // A deque, because a streamed page does not say how many rows follow and
    // a growing vector would briefly hold them twice.
    struct Content {
        std::vector<Column> columns;
        std::deque<Cell> cells;  // row after row, columns.size() cells each
        // Cells whose value the table cannot hold, by index into cells; the
        // cell itself keeps the value's characters.
        std::unordered_map<std::size_t, ConversionError> failed_cells;
    };

    // The one column made for an answer whose first element is no object.
    static constexpr std::u16string_view single_column_name = u"valor";
    // Column names compared this way ignore letter case.
    static std::u16string folded_name(std::u16string_view name);

    explicit MemoryTable(std::u16string name);  // created closed

    const std::u16string& name() const { return name_; }

    // Closed: no columns, no rows (an empty body).
    void Close();
    // Rebuilds the table from a body whose JSON events `read_body` reports.
    // A long JSON number that is no 64-bit integer fails its cell: reading
    // that cell throws ConversionError. When `read_body` returns false (the
    // body is no JSON), Error "Response content is not valid JSON" is thrown
    // and the table is left as it was.
    void load_json(const std::function<bool(JsonEvents&)>& read_body);
    // The whole rebuild from a decoded body: empty closes the table.
    void load_body(std::u16string_view body);
    // Puts a built table in place: open on its first row, or closed when it
    // has no column.
    void assign(Content content);
    // Hands the columns, the rows, the position and the decimal separator
    // they were read with to `other`, whose own go; this table is left
    // closed. A page leaves the table its answer was loaded into this way,
    // so that the next answer can be loaded while it is written.
    void move_rows_to(MemoryTable& other);

    bool Active() const { return active_; }
    std::size_t RecordCount() const;

    // "<name>: Cannot perform this operation on a closed dataset" when closed.
    void First();
    void Next();
    bool Eof() const;
    // The current row, from 0, and a return to one read before.
    std::size_t current_row() const { return current_row_; }
    void move_to_row(std::size_t row);

    class Field {
    public:
        // Each read of a failed cell throws its ConversionError.
        std::u16string AsString() const;  // null gives ""
        std::int32_t AsInteger() const;  // integer text rule
        double AsFloat() const;  // decimal text rule, the table's separator
        bool IsNull() const;
        // The cell as the answer gave it, never failing: a failed number's
        // own characters. For reports.
        std::u16string received_text() const;

    private:
        friend class MemoryTable;
        Field(const MemoryTable& table, std::size_t column) : table_(&table), column_(column) { }
        const std::optional<std::u16string>& cell() const;
        const MemoryTable* table_;
        std::size_t column_;
    };

    // "<name>: Field '%s' not found"; letter case ignored, accented letters
    // included.
    Field FieldByName(std::u16string_view name) const;
    std::vector<std::u16string> column_names() const;

    // The decimal separator used for JSON numbers becoming cell texts and for
    // reading cells as numbers; the regional one unless set.
    char16_t decimal_separator() const { return decimal_separator_; }
    void set_decimal_separator(char16_t separator) { decimal_separator_ = separator; }

private:
    void require_open() const;
    const Cell& cell_at(std::size_t column) const;  // throws for a failed cell
    std::size_t cell_index(std::size_t column) const;

    std::u16string name_;
    char16_t decimal_separator_;
    bool active_ = false;
    bool eof_ = false;
    std::vector<Column> columns_;
    std::deque<Cell> cells_;  // row after row, columns_.size() cells each
    std::unordered_map<std::size_t, ConversionError> failed_cells_;
    std::size_t current_row_ = 0;
};

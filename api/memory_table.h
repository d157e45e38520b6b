#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class JsonValue;

// The in-memory table an answer is turned into (tblProdutos, tblPessoas):
// text columns derived from the answer, every row held at once, read by
// column name without regard to letter case.
class MemoryTable {
public:
    explicit MemoryTable(std::u16string name);  // created closed

    const std::u16string& name() const { return name_; }

    // Closed: no columns, no rows (an empty body).
    void Close();
    // Rebuilds the table from an answer. A long JSON number that is no 64-bit
    // integer throws ConversionError; the rows filled so far stay.
    void load(const JsonValue& value);
    // The whole rebuild from a decoded body: empty closes the table, text
    // that is no JSON throws Error "Response content is not valid JSON" and
    // leaves the table as it was.
    void load_body(std::u16string_view body);

    bool Active() const { return active_; }
    std::size_t RecordCount() const;

    // "<name>: Cannot perform this operation on a closed dataset" when closed.
    void First();
    void Next();
    bool Eof() const;

    class Field {
    public:
        std::u16string AsString() const;  // null gives ""
        std::int32_t AsInteger() const;   // integer text rule
        double AsFloat() const;           // decimal text rule, the table's separator
        bool IsNull() const;

    private:
        friend class MemoryTable;
        Field(const MemoryTable& table, std::size_t column) : table_(&table), column_(column) {}
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
    struct Column {
        std::u16string name;
        std::u16string folded_name;
    };
    using Cell = std::optional<std::u16string>;

    void derive_columns(const JsonValue& value);
    void add_row(const JsonValue& element);
    void require_open() const;
    const Cell& cell_at(std::size_t column) const;

    std::u16string name_;
    char16_t decimal_separator_;
    bool active_ = false;
    bool eof_ = false;
    bool columns_from_members_ = false;
    std::vector<Column> columns_;
    std::vector<Cell> cells_;  // row after row, columns_.size() cells each
    std::size_t current_row_ = 0;
};

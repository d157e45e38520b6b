#pragma once

#include <cstdint>
#include <string>

class SqlDescriptorArea;

// One column of a query's current row, as FieldByName returns it. Valid
// until the query moves, closes or changes its text. Without a current row
// (end of data) it reads as NULL: empty text and 0.
class IBField {
public:
    // Made by the query that owns the columns.
    IBField(const SqlDescriptorArea* columns, int index) : columns_(columns), index_(index) { }

    std::u16string AsString() const;
    std::int32_t AsInteger() const;
    bool IsNull() const;

private:
    const SqlDescriptorArea* columns_;  // null when there is no current row
    int index_;
};

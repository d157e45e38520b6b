#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string_view>
#include <vector>

class MemoryTable;

// What a products page's rows say about the run, read in one pass on the
// thread that fetched it, so that the loop never tests a row again.
//
// A control record is the row whose nome is this run's bearer text (see
// bearer_of); its codigo is where the next page starts, 0 for nowhere. A
// nome that cannot be read makes the row a product with a bad member, which
// writing it tells. A record for another token (a typo in the request file,
// a token rotated on one side only) is no product: written, it would
// overwrite the product whose codigo is its next start id.
struct PageFacts {
    bool has_rows = false;
    bool last = false;  // no rows, or a control record named 0
    // The last control record's codigo: none without one, or when it cannot
    // be read.
    std::optional<std::int32_t> next_start_id;
    bool foreign_control_record = false;
    std::vector<bool> control_rows;  // by row: this run's control records
    // The first row whose test failed for good (the page has no nome or no
    // codigo column): writing the page fails there, with that failure.
    std::optional<std::size_t> unreadable_row;
    std::exception_ptr unreadable_reason;

    bool is_control_row(std::size_t row) const { return row < control_rows.size() && control_rows[row]; }
};

// Leaves the table's current row anywhere.
PageFacts facts_of_page(MemoryTable& page, std::u16string_view token);

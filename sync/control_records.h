#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class MemoryTable;

// Whether the table's current row is this run's control record: its nome
// reads as text, and that text is "Bearer " and the token. A nome that
// cannot be read makes the row a product with a bad member, which writing
// it tells.
bool is_control_record(const MemoryTable& page, std::u16string_view token);

// A page's control record is the row whose nome is "Bearer " and this run's
// token. A record for another token (a typo in the request file, a token
// rotated on one side only) is no product: written, it would overwrite the
// product whose codigo is its next start id. Returns "OK" when the page holds
// no such record, else the error text that ends the run with nothing of the
// page written. Leaves the table's current row anywhere.
std::u16string check_control_records(MemoryTable& page, std::u16string_view token, std::int32_t page_start);

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "db/product_schema.h"

class MemoryTable;

// The longest prefix of whole characters that a text column of `limit`
// characters holds, by the database's own rule.
using ColumnFit = std::function<std::u16string(std::u16string_view text, std::size_t limit)>;

// One product of a page, read once from the current row of the products
// table. Which read fails first is what is reported, so the reads keep
// one order: nome (as the control-record test reads it first); the flags;
// the department's name; every other field in the schema's order; codigo
// as a number last. A product whose own data fails thus keeps the
// department read before it, as one the database refuses does.
struct ProductRow {
    std::u16string codigo;  // as received, for reports
    // Upper-cased; none when a flag failed before it was read.
    std::optional<std::u16string> department_name;
    std::int32_t code = 0;
    // The department's code is the writer's to fill.
    MerchandiseValues values;
    // Why the product's own data cannot be written: the first read that failed.
    std::optional<std::u16string> failure;
};

ProductRow read_product_row(const MemoryTable& table, const ColumnFit& fit);

// Throws the table's error for the first of the schema's members it lacks,
// in the schema's order but the flags together where the first stands.
void require_product_members(const MemoryTable& table);

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class MemoryTable;

// The merchandise pair list's columns, in its order.
constexpr std::array<std::u16string_view, 14> merchandise_columns = {
    u"cod_red", u"nom_mer",     u"ape_cup",     u"cod_bar", u"ref_mer", u"dep_mer", u"uni_mer",
    u"uni_bal", u"pro_balanca", u"pro_servico", u"cod_ncm", u"QTD_EST", u"vlr_ven", u"pro_ativo"};
constexpr std::size_t department_code_column = 5;
static_assert(merchandise_columns[department_code_column] == u"dep_mer");
// Where a pair list holds the department's code.
constexpr std::size_t department_code_value = 2 * department_code_column + 1;

// The longest prefix of whole characters that a text column of `limit`
// characters holds, by the database's own rule.
using ColumnFit = std::function<std::u16string(std::u16string_view text, std::size_t limit)>;

// The two flags as the products table stores them.
struct ProductFlags {
    std::u16string proBlanca;  // "T" or "F"
    std::u16string ProAtivo;
};

// One product of a page, read once from the current row of the products
// table. The reads keep their order (nome, as the control-record test
// reads it first; flags; department; the other fields; codigo), so that a
// product whose own data fails keeps the department read before it, as
// one the database refuses does, and only that one.
struct ProductRow {
    std::u16string codigo;  // as received, for reports
    // Upper-cased; none when a flag failed before it was read.
    std::optional<std::u16string> department_name;
    std::int32_t code = 0;
    // The merchandise pair list; the department's code is the writer's to fill.
    std::vector<std::u16string> pairs;
    // Why the product's own data cannot be written: the first read that failed.
    std::optional<std::u16string> failure;
};

ProductRow read_product_row(const MemoryTable& table, const ColumnFit& fit);

ProductFlags read_flags(const MemoryTable& table);
// The pair list of the table's current row, its fields read in column order.
std::vector<std::u16string> merchandise_pairs(const MemoryTable& table, const ProductFlags& flags,
                                              std::u16string department_code, const ColumnFit& fit);

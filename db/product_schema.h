#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// How a products page's member becomes the text its merchandise column is
// written with. Every value travels as text, so that each route hands the
// engine the same characters to convert.
enum class FieldKind {
    text,  // as received
    fitted_text,  // the longest prefix the column holds
    flag,  // "T" for the integer 1, "F" otherwise
    ncm,  // behind a "0"
    sql_number,  // as the statements write a number
    constant,  // no member: always `constant`
    department_code,  // the code of the department the member names: the writer's to fill
};

struct ProductField {
    std::u16string_view member;  // the page's; empty for a constant
    std::u16string_view column;  // Mercadorias'
    FieldKind kind = FieldKind::text;
    std::size_t limit = 0;  // fitted_text: in characters
    std::u16string_view constant = {};
};

// The merchandise columns, in the order every statement lists them.
inline constexpr std::array<ProductField, 14> product_fields = {{
    {.member = u"codigo", .column = u"cod_red"},
    {.member = u"nome", .column = u"nom_mer", .kind = FieldKind::fitted_text, .limit = 50},
    {.member = u"apelidoProduto", .column = u"ape_cup", .kind = FieldKind::fitted_text, .limit = 30},
    {.member = u"codigoBarras", .column = u"cod_bar", .kind = FieldKind::fitted_text, .limit = 30},
    {.member = u"referencia", .column = u"ref_mer", .kind = FieldKind::fitted_text, .limit = 30},
    {.member = u"nomeDepartamento", .column = u"dep_mer", .kind = FieldKind::department_code},
    {.member = u"unidadeVenda", .column = u"uni_mer", .kind = FieldKind::fitted_text, .limit = 5},
    {.member = u"unidadeBalanca", .column = u"uni_bal"},
    {.member = u"produtoBalanca", .column = u"pro_balanca", .kind = FieldKind::flag},
    {.member = {}, .column = u"pro_servico", .kind = FieldKind::constant, .constant = u"F"},
    {.member = u"ncm", .column = u"cod_ncm", .kind = FieldKind::ncm},
    {.member = u"qtdEstoque", .column = u"QTD_EST", .kind = FieldKind::sql_number},
    {.member = u"valorVenda", .column = u"vlr_ven", .kind = FieldKind::sql_number},
    {.member = u"Ativo", .column = u"pro_ativo", .kind = FieldKind::flag},
}};

constexpr std::size_t field_of_column(std::u16string_view column)
{
    for (std::size_t i = 0; i < product_fields.size(); ++i)
        if (product_fields[i].column == column) return i;
    return product_fields.size();
}

// The merchandise row's key, the product's name (read first, as the
// control-record test reads it) and the department's code.
inline constexpr std::size_t key_field = field_of_column(u"cod_red");
inline constexpr std::size_t name_field = field_of_column(u"nom_mer");
inline constexpr std::size_t department_field = field_of_column(u"dep_mer");
static_assert(product_fields[department_field].kind == FieldKind::department_code);

// A product's merchandise values, indexed as product_fields.
using MerchandiseValues = std::array<std::u16string, product_fields.size()>;

// The design's pair list (column name, value, ...) of a product's values.
std::vector<std::u16string> merchandise_pair_list(const MerchandiseValues& values);

// A department the import creates has a code and a name, and these
// columns always hold these values.
struct ConstantColumn {
    std::u16string_view column;
    std::u16string_view value;
};
inline constexpr std::array<ConstantColumn, 2> department_constants = {{
    {.column = u"tipo_item", .value = u"99"},
    {.column = u"com_dep", .value = u"0"},
}};

// The pair list that creates a department.
std::vector<std::u16string> department_pair_list(std::u16string_view code, std::u16string_view name);

#include "sync/product_row.h"

#include "api/memory_table.h"
#include "util/ascii_text.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"

#include <utility>

namespace {

std::u16string read_value(const MemoryTable& table, const ProductField& field, const ColumnFit& fit)
{
    const auto member = [&] { return table.FieldByName(field.member); };
    switch (field.kind) {
    case FieldKind::text: return member().AsString();
    case FieldKind::fitted_text: return fit(member().AsString(), field.limit);
    case FieldKind::flag: return member().AsInteger() == 1 ? u"T" : u"F";
    case FieldKind::ncm: return u"0" + member().AsString();
    case FieldKind::sql_number: return ObjKelvo.Formata_Valor_para_Sql(member().AsFloat());
    case FieldKind::constant: return std::u16string(field.constant);
    case FieldKind::department_code: break;
    }
    return {};
}

bool is_flag(const ProductField& field)
{
    return field.kind == FieldKind::flag;
}

bool is_not_flag(const ProductField& field)
{
    return !is_flag(field);
}

// The wanted fields, in the schema's order.
void read_fields(const MemoryTable& table, const ColumnFit& fit, bool (*wanted)(const ProductField&),
                 MerchandiseValues& values)
{
    for (std::size_t i = 0; i < product_fields.size(); ++i)
        if (wanted(product_fields[i])) values[i] = read_value(table, product_fields[i], fit);
}

}  // namespace

ProductRow read_product_row(const MemoryTable& table, const ColumnFit& fit)
{
    const auto member = [&table](std::size_t field) { return table.FieldByName(product_fields[field].member); };
    ProductRow row;
    row.codigo = member(key_field).received_text();
    try {
        member(name_field).AsString();
        read_fields(table, fit, is_flag, row.values);
        row.department_name = ascii_upper(member(department_field).AsString());
        read_fields(table, fit, is_not_flag, row.values);
        row.code = member(key_field).AsInteger();
    } catch (const std::exception& failure) {
        row.values = {};
        row.failure = message_of(failure);
    }
    return row;
}

void require_product_members(const MemoryTable& table)
{
    bool flags_checked = false;
    for (const ProductField& field : product_fields) {
        if (!is_flag(field)) {
            if (!field.member.empty()) table.FieldByName(field.member);
        } else if (!std::exchange(flags_checked, true)) {
            for (const ProductField& flag : product_fields)
                if (is_flag(flag)) table.FieldByName(flag.member);
        }
    }
}

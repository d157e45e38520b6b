#include "sync/product_row.h"

#include "api/memory_table.h"
#include "util/ascii_text.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"

ProductFlags read_flags(const MemoryTable& table)
{
    // Read one at a time: the first that fails is the one reported.
    std::u16string proBlanca = table.FieldByName(u"produtoBalanca").AsInteger() == 1 ? u"T" : u"F";
    std::u16string ProAtivo = table.FieldByName(u"Ativo").AsInteger() == 1 ? u"T" : u"F";
    return {std::move(proBlanca), std::move(ProAtivo)};
}

std::vector<std::u16string> merchandise_pairs(const MemoryTable& table, const ProductFlags& flags,
                                              std::u16string department_code, const ColumnFit& fit)
{
    auto text = [&table](const char16_t* name) { return table.FieldByName(name).AsString(); };
    auto sql_number = [&table](const char16_t* name) {
        return ObjKelvo.Formata_Valor_para_Sql(table.FieldByName(name).AsFloat());
    };
    // Braced lists evaluate left to right, so fields are read in column order.
    std::u16string values[] = {
        text(u"codigo"),
        fit(text(u"nome"), 50),
        fit(text(u"apelidoProduto"), 30),
        fit(text(u"codigoBarras"), 30),
        fit(text(u"referencia"), 30),
        std::move(department_code),
        fit(text(u"unidadeVenda"), 5),
        text(u"unidadeBalanca"),
        flags.proBlanca,
        u"F",
        u"0" + text(u"ncm"),
        sql_number(u"qtdEstoque"),
        sql_number(u"valorVenda"),
        flags.ProAtivo,
    };
    static_assert(std::size(values) == merchandise_columns.size());
    std::vector<std::u16string> mDados;
    mDados.reserve(2 * merchandise_columns.size());
    for (std::size_t i = 0; i < merchandise_columns.size(); ++i) {
        mDados.emplace_back(merchandise_columns[i]);
        mDados.push_back(std::move(values[i]));
    }
    return mDados;
}

ProductRow read_product_row(const MemoryTable& table, const ColumnFit& fit)
{
    ProductRow row;
    row.codigo = table.FieldByName(u"codigo").received_text();
    try {
        // As the control-record test read it: a nome that cannot be read
        // fails there, before the department is looked up.
        table.FieldByName(u"nome").AsString();
        const ProductFlags flags = read_flags(table);
        row.department_name = ascii_upper(table.FieldByName(u"nomeDepartamento").AsString());
        row.pairs = merchandise_pairs(table, flags, {}, fit);
        row.code = table.FieldByName(u"codigo").AsInteger();
    } catch (const std::exception& failure) {
        row.pairs.clear();
        row.failure = message_of(failure);
    }
    return row;
}

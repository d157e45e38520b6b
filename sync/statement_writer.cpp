#include "sync/statement_writer.h"

#include "db/uDtmApi.h"
#include "util/frmfunckelvo.h"
#include "util/number_text.h"

// The department is written before the product's own failure is told, so
// that a product skipped for a bad value keeps the department it created.
void StatementWriter::write(ProductRow row)
{
    ++context_.routes.products_by_statements;
    if (!row.department_name) return skip_product(context_, row.codigo, *row.failure);
    std::u16string strCodDep;
    try {
        strCodDep = Sinc_Departamento(*row.department_name);
    } catch (const std::exception& failure) {
        return skip_or_interrupt(context_, failure, row.codigo);
    }
    if (row.failure) return skip_product(context_, row.codigo, *row.failure);
    row.values[department_field] = std::move(strCodDep);
    Sinc_At_Mercadorias(row.code, merchandise_pair_list(row.values));
}

std::u16string StatementWriter::Sinc_Departamento(const std::u16string& strnomeDep)
{
    auto& database = context_.database;
    if (database.SelectFile(u"1", u"Departamentos", u"nom_dep=" + Entre_Aspas(strnomeDep)))
        return database.selected_text(u"cod_dep");
    std::u16string strCodDep = database.next_department_code();
    database.INSERTFILE(u"Departamentos", department_pair_list(strCodDep, strnomeDep));
    ++context_.page.departments_created;
    return strCodDep;
}

void StatementWriter::Sinc_At_Mercadorias(std::int32_t codIn, const std::vector<std::u16string>& mDados)
{
    try {
        const std::u16string condicao =
            std::u16string(product_fields[key_field].column) + u"=" + integer_to_text(codIn);
        if (context_.database.SelectFile(u"1", u"Mercadorias", condicao)) {
            context_.database.UPDATEFILE_Matriz(u"Mercadorias", condicao, mDados);
            ++context_.page.updated;
        } else {
            context_.database.INSERTFILE(u"Mercadorias", mDados);
            ++context_.page.inserted;
        }
    } catch (const std::exception& failure) {
        skip_or_interrupt(context_, failure, integer_to_text(codIn));
    }
}

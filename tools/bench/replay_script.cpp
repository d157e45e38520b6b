#include "tools/bench/replay_script.h"

#include "db/product_schema.h"
#include "db/statement_texts.h"
#include "tools/bench/imported_products.h"
#include "util/ansi_codepage.h"
#include "util/frmfunckelvo.h"

namespace {

class ScriptWriter {
public:
    void statement(const std::vector<std::u16string>& lines)
    {
        for (const auto& line : lines) {
            text_ += AnsiCodePage::system().encode(line);
            text_ += "\r\n";
        }
        text_ += ";\n";
    }
    void statement(const std::u16string& line) { statement(std::vector<std::u16string>{line}); }
    void commit() { text_ += "commit;\n"; }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
};

std::u16string key_condition(const std::u16string& code)
{
    return std::u16string(product_fields[key_field].column) + u"=" + code;
}

}  // namespace

std::string replay_script(const Catalogue& catalogue, std::size_t page_size, const std::string& token, ImportKind kind)
{
    ScriptWriter script;
    for (const auto& page : imported_pages(catalogue, page_size, token)) {
        for (const auto& product : page) {
            const std::u16string& name = product.department_name;
            script.statement(select_statement_line(u"Departamentos", u"nom_dep=" + Entre_Aspas(name)));
            if (product.first_of_department && kind == ImportKind::first_import) {
                script.statement(u"Select Max(cod_dep) codigo from Departamentos");
                script.statement(
                    insert_statement_lines(u"Departamentos", department_pair_list(product.department_code, name)));
            }
            const std::u16string condition = key_condition(product.code);
            script.statement(select_statement_line(u"Mercadorias", condition));
            const auto mDados = merchandise_pair_list(product.values);
            if (kind == ImportKind::first_import)
                script.statement(insert_statement_lines(u"Mercadorias", mDados));
            else
                script.statement(update_statement_lines(u"Mercadorias", update_assignments(mDados), condition));
        }
        script.commit();
    }
    return script.take();
}

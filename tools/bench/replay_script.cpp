#include "tools/bench/replay_script.h"

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
                    insert_statement_lines(u"Departamentos", {u"cod_dep", product.department_code, u"nom_dep", name,
                                                              u"tipo_item", u"99", u"com_dep", u"0"}));
            }
            const std::u16string condition = u"cod_red=" + product.code;
            script.statement(select_statement_line(u"Mercadorias", condition));
            if (kind == ImportKind::first_import)
                script.statement(insert_statement_lines(u"Mercadorias", product.pairs));
            else
                script.statement(update_statement_lines(u"Mercadorias", update_assignments(product.pairs), condition));
        }
        script.commit();
    }
    return script.take();
}

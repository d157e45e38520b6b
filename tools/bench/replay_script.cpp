#include "tools/bench/replay_script.h"

#include "api/memory_table.h"
#include "db/statement_texts.h"
#include "sync/product_import.h"
#include "util/ansi_codepage.h"
#include "util/ascii_text.h"
#include "util/frmfunckelvo.h"
#include "util/utf.h"

#include <charconv>
#include <map>

namespace {

std::u16string decimal(std::int64_t value)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::u16string(buffer, end);
}

// The same pair list the import builds for a product row.
std::vector<std::u16string> merchandise_pairs(const MemoryTable& table, const std::u16string& department_code)
{
    auto text = [&table](const char16_t* name) { return table.FieldByName(name).AsString(); };
    auto first = [&text](const char16_t* name, std::size_t count) { return text(name).substr(0, count); };
    auto flag = [&table](const char16_t* name) {
        return std::u16string(table.FieldByName(name).AsInteger() == 1 ? u"T" : u"F");
    };
    auto sql_number = [&table](const char16_t* name) {
        return ObjKelvo.Formata_Valor_para_Sql(table.FieldByName(name).AsFloat());
    };
    return {
        u"cod_red",     text(u"codigo"),
        u"nom_mer",     first(u"nome", 50),
        u"ape_cup",     first(u"apelidoProduto", 30),
        u"cod_bar",     first(u"codigoBarras", 30),
        u"ref_mer",     first(u"referencia", 30),
        u"dep_mer",     department_code,
        u"uni_mer",     first(u"unidadeVenda", 5),
        u"uni_bal",     text(u"unidadeBalanca"),
        u"pro_balanca", flag(u"produtoBalanca"),
        u"pro_servico", u"F",
        u"cod_ncm",     u"0" + text(u"ncm"),
        u"QTD_EST",     sql_number(u"qtdEstoque"),
        u"vlr_ven",     sql_number(u"valorVenda"),
        u"pro_ativo",   flag(u"Ativo"),
    };
}

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
    const std::u16string control_name = u"Bearer " + utf8_to_utf16(token);
    std::map<std::u16string, int> departments;
    ScriptWriter script;
    MemoryTable table(u"tblProdutos");
    std::int64_t start_id = 0;
    do {
        table.load_body(utf8_to_utf16(catalogue.page_json(page_size, start_id, token)));
        start_id = 0;
        for (table.First(); !table.Eof(); table.Next()) {
            if (table.FieldByName(u"nome").AsString() == control_name) {
                start_id = table.FieldByName(u"codigo").AsInteger();
                continue;
            }
            const std::u16string name = ascii_upper(table.FieldByName(u"nomeDepartamento").AsString());
            script.statement(select_statement_line(u"Departamentos", u"nom_dep=" + Entre_Aspas(name)));
            auto found = departments.find(name);
            if (found == departments.end()) {
                const int code = static_cast<int>(departments.size()) + 1;
                found = departments.emplace(name, code).first;
                if (kind == ImportKind::first_import) {
                    script.statement(u"Select Max(cod_dep) codigo from Departamentos");
                    script.statement(
                        insert_statement_lines(u"Departamentos", {u"cod_dep", decimal(code), u"nom_dep", name,
                                                                  u"tipo_item", u"99", u"com_dep", u"0"}));
                }
            }
            const auto pairs = merchandise_pairs(table, decimal(found->second));
            const std::u16string condition = u"cod_red=" + table.FieldByName(u"codigo").AsString();
            script.statement(select_statement_line(u"Mercadorias", condition));
            if (kind == ImportKind::first_import)
                script.statement(insert_statement_lines(u"Mercadorias", pairs));
            else
                script.statement(update_statement_lines(u"Mercadorias", update_assignments(pairs), condition));
        }
        script.commit();
    } while (start_id != 0);
    return script.take();
}

#include "tools/bench/imported_products.h"

#include "api/memory_table.h"
#include "util/ascii_text.h"
#include "util/frmfunckelvo.h"
#include "util/utf.h"

#include <charconv>
#include <cstdint>
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

}  // namespace

ImportedPages imported_pages(const Catalogue& catalogue, std::size_t page_size, const std::string& token)
{
    const std::u16string control_name = u"Bearer " + utf8_to_utf16(token);
    std::map<std::u16string, std::int64_t> departments;
    ImportedPages pages;
    MemoryTable table(u"tblProdutos");
    std::int64_t start_id = 0;
    do {
        table.load_body(utf8_to_utf16(catalogue.page_json(page_size, start_id, token)));
        start_id = 0;
        auto& page = pages.emplace_back();
        for (table.First(); !table.Eof(); table.Next()) {
            if (table.FieldByName(u"nome").AsString() == control_name) {
                start_id = table.FieldByName(u"codigo").AsInteger();
                continue;
            }
            ImportedProduct product;
            product.department_name = ascii_upper(table.FieldByName(u"nomeDepartamento").AsString());
            const auto [found, added] =
                departments.emplace(product.department_name, static_cast<std::int64_t>(departments.size()) + 1);
            product.department_code = decimal(found->second);
            product.first_of_department = added;
            product.code = table.FieldByName(u"codigo").AsString();
            product.pairs = merchandise_pairs(table, product.department_code);
            page.push_back(std::move(product));
        }
    } while (start_id != 0);
    return pages;
}

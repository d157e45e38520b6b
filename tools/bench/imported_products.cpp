#include "tools/bench/imported_products.h"

#include "api/bearer.h"
#include "api/memory_table.h"
#include "db/character_sets.h"
#include "sync/product_row.h"
#include "util/number_text.h"
#include "util/utf.h"

#include <cstdint>
#include <map>
#include <stdexcept>

namespace {

// The bench's databases declare no character set: the importer cuts texts
// to the bytes of the code page it speaks to them in.
ColumnFit column_fit()
{
    return [code_page = code_page_without_character_set()](std::u16string_view text, std::size_t limit) {
        return fit_to_column(text, limit, false, code_page);
    };
}

}  // namespace

ImportedPages imported_pages(const Catalogue& catalogue, std::size_t page_size, const std::string& token)
{
    const std::u16string control_name = bearer_of(utf8_to_utf16(token));
    std::map<std::u16string, std::int64_t> departments;
    ImportedPages pages;
    MemoryTable table(u"tblProdutos");
    const ColumnFit fit = column_fit();
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
            ProductRow row = read_product_row(table, fit);
            if (row.failure)
                throw std::runtime_error("product " + utf16_to_utf8(row.codigo) + ": " + utf16_to_utf8(*row.failure));
            ImportedProduct product;
            product.department_name = std::move(*row.department_name);
            const auto [found, added] =
                departments.emplace(product.department_name, static_cast<std::int64_t>(departments.size()) + 1);
            product.department_code = integer_to_text(found->second);
            product.first_of_department = added;
            product.values = std::move(row.values);
            product.values[department_field] = product.department_code;
            product.code = product.values[key_field];
            page.push_back(std::move(product));
        }
    } while (start_id != 0);
    return pages;
}

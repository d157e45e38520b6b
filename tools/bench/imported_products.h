#pragma once

#include "db/product_schema.h"
#include "tools/catalogue.h"

#include <cstddef>
#include <string>
#include <vector>

// One product as the importer writes it: its department (upper-cased, coded
// in the order departments first appear) and its merchandise values as the
// statements' texts carry them, unquoted, the department's code filled.
struct ImportedProduct {
    std::u16string department_name;
    std::u16string department_code;
    bool first_of_department = false;
    std::u16string code;  // cod_red
    MerchandiseValues values;
};

// The products of a catalogue served in pages of page_size, page by page,
// read through the importer's own page table.
using ImportedPages = std::vector<std::vector<ImportedProduct>>;
ImportedPages imported_pages(const Catalogue& catalogue, std::size_t page_size, const std::string& token);

#pragma once

#include "tools/catalogue.h"

#include <cstddef>
#include <string>
#include <vector>

// One product as the importer writes it: its department (upper-cased, coded
// in the order departments first appear) and the merchandise pair list the
// import builds for it (name 1, value 1, ...; values as the statements'
// texts carry them, unquoted).
struct ImportedProduct {
    std::u16string department_name;
    std::u16string department_code;
    bool first_of_department = false;
    std::u16string code;  // cod_red
    std::vector<std::u16string> pairs;
};

// The products of a catalogue served in pages of page_size, page by page,
// read through the importer's own page table.
using ImportedPages = std::vector<std::vector<ImportedProduct>>;
ImportedPages imported_pages(const Catalogue& catalogue, std::size_t page_size, const std::string& token);

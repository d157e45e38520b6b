#pragma once

#include "tools/catalogue.h"

#include <cstddef>
#include <string>

// The statements the importer sends for a catalogue served in pages of
// page_size, as one isql script: per product the department SELECT (and,
// for a department not seen before, the MAX select and its INSERT), the
// merchandise SELECT, then the INSERT (first import) or the UPDATE
// (re-import); a COMMIT after every page. The texts come from the gateway's
// own builders, in the locale's code page.
enum class ImportKind { first_import, reimport };

std::string replay_script(const Catalogue& catalogue, std::size_t page_size, const std::string& token, ImportKind kind);

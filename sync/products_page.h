#pragma once

#include "api/page_answer.h"
#include "sync/control_records.h"

#include <cstdint>
#include <optional>
#include <string>

// A products page as the service answered it, with what its rows say,
// handed from the thread that fetched it to the loop whole.
struct ProductsPage {
    std::int32_t start_id = 0;
    PageAnswer answer;
    PageFacts facts;  // when the answer has rows

    // Nothing when its rows are to be written; else the text that ends the run.
    std::optional<std::u16string> ending() const;
    // Only for an answer with rows.
    MemoryTable& table() { return std::get<PageRows>(answer).table; }
};

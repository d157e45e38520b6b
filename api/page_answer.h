#pragma once

#include "api/memory_table.h"

#include <string>
#include <string_view>
#include <variant>

// What the service gave for one page, before anyone reads its rows.
struct PageRows {
    MemoryTable table;
};
// The exchange or the reading of its body failed.
struct TransportFailure {
    std::u16string message;
};
// The status probe's failure, or the error the checker found in the body.
struct ErrorAnswer {
    std::u16string text;
};
// A body the checker accepts under a status that is no 2xx (a 503 with
// "[]", say): taking it would confirm what never arrived.
struct RefusedStatus {
    long status;
};
using PageAnswer = std::variant<PageRows, TransportFailure, ErrorAnswer, RefusedStatus>;

// "OK" for rows; else the text that ends the run.
std::u16string answer_text(const PageAnswer& answer, std::u16string_view start_id);

#pragma once

#include "api/memory_table.h"
#include "api/rest_response.h"

// Rebuilds a table from every new answer of a response: an empty body
// closes it, a body that is no JSON throws Error "Response content is not
// valid JSON" and leaves it as it was.
class RestTableAdapter {
public:
    RestTableAdapter(RestResponse& response, MemoryTable& table);
    RestTableAdapter(const RestTableAdapter&) = delete;
    RestTableAdapter& operator=(const RestTableAdapter&) = delete;

    // Converts the current answer again, but only when the table is closed.
    void Activate();

private:
    void rebuild();
    RestResponse& response_;
    MemoryTable& table_;
};

#pragma once

#include <cstdint>
#include <string>

#include "util/error.h"

// A failed call of the database client library: the message is the client
// library's text; the codes are kept for callers that want them.
class DatabaseError : public Error {
public:
    DatabaseError(std::u16string message, std::int32_t sql_code, std::int64_t error_code)
        : Error(std::move(message)), sql_code_(sql_code), error_code_(error_code)
    {
    }
    std::int32_t sql_code() const noexcept { return sql_code_; }
    // The first error code of the status vector (a gds code such as 335544569).
    std::int64_t error_code() const noexcept { return error_code_; }

private:
    std::int32_t sql_code_;
    std::int64_t error_code_;
};

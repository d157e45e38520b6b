#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "util/error.h"

// A failed call of the database client library: the message is the client
// library's text; the codes are kept for callers that want them.
class DatabaseError : public Error {
public:
    DatabaseError(std::u16string message, std::int32_t sql_code, std::vector<std::int64_t> error_codes)
        : Error(std::move(message)), sql_code_(sql_code), error_codes_(std::move(error_codes))
    {
    }
    std::int32_t sql_code() const noexcept { return sql_code_; }
    // The first error code of the status vector (a gds code such as 335544569).
    std::int64_t error_code() const noexcept { return error_codes_.empty() ? 0 : error_codes_.front(); }
    // Every gds code of the status vector, in order.
    const std::vector<std::int64_t>& error_codes() const noexcept { return error_codes_; }
    // A failure that may pass (a lock, a lost connection, the server going
    // down, I/O, memory) rather than one caused by the data sent.
    bool is_transient() const;

private:
    std::int32_t sql_code_;
    std::vector<std::int64_t> error_codes_;
};

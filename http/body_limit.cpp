#include "http/body_limit.h"

#include "util/number_text.h"

#include <cstdint>

std::u16string body_too_large_text(std::size_t max_body_bytes)
{
    constexpr std::size_t mebibyte = std::size_t{1} << 20;
    const bool whole_mebibytes = max_body_bytes >= mebibyte && max_body_bytes % mebibyte == 0;
    const auto size = whole_mebibytes ? integer_to_text(static_cast<std::int64_t>(max_body_bytes / mebibyte)) + u" MiB"
                                      : integer_to_text(static_cast<std::int64_t>(max_body_bytes)) + u" bytes";
    return u"the response body is larger than " + size;
}

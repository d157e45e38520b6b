#include "http/transport.h"

#include "util/ascii_text.h"

// What both platforms' transports share.

std::string HttpResult::header(std::string_view name) const
{
    for (const auto& [key, value] : headers)
        if (equal_ignoring_ascii_case(key, name)) return value;
    return {};
}

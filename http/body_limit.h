#pragma once

#include <cstddef>
#include <string>

// What both transports say of an answer past the request's body limit.
std::u16string body_too_large_text(std::size_t max_body_bytes);

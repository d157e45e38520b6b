#pragma once

#include <string>
#include <string_view>

// The charset parameter of a Content-Type, lower-cased and unquoted; empty
// when none is named.
std::string content_type_charset(std::string_view content_type);

// True when the body is read as UTF-8: no charset named, or UTF-8 itself.
bool body_is_utf8(std::string_view content_type);

// The body without a leading UTF-8 byte-order mark.
std::string_view without_utf8_bom(std::string_view body);

// The body as text in the charset its Content-Type names (UTF-8 when none,
// and when the charset is unknown).
std::u16string decode_body_text(std::string_view body, std::string_view content_type);

#pragma once

#include <string>
#include <string_view>

// Text made safe as one URL path segment: every character outside the
// unreserved and sub-delimiter sets, ":" and "@" is percent-encoded as UTF-8
// ("/", "?", "#", "%" and non-ASCII included), and a segment of only dots is
// encoded too, so no value can climb out of its place in the path.
std::u16string url_path_segment(std::u16string_view text);

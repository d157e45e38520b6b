#pragma once

#include <string_view>

// Scans statement text for parameter markers (":" or "?" outside quoted
// literals and /* */ comments). A literal or comment still open at the end
// of the text throws Error "SQL Parse Error:" CR LF CR LF "EOF in string
// detected" / "EOF in comment detected", before anything reaches the server.
bool has_parameter_markers(std::u16string_view text);

#pragma once

#include <string>
#include <vector>

// The database parameter buffer for "name=value" lines: the version byte,
// then per line its code, one length byte and the value in the ANSI code
// page. Understood names: user_name, password and lc_ctype (trimmed, any case, an
// isc_dpb_ prefix allowed). Throws Error for another name or a value
// longer than 255 bytes.
std::string database_parameter_buffer(const std::vector<std::u16string>& params);

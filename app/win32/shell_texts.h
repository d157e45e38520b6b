#pragma once

#include <string>
#include <string_view>

#include "util/shell_texts.h"

// The title by the system's own case mapping, as the system shows it.
std::u16string application_title_from_file_name(std::u16string_view file_name);
std::u16string application_title();

// A text as one line of a list, which shows no line break: each break, CRLF,
// LF or CR, becomes "; ".
std::u16string one_line_text(std::u16string_view text);

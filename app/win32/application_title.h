#pragma once

#include <string>
#include <string_view>

// The title by the system's own case mapping, as the system shows it.
std::u16string application_title_from_file_name(std::u16string_view file_name);
std::u16string application_title();

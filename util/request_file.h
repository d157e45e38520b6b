#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Reads one value of an INI file the way the back-office application expects:
// section and key names without regard to case, blanks and one pair of
// enclosing quotes removed, cut to 2047 characters, empty when missing.
// Accepts the ANSI code page, UTF-8 with BOM and UTF-16LE with BOM.
std::u16string read_profile_string(const std::filesystem::path& file, std::u16string_view section,
                                   std::u16string_view key);

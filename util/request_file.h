#pragma once

#include <filesystem>
#include <string>
#include <string_view>

class AnsiCodePage;

// What one request file asks of a run; the fields are empty when the file
// does not name them.
struct RunRequest {
    std::u16string token;  // without "Bearer "
    std::u16string database;
    std::u16string page_size;  // as the file writes it: it goes into the page's path
};

// The request file's [CONF] values; all empty for a missing file.
RunRequest read_run_request(const std::filesystem::path& file);

// Reads one value of an INI file the way the back-office application expects:
// section and key names without regard to case, blanks and one pair of
// enclosing quotes removed, cut to 2047 characters, empty when missing.
// Accepts the ANSI code page, UTF-8 with or without BOM and UTF-16LE with BOM.
std::u16string read_profile_string(const std::filesystem::path& file, std::u16string_view section,
                                   std::u16string_view key);

// A request file's bytes as text: by the byte-order mark; else as UTF-8 when
// they are well-formed UTF-8 with at least one multi-byte character (what
// today's Notepad saves); else in the given ANSI code page.
std::u16string decode_request_text(std::string_view bytes, const AnsiCodePage& code_page);

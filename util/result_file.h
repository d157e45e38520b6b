#pragma once

#include <filesystem>
#include <string_view>

class AnsiCodePage;

// Replaces the file with exactly the text, in the code page (UTF-8 gets a
// byte-order mark). Written beside the target and renamed over it, so a
// reader never sees half a result. Throws Error on failure.
void write_result_file(const std::filesystem::path& file, std::u16string_view text, const AnsiCodePage& code_page);

// Removes what a killed run may have left of its temporary files beside
// the target (only names of write_result_file's own pattern). Call it only
// while no other writer of the target runs. Never fails.
void remove_stale_temporary_files(const std::filesystem::path& file);

#pragma once

#include <filesystem>
#include <string_view>

// Appends the bytes to the end of the file (made if missing) in one write,
// so that what another process appends meanwhile lands before or after
// them, never inside. False if the file cannot be opened or written.
bool append_whole(const std::filesystem::path& file, std::string_view bytes) noexcept;

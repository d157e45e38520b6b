#include "util/whole_append.h"

#include <windows.h>

#include <algorithm>

namespace {

struct FileHandle {
    explicit FileHandle(HANDLE handle) : handle(handle) { }
    ~FileHandle()
    {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE handle;
};

}  // namespace

// With FILE_APPEND_DATA alone, every write goes to the end of the file as
// one step, whoever else has it open.
bool append_whole(const std::filesystem::path& file, std::string_view bytes) noexcept
{
    const FileHandle out(CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (out.handle == INVALID_HANDLE_VALUE) return false;
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(out.handle, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

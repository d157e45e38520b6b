#include "util/result_file.h"

#include "util/ansi_codepage.h"
#include "util/error.h"
#include "util/windows_error.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace {

constexpr std::string_view utf8_byte_order_mark = "\xEF\xBB\xBF";

[[noreturn]] void throw_write_error(const std::filesystem::path& file, DWORD error)
{
    throw Error(u"Cannot write file \"" + file.u16string() + u"\": " + windows_error_text(error));
}

// A file of our own making beside the target, removed again unless it is
// moved over the target in time.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& target)
    {
        static std::atomic<unsigned> counter{0};
        const auto directory = target.has_parent_path() ? target.parent_path() : std::filesystem::path(L".");
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = directory / (L"." + target.filename().wstring() + L"." + std::to_wstring(GetCurrentProcessId()) +
                                 L"." + std::to_wstring(counter++) + L".tmp");
            handle_ = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle_ != INVALID_HANDLE_VALUE) return;
            if (GetLastError() != ERROR_FILE_EXISTS) break;
        }
        const DWORD error = GetLastError();
        path_.clear();
        throw_write_error(target, error);
    }
    ~TemporaryFile()
    {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        if (!path_.empty()) DeleteFileW(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Returns 0 or the error code of the failure.
    DWORD write_all(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
            DWORD written = 0;
            if (!WriteFile(handle_, bytes.data(), chunk, &written, nullptr)) return GetLastError();
            bytes.remove_prefix(written);
        }
        return 0;
    }

    // Makes the content durable and closes the file; 0 or an error code.
    DWORD finish()
    {
        const DWORD flush_error = FlushFileBuffers(handle_) ? 0 : GetLastError();
        const DWORD close_error = CloseHandle(handle_) ? 0 : GetLastError();
        handle_ = INVALID_HANDLE_VALUE;
        return flush_error ? flush_error : close_error;
    }

    // 0 or an error code; after success the file is the target's and is kept.
    DWORD move_to(const std::filesystem::path& target)
    {
        if (!MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return GetLastError();
        path_.clear();
        return 0;
    }

private:
    std::filesystem::path path_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

void write_result_file(const std::filesystem::path& file, std::u16string_view text, const AnsiCodePage& code_page)
{
    std::string bytes = code_page.is_utf8() ? std::string(utf8_byte_order_mark) : std::string();
    bytes += code_page.encode(text);

    TemporaryFile temporary(file);
    if (const DWORD error = temporary.write_all(bytes)) throw_write_error(file, error);
    if (const DWORD error = temporary.finish()) throw_write_error(file, error);
    if (const DWORD error = temporary.move_to(file)) throw_write_error(file, error);
}

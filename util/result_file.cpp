#include "util/result_file.h"

#include "util/ansi_codepage.h"
#include "util/error.h"
#include "util/utf.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

namespace {

constexpr std::string_view utf8_byte_order_mark = "\xEF\xBB\xBF";

[[noreturn]] void throw_write_error(const std::filesystem::path& file, int error)
{
    throw Error(u"Cannot write file \"" + utf8_to_utf16(file.string()) + u"\": " +
                utf8_to_utf16(std::generic_category().message(error)));
}

// A file of our own making beside the target, removed again unless it is
// renamed over the target in time.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& target)
    {
        static std::atomic<unsigned> counter{0};
        const auto directory = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = directory / ("." + target.filename().string() + "." + std::to_string(getpid()) + "." +
                                 std::to_string(counter++) + ".tmp");
            fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);  // umask decides the rest
            if (fd_ >= 0) return;
            if (errno != EEXIST) break;
        }
        throw_write_error(target, errno);
    }
    ~TemporaryFile()
    {
        if (fd_ >= 0) close(fd_);
        if (!path_.empty()) unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Returns 0 or the errno of the failure.
    int write_all(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const ssize_t written = write(fd_, bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return 0;
    }

    // Makes the content durable and closes the file; 0 or an errno.
    int finish()
    {
        const int sync_error = fsync(fd_) == 0 ? 0 : errno;
        const int close_error = close(fd_) == 0 ? 0 : errno;
        fd_ = -1;
        return sync_error ? sync_error : close_error;
    }

    // 0 or an errno; after success the file is the target's and is kept.
    int rename_to(const std::filesystem::path& target)
    {
        if (rename(path_.c_str(), target.c_str()) != 0) return errno;
        path_.clear();
        return 0;
    }

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

}  // namespace

void write_result_file(const std::filesystem::path& file, std::u16string_view text, const AnsiCodePage& code_page)
{
    std::string bytes = code_page.is_utf8() ? std::string(utf8_byte_order_mark) : std::string();
    bytes += code_page.encode(text);

    TemporaryFile temporary(file);
    if (const int error = temporary.write_all(bytes)) throw_write_error(file, error);
    if (const int error = temporary.finish()) throw_write_error(file, error);
    if (const int error = temporary.rename_to(file)) throw_write_error(file, error);
}

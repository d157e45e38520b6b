#include "util/whole_append.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct FileDescriptor {
    explicit FileDescriptor(int fd) : fd(fd) { }
    ~FileDescriptor()
    {
        if (fd >= 0) close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int fd;
};

}  // namespace

// O_APPEND moves to the end and writes as one step; a local file system
// writes a single call whole. Only a short write, which a full disk may
// cause, continues in a second call.
bool append_whole(const std::filesystem::path& file, std::string_view bytes) noexcept
{
    const FileDescriptor out(open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    if (out.fd < 0) return false;
    while (!bytes.empty()) {
        const ssize_t written = write(out.fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

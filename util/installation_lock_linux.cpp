#include "util/installation_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstallationLock::Outcome InstallationLock::try_take(const std::filesystem::path& file,
                                                     std::optional<InstallationLock>& lock)
{
    const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return Outcome::unavailable;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        close(fd);
        return held ? Outcome::held_elsewhere : Outcome::unavailable;
    }
    lock.emplace(InstallationLock(fd));
    return Outcome::taken;
}

void InstallationLock::release() noexcept
{
    if (handle_ != no_handle) close(static_cast<int>(handle_));
    handle_ = no_handle;
}

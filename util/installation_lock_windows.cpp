#include "util/installation_lock.h"

#include <windows.h>

InstallationLock::Outcome InstallationLock::try_take(const std::filesystem::path& file,
                                                     std::optional<InstallationLock>& lock)
{
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Outcome::unavailable;
    OVERLAPPED whole_file{};
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole_file)) {
        const bool held = GetLastError() == ERROR_LOCK_VIOLATION;
        CloseHandle(handle);
        return held ? Outcome::held_elsewhere : Outcome::unavailable;
    }
    lock.emplace(InstallationLock(reinterpret_cast<std::intptr_t>(handle)));
    return Outcome::taken;
}

void InstallationLock::release() noexcept
{
    // Closing the handle releases the lock with it.
    if (handle_ != no_handle) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = no_handle;
}

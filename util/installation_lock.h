#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

// An advisory lock on a file beside the executable, held while the object
// lives, so that two importers started in one installation never run at
// once. Released by the system when the process ends, however it ends.
class InstallationLock {
public:
    enum class Outcome { taken, held_elsewhere, unavailable };

    // `unavailable`: the lock file cannot be made (a read-only folder, say).
    static Outcome try_take(const std::filesystem::path& file, std::optional<InstallationLock>& lock);

    InstallationLock(InstallationLock&& other) noexcept : handle_(other.handle_) { other.handle_ = no_handle; }
    InstallationLock& operator=(InstallationLock&& other) noexcept
    {
        if (this != &other) {
            release();
            handle_ = other.handle_;
            other.handle_ = no_handle;
        }
        return *this;
    }
    InstallationLock(const InstallationLock&) = delete;
    InstallationLock& operator=(const InstallationLock&) = delete;
    ~InstallationLock() { release(); }

private:
    // A file descriptor, or a Windows HANDLE; -1 is neither.
    static constexpr std::intptr_t no_handle = -1;
    explicit InstallationLock(std::intptr_t handle) : handle_(handle) { }
    void release() noexcept;  // the platform's own: closing releases the lock
    std::intptr_t handle_;
};

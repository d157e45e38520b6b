#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "sync/import_counts.h"

// What the operator is told about a run besides its outcome: standard error
// (what a terminal shows) and the log beside the executable (what remains
// when the back-office application started the importer). Writing either
// never fails the run.
class RunReport {
public:
    // Runs append a block each; a log past `rotate_at` bytes becomes
    // <log>.1 first, replacing an older one.
    static constexpr std::uintmax_t rotate_at = std::uintmax_t{1} << 20;

    RunReport() = default;  // standard error only
    explicit RunReport(std::filesystem::path log_file);

    // Standard error and the log.
    void report(const std::u16string& text) noexcept;
    // The log only.
    void log(const std::u16string& text) noexcept;

private:
    std::optional<std::filesystem::path> log_file_;
    bool rotation_checked_ = false;
};

// "Resumo: <pages> páginas, <n> produtos inseridos, ... em <s> s".
std::u16string summary_text(const ImportCounts& counts, std::chrono::steady_clock::duration elapsed);

// The local date and time now as "YYYY-MM-DD HH:MM:SS".
std::u16string local_time_text();

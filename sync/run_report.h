#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "sync/import_counts.h"

// What the operator is told about a run besides its outcome: standard error
// (what a terminal shows) and the log beside the executable (what remains
// when the back-office application started the importer). Writing either
// never fails the run.
//
// The log gets one block per report, appended in one write when the block
// is written or the report goes: a process that starts while another one
// runs, or after another one released the installation, never puts its
// lines inside the other's block. A process killed mid-run leaves its lines
// on standard error only.
class RunReport {
public:
    // A log past `rotate_at` bytes becomes <log>.1 first, replacing an
    // older one.
    static constexpr std::uintmax_t rotate_at = std::uintmax_t{1} << 20;

    RunReport() = default;  // standard error only
    explicit RunReport(std::filesystem::path log_file);
    ~RunReport() { write_block(); }
    RunReport(RunReport&& other) noexcept;
    RunReport& operator=(RunReport&& other) noexcept;
    RunReport(const RunReport&) = delete;
    RunReport& operator=(const RunReport&) = delete;

    // Standard error and the block.
    void report(const std::u16string& text) noexcept;
    // The block only.
    void log(const std::u16string& text) noexcept;
    // Appends the block to the log; the next line starts a new block.
    void write_block() noexcept;

private:
    std::optional<std::filesystem::path> log_file_;
    std::string block_;  // UTF-8 lines not yet in the log
    bool rotation_checked_ = false;
};

// "Resumo: <pages> páginas, <n> produtos inseridos, ... em <s> s".
std::u16string summary_text(const ImportCounts& counts, std::chrono::steady_clock::duration elapsed);

// The local date and time now as "YYYY-MM-DD HH:MM:SS".
std::u16string local_time_text();

#include "sync/run_report.h"

#include "util/local_time.h"
#include "util/number_text.h"
#include "util/utf.h"
#include "util/whole_append.h"

#include <charconv>
#include <cstdio>
#include <system_error>

namespace {

// Tenths of a second with a decimal comma, as the operator reads them.
std::u16string seconds_text(std::chrono::steady_clock::duration elapsed)
{
    const double seconds = std::chrono::duration<double>(elapsed).count();
    char buffer[32];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 1).ptr;
    std::u16string text(buffer, end);
    for (auto& c : text)
        if (c == u'.') c = u',';
    return text;
}

std::u16string two_digits(int value)
{
    return std::u16string(value < 10 ? u"0" : u"") + integer_to_text(value);
}

}  // namespace

RunReport::RunReport(std::filesystem::path log_file) : log_file_(std::move(log_file)) { }

void RunReport::report(const std::u16string& text) noexcept
{
    try {
        const auto line = utf16_to_utf8(text) + '\n';
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    } catch (...) {
        // Standard error is only a report.
    }
    log(text);
}

RunReport::RunReport(RunReport&& other) noexcept
    : log_file_(std::move(other.log_file_)),
      block_(std::exchange(other.block_, {})),
      rotation_checked_(other.rotation_checked_)
{
    other.log_file_.reset();
}

RunReport& RunReport::operator=(RunReport&& other) noexcept
{
    if (this != &other) {
        write_block();
        log_file_ = std::exchange(other.log_file_, std::nullopt);
        block_ = std::exchange(other.block_, {});
        rotation_checked_ = other.rotation_checked_;
    }
    return *this;
}

void RunReport::log(const std::u16string& text) noexcept
{
    if (!log_file_) return;
    try {
        block_ += utf16_to_utf8(text) + '\n';
    } catch (...) {
        // A log that cannot be written changes nothing of the run.
    }
}

void RunReport::write_block() noexcept
{
    if (!log_file_ || block_.empty()) return;
    try {
        std::error_code ignored;
        if (!rotation_checked_) {
            rotation_checked_ = true;
            const auto size = std::filesystem::file_size(*log_file_, ignored);
            if (!ignored && size > rotate_at) {
                auto older = *log_file_;
                older += ".1";
                std::filesystem::rename(*log_file_, older, ignored);
            }
        }
    } catch (...) {
        // Rotation is only housekeeping.
    }
    append_whole(*log_file_, block_);
    block_.clear();
}

std::u16string summary_text(const ImportCounts& c, std::chrono::steady_clock::duration elapsed)
{
    return u"Resumo: " + integer_to_text(c.pages) + u" páginas, " + integer_to_text(c.inserted) +
           u" produtos inseridos, " + integer_to_text(c.updated) + u" atualizados, " + integer_to_text(c.skipped) +
           u" ignorados, " + integer_to_text(c.departments_created) + u" departamentos criados, em " +
           seconds_text(elapsed) + u" s";
}

std::u16string local_time_text()
{
    const LocalDateTime now = local_date_time();
    return integer_to_text(now.year) + u"-" + two_digits(now.month) + u"-" + two_digits(now.day) + u" " +
           two_digits(now.hour) + u":" + two_digits(now.minute) + u":" + two_digits(now.second);
}

#include "sync/run_report.h"

#include "util/number_text.h"
#include "util/utf.h"

#include <charconv>
#include <cstdio>

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

}  // namespace

void report_line(const std::u16string& text)
{
    const auto line = utf16_to_utf8(text) + '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::u16string summary_text(const ProductImport::Counts& c, std::chrono::steady_clock::duration elapsed)
{
    return u"Resumo: " + integer_to_text(c.pages) + u" páginas, " + integer_to_text(c.inserted) +
           u" produtos inseridos, " + integer_to_text(c.updated) + u" atualizados, " + integer_to_text(c.skipped) +
           u" ignorados, " + integer_to_text(c.departments_created) + u" departamentos criados, em " +
           seconds_text(elapsed) + u" s";
}

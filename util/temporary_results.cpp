#include "util/result_file.h"

#include <string_view>
#include <system_error>

namespace {

using Native = std::filesystem::path::string_type;
using Char = std::filesystem::path::value_type;

bool all_digits(std::basic_string_view<Char> text)
{
    if (text.empty()) return false;
    for (Char c : text)
        if (c < Char('0') || c > Char('9')) return false;
    return true;
}

// ".<file name>.<process id>.<counter>.tmp", as write_result_file names its
// temporary files on every platform.
bool is_temporary_name(std::basic_string_view<Char> name, const Native& file_name)
{
    const Native dot(1, Char('.'));
    const Native prefix = dot + file_name + dot;
    const Native suffix = dot + Native{Char('t'), Char('m'), Char('p')};
    if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) || !name.ends_with(suffix))
        return false;
    const auto middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const auto separator = middle.find(Char('.'));
    return separator != std::basic_string_view<Char>::npos && all_digits(middle.substr(0, separator)) &&
           all_digits(middle.substr(separator + 1));
}

}  // namespace

void remove_stale_temporary_files(const std::filesystem::path& file)
{
    const auto directory = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const Native file_name = file.filename().native();
    std::error_code ignored;
    for (std::filesystem::directory_iterator it(directory, ignored), end; !ignored && it != end; it.increment(ignored))
        if (is_temporary_name(it->path().filename().native(), file_name) && it->is_regular_file(ignored))
            std::filesystem::remove(it->path(), ignored);
}

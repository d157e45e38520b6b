#include "util/executable_path.h"

#include "util/utf.h"

#include <unistd.h>

#include <string_view>
#include <vector>

namespace {

std::string executable_file_path()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);  // possibly truncated: ask again with more room
    }
}

}  // namespace

std::u16string executable_directory()
{
    const std::string path = executable_file_path();
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return utf8_to_utf16(std::string_view(path).substr(0, slash + 1));
}

std::u16string executable_file_name()
{
    const std::string path = executable_file_path();
    return utf8_to_utf16(std::string_view(path).substr(path.rfind('/') + 1));
}

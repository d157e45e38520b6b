#include "util/executable_path.h"

#include <unistd.h>

#include <vector>

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

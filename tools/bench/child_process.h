#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

// One program run to its end, with what the kernel measured of it.
struct ChildRun {
    int exit_code = -1;  // -1: ended by a signal
    std::chrono::duration<double> elapsed{};
    long peak_resident_kb = 0;  // ru_maxrss of the child alone
};

struct ChildOptions {
    std::vector<std::string> args;  // args[0] is the program
    // Applied over this process's environment; nullopt removes a variable.
    std::map<std::string, std::optional<std::string>> env;
    std::filesystem::path stdin_file = "/dev/null";
    std::filesystem::path stdout_file = "/dev/null";
    std::filesystem::path stderr_file = "/dev/null";
};

// Throws std::runtime_error when the program cannot be started.
ChildRun run_child(const ChildOptions& options);

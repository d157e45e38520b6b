#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Runs a program to its end (or kills it after the timeout) and returns what
// it printed. Environment changes are applied over the test's own
// environment; a value of std::nullopt removes the variable.
struct ProcessResult {
    int exit_code = -1;  // -1 when killed by a signal or the timeout
    bool timed_out = false;
    std::string out;
    std::string err;
    std::chrono::milliseconds elapsed{0};
};

struct ProcessOptions {
    std::vector<std::string> args;
    std::map<std::string, std::optional<std::string>> env;
    std::filesystem::path working_directory;
    std::chrono::milliseconds timeout{60000};
};

ProcessResult run_process(const std::filesystem::path& program, const ProcessOptions& options = {});

// One program run to its end, its standard streams on files, with what the
// kernel measured of it: for measuring a program rather than reading it.
struct ChildRun {
    int exit_code = -1;  // -1: ended by a signal
    std::chrono::duration<double> elapsed{};
    long peak_resident_kb = 0;  // ru_maxrss of the child alone
};

struct ChildOptions {
    std::vector<std::string> args;  // args[0] is the program, looked up in PATH
    // Applied over this process's environment; nullopt removes a variable.
    std::map<std::string, std::optional<std::string>> env;
    std::filesystem::path stdin_file = "/dev/null";
    std::filesystem::path stdout_file = "/dev/null";
    std::filesystem::path stderr_file = "/dev/null";
};

// Throws std::runtime_error when the program cannot be started.
ChildRun run_child(const ChildOptions& options);

// For starting processes by hand: the test's environment with the changes
// applied, and NUL-terminated pointer arrays over texts for exec calls.
std::vector<std::string> environment_with(const std::map<std::string, std::optional<std::string>>& changes);
std::vector<char*> c_strings(std::vector<std::string>& texts);

// The built importer copied into dir, as the back-office installs it.
std::filesystem::path install_importer(const std::filesystem::path& dir);

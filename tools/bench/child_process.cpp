#include "tools/bench/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace {

std::vector<std::string> environment_with(const std::map<std::string, std::optional<std::string>>& changes)
{
    std::map<std::string, std::string> variables;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto equals = entry.find('=');
        if (equals != std::string::npos) variables[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
    for (const auto& [name, value] : changes) {
        if (value)
            variables[name] = *value;
        else
            variables.erase(name);
    }
    std::vector<std::string> out;
    for (const auto& [name, value] : variables) out.push_back(name + "=" + value);
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& texts)
{
    std::vector<char*> out;
    for (auto& text : texts) out.push_back(text.data());
    out.push_back(nullptr);
    return out;
}

class FileActions {
public:
    FileActions() { posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;

    void open(int fd, const std::filesystem::path& file, int flags)
    {
        posix_spawn_file_actions_addopen(&actions_, fd, file.c_str(), flags, 0644);
    }
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

}  // namespace

ChildRun run_child(const ChildOptions& options)
{
    if (options.args.empty()) throw std::runtime_error("no program to run");
    FileActions actions;
    actions.open(0, options.stdin_file, O_RDONLY);
    actions.open(1, options.stdout_file, O_WRONLY | O_CREAT | O_TRUNC);
    actions.open(2, options.stderr_file, O_WRONLY | O_CREAT | O_TRUNC);

    auto arg_texts = options.args;
    auto env_texts = environment_with(options.env);
    auto argv = pointers(arg_texts);
    auto envp = pointers(env_texts);

    const auto started = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (int error = posix_spawnp(&pid, argv[0], actions.get(), nullptr, argv.data(), envp.data()))
        throw std::runtime_error("cannot start " + options.args[0] + ": " + std::strerror(error));

    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0)
        if (errno != EINTR) throw std::runtime_error("waiting for " + options.args[0] + " failed");

    ChildRun run;
    run.elapsed = std::chrono::steady_clock::now() - started;
    run.peak_resident_kb = usage.ru_maxrss;
    if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
    return run;
}

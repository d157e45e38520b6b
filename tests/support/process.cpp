#include "support/process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

std::vector<std::string> environment_with(const std::map<std::string, std::optional<std::string>>& changes)
{
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [name, value] : changes) {
        if (value)
            vars[name] = *value;
        else
            vars.erase(name);
    }
    std::vector<std::string> out;
    for (const auto& [name, value] : vars) out.push_back(name + "=" + value);
    return out;
}

std::vector<char*> c_strings(std::vector<std::string>& texts)
{
    std::vector<char*> out;
    for (auto& t : texts) out.push_back(t.data());
    out.push_back(nullptr);
    return out;
}

ProcessResult run_process(const std::filesystem::path& program, const ProcessOptions& options)
{
    int out_pipe[2], err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!options.working_directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.working_directory.c_str());

    std::vector<std::string> argv_texts{program.string()};
    argv_texts.insert(argv_texts.end(), options.args.begin(), options.args.end());
    auto env_texts = environment_with(options.env);
    auto argv = c_strings(argv_texts);
    auto envp = c_strings(env_texts);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (spawned != 0) {
        close(out_pipe[0]);
        close(err_pipe[0]);
        throw std::runtime_error("cannot start " + program.string() + ": " + std::strerror(spawned));
    }

    ProcessResult result;
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open_pipes = 2;
    while (open_pipes > 0) {
        const auto left = options.timeout - (std::chrono::steady_clock::now() - start);
        const auto left_ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count();
        if (left_ms <= 0) {
            result.timed_out = true;
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, static_cast<int>(left_ms)) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_pipes;
            }
        }
    }
    for (auto& fd : fds)
        if (fd.fd >= 0) close(fd.fd);

    int status = 0;
    waitpid(pid, &status, 0);
    result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    return result;
}

namespace {

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
    auto argv = c_strings(arg_texts);
    auto envp = c_strings(env_texts);

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

std::filesystem::path install_importer(const std::filesystem::path& dir)
{
    const auto target = dir / "importador";
    std::filesystem::copy_file(IMPORTADOR_EXECUTABLE, target, std::filesystem::copy_options::overwrite_existing);
    return target;
}

#include "app/tray_desktop.h"

#include "support/process.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <regex>
#include <set>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

std::optional<std::filesystem::path> find_in_path(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const auto candidate = std::filesystem::path(dir.empty() ? "." : dir) / program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

std::filesystem::path program_path(const std::string& program)
{
    if (auto found = find_in_path(program)) return *found;
    throw std::runtime_error(program + " is not installed");
}

const char* const x_programs[] = {"Xvfb", "trayer", "xdotool", "xwininfo", "import"};

// One connection to the display, closed when it goes.
struct XConnection {
    explicit XConnection(const std::string& display) : handle(XOpenDisplay(display.c_str())) { }
    ~XConnection()
    {
        if (handle) XCloseDisplay(handle);
    }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;
    Display* handle;
};

bool accepts_clients(const std::string& display)
{
    return XConnection(display).handle != nullptr;
}

bool tray_is_hosted(const std::string& display)
{
    XConnection x(display);
    if (!x.handle) return false;
    const Atom selection = XInternAtom(x.handle, "_NET_SYSTEM_TRAY_S0", False);
    return XGetSelectionOwner(x.handle, selection) != None;
}

std::string hex_id(const std::string& decimal_id)
{
    unsigned long value = 0;
    std::from_chars(decimal_id.data(), decimal_id.data() + decimal_id.size(), value);
    char text[32] = "0x";
    auto end = std::to_chars(text + 2, text + sizeof text, value, 16).ptr;
    return std::string(text, end);
}

Window hex_number(const std::string& hex_id)
{
    Window value = 0;
    std::from_chars(hex_id.data() + 2, hex_id.data() + hex_id.size(), value, 16);
    return value;
}

int number(const std::string& text)
{
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The lines of "xwininfo -root -tree", e.g.
//      0x400006 "importador": ("importador" "importador")  22x30+0+0  +1001+1
std::vector<XWindow> parse_window_tree(const std::string& tree)
{
    static const std::regex line(
        R"re(^( *)(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \(.*\)\s+(\d+)x(\d+)[+-]-?\d+[+-]-?\d+\s+\+(-?\d+)\+(-?\d+)\s*$)re");
    std::vector<XWindow> windows;
    std::vector<std::size_t> indents;
    std::istringstream lines(tree);
    for (std::string text; std::getline(lines, text);) {
        std::smatch m;
        if (!std::regex_match(text, m, line)) continue;
        XWindow w;
        w.id = m[2];
        w.name = m[3];
        w.width = number(m[4]);
        w.height = number(m[5]);
        w.x = number(m[6]);
        w.y = number(m[7]);
        indents.push_back(m[1].length());
        windows.push_back(w);
    }
    if (windows.empty()) return windows;
    const std::size_t root_children = *std::min_element(indents.begin(), indents.end());
    for (std::size_t i = 0; i < windows.size(); ++i) windows[i].top_level = indents[i] == root_children;
    return windows;
}

}  // namespace

BackgroundProcess::BackgroundProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                                     const std::map<std::string, std::optional<std::string>>& env,
                                     const std::filesystem::path& output_file)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);

    std::vector<std::string> argv_texts{program.string()};
    argv_texts.insert(argv_texts.end(), args.begin(), args.end());
    auto env_texts = environment_with(env);
    auto argv = c_strings(argv_texts);
    auto envp = c_strings(env_texts);
    const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + program.string() + ": " + std::strerror(spawned));
}

BackgroundProcess::~BackgroundProcess()
{
    if (!running()) return;
    // Asked first, so that an X server removes its socket and lock file.
    kill(pid_, SIGTERM);
    if (wait_for_exit(std::chrono::seconds(5))) return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
}

bool BackgroundProcess::running()
{
    if (exit_code_) return false;
    int status = 0;
    const pid_t ended = waitpid(pid_, &status, WNOHANG);
    if (ended == 0) return true;
    exit_code_ = ended == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
}

std::optional<int> BackgroundProcess::wait_for_exit(std::chrono::milliseconds timeout)
{
    if (!wait_until([this] { return !running(); }, timeout)) return std::nullopt;
    return exit_code_;
}

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(25ms);
    }
    return true;
}

std::vector<std::string> TrayDesktop::missing_programs()
{
    std::vector<std::string> missing;
    for (const char* program : x_programs)
        if (!find_in_path(program)) missing.emplace_back(program);
    return missing;
}

TrayDesktop::TrayDesktop(bool with_tray_host)
{
    // The first free display from :90 on; another test may take one between
    // the look and the start, so a server that ends at once means "try the next".
    for (int n = 90; n < 190 && !server_; ++n) {
        const auto socket = std::filesystem::path("/tmp/.X11-unix") / ("X" + std::to_string(n));
        const auto lock = std::filesystem::path("/tmp") / (".X" + std::to_string(n) + "-lock");
        if (std::filesystem::exists(socket) || std::filesystem::exists(lock)) continue;
        display_ = ":" + std::to_string(n);
        server_.emplace(
            program_path("Xvfb"),
            // Without -noreset the server restarts whenever its last client leaves,
            // refusing connections meanwhile.
            std::vector<std::string>{display_, "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"},
            std::map<std::string, std::optional<std::string>>{}, logs_ / "xvfb.log");
        if (!wait_until([&] { return accepts_clients(display_) || !server_->running(); }, 10s) || !server_->running())
            server_.reset();
    }
    if (!server_) throw std::runtime_error("no X server could be started");
    if (!with_tray_host) return;

    tray_host_.emplace(program_path("trayer"),
                       std::vector<std::string>{"--edge", "top", "--align", "right", "--widthtype", "request",
                                                "--height", "32", "--transparent", "false"},
                       std::map<std::string, std::optional<std::string>>{{"DISPLAY", display_}}, logs_ / "trayer.log");
    if (!wait_until([&] { return tray_is_hosted(display_); }, 10s))
        throw std::runtime_error("trayer did not take the notification area: " + read_file_bytes(logs_ / "trayer.log"));
}

TrayDesktop::~TrayDesktop()
{
    tray_host_.reset();
    server_.reset();
}

std::string TrayDesktop::run_tool(const std::string& tool, const std::vector<std::string>& args) const
{
    ProcessOptions options;
    options.args = args;
    options.env = {{"DISPLAY", display_}};
    options.timeout = 10s;
    const auto result = run_process(program_path(tool), options);
    if (result.exit_code != 0 && !(tool == "xdotool" && args.front() == "search"))
        throw std::runtime_error(tool + " " + args.front() + " failed (" + std::to_string(result.exit_code) +
                                 "): " + result.err);
    return result.out;
}

std::vector<XWindow> TrayDesktop::shown_windows(const std::string& client_class) const
{
    std::set<std::string> visible;
    std::istringstream ids(run_tool("xdotool", {"search", "--onlyvisible", "--classname", client_class}));
    for (std::string id; ids >> id;) visible.insert(hex_id(id));

    std::vector<XWindow> shown;
    for (auto& w : parse_window_tree(run_tool("xwininfo", {"-root", "-tree"})))
        if (visible.count(w.id)) shown.push_back(w);
    return shown;
}

void TrayDesktop::click(int x, int y, int button, int count) const
{
    // No --sync: it waits forever when the pointer is already there. The
    // server handles the move before the click anyway.
    run_tool("xdotool", {"mousemove", std::to_string(x), std::to_string(y), "click", "--repeat", std::to_string(count),
                         "--delay", "80", std::to_string(button)});
}

void TrayDesktop::screenshot(const std::filesystem::path& file) const
{
    std::filesystem::create_directories(file.parent_path());
    run_tool("import", {"-window", "root", file.string()});
}

void TrayDesktop::screenshot_window(const std::string& window_id, const std::filesystem::path& file) const
{
    run_tool("import", {"-window", window_id, file.string()});
}

void TrayDesktop::request_close(const std::string& window_id) const
{
    XConnection x(display_);
    if (!x.handle) throw std::runtime_error("cannot open display " + display_);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = hex_number(window_id);
    event.xclient.message_type = XInternAtom(x.handle, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(x.handle, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(x.handle, event.xclient.window, False, NoEventMask, &event);
    XFlush(x.handle);
}

#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

#include <sys/types.h>

// A program left running while the test drives it; its output goes to a
// file. Killed if it is still running when the object goes.
class BackgroundProcess {
public:
    BackgroundProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::optional<std::string>>& env,
                      const std::filesystem::path& output_file);
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // The exit code (-1 when ended by a signal); nullopt if still running
    // after the timeout.
    std::optional<int> wait_for_exit(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    std::optional<int> exit_code_;
};

// Polls until the condition holds or the timeout passes.
bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// A window as xwininfo lists it, with its position on the screen.
struct XWindow {
    std::string id;  // "0x400006"
    std::string name;
    int x = 0, y = 0, width = 0, height = 0;
    bool top_level = false;  // a direct child of the root window
    int centre_x() const { return x + width / 2; }
    int centre_y() const { return y + height / 2; }
};

// A private X display (Xvfb), normally with a notification-area host
// (trayer), both ended when the object goes. Driven with xdotool, inspected with xwininfo,
// photographed with ImageMagick.
class TrayDesktop {
public:
    // The X programs that are not installed, for a skip message; empty when
    // all are there.
    static std::vector<std::string> missing_programs();

    explicit TrayDesktop(bool with_tray_host = true);
    ~TrayDesktop();
    TrayDesktop(const TrayDesktop&) = delete;
    TrayDesktop& operator=(const TrayDesktop&) = delete;

    const std::string& display() const { return display_; }
    int screen_width() const { return 1024; }
    int screen_height() const { return 768; }

    // Mapped windows of the clients whose class is client_class.
    std::vector<XWindow> shown_windows(const std::string& client_class) const;

    void click(int x, int y, int button, int count = 1) const;
    void screenshot(const std::filesystem::path& file) const;
    // One window's picture; a .ppm file holds nothing but the pixels.
    void screenshot_window(const std::string& window_id, const std::filesystem::path& file) const;
    // What a window manager sends when the title bar's close button is pressed.
    void request_close(const std::string& window_id) const;

private:
    std::string run_tool(const std::string& tool, const std::vector<std::string>& args) const;

    TempDir logs_;
    std::string display_;
    std::optional<BackgroundProcess> server_;
    std::optional<BackgroundProcess> tray_host_;
};

// The importer on a desktop: a private X server with a notification-area
// host, the built executable as a process, driven with the mouse as a user
// would. Screenshots land in the build folder for a reviewer to look at.
#include "app/tray_desktop.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_database.h"
#include "tools/quintara_service.h"
#include "util/utf.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

namespace {

using namespace std::chrono_literals;

const std::string token = "bandeja";
const std::string utf8_bom = "\xEF\xBB\xBF";
const std::string window_title = "Leitura de balanca";
const std::filesystem::path screenshot_dir = TRAY_SCREENSHOT_DIR;

class TrayDesktopTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The embedded database engine and the importer take the code page
        // from the locale.
        setenv("LANG", "C.UTF-8", 1);
        unsetenv("LC_ALL");
        unsetenv("LC_CTYPE");
    }

    void SetUp() override
    {
        const auto missing = TrayDesktop::missing_programs();
        if (!missing.empty()) {
            std::string names;
            for (const auto& m : missing) names += " " + m;
            GTEST_SKIP() << "X test tools are not installed:" << names
                         << " (Debian packages xvfb trayer xdotool x11-utils imagemagick)";
        }
        desktop.emplace();
    }

    // A catalogue served slowly enough that the run lasts a few seconds,
    // into a fresh database.
    void serve_slow_catalogue(int pages, std::chrono::milliseconds per_page)
    {
        database.emplace();
        ServiceOptions options;
        options.catalogue.products = static_cast<std::size_t>(pages) * page_size;
        options.expected_token = token;
        service.emplace(std::move(options));
        service->delay(QuintaraService::products_path, per_page);
        write_request();
    }

    void write_request()
    {
        write_file_bytes(dir / "ConfigImporta.ini", "[CONF]\r\ntoken_quintara=" + token +
                                                        "\r\npathBancoDados=" + database_name() +
                                                        "\r\nReg_por_trafego=" + std::to_string(page_size) + "\r\n");
    }

    std::string database_name() const { return database ? database->file.string() : (dir / "sem_banco.fdb").string(); }

    using Environment = std::map<std::string, std::optional<std::string>>;

    void start_importer(const Environment& extra = {})
    {
        Environment env = {
            {"DISPLAY", desktop->display()}, {"WAYLAND_DISPLAY", std::nullopt},
            {"QT_QPA_PLATFORM", "xcb"},      {"DBUS_SESSION_BUS_ADDRESS", std::nullopt},
            {"https_proxy", std::nullopt},   {"HTTPS_PROXY", std::nullopt},
            {"all_proxy", std::nullopt},     {"ALL_PROXY", std::nullopt}};
        if (service) {
            env["QUINTARA_BASE_URL"] = service->base_url();
            env["CURL_CA_BUNDLE"] = service->ca_file().string();
        }
        env.insert(extra.begin(), extra.end());
        importer.emplace(installed, std::vector<std::string>{}, env, dir / "importer.log");
    }

    std::string importer_log() const { return read_file_bytes(dir / "importer.log"); }

    std::vector<XWindow> top_level_windows() const
    {
        std::vector<XWindow> top;
        for (auto& w : desktop->shown_windows("importador"))
            if (w.top_level) top.push_back(w);
        return top;
    }

    std::optional<XWindow> window_named(const std::string& name) const
    {
        for (auto& w : top_level_windows())
            if (w.name == name) return w;
        return std::nullopt;
    }

    // The icon is the importer's window embedded in the tray host's panel.
    XWindow wait_for_icon() const
    {
        std::optional<XWindow> icon;
        wait_until(
            [&] {
                for (auto& w : desktop->shown_windows("importador"))
                    if (!w.top_level) icon = w;
                return icon.has_value();
            },
            10s);
        if (!icon) throw std::runtime_error("no icon in the notification area; importer said: " + importer_log());
        return *icon;
    }

    XWindow wait_for_window(const std::function<bool(const XWindow&)>& wanted, const std::string& what) const
    {
        std::optional<XWindow> found;
        wait_until(
            [&] {
                for (auto& w : top_level_windows())
                    if (wanted(w)) found = w;
                return found.has_value();
            },
            10s);
        if (!found) throw std::runtime_error(what + " did not appear; importer said: " + importer_log());
        return *found;
    }

    XWindow wait_for_status_window() const
    {
        return wait_for_window([](const XWindow& w) { return w.name == window_title; }, "the status window");
    }

    // Any other window of the importer: with the status window at most
    // shown, that is the menu.
    XWindow open_menu(const XWindow& icon) const
    {
        desktop->click(icon.centre_x(), icon.centre_y(), 3);
        return wait_for_window([](const XWindow& w) { return w.name != window_title; }, "the menu");
    }

    // The menu's items from top to bottom: restore, separator, quit.
    void choose_restore(const XWindow& menu) const { desktop->click(menu.x + 30, menu.y + 12, 1); }
    void choose_quit(const XWindow& menu) const { desktop->click(menu.x + 30, menu.y + menu.height - 12, 1); }

    std::size_t page_requests() const
    {
        std::size_t pages = 0;
        for (const auto& r : service->received())
            if (r.target.find(QuintaraService::products_path) != std::string::npos) ++pages;
        return pages;
    }

    // Between pages the run dispatches what the user did; a new page request
    // shows that it got that far.
    // Shows the status window from the icon, then closes it as a window
    // manager would.
    void close_status_window(const XWindow& icon)
    {
        desktop->click(icon.centre_x(), icon.centre_y(), 1, 2);
        desktop->request_close(wait_for_status_window().id);
    }

    void wait_for_next_dispatch() const
    {
        const auto seen = page_requests();
        ASSERT_TRUE(wait_until([&] { return page_requests() > seen; }, 10s));
    }

    int wait_for_exit()
    {
        const auto code = importer->wait_for_exit(30s);
        if (!code) throw std::runtime_error("the importer did not end; it said: " + importer_log());
        return *code;
    }

    std::string products_in_database() const
    {
        return utf16_to_utf8(read_rows(database->file, u"select count(*) from Mercadorias").at(0).at(0));
    }

    void expect_complete_run(int exit_code)
    {
        EXPECT_EQ(0, exit_code) << importer_log();
        EXPECT_EQ(utf8_bom + "Importacao de dados Ok", read_file_bytes(dir / "ConfigImporta.ret")) << importer_log();
        EXPECT_EQ(std::to_string(service->catalogue().size()), products_in_database());
        EXPECT_TRUE(service->confirmation_time().has_value());
    }

    static constexpr int page_size = 10;
    std::optional<TrayDesktop> desktop;
    std::optional<TestDatabase> database;
    TempDir dir;
    std::filesystem::path installed = install_importer(dir.path());
    std::optional<QuintaraService> service;
    std::optional<BackgroundProcess> importer;
};

TEST_F(TrayDesktopTest, StartsWithOnlyAnIconInTheNotificationArea)
{
    start_importer();
    wait_for_icon();
    EXPECT_TRUE(top_level_windows().empty()) << "a window is shown at start";

    // Without a request file the run ends the process after about a second.
    EXPECT_EQ(0, wait_for_exit()) << importer_log();
    EXPECT_EQ(utf8_bom + "Erro abrir arquivo de configuracao ConfigImporta.ini",
              read_file_bytes(dir / "ConfigImporta.ret"));
}

// Clicks are served between pages; a menu quit lets the run finish first.
TEST_F(TrayDesktopTest, StatusWindowAndMenuDuringARun)
{
    // Long enough that the clicks below, even on a loaded machine, all land
    // while the run is still going.
    serve_slow_catalogue(24, 500ms);
    start_importer();
    const auto icon = wait_for_icon();
    ASSERT_TRUE(wait_until([&] { return page_requests() > 0; }, 10s)) << importer_log();

    desktop->click(icon.centre_x(), icon.centre_y(), 1);
    wait_for_next_dispatch();
    EXPECT_TRUE(top_level_windows().empty()) << "a single click showed a window";

    // A new request written meanwhile arms the timer when the window is
    // activated; it must wait for the next start, not nest a run.
    write_request();
    desktop->click(icon.centre_x(), icon.centre_y(), 1, 2);
    const auto window = wait_for_status_window();
    EXPECT_NEAR(300, window.width, 2);
    EXPECT_NEAR(100, window.height, 2);
    EXPECT_NEAR(desktop->screen_width() / 2, window.centre_x(), 4);
    EXPECT_NEAR(desktop->screen_height() / 2, window.centre_y(), 4);
    wait_for_next_dispatch();  // the progress text is painted
    desktop->screenshot(screenshot_dir / "status_window.png");

    desktop->click(icon.centre_x(), icon.centre_y(), 1, 2);
    wait_for_next_dispatch();
    const auto windows = top_level_windows();
    ASSERT_EQ(1u, windows.size()) << "showing it again opened another window";
    EXPECT_EQ(window.id, windows[0].id);

    auto menu = open_menu(icon);
    EXPECT_FALSE(service->confirmation_time().has_value()) << "the menu opened only after the run";
    desktop->screenshot(screenshot_dir / "tray_menu.png");
    choose_restore(menu);
    ASSERT_TRUE(wait_until([&] { return top_level_windows().size() == 1; }, 10s));
    EXPECT_EQ(window.id, top_level_windows()[0].id);

    menu = open_menu(icon);
    choose_quit(menu);
    expect_complete_run(wait_for_exit());
    EXPECT_TRUE(std::filesystem::exists(dir / "ConfigImporta.ini"));
}

TEST_F(TrayDesktopTest, QuitDuringARunWaitsForTheResultFile)
{
    struct {
        const char* how;
        std::function<void(const XWindow& icon)> quit;
    } cases[] = {
        {"window close button", [this](const XWindow& icon) { close_status_window(icon); }},
        {"SIGTERM", [this](const XWindow&) { kill(importer->pid(), SIGTERM); }},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.how);
        std::filesystem::remove(dir / "ConfigImporta.ret");
        serve_slow_catalogue(4, 400ms);
        start_importer();
        const auto icon = wait_for_icon();
        ASSERT_TRUE(wait_until([&] { return page_requests() > 0; }, 10s)) << importer_log();

        c.quit(icon);
        expect_complete_run(wait_for_exit());
    }
}

TEST_F(TrayDesktopTest, QuitBeforeTheFirstTickLeavesTheRequest)
{
    struct {
        const char* how;
        std::function<void(const XWindow& icon)> quit;
    } cases[] = {
        {"menu", [this](const XWindow& icon) { choose_quit(open_menu(icon)); }},
        {"window close button", [this](const XWindow& icon) { close_status_window(icon); }},
        {"SIGTERM", [this](const XWindow&) { kill(importer->pid(), SIGTERM); }},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.how);
        std::filesystem::remove(dir / "ConfigImporta.ret");
        write_request();
        // The tick held back for the test's length: a loaded machine can take
        // longer than the real second to show the icon and open the menu.
        start_importer({{"IMPORTADOR_TICK_MS", "600000"}});
        c.quit(wait_for_icon());

        EXPECT_EQ(0, wait_for_exit()) << importer_log();
        EXPECT_TRUE(std::filesystem::exists(dir / "ConfigImporta.ini"));
        EXPECT_FALSE(std::filesystem::exists(dir / "ConfigImporta.ret"));
    }
}

// A result file that cannot be written: a modal box, and the run's block
// already whole in the log. The next start imports while the box waits;
// OK ends the process.
TEST_F(TrayDesktopTest, FailureBoxLeavesTheNextStartFreeAndOkEndsTheProcess)
{
    std::filesystem::create_directory(dir / "ConfigImporta.ret");
    start_importer();
    const auto box = wait_for_window([](const XWindow& w) { return w.name == "importador"; }, "the error box");
    desktop->screenshot(screenshot_dir / "error_box.png");
    const std::string log_at_the_box = read_file_bytes(dir / "ConfigImporta.log");
    EXPECT_NE(std::string::npos, log_at_the_box.find("\nResumo: ")) << log_at_the_box;

    std::filesystem::remove(dir / "ConfigImporta.ret");
    serve_slow_catalogue(2, 0ms);
    ProcessOptions next_start;
    next_start.env = {{"DISPLAY", std::nullopt},
                      {"QT_QPA_PLATFORM", std::nullopt},
                      {"QUINTARA_BASE_URL", service->base_url()},
                      {"CURL_CA_BUNDLE", service->ca_file().string()},
                      {"https_proxy", std::nullopt},
                      {"HTTPS_PROXY", std::nullopt}};
    next_start.timeout = 60s;
    const auto next = run_process(installed, next_start);
    ASSERT_TRUE(importer->running()) << "the box closed before the next start ended; it said: " << importer_log();
    expect_complete_run(next.exit_code);
    const std::string log = read_file_bytes(dir / "ConfigImporta.log");
    EXPECT_TRUE(log.starts_with(log_at_the_box)) << log;
    EXPECT_TRUE(log.substr(log_at_the_box.size()).starts_with("== Importação iniciada em ")) << log;

    desktop->click(box.x + box.width - 50, box.y + box.height - 23, 1);  // its OK button
    EXPECT_EQ(1, wait_for_exit()) << importer_log();
}

// Nobody clicks: the box counts down and closes itself, and the process
// ends as if OK had been clicked. The box's life is shortened for the test.
TEST_F(TrayDesktopTest, FailureBoxNobodyClicksClosesItselfAndTheProcessEnds)
{
    std::filesystem::create_directory(dir / "ConfigImporta.ret");
    start_importer({{"IMPORTADOR_BOX_SECONDS", "8"}});
    const auto box = wait_for_window([](const XWindow& w) { return w.name == "importador"; }, "the error box");

    // The countdown repaints the text: the box's picture changes while it
    // stays open.
    const auto picture = [&] {
        const auto file = dir / "box.ppm";
        desktop->screenshot_window(box.id, file);
        return read_file_bytes(file);
    };
    const std::string first = picture();
    EXPECT_TRUE(wait_until([&] { return picture() != first; }, 10s)) << "the text did not count down";
    EXPECT_EQ(1, wait_for_exit()) << importer_log();
    EXPECT_TRUE(top_level_windows().empty());
}

TEST_F(TrayDesktopTest, WithoutATrayHostTheRunProceeds)
{
    desktop.emplace(false);
    start_importer();
    EXPECT_EQ(0, wait_for_exit()) << importer_log();
    EXPECT_EQ(utf8_bom + "Erro abrir arquivo de configuracao ConfigImporta.ini",
              read_file_bytes(dir / "ConfigImporta.ret"));

    // With no icon nobody could quit a failed run: it ends once the box goes.
    std::filesystem::remove(dir / "ConfigImporta.ret");
    std::filesystem::create_directory(dir / "ConfigImporta.ret");
    start_importer();
    const auto box = wait_for_window([](const XWindow& w) { return w.name == "importador"; }, "the error box");
    desktop->click(box.x + box.width - 50, box.y + box.height - 23, 1);
    EXPECT_EQ(1, wait_for_exit()) << importer_log();
}

}  // namespace

// tray_recorder RECORD [--open-window] [--menu-when-listed N]
//
// A notification area of its own for the tests under Wine: Wine's
// Shell_NotifyIconW sends each icon message synchronously, as WM_COPYDATA,
// to the first window of class "Shell_TrayWnd", so this one, created above
// Wine's own, sees every message in order while the sender waits. For each
// it appends a line to RECORD: the message, the tip, the balloon, and what
// the sender's status window shows at that moment, read from its controls
// (GetWindowText, LB_GETTEXT). Whenever the skip list has changed, all its
// lines follow, after a line "list N".
//
//   --open-window         double-clicks the icon as soon as it is added
//   --menu-when-listed N  once the skip list holds N lines, right-clicks the
//                         icon: the run stops at its next pause between
//                         pages, its window painted and idle, while the
//                         menu is open. "menu open" is recorded then; the
//                         menu is closed once RECORD.release exists.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

// What Wine's shell32 sends for each Shell_NotifyIconW call, the icon's
// bitmap after it (dlls/shell32/systray.c, struct notify_data).
struct WineNotifyData {
    LONG hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    WCHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    WCHAR szInfo[256];
    UINT uTimeout;
    WCHAR szInfoTitle[64];
    DWORD dwInfoFlags;
    GUID guidItem;
};

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

struct Options {
    std::wstring record;
    bool open_window = false;
    long menu_when_listed = -1;
};

Options options;
std::unique_ptr<std::FILE, FileCloser> record;
HWND tray = nullptr;
constexpr UINT_PTR menu_watch = 1;
enum class Menu { not_asked, asked, open, closed };
Menu menu = Menu::not_asked;
HWND menu_owner = nullptr;
UINT callback_message = 0;  // sent along only when set: with NIM_ADD
LRESULT dumped_count = 0;
std::wstring dumped_last;

// One line per field: tabs and line breaks inside a text are escaped.
std::string field_text(const std::wstring& text)
{
    std::wstring escaped;
    for (wchar_t c : text) {
        if (c == L'\n')
            escaped += L"\\n";
        else if (c == L'\r')
            escaped += L"\\r";
        else if (c == L'\t')
            escaped += L"\\t";
        else if (c == L'\\')
            escaped += L"\\\\";
        else
            escaped += c;
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

std::wstring bounded(const WCHAR* text, std::size_t capacity)
{
    return std::wstring(text, wcsnlen(text, capacity));
}

std::wstring window_text(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string rect_text(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// A child's place in its top-level window's client area.
RECT client_rect_of(HWND control, HWND window)
{
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Sent to the window's thread, which serves it while it waits for this
// program's answer; a window that is gone answers nothing.
LRESULT ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 10000, &answer))
        return static_cast<LRESULT>(-1);
    return static_cast<LRESULT>(answer);
}

std::wstring listed_line(HWND list, LRESULT index)
{
    const LRESULT length = ask(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return {};
    std::wstring line(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = ask(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(line.data()));
    line.resize(static_cast<std::size_t>(std::max<LRESULT>(0, copied)));
    return line;
}

struct StatusWindow {
    HWND window = nullptr;
    HWND progress = nullptr;  // the label under "Status:"
    HWND list_label = nullptr;
    HWND list = nullptr;
};

StatusWindow find_status_window(HWND window)
{
    StatusWindow found{window};
    if (!IsWindow(window)) return found;
    const HWND panel = FindWindowExW(window, nullptr, L"Static", L"");
    for (HWND c = FindWindowExW(panel, nullptr, L"Static", nullptr); c; c = FindWindowExW(panel, c, L"Static", nullptr))
        if (window_text(c) != L"Status:") found.progress = c;
    found.list = FindWindowExW(window, nullptr, L"ListBox", nullptr);
    for (HWND c = FindWindowExW(window, nullptr, L"Static", nullptr); c;
         c = FindWindowExW(window, c, L"Static", nullptr))
        if (c != panel) found.list_label = c;
    return found;
}

const char* message_name(DWORD message)
{
    switch (message) {
    case NIM_ADD: return "NIM_ADD";
    case NIM_MODIFY: return "NIM_MODIFY";
    case NIM_DELETE: return "NIM_DELETE";
    case NIM_SETFOCUS: return "NIM_SETFOCUS";
    case NIM_SETVERSION: return "NIM_SETVERSION";
    default: return "unknown";
    }
}

long long epoch_ms()
{
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const long long ticks = (static_cast<long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / 10000 - 11644473600000LL;
}

void write_line(const std::string& line)
{
    std::fputs((line + "\n").c_str(), record.get());
    std::fflush(record.get());
}

bool file_exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Polled: the menu opens at the run's next pause, and closes when the test
// has taken its picture.
void watch_menu()
{
    if (menu == Menu::asked) {
        const HWND popup = FindWindowExW(nullptr, nullptr, L"#32768", nullptr);
        if (!popup || !IsWindowVisible(popup)) return;
        // Served only once the menu's loop waits for messages, by when the
        // window's painting has reached the screen.
        ask(menu_owner, WM_NULL, 0, 0);
        ask(menu_owner, WM_NULL, 0, 0);
        menu = Menu::open;
        write_line("menu open");
    } else if (menu == Menu::open && file_exists(options.record + L".release")) {
        PostMessageW(menu_owner, WM_CANCELMODE, 0, 0);
        menu = Menu::closed;
        KillTimer(tray, menu_watch);
    }
}

BOOL record_icon_message(DWORD message, const COPYDATASTRUCT& data)
{
    if (data.cbData < sizeof(WineNotifyData)) {
        write_line(std::string("unreadable\tsize=") + std::to_string(data.cbData));
        return FALSE;
    }
    WineNotifyData icon;
    std::memcpy(&icon, data.lpData, sizeof icon);
    const HWND sender = static_cast<HWND>(LongToHandle(icon.hWnd));
    const StatusWindow status = find_status_window(sender);

    std::string line =
        std::to_string(epoch_ms()) + "\t" + message_name(message) + "\tflags=" + std::to_string(icon.uFlags);
    if (icon.uFlags & NIF_TIP) line += "\ttip=" + field_text(bounded(icon.szTip, 128));
    if (icon.uFlags & NIF_INFO)
        line += "\tinfo_flags=" + std::to_string(icon.dwInfoFlags) +
                "\tinfo_title=" + field_text(bounded(icon.szInfoTitle, 64)) +
                "\tinfo=" + field_text(bounded(icon.szInfo, 256));
    RECT frame{}, client{}, work{};
    GetWindowRect(sender, &frame);
    GetClientRect(sender, &client);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    line += "\tvisible=" + std::to_string(IsWindowVisible(sender) ? 1 : 0) + "\tframe=" + rect_text(frame) +
            "\tclient=" + rect_text(client) + "\twork=" + rect_text(work);
    if (status.progress)
        line += "\tprogress=" + field_text(window_text(status.progress)) +
                "\tprogress_rect=" + rect_text(client_rect_of(status.progress, sender));
    LRESULT listed = 0;
    if (status.list) {
        listed = std::max<LRESULT>(0, ask(status.list, LB_GETCOUNT, 0, 0));
        const std::wstring last = listed > 0 ? listed_line(status.list, listed - 1) : std::wstring();
        line += "\tlist_shown=" + std::to_string(IsWindowVisible(status.list) ? 1 : 0) +
                "\tlist_label=" + field_text(window_text(status.list_label)) +
                "\tlist_rect=" + rect_text(client_rect_of(status.list, sender)) + "\tlisted=" + std::to_string(listed) +
                "\tlast=" + field_text(last);
        write_line(line);
        // Read whole only when it changed: each line read is a message the
        // run waits for.
        if (listed != dumped_count || last != dumped_last) {
            write_line("list\t" + std::to_string(listed));
            for (LRESULT i = 0; i < listed; ++i) write_line("item\t" + field_text(listed_line(status.list, i)));
            dumped_count = listed;
            dumped_last = last;
        }
    } else {
        write_line(line);
    }

    if (icon.uFlags & NIF_MESSAGE) callback_message = icon.uCallbackMessage;
    if (message == NIM_ADD && options.open_window) PostMessageW(sender, callback_message, icon.uID, WM_LBUTTONDBLCLK);
    if (menu == Menu::not_asked && options.menu_when_listed >= 0 && listed >= options.menu_when_listed) {
        menu = Menu::asked;
        menu_owner = sender;
        // The menu opens at the cursor: in a corner, clear of the window.
        SetCursorPos(work.right - 1, work.bottom - 1);
        PostMessageW(sender, callback_message, icon.uID, WM_RBUTTONDOWN);
        SetTimer(tray, menu_watch, 20, nullptr);
    }
    return TRUE;
}

LRESULT CALLBACK tray_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        return record_icon_message(static_cast<DWORD>(data->dwData), *data);
    }
    if (message == WM_TIMER && wParam == menu_watch) {
        watch_menu();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tray_recorder RECORD [--open-window] [--menu-when-listed N]\n");
        return 2;
    }
    options.record = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::wstring name = argv[i];
        if (name == L"--open-window")
            options.open_window = true;
        else if (name == L"--menu-when-listed" && i + 1 < argc)
            options.menu_when_listed = std::wcstol(argv[++i], nullptr, 10);
        else {
            std::fprintf(stderr, "tray_recorder: unknown option\n");
            return 2;
        }
    }
    record.reset(_wfopen(options.record.c_str(), L"ab"));
    if (!record) {
        std::fprintf(stderr, "tray_recorder: cannot open the record file\n");
        return 1;
    }

    WNDCLASSEXW tray_class{};
    tray_class.cbSize = sizeof tray_class;
    tray_class.lpfnWndProc = tray_procedure;
    tray_class.hInstance = GetModuleHandleW(nullptr);
    tray_class.lpszClassName = L"Shell_TrayWnd";
    if (!RegisterClassExW(&tray_class)) return 1;
    // Topmost, so that a search from the top of the order finds it before
    // Wine's own tray window; never shown.
    tray = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!tray) return 1;
    if (FindWindowExW(nullptr, nullptr, L"Shell_TrayWnd", nullptr) != tray) {
        write_line("not first");
        return 1;
    }
    write_line("ready");

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}

#include "app/win32/failure_box.h"

#include "util/shell_texts.h"

#include <chrono>
#include <string_view>

namespace {

using Clock = std::chrono::steady_clock;

const wchar_t* wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string window_text(HWND window)
{
    std::u16string text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, u'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, reinterpret_cast<wchar_t*>(text.data()),
                                                         static_cast<int>(text.size()))));
    return text;
}

bool has_class(HWND window, std::wstring_view name)
{
    wchar_t class_name[64] = {};
    return GetClassNameW(window, class_name, 64) > 0 && name == class_name;
}

// The box's state while it is open; the timer's procedure reaches it
// through this thread's pointer, as a timer procedure takes no argument.
struct Countdown {
    std::u16string caption;
    std::u16string message;
    Clock::time_point deadline;
    std::u16string shown;  // the text the box shows now
    HWND box = nullptr;
    HWND text = nullptr;
};
thread_local Countdown* open_countdown = nullptr;

BOOL CALLBACK find_box(HWND window, LPARAM)
{
    if (!has_class(window, L"#32770") || window_text(window) != open_countdown->caption) return TRUE;
    open_countdown->box = window;
    return FALSE;
}

BOOL CALLBACK find_text(HWND control, LPARAM)
{
    if (!has_class(control, L"Static") || window_text(control) != open_countdown->shown) return TRUE;
    open_countdown->text = control;
    return FALSE;
}

int seconds_until(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::seconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Read from the clock, not counted in ticks: a late tick on a loaded
// machine must not make the box stay longer.
void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
{
    Countdown& countdown = *open_countdown;
    if (!countdown.box) EnumThreadWindows(GetCurrentThreadId(), find_box, 0);
    if (!countdown.box) return;
    const int left = seconds_until(countdown.deadline);
    if (left == 0) {
        SendMessageW(countdown.box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return;
    }
    if (!countdown.text) EnumChildWindows(countdown.box, find_text, 0);
    const std::u16string text = failure_box_text(countdown.message, left);
    if (!countdown.text || text == countdown.shown) return;
    countdown.shown = text;
    SetWindowTextW(countdown.text, wide(text));
}

// Wine without a display draws on its null driver, which it names in the
// registry key of the desktop's display device.
bool wine_null_display()
{
    const auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(
        GetPropW(GetDesktopWindow(), L"__wine_display_device_guid")));
    wchar_t guid[64] = {};
    if (!atom || !GlobalGetAtomNameW(atom, guid, 64)) return false;
    const std::wstring key = L"System\\CurrentControlSet\\Control\\Video\\{" + std::wstring(guid) + L"}\\0000";
    wchar_t driver[32] = {};
    DWORD size = sizeof driver;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"GraphicsDriver", RRF_RT_REG_SZ, nullptr, driver, &size) !=
        ERROR_SUCCESS)
        return false;
    return std::wstring_view(driver) == L"null";
}

}  // namespace

bool has_interactive_desktop()
{
    USEROBJECTFLAGS flags{};
    if (!GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags, nullptr)) return false;
    return (flags.dwFlags & WSF_VISIBLE) && !wine_null_display();
}

void show_failure_box(HWND owner, const std::u16string& caption, const std::u16string& message)
{
    if (!has_interactive_desktop()) return;
    const int lifetime = failure_box_lifetime();
    Countdown countdown{.caption = caption,
                        .message = message,
                        .deadline = Clock::now() + std::chrono::seconds(lifetime),
                        .shown = failure_box_text(message, lifetime)};
    open_countdown = &countdown;
    // A thread timer: the box's own message loop dispatches it.
    const UINT_PTR timer = SetTimer(nullptr, 0, 250, tick);
    MessageBoxW(owner, wide(countdown.shown), wide(caption), MB_OK | MB_ICONERROR);
    KillTimer(nullptr, timer);
    open_countdown = nullptr;
}

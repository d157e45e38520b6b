#include "app/win32/ufrmPrincipal.h"

#include "app/win32/failure_box.h"
#include "app/win32/resources.h"
#include "app/win32/application_title.h"
#include "sync/run_texts.h"
#include "util/shell_texts.h"

#include <algorithm>

namespace {

constexpr wchar_t window_class_name[] = L"TfrmPrincipal";
constexpr UINT_PTR timerImport = 1;
constexpr UINT timer_interval_ms = 1000;
constexpr UINT restaura = 1;
constexpr UINT sair = 2;
constexpr DWORD window_style = WS_OVERLAPPEDWINDOW;

const wchar_t* wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

const wchar_t* wide(const char16_t* text)
{
    return reinterpret_cast<const wchar_t*>(text);
}

// Into one of the icon's fixed text fields; the texts' own rules keep them
// within it, and nothing longer is ever written past its end.
template <std::size_t N> void copy_into(wchar_t (&field)[N], const std::u16string& text)
{
    const std::size_t length = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), length, field);
    field[length] = L'\0';
}

HWND child(HWND parent, const wchar_t* window_class, const wchar_t* text, DWORD style, int left, int top, int width,
           int height)
{
    return CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | style, left, top, width, height, parent,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

void register_window_class()
{
    static const ATOM atom = [] {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = DefWindowProcW;  // replaced per window once its object is known
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        window_class.lpszClassName = window_class_name;
        return RegisterClassExW(&window_class);
    }();
    (void)atom;
}

}  // namespace

TfrmPrincipal::TfrmPrincipal()
{
    register_window_class();
    dpi_ = system_dpi();
    const SIZE size = frame_for_client(status_window_layout.window);
    window_ = CreateWindowExW(0, window_class_name, wide(window_caption), window_style, CW_USEDEFAULT, CW_USEDEFAULT,
                              size.cx, size.cy, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_) throw std::runtime_error("Cannot create the main window");
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TfrmPrincipal::window_procedure));
    build_status_window();
    build_tray_menu();
    FormCreate();
}

TfrmPrincipal::~TfrmPrincipal()
{
    // The icon stays for the process's whole life; the system drops it with
    // the window. Messages sent while the window goes must not reach a form
    // that is half destroyed.
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (PopupMenu1) DestroyMenu(PopupMenu1);
    if (font_) DeleteObject(font_);
    if (settings_picture_) DestroyIcon(settings_picture_);
    if (small_icon_ && small_icon_ != icon_) DestroyIcon(small_icon_);
}

int TfrmPrincipal::system_dpi()
{
    const HDC screen = GetDC(nullptr);
    const int pixels_per_inch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return pixels_per_inch > 0 ? pixels_per_inch : 96;
}

void TfrmPrincipal::build_status_window()
{
    pnlPri = child(window_, L"STATIC", L"", 0, 0, 0, 0, 0);
    btnConfig = child(pnlPri, L"BUTTON", L"", BS_PUSHBUTTON | BS_ICON | BS_FLAT, 0, 0, 0, 0);
    lblStatus = child(pnlPri, L"STATIC", wide(status_caption), 0, 0, 0, 0, 0);
    // An outcome may hold an ampersand (a URL's query), which is no mnemonic.
    lblProgresso = child(pnlPri, L"STATIC", wide(waiting_caption), SS_NOPREFIX, 0, 0, 0, 0);
    memotmp = child(window_, L"EDIT", L"", ES_MULTILINE | ES_AUTOVSCROLL | WS_BORDER, 0, 0, 0, 0);
    lblIgnorados = child(window_, L"STATIC", wide(skip_list_caption), 0, 0, 0, 0, 0);
    lstIgnorados =
        child(window_, L"LISTBOX", L"", WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT, 0, 0, 0, 0);
    ShowWindow(lblIgnorados, SW_HIDE);
    ShowWindow(lstIgnorados, SW_HIDE);
    lay_out_for_dpi();
}

// The window is drawn in the monitor's own pixels (the manifest declares
// per-monitor awareness): every size is given at 96 dots per inch and
// scaled, and again whenever the window moves to a monitor of another scale.
void TfrmPrincipal::lay_out_for_dpi()
{
    const auto& layout = status_window_layout;
    if (font_) DeleteObject(font_);
    font_ = CreateFontW(-MulDiv(layout.font_points, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                        wide(layout.font_face));
    if (settings_picture_) DestroyIcon(settings_picture_);
    const int picture = scaled(layout.config_picture);
    settings_picture_ = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_BTNCONFIG), IMAGE_ICON, picture, picture, 0));
    SendMessageW(btnConfig, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(settings_picture_));

    RECT client;
    GetClientRect(window_, &client);
    MoveWindow(pnlPri, 0, 0, client.right, client.bottom, FALSE);
    place(btnConfig, layout.config_button);
    place(lblStatus, layout.status_label);
    place(lblProgresso, skip_list_shown_ ? layout.grown_progress_label : layout.progress_label);
    place(memotmp, layout.memo);
    place(lblIgnorados, layout.skip_caption);
    place(lstIgnorados, layout.skip_list);
    for (HWND control : {pnlPri, btnConfig, lblStatus, lblProgresso, memotmp, lblIgnorados, lstIgnorados})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    InvalidateRect(window_, nullptr, TRUE);
}

int TfrmPrincipal::scaled(int pixels_at_96_dpi) const
{
    return MulDiv(pixels_at_96_dpi, dpi_, 96);
}

void TfrmPrincipal::place(HWND control, const ControlPlace& at_96_dpi) const
{
    MoveWindow(control, scaled(at_96_dpi.left), scaled(at_96_dpi.top), scaled(at_96_dpi.width),
               scaled(at_96_dpi.height), FALSE);
}

// Sizes are of the client area, as the Qt shell's are, so that the controls
// fit whatever the frame takes.
SIZE TfrmPrincipal::frame_for_client(const WindowSize& at_96_dpi) const
{
    RECT frame{0, 0, scaled(at_96_dpi.width), scaled(at_96_dpi.height)};
    AdjustWindowRectEx(&frame, window_style, FALSE, 0);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void TfrmPrincipal::build_tray_menu()
{
    PopupMenu1 = CreatePopupMenu();
    AppendMenuW(PopupMenu1, MF_STRING, restaura, wide(restore_menu_caption));
    AppendMenuW(PopupMenu1, MF_SEPARATOR, 0, nullptr);  // N1
    AppendMenuW(PopupMenu1, MF_STRING, sair, wide(quit_menu_caption));
}

void TfrmPrincipal::FormCreate()
{
    disarm_timer();
    icon_ = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
    // The notification area and the caption take the small size: an image
    // of that size from the icon file, not the large one shrunk.
    small_icon_ = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (!small_icon_) small_icon_ = icon_;
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));
    add_tray_icon();
    // The window stays hidden: nothing shows it until the user asks.
    arm_timer();
}

void TfrmPrincipal::add_tray_icon()
{
    trayIconData.cbSize = sizeof trayIconData;
    trayIconData.hWnd = window_;
    trayIconData.uID = 0;
    trayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIconData.uCallbackMessage = Wm_iconTray;
    trayIconData.hIcon = small_icon_;
    copy_into(trayIconData.szTip, tray_tip_text(application_title()));
    // Without a notification area there is no icon, and the run goes on.
    tray_icon_added_ = Shell_NotifyIconW(NIM_ADD, &trayIconData);
}

void TfrmPrincipal::arm_timer()
{
    SetTimer(window_, timerImport, timer_interval_ms, nullptr);
}

void TfrmPrincipal::disarm_timer()
{
    KillTimer(window_, timerImport);
}

LRESULT CALLBACK TfrmPrincipal::window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* form = reinterpret_cast<TfrmPrincipal*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form) return DefWindowProcW(window, message, wParam, lParam);
    return form->WndProc(message, wParam, lParam);
}

LRESULT TfrmPrincipal::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case Wm_iconTray:
        if (lParam == WM_LBUTTONDBLCLK) restauraClick();
        if (lParam == WM_RBUTTONDOWN) open_tray_menu();
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) == 0 && LOWORD(wParam) == restaura) restauraClick();
        if (HIWORD(wParam) == 0 && LOWORD(wParam) == sair) sairClick();
        break;
    case WM_TIMER:
        if (wParam == timerImport) timerImportTimer();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) FormActivate();
        break;
    case WM_SIZE: MoveWindow(pnlPri, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE); break;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        lay_out_for_dpi();
        return 0;
    }
    case WM_CLOSE:
        // The close button ends the program at once, pending messages
        // undispatched; a run in progress still finishes first, since the
        // loop is left only when control returns to it.
        PostQuitMessage(0);
        return 0;
    default: break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void TfrmPrincipal::open_tray_menu()
{
    SetForegroundWindow(window_);
    POINT cursor{};
    GetCursorPos(&cursor);
    // Returns when the menu closes; a run in progress waits until then.
    TrackPopupMenu(PopupMenu1, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window_, nullptr);
    PostMessageW(window_, WM_NULL, 0, 0);
}

void TfrmPrincipal::restauraClick()
{
    // Centred on the first show only; after that the window stays where the
    // user put it.
    if (!shown_before_) {
        RECT work{}, frame{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        GetWindowRect(window_, &frame);
        const int width = frame.right - frame.left, height = frame.bottom - frame.top;
        SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
                     work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        shown_before_ = true;
    }
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
}

void TfrmPrincipal::show_progress(const RunProgress& progress)
{
    const std::u16string text = progress_text(progress);
    show_run_text(text);
    copy_into(trayIconData.szTip, tray_tip_with_progress(application_title(), text));
    trayIconData.uFlags = NIF_TIP;
    if (tray_icon_added_) Shell_NotifyIconW(NIM_MODIFY, &trayIconData);
}

void TfrmPrincipal::show_run_text(const std::u16string& text)
{
    SetWindowTextW(lblProgresso, wide(text));
    paint_now();
}

// Painted now, or nothing of it would be seen while the run blocks until its
// next dispatch. Painting serves no user input.
void TfrmPrincipal::paint_now()
{
    if (IsWindowVisible(window_)) RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TfrmPrincipal::show_skipped(const SkippedProduct& product)
{
    if (!skip_list_shown_) grow_for_skip_list();
    const std::u16string line = skipped_text(product);
    SendMessageW(lstIgnorados, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(line)));
    widen_skip_list_for(line);
    while (static_cast<std::size_t>(SendMessageW(lstIgnorados, LB_GETCOUNT, 0, 0)) > shown_skips_capacity)
        SendMessageW(lstIgnorados, LB_DELETESTRING, 0, 0);
    SendMessageW(lstIgnorados, LB_SETTOPINDEX, SendMessageW(lstIgnorados, LB_GETCOUNT, 0, 0) - 1, 0);
    paint_now();
}

// A database's message is longer than the list is wide: the list scrolls to
// its end instead of cutting it.
void TfrmPrincipal::widen_skip_list_for(const std::u16string& line)
{
    const HDC list = GetDC(lstIgnorados);
    const HGDIOBJ previous = SelectObject(list, font_);
    SIZE extent{};
    GetTextExtentPoint32W(list, wide(line), static_cast<int>(line.size()), &extent);
    SelectObject(list, previous);
    ReleaseDC(lstIgnorados, list);
    const LRESULT width = extent.cx + scaled(8);
    if (width > SendMessageW(lstIgnorados, LB_GETHORIZONTALEXTENT, 0, 0))
        SendMessageW(lstIgnorados, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
}

// The list takes the memo's place, which the small window never showed;
// a window on screen keeps its centre where it was. Minimised or maximised,
// it grows where it will be restored.
void TfrmPrincipal::grow_for_skip_list()
{
    skip_list_shown_ = true;
    ShowWindow(memotmp, SW_HIDE);
    ShowWindow(lblIgnorados, SW_SHOWNA);
    ShowWindow(lstIgnorados, SW_SHOWNA);
    const SIZE size = frame_for_client(status_window_layout.grown_window);
    if (IsWindowVisible(window_)) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        GetWindowPlacement(window_, &placement);
        RECT& place = placement.rcNormalPosition;
        place.left = (place.left + place.right - size.cx) / 2;
        place.top = (place.top + place.bottom - size.cy) / 2;
        place.right = place.left + size.cx;
        place.bottom = place.top + size.cy;
        placement.showCmd = SW_SHOWNA;  // in the state it is in, not activated
        SetWindowPlacement(window_, &placement);
    } else {
        SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    lay_out_for_dpi();
}

void TfrmPrincipal::show_outcome(const RunEnd& end)
{
    SetWindowTextW(memotmp, wide(end.outcome));
    show_run_text(end.outcome);
}

void TfrmPrincipal::raise_end_notice(const EndNotice& notice)
{
    if (!tray_icon_added_) return;
    trayIconData.uFlags = NIF_INFO;
    trayIconData.dwInfoFlags = notice.failed ? NIIF_ERROR : NIIF_WARNING;
    copy_into(trayIconData.szInfoTitle, notice.title);
    copy_into(trayIconData.szInfo, notice.text);
    Shell_NotifyIconW(NIM_MODIFY, &trayIconData);
}

void TfrmPrincipal::dispatch_messages()
{
    MSG message;
    bool quit = false;
    WPARAM exit_code = 0;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // A quit asked for meanwhile belongs to the main loop: keep it.
            quit = true;
            exit_code = message.wParam;
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (quit) PostQuitMessage(static_cast<int>(exit_code));
}

void TfrmPrincipal::show_failure_box(const std::u16string& message)
{
    ::show_failure_box(window_, application_title(), error_box_text(message));
}

void TfrmPrincipal::leave_message_loop(int exit_code)
{
    PostQuitMessage(exit_code);
}

void TfrmPrincipal::FormActivate()
{
    if (controller_) controller_->window_activated();
}

void TfrmPrincipal::timerImportTimer()
{
    if (controller_) controller_->timer_ticked();
}

void TfrmPrincipal::sairClick()
{
    if (controller_) controller_->quit_chosen();
}

#include "app/win32/ufrmPrincipal.h"

#include "app/win32/resources.h"
#include "app/win32/shell_texts.h"

#include <algorithm>

namespace {

constexpr wchar_t window_class_name[] = L"TfrmPrincipal";
constexpr UINT_PTR timerImport = 1;
constexpr UINT timer_interval_ms = 1000;
constexpr UINT restaura = 1;
constexpr UINT sair = 2;

const wchar_t* wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
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
    window_ = CreateWindowExW(0, window_class_name, L"Leitura de balanca", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 300, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
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
}

void TfrmPrincipal::build_status_window()
{
    const HDC screen = GetDC(nullptr);
    const int pixels_per_inch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    font_ = CreateFontW(-MulDiv(8, pixels_per_inch, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma");

    RECT client;
    GetClientRect(window_, &client);
    pnlPri = child(window_, L"STATIC", L"", 0, 0, 0, client.right, client.bottom);
    btnConfig = child(pnlPri, L"BUTTON", L"", BS_PUSHBUTTON | BS_ICON | BS_FLAT, 24, 8, 40, 40);
    settings_picture_ = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_BTNCONFIG), IMAGE_ICON, 20, 20, 0));
    SendMessageW(btnConfig, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(settings_picture_));
    lblStatus = child(pnlPri, L"STATIC", L"Status:", 0, 88, 16, 60, 16);
    lblProgresso = child(pnlPri, L"STATIC", L"Aguardando o início da importação", 0, 88, 34, 204, 60);
    memotmp = child(window_, L"EDIT", L"", ES_MULTILINE | ES_AUTOVSCROLL | WS_BORDER, 24, 136, 465, 73);
    for (HWND control : {pnlPri, btnConfig, lblStatus, lblProgresso, memotmp})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

void TfrmPrincipal::build_tray_menu()
{
    PopupMenu1 = CreatePopupMenu();
    AppendMenuW(PopupMenu1, MF_STRING, restaura, L"Restaurar programa - Leitura de balança");
    AppendMenuW(PopupMenu1, MF_SEPARATOR, 0, nullptr);  // N1
    AppendMenuW(PopupMenu1, MF_STRING, sair, L"Sair do sistema");
}

void TfrmPrincipal::attach(Tger_API& ger_API, TdtmApi& dtmApi)
{
    run_ = std::make_unique<ImportRun>(ger_API, dtmApi, *this);
}

void TfrmPrincipal::FormCreate()
{
    disarm_timer();
    icon_ = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
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
    trayIconData.hIcon = icon_;
    const std::u16string tip = tray_tip_text(application_title());
    std::copy(tip.begin(), tip.end(), trayIconData.szTip);
    trayIconData.szTip[tip.size()] = L'\0';
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

void TfrmPrincipal::show_progress(const std::u16string& text)
{
    SetWindowTextW(lblProgresso, wide(text));
    // Painted now, or the page being read would never be seen: the run
    // blocks until its next dispatch. Painting serves no user input.
    if (IsWindowVisible(window_)) UpdateWindow(lblProgresso);
}

void TfrmPrincipal::show_outcome(const std::u16string& text)
{
    SetWindowTextW(memotmp, wide(text));
    show_progress(text);
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
    const std::u16string text = error_box_text(message);
    MessageBoxW(window_, wide(text), wide(application_title()), MB_OK | MB_ICONERROR);
}

void TfrmPrincipal::FormActivate()
{
    if (run_ && run_->request_file_exists()) arm_timer();
}

void TfrmPrincipal::timerImportTimer()
{
    disarm_timer();
    if (!run_) return;
    switch (run_->timerImportTimer()) {
    case ImportRun::Ending::quit: sairClick(); break;
    case ImportRun::Ending::failure_shown: stay_after_failure(); break;
    case ImportRun::Ending::tick_dropped: break;
    }
}

void TfrmPrincipal::sairClick()
{
    dispatch_messages();
    PostQuitMessage(0);
}

// The process stays, hidden, until the user quits it from the tray menu.
void TfrmPrincipal::stay_after_failure()
{
    disarm_timer();
    // Nobody can quit a hidden process without an icon: end it here.
    if (!tray_icon_added_) PostQuitMessage(1);
}

#pragma once

#include "sync/run_texts.h"
#include "sync/shell_controller.h"
#include "sync/status_window_layout.h"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <string>

// The main form on Windows: a hidden window whose only presence is the
// notification-area icon and its menu. It draws what its controller asks and
// passes its timer's ticks and the user's choices on.
class TfrmPrincipal : public ShellView {
public:
    // The icon's messages: WM_USER + 1.
    static constexpr UINT Wm_iconTray = WM_USER + 1;

    TfrmPrincipal();
    ~TfrmPrincipal() override;
    TfrmPrincipal(const TfrmPrincipal&) = delete;
    TfrmPrincipal& operator=(const TfrmPrincipal&) = delete;

    HWND handle() const { return window_; }

    HWND pnlPri = nullptr;
    HWND btnConfig = nullptr;
    HWND lblStatus = nullptr;
    HWND memotmp = nullptr;
    // Under lblStatus: what the run is doing, in the user's words.
    HWND lblProgresso = nullptr;
    // The products skipped, the most recent ones; shown once there is one.
    HWND lblIgnorados = nullptr;
    HWND lstIgnorados = nullptr;
    HMENU PopupMenu1 = nullptr;
    NOTIFYICONDATAW trayIconData{};

    void FormCreate();
    void timerImportTimer();
    void sairClick();
    void restauraClick();

    void show_progress(const RunProgress& progress) override;
    void show_skipped(const SkippedProduct& product) override;
    void show_outcome(const RunEnd& end) override;
    void dispatch_messages() override;
    void show_failure_box(const std::u16string& message) override;
    void arm_timer() override;
    void disarm_timer() override;
    void raise_end_notice(const EndNotice& notice) override;
    void leave_message_loop(int exit_code) override;

private:
    static LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    void FormActivate();
    void build_status_window();
    void lay_out_for_dpi();
    int scaled(int pixels_at_96_dpi) const;
    void place(HWND control, const ControlPlace& at_96_dpi) const;
    SIZE frame_for_client(const WindowSize& at_96_dpi) const;
    static int system_dpi();
    void build_tray_menu();
    void add_tray_icon();
    void open_tray_menu();
    void show_run_text(const std::u16string& text);
    void paint_now();
    void grow_for_skip_list();
    void widen_skip_list_for(const std::u16string& line);

    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HICON icon_ = nullptr;
    HICON small_icon_ = nullptr;  // loaded at its size: ours to destroy, unlike icon_
    int dpi_ = 96;
    HICON settings_picture_ = nullptr;
    bool tray_icon_added_ = false;
    bool shown_before_ = false;
    bool skip_list_shown_ = false;
};

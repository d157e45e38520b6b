#pragma once

#include "sync/import_run.h"
#include "sync/run_texts.h"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>

class TdtmApi;
class Tger_API;

// The main form on Windows: a hidden window whose only presence is the
// notification-area icon and its menu; its timer starts the one-shot import
// run, and it is the shell the run asks for what only a desktop can do.
class TfrmPrincipal : public ImportShell {
public:
    // The icon's messages: WM_USER + 1.
    static constexpr UINT Wm_iconTray = WM_USER + 1;

    TfrmPrincipal();
    ~TfrmPrincipal() override;
    TfrmPrincipal(const TfrmPrincipal&) = delete;
    TfrmPrincipal& operator=(const TfrmPrincipal&) = delete;

    // The other two long-lived objects exist only after the form; the run
    // needs them by the first tick.
    void attach(Tger_API& ger_API, TdtmApi& dtmApi);

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

private:
    static LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    void FormActivate();
    void build_status_window();
    void lay_out_for_dpi();
    int scaled(int pixels_at_96_dpi) const;
    SIZE frame_for_client(int width_at_96_dpi, int height_at_96_dpi) const;
    static int system_dpi();
    void build_tray_menu();
    void add_tray_icon();
    void open_tray_menu();
    void end_after_failure();
    void show_run_text(const std::u16string& text);
    void paint_now();
    void grow_for_skip_list();
    void widen_skip_list_for(const std::u16string& line);
    void raise_end_notice();
    void arm_timer();
    void disarm_timer();

    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HICON icon_ = nullptr;
    HICON small_icon_ = nullptr;  // loaded at its size: ours to destroy, unlike icon_
    int dpi_ = 96;
    HICON settings_picture_ = nullptr;
    bool tray_icon_added_ = false;
    bool shown_before_ = false;
    bool skip_list_shown_ = false;
    std::unique_ptr<ImportRun> run_;
    std::optional<EndNotice> pending_notice_;  // the run's, until the process ends
};

#pragma once

#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include "sync/run_texts.h"
#include "sync/shell_controller.h"

#include <string>

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QToolButton;

// The main form: hidden at start, shown in the notification area as an icon
// with a menu. It draws what its controller asks and passes its timer's
// ticks and the user's choices on.
class TfrmPrincipal : public QWidget, public ShellView {
    Q_OBJECT

public:
    explicit TfrmPrincipal(QWidget* parent = nullptr);

    QTimer timerImport;
    QFrame* pnlPri = nullptr;
    QToolButton* btnConfig = nullptr;
    QLabel* lblStatus = nullptr;
    QPlainTextEdit* memotmp = nullptr;
    // Under lblStatus: what the run is doing, in the user's words.
    QLabel* lblProgresso = nullptr;
    // The products skipped, the most recent ones; shown once there is one.
    QLabel* lblIgnorados = nullptr;
    QListWidget* lstIgnorados = nullptr;

    // The notification-area icon; added once, never changed.
    QSystemTrayIcon* trayIconData = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* restaura = nullptr;
    QAction* N1 = nullptr;
    QAction* sair = nullptr;

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

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormActivate();
    void build_status_window();
    void build_tray_menu();
    void add_tray_icon();
    void on_tray_icon(QSystemTrayIcon::ActivationReason reason);
    void open_tray_menu();
    void show_run_text(const QString& text);
    void grow_for_skip_list();
};

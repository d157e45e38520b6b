#pragma once

#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include "sync/import_run.h"
#include "sync/run_texts.h"

#include <memory>
#include <optional>
#include <string>

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QToolButton;
class TdtmApi;
class Tger_API;

// The main form: hidden at start, shown in the notification area as an icon
// with a menu; its timer starts the one-shot import run, and it is the shell
// the run asks for what only a desktop can do.
class TfrmPrincipal : public QWidget, public ImportShell {
    Q_OBJECT

public:
    explicit TfrmPrincipal(QWidget* parent = nullptr);

    // The other two long-lived objects exist only after the form; the run
    // needs them by the first tick.
    void attach(Tger_API& ger_API, TdtmApi& dtmApi);
    // The run the timer starts; tests point its files elsewhere.
    ImportRun* run() { return run_.get(); }

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
    void end_after_failure();
    void show_run_text(const QString& text);
    void grow_for_skip_list();
    void raise_end_notice();

    std::unique_ptr<ImportRun> run_;
    std::optional<EndNotice> pending_notice_;  // the run's, until the process ends
};

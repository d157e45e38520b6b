#include "app/ufrmPrincipal.h"

#include "app/application_title.h"
#include "app/message_box.h"
#include "app/tray_presence.h"
#include "sync/run_texts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QToolButton>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// A second, as the back office expects. Tests that must act before the
// tick set IMPORTADOR_TICK_MS to hold it back, instead of racing a second.
int tick_interval_ms()
{
    int interval = 1000;
    if (const char* configured = std::getenv("IMPORTADOR_TICK_MS"))
        std::from_chars(configured, configured + std::strlen(configured), interval);
    return interval;
}

}  // namespace

TfrmPrincipal::TfrmPrincipal(QWidget* parent) : QWidget(parent)
{
    // Only the form decides when the program ends: neither the error box nor
    // the menu closing may take it down.
    QApplication::setQuitOnLastWindowClosed(false);
    build_status_window();
    build_tray_menu();
    timerImport.setInterval(tick_interval_ms());
    connect(&timerImport, &QTimer::timeout, this, &TfrmPrincipal::timerImportTimer);
    FormCreate();
}

void TfrmPrincipal::build_status_window()
{
    setWindowTitle(QStringLiteral("Leitura de balanca"));
    if (QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) setFont(QFont(QStringLiteral("Tahoma"), 8));
    pnlPri = new QFrame(this);
    btnConfig = new QToolButton(pnlPri);
    btnConfig->setGeometry(24, 8, 40, 40);
    btnConfig->setIcon(settings_picture());
    btnConfig->setIconSize(QSize(20, 20));
    btnConfig->setAutoRaise(true);
    lblStatus = new QLabel(QStringLiteral("Status:"), pnlPri);
    lblStatus->move(88, 16);
    lblProgresso = new QLabel(QStringLiteral("Aguardando o início da importação"), pnlPri);
    lblProgresso->setGeometry(88, 34, 204, 60);
    lblProgresso->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblProgresso->setWordWrap(true);
    memotmp = new QPlainTextEdit(this);
    memotmp->setGeometry(24, 136, 465, 73);
    lblIgnorados = new QLabel(QStringLiteral("Produtos ignorados (detalhes em ConfigImporta.log):"), this);
    lblIgnorados->setGeometry(24, 104, 465, 16);
    lstIgnorados = new QListWidget(this);
    lstIgnorados->setGeometry(24, 122, 465, 130);
    lblIgnorados->hide();
    lstIgnorados->hide();
}

void TfrmPrincipal::build_tray_menu()
{
    PopupMenu1 = new QMenu(this);
    restaura = PopupMenu1->addAction(QStringLiteral("Restaurar programa - Leitura de balança"));
    N1 = PopupMenu1->addSeparator();
    sair = PopupMenu1->addAction(QStringLiteral("Sair do sistema"));
    connect(restaura, &QAction::triggered, this, &TfrmPrincipal::restauraClick);
    connect(sair, &QAction::triggered, this, &TfrmPrincipal::sairClick);
}

void TfrmPrincipal::attach(Tger_API& ger_API, TdtmApi& dtmApi)
{
    run_ = std::make_unique<ImportRun>(ger_API, dtmApi, *this);
}

void TfrmPrincipal::FormCreate()
{
    resize(300, 100);
    pnlPri->setGeometry(rect());
    timerImport.stop();
    setWindowIcon(main_icon());
    add_tray_icon();
    // The window stays hidden: nothing calls show() until the user asks.
    timerImport.start();
}

void TfrmPrincipal::add_tray_icon()
{
    trayIconData = new QSystemTrayIcon(main_icon(), this);
    trayIconData->setToolTip(tray_tip_text(application_title()));
    connect(trayIconData, &QSystemTrayIcon::activated, this, &TfrmPrincipal::on_tray_icon);
    // Without a tray host there is no icon and the run goes on regardless.
    if (QSystemTrayIcon::isSystemTrayAvailable()) trayIconData->show();
}

void TfrmPrincipal::on_tray_icon(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick: restauraClick(); break;
    case QSystemTrayIcon::Context: open_tray_menu(); break;
    default: break;
    }
}

void TfrmPrincipal::open_tray_menu()
{
    if (isVisible()) {
        raise();
        activateWindow();
    }
    // Returns when the menu closes; a run in progress waits until then.
    PopupMenu1->exec(QCursor::pos());
}

void TfrmPrincipal::restauraClick()
{
    // Centred on the first show only; after that the window stays where the
    // user put it.
    if (!testAttribute(Qt::WA_Moved)) {
        QRect frame(QPoint(), frameGeometry().size());
        frame.moveCenter(screen()->availableGeometry().center());
        move(frame.topLeft());
    }
    showNormal();
    raise();
    activateWindow();
}

void TfrmPrincipal::show_progress(const RunProgress& progress)
{
    const QString text = QString::fromStdU16String(progress_text(progress));
    show_run_text(text);
    trayIconData->setToolTip(
        QString::fromStdU16String(tray_tip_with_progress(application_title().toStdU16String(), text.toStdU16String())));
}

void TfrmPrincipal::show_run_text(const QString& text)
{
    lblProgresso->setText(text);
    // Painted now, or the page being read would never be seen: the run
    // blocks until its next dispatch. Painting serves no user input.
    if (lblProgresso->isVisible()) lblProgresso->repaint();
}

void TfrmPrincipal::show_skipped(const SkippedProduct& product)
{
    if (lstIgnorados->isHidden()) grow_for_skip_list();
    lstIgnorados->addItem(QString::fromStdU16String(skipped_text(product)));
    while (static_cast<std::size_t>(lstIgnorados->count()) > shown_skips_capacity) delete lstIgnorados->takeItem(0);
    lstIgnorados->scrollToBottom();
    if (lstIgnorados->isVisible()) lstIgnorados->repaint();
}

// The list takes the memo's place, which the small window never showed;
// a window on screen keeps its centre where it was.
void TfrmPrincipal::grow_for_skip_list()
{
    const QPoint centre = frameGeometry().center();
    memotmp->hide();
    lblIgnorados->show();
    lstIgnorados->show();
    lblProgresso->setGeometry(88, 34, 401, 60);
    resize(513, 270);
    if (isVisible()) {
        QRect frame(QPoint(), frameGeometry().size());
        frame.moveCenter(centre);
        move(frame.topLeft());
    }
}

void TfrmPrincipal::show_outcome(const RunEnd& end)
{
    const QString text = QString::fromStdU16String(end.outcome);
    memotmp->clear();
    memotmp->setPlainText(text);
    show_run_text(text);
    pending_notice_ = end_notice(end);
}

// Raised as the process ends and left to the desktop: nobody is waited for.
// A run whose result could not be written shows its box instead.
void TfrmPrincipal::raise_end_notice()
{
    const auto notice = std::exchange(pending_notice_, std::nullopt);
    if (!notice || !trayIconData->isVisible()) return;
    trayIconData->showMessage(QString::fromStdU16String(notice->title), QString::fromStdU16String(notice->text),
                              notice->failed ? QSystemTrayIcon::Critical : QSystemTrayIcon::Warning);
}

void TfrmPrincipal::dispatch_messages()
{
    QCoreApplication::processEvents();
}

void TfrmPrincipal::show_failure_box(const std::u16string& message)
{
    show_error_box(application_title(), error_box_text(QString::fromStdU16String(message)));
}

void TfrmPrincipal::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    pnlPri->setGeometry(rect());
}

// The close button ends the program at once, pending messages undispatched;
// a run in progress still finishes first, since the loop is left only when
// control returns to it.
void TfrmPrincipal::closeEvent(QCloseEvent* event)
{
    event->accept();
    QCoreApplication::exit(0);
}

void TfrmPrincipal::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TfrmPrincipal::FormActivate()
{
    if (run_ && run_->request_file_exists()) timerImport.start();
}

void TfrmPrincipal::timerImportTimer()
{
    timerImport.stop();
    if (!run_) return;
    switch (run_->timerImportTimer()) {
    case ImportRun::Ending::quit:
        raise_end_notice();
        sairClick();
        break;
    case ImportRun::Ending::failure_shown: end_after_failure(); break;
    case ImportRun::Ending::tick_dropped: break;
    }
}

void TfrmPrincipal::sairClick()
{
    QCoreApplication::processEvents();
    QCoreApplication::exit(0);
}

// Whether the box was closed or closed itself, nothing is left to do: the
// process ends, so that no hidden process stays behind on an unattended PC.
void TfrmPrincipal::end_after_failure()
{
    timerImport.stop();
    QCoreApplication::exit(1);
}

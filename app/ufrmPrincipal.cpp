#include "app/ufrmPrincipal.h"

#include "app/application_title.h"
#include "app/message_box.h"
#include "app/tray_presence.h"
#include "sync/run_texts.h"
#include "sync/status_window_layout.h"
#include "util/shell_texts.h"

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

QRect rectangle_of(const ControlPlace& place)
{
    return QRect(place.left, place.top, place.width, place.height);
}

QSize size_of(const WindowSize& size)
{
    return QSize(size.width, size.height);
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

// Qt's own pixels follow the screen's scale: the table's are used as they are.
void TfrmPrincipal::build_status_window()
{
    const auto& layout = status_window_layout;
    setWindowTitle(QString::fromUtf16(window_caption));
    const auto font_face = QString::fromUtf16(layout.font_face);
    if (QFontDatabase::hasFamily(font_face)) setFont(QFont(font_face, layout.font_points));
    pnlPri = new QFrame(this);
    btnConfig = new QToolButton(pnlPri);
    btnConfig->setGeometry(rectangle_of(layout.config_button));
    btnConfig->setIcon(settings_picture());
    btnConfig->setIconSize(QSize(layout.config_picture, layout.config_picture));
    btnConfig->setAutoRaise(true);
    lblStatus = new QLabel(QString::fromUtf16(status_caption), pnlPri);
    // Qt's label keeps its own size; only where it starts is shared.
    lblStatus->move(layout.status_label.left, layout.status_label.top);
    lblProgresso = new QLabel(QString::fromUtf16(waiting_caption), pnlPri);
    lblProgresso->setGeometry(rectangle_of(layout.progress_label));
    lblProgresso->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblProgresso->setWordWrap(true);
    memotmp = new QPlainTextEdit(this);
    memotmp->setGeometry(rectangle_of(layout.memo));
    lblIgnorados = new QLabel(QString::fromUtf16(skip_list_caption), this);
    lblIgnorados->setGeometry(rectangle_of(layout.skip_caption));
    lstIgnorados = new QListWidget(this);
    lstIgnorados->setGeometry(rectangle_of(layout.skip_list));
    lblIgnorados->hide();
    lstIgnorados->hide();
}

void TfrmPrincipal::build_tray_menu()
{
    PopupMenu1 = new QMenu(this);
    restaura = PopupMenu1->addAction(QString::fromUtf16(restore_menu_caption));
    N1 = PopupMenu1->addSeparator();
    sair = PopupMenu1->addAction(QString::fromUtf16(quit_menu_caption));
    connect(restaura, &QAction::triggered, this, &TfrmPrincipal::restauraClick);
    connect(sair, &QAction::triggered, this, &TfrmPrincipal::sairClick);
}

void TfrmPrincipal::FormCreate()
{
    resize(size_of(status_window_layout.window));
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
    lblProgresso->setGeometry(rectangle_of(status_window_layout.grown_progress_label));
    resize(size_of(status_window_layout.grown_window));
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
}

void TfrmPrincipal::raise_end_notice(const EndNotice& notice)
{
    if (!trayIconData->isVisible()) return;
    trayIconData->showMessage(QString::fromStdU16String(notice.title), QString::fromStdU16String(notice.text),
                              notice.failed ? QSystemTrayIcon::Critical : QSystemTrayIcon::Warning);
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

void TfrmPrincipal::arm_timer()
{
    timerImport.start();
}

void TfrmPrincipal::disarm_timer()
{
    timerImport.stop();
}

void TfrmPrincipal::leave_message_loop(int exit_code)
{
    QCoreApplication::exit(exit_code);
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

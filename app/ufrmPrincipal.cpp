#include "app/ufrmPrincipal.h"

#include "api/uGer_API.h"
#include "app/application_title.h"
#include "app/message_box.h"
#include "app/tray_presence.h"
#include "db/uDtmApi.h"
#include "util/ansi_codepage.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"
#include "util/request_file.h"
#include "util/result_file.h"
#include "util/utf.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QToolButton>

#include <filesystem>
#include <system_error>

namespace {

constexpr char16_t request_file_name[] = u"ConfigImporta.ini";
constexpr char16_t result_file_name[] = u"ConfigImporta.ret";
constexpr char16_t no_request_file_text[] = u"Erro abrir arquivo de configuracao ConfigImporta.ini";
constexpr char16_t run_failure_prefix[] = u"Erro de conexao com banco de dados Local...";

// Asked afresh at each use, as the executable's directory could be renamed.
std::filesystem::path beside_executable(std::u16string_view file_name)
{
    return std::filesystem::path(utf16_to_utf8(ObjKelvo.Path_Do_Executavel() + std::u16string(file_name)));
}

bool request_file_exists()
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(beside_executable(request_file_name), ignored);
}

}  // namespace

TfrmPrincipal::TfrmPrincipal(QWidget* parent) : QWidget(parent)
{
    // Only the form decides when the program ends: neither the error box nor
    // the menu closing may take it down.
    QApplication::setQuitOnLastWindowClosed(false);
    build_status_window();
    build_tray_menu();
    timerImport.setInterval(1000);
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
    ger_API_ = &ger_API;
    dtmApi_ = &dtmApi;
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

void TfrmPrincipal::show_progress(const std::u16string& text)
{
    lblProgresso->setText(QString::fromStdU16String(text));
    // Painted now, or the page being read would never be seen: the run
    // blocks until its next dispatch. Painting serves no user input.
    if (lblProgresso->isVisible()) lblProgresso->repaint();
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
    if (request_file_exists()) timerImport.start();
}

void TfrmPrincipal::timerImportTimer()
{
    // A timer re-armed while the run dispatches messages (or while its error
    // box is open) must not nest a run: the tick is dropped.
    if (run_in_progress_) {
        timerImport.stop();
        return;
    }
    run_in_progress_ = true;
    timerImport.stop();
    try {
        if (!request_file_exists()) {
            SaveRetorno(no_request_file_text);
        } else {
            LoadConfig();
            run_protected_import();
        }
    } catch (const std::exception& failure) {
        report_escaping_failure(message_of(failure));
        run_in_progress_ = false;
        return;
    }
    run_in_progress_ = false;
    sairClick();
}

void TfrmPrincipal::run_protected_import()
{
    try {
        dtmApi_->dtmConectVardex(true);
        SaveRetorno(ger_API_->AtualizarPrecos_API_Quintara(u"TODOS"));
    } catch (const std::exception& failure) {
        SaveRetorno(run_failure_prefix + message_of(failure));
    }
    dtmApi_->dtmConectVardex(false);
}

void TfrmPrincipal::LoadConfig()
{
    const auto file = beside_executable(request_file_name);
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(file, ignored)) return;

    auto read_string = [&file](std::u16string_view qualIn, std::u16string_view /*tipoRet*/) {
        return read_profile_string(file, u"CONF", qualIn);
    };
    token_quintara = read_string(u"token_quintara", u"A");
    pathBancoDados = read_string(u"pathBancoDados", u"A");
    regPorTrafego = read_string(u"Reg_por_trafego", u"A");
    std::filesystem::remove(file, ignored);

    dtmApi_->pathBancoVardex = pathBancoDados;
    ger_API_->token_de_acesso = token_quintara;
    ger_API_->regPorTrafego = regPorTrafego;
}

void TfrmPrincipal::SaveRetorno(const std::u16string& TextIn)
{
    memotmp->clear();
    memotmp->setPlainText(QString::fromStdU16String(TextIn));
    show_progress(TextIn);
    // The memo only shows the text; the file gets TextIn itself so that line
    // breaks inside a failure message are written as they are.
    write_result_file(beside_executable(result_file_name), TextIn, AnsiCodePage::system());
}

void TfrmPrincipal::sairClick()
{
    QCoreApplication::processEvents();
    QCoreApplication::exit(0);
}

void TfrmPrincipal::report_escaping_failure(const std::u16string& message)
{
    show_error_box(application_title(), error_box_text(QString::fromStdU16String(message)));
    timerImport.stop();
    // Nobody can quit a hidden process without a desktop or without an icon:
    // end it here.
    if (running_headless() || !trayIconData->isVisible()) QCoreApplication::exit(1);
}

#include "app/ufrmPrincipal.h"

#include "api/uGer_API.h"
#include "app/application_title.h"
#include "app/message_box.h"
#include "db/uDtmApi.h"
#include "util/ansi_codepage.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"
#include "util/request_file.h"
#include "util/result_file.h"
#include "util/utf.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>

#include <filesystem>
#include <system_error>

namespace {

constexpr char16_t request_file_name[] = u"ConfigImporta.ini";
constexpr char16_t result_file_name[] = u"ConfigImporta.ret";
constexpr char16_t no_request_file_text[] = u"Erro abrir arquivo de configuracao ConfigImporta.ini";
constexpr char16_t run_failure_prefix[] = u"Erro de conexao com banco de dados Local...";

// Asked afresh at each use, as the executable's directory could be renamed.
std::filesystem::path beside_executable(std::u16string_view file_name) {
    return std::filesystem::path(utf16_to_utf8(ObjKelvo.Path_Do_Executavel() + std::u16string(file_name)));
}

bool request_file_exists() {
    std::error_code ignored;
    return std::filesystem::is_regular_file(beside_executable(request_file_name), ignored);
}

std::u16string message_of(const std::exception& failure) {
    if (const auto* error = dynamic_cast<const Error*>(&failure)) return error->message();
    return utf8_to_utf16(failure.what());
}

}  // namespace

TfrmPrincipal::TfrmPrincipal(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Leitura de balanca"));
    pnlPri = new QFrame(this);
    btnConfig = new QToolButton(pnlPri);
    btnConfig->setGeometry(24, 8, 40, 40);
    lblStatus = new QLabel(QStringLiteral("Status:"), pnlPri);
    lblStatus->move(88, 16);
    memotmp = new QPlainTextEdit(this);
    memotmp->setGeometry(24, 136, 465, 73);
    timerImport.setInterval(1000);
    connect(&timerImport, &QTimer::timeout, this, &TfrmPrincipal::timerImportTimer);
    FormCreate();
}

void TfrmPrincipal::attach(Tger_API& ger_API, TdtmApi& dtmApi) {
    ger_API_ = &ger_API;
    dtmApi_ = &dtmApi;
}

void TfrmPrincipal::FormCreate() {
    resize(300, 100);
    pnlPri->setGeometry(rect());
    timerImport.stop();
    // The window stays hidden: nothing calls show() until the user asks.
    timerImport.start();
}

void TfrmPrincipal::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TfrmPrincipal::FormActivate() {
    if (request_file_exists()) timerImport.start();
}

void TfrmPrincipal::timerImportTimer() {
    // A timer re-armed while the run dispatches messages must not nest a run.
    if (run_in_progress_) return;
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
        run_in_progress_ = false;
        report_escaping_failure(message_of(failure));
        return;
    }
    run_in_progress_ = false;
    sairClick();
}

void TfrmPrincipal::run_protected_import() {
    try {
        dtmApi_->dtmConectVardex(true);
        SaveRetorno(ger_API_->AtualizarPrecos_API_Quintara(u"TODOS"));
    } catch (const std::exception& failure) {
        SaveRetorno(run_failure_prefix + message_of(failure));
    }
    dtmApi_->dtmConectVardex(false);
}

void TfrmPrincipal::LoadConfig() {
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

void TfrmPrincipal::SaveRetorno(const std::u16string& TextIn) {
    memotmp->clear();
    memotmp->setPlainText(QString::fromStdU16String(TextIn));
    // The memo only shows the text; the file gets TextIn itself so that line
    // breaks inside a failure message are written as they are.
    write_result_file(beside_executable(result_file_name), TextIn, AnsiCodePage::system());
}

void TfrmPrincipal::sairClick() {
    QCoreApplication::processEvents();
    QCoreApplication::exit(0);
}

void TfrmPrincipal::report_escaping_failure(const std::u16string& message) {
    show_error_box(application_title(), error_box_text(QString::fromStdU16String(message)));
    // Nobody can quit a hidden process without a desktop: end it here.
    if (running_headless()) QCoreApplication::exit(1);
}

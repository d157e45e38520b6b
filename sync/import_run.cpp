#include "sync/import_run.h"

#include "api/uGer_API.h"
#include "db/uDtmApi.h"
#include "sync/product_import.h"
#include "util/ansi_codepage.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"
#include "util/request_file.h"
#include "util/result_file.h"

#include <filesystem>
#include <system_error>

namespace {

constexpr char16_t request_file_name[] = u"ConfigImporta.ini";
constexpr char16_t result_file_name[] = u"ConfigImporta.ret";
constexpr char16_t no_request_file_text[] = u"Erro abrir arquivo de configuracao ConfigImporta.ini";
constexpr char16_t run_failure_prefix[] = u"Erro de conexao com banco de dados Local...";

// Straight from UTF-16, so that Windows gets the wide path itself.
std::filesystem::path path_of(const std::u16string& file)
{
    return std::filesystem::path(file);
}

// Lets the shell serve its messages while the run trims memory, and only
// while this run lasts.
class MessageDispatchDuringRun {
public:
    explicit MessageDispatchDuringRun(ImportShell& shell)
    {
        Funcoes_da_Kelvo::set_message_dispatcher([&shell] { shell.dispatch_messages(); });
    }
    ~MessageDispatchDuringRun() { Funcoes_da_Kelvo::set_message_dispatcher({}); }
    MessageDispatchDuringRun(const MessageDispatchDuringRun&) = delete;
    MessageDispatchDuringRun& operator=(const MessageDispatchDuringRun&) = delete;
};

}  // namespace

ImportRun::ImportRun(Tger_API& ger_API, TdtmApi& dtmApi, ImportShell& shell)
    : directory(&Funcoes_da_Kelvo::Path_Do_Executavel), ger_API_(ger_API), dtmApi_(dtmApi), shell_(shell)
{
}

std::u16string ImportRun::file_path(std::u16string_view file_name) const
{
    return directory() + std::u16string(file_name);
}

bool ImportRun::request_file_exists() const
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(path_of(file_path(request_file_name)), ignored);
}

ImportRun::Ending ImportRun::timerImportTimer()
{
    // A tick that comes while the run dispatches messages, or while its
    // failure box is open, must not nest a second run.
    if (run_in_progress_) return Ending::tick_dropped;
    run_in_progress_ = true;
    struct InProgress {
        bool& flag;
        ~InProgress() { flag = false; }
    } in_progress{run_in_progress_};

    try {
        if (!request_file_exists()) {
            SaveRetorno(no_request_file_text);
        } else {
            LoadConfig();
            run_protected_import();
        }
    } catch (const std::exception& failure) {
        shell_.show_failure_box(message_of(failure));
        return Ending::failure_shown;
    }
    return Ending::quit;
}

void ImportRun::run_protected_import()
{
    try {
        dtmApi_.dtmConectVardex(true);
        MessageDispatchDuringRun dispatch(shell_);
        ProductImport import(ger_API_, dtmApi_, [this](const std::u16string& text) { shell_.show_progress(text); });
        SaveRetorno(import.AtualizarPrecos_API_Quintara(u"TODOS"));
    } catch (const std::exception& failure) {
        SaveRetorno(run_failure_prefix + message_of(failure));
    }
    dtmApi_.dtmConectVardex(false);
}

void ImportRun::LoadConfig()
{
    const auto file = path_of(file_path(request_file_name));
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(file, ignored)) return;

    auto read_string = [&file](std::u16string_view qualIn, std::u16string_view /*tipoRet*/) {
        return read_profile_string(file, u"CONF", qualIn);
    };
    token_quintara = read_string(u"token_quintara", u"A");
    pathBancoDados = read_string(u"pathBancoDados", u"A");
    regPorTrafego = read_string(u"Reg_por_trafego", u"A");
    std::filesystem::remove(file, ignored);

    dtmApi_.pathBancoVardex = pathBancoDados;
    ger_API_.token_de_acesso = token_quintara;
    ger_API_.regPorTrafego = regPorTrafego;
}

void ImportRun::SaveRetorno(const std::u16string& TextIn)
{
    shell_.show_outcome(TextIn);
    // The file gets TextIn itself, so that line breaks inside a failure
    // message are written as they are.
    write_result_file(path_of(file_path(result_file_name)), TextIn, AnsiCodePage::system());
}

#include "sync/import_run.h"

#include "api/uGer_API.h"
#include "db/uDtmApi.h"
#include "sync/outcome_texts.h"
#include "sync/product_import.h"
#include "sync/run_report.h"
#include "util/ansi_codepage.h"
#include "util/error.h"
#include "util/frmfunckelvo.h"
#include "util/installation_lock.h"
#include "util/request_file.h"
#include "util/result_file.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <system_error>

namespace {

constexpr char16_t request_file_name[] = u"ConfigImporta.ini";
constexpr char16_t result_file_name[] = u"ConfigImporta.ret";
constexpr char16_t log_file_name[] = u"ConfigImporta.log";
constexpr char16_t lock_file_name[] = u"ConfigImporta.lock";

// Straight from UTF-16, so that Windows gets the wide path itself.
std::filesystem::path path_of(const std::u16string& file)
{
    return std::filesystem::path(file);
}

std::u16string another_run_in_progress_text(const std::u16string& directory)
{
    return u"Outra importação já está em andamento em " + directory + u"; nada foi feito";
}

// Printed however the run ends, an escaping failure included; it closes the
// run's block, which goes to the log whole.
class RunSummary {
public:
    RunSummary(RunReport& report, const ProductImport& import, WriteRoutes& routes)
        : report_(report), import_(import), routes_(routes)
    {
    }
    ~RunSummary()
    {
        routes_ = import_.routes();
        report_.report(summary_text(import_.counts(), std::chrono::steady_clock::now() - started_));
        report_.write_block();
    }
    RunSummary(const RunSummary&) = delete;
    RunSummary& operator=(const RunSummary&) = delete;

private:
    RunReport& report_;
    const ProductImport& import_;
    WriteRoutes& routes_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
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

// The lock (a file beside the executable) is held from reading the request
// file to writing the result and disconnecting, and no longer: a process
// left at a failure box must not stop a later start from importing.
bool ImportRun::lock_installation(std::optional<InstallationLock>& lock)
{
    const auto lock_file = path_of(file_path(lock_file_name));
    switch (InstallationLock::try_take(lock_file, lock)) {
    case InstallationLock::Outcome::held_elsewhere:
        RunReport(path_of(file_path(log_file_name)))
            .report(another_run_in_progress_text(directory()));
        return false;
    case InstallationLock::Outcome::unavailable:
        RunReport().report(u"Não foi possível travar " + file_path(lock_file_name) +
                           u"; a importação segue sem essa proteção");
        break;
    case InstallationLock::Outcome::taken:
        // No other run can be writing the result now: what is left of a
        // temporary result was left by a run that was killed.
        remove_stale_temporary_files(path_of(file_path(result_file_name)));
        break;
    }
    return true;
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

    const auto escaped = run_once();
    if (!escaped) return Ending::quit;
    // The run's block is in the log and the installation free by now: the
    // box may wait for a minute, and another run may start meanwhile.
    shell_.show_failure_box(*escaped);
    return Ending::failure_shown;
}

std::optional<std::u16string> ImportRun::run_once()
{
    std::optional<InstallationLock> installation_lock;
    if (!lock_installation(installation_lock)) return std::nullopt;

    report_ = RunReport(path_of(file_path(log_file_name)));
    report_.log(u"== Importação iniciada em " + local_time_text());
    ProductImport import(ger_API_, dtmApi_, report_, shell_);
    const RunSummary summary(report_, import, routes_);
    run_counts_ = &import.counts();
    struct CountsOfThisRun {
        const ImportCounts*& counts;
        ~CountsOfThisRun() { counts = nullptr; }
    } counts_of_this_run{run_counts_};

    try {
        if (!request_file_exists()) {
            SaveRetorno(std::u16string(no_request_file_text));
        } else {
            const RunRequest request = LoadConfig();
            report_.log(u"Banco de dados: " + request.database + u"; produtos por página: " + request.page_size);
            run_protected_import(import, request);
        }
    } catch (const std::exception& failure) {
        report_.log(message_of(failure));
        return message_of(failure);
    }
    return std::nullopt;
}

void ImportRun::run_protected_import(ProductImport& import, const RunRequest& request)
{
    std::exception_ptr escaping;
    try {
        try {
            dtmApi_.dtmConectVardex(true);
            SaveRetorno(import.AtualizarPrecos_API_Quintara(u"TODOS", request));
        } catch (const std::exception& failure) {
            SaveRetorno(run_failure_text(message_of(failure)));
        }
    } catch (...) {
        escaping = std::current_exception();
    }
    // Whatever failed, nothing may stay attached: an embedded database would
    // stay locked for as long as the process lives.
    disconnect();
    if (escaping) std::rethrow_exception(escaping);
}

// The outcome is written by now and stands; a connection that is already
// gone cannot be closed cleanly, and that is only worth a report.
void ImportRun::disconnect() noexcept
{
    try {
        dtmApi_.dtmConectVardex(false);
    } catch (const std::exception& failure) {
        report_.report(u"A desconexão do banco de dados falhou: " + message_of(failure));
    }
}

RunRequest ImportRun::LoadConfig()
{
    const auto file = path_of(file_path(request_file_name));
    RunRequest request = read_run_request(file);
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    dtmApi_.pathBancoVardex = request.database;
    ger_API_.use_request(request);
    return request;
}

void ImportRun::SaveRetorno(const std::u16string& TextIn)
{
    report_.log(u"Resultado: " + TextIn);
    shell_.show_outcome({.outcome = TextIn,
                         .imported = TextIn == ok_outcome,
                         .committed = run_counts_ ? *run_counts_ : ImportCounts{}});
    // The file gets TextIn itself, so that line breaks inside a failure
    // message are written as they are.
    write_result_file(path_of(file_path(result_file_name)), TextIn, AnsiCodePage::system());
}

void answer_start_failure(const std::u16string& directory, const std::u16string& message) noexcept
{
    try {
        RunReport report(path_of(directory + log_file_name));
        std::optional<InstallationLock> lock;
        if (InstallationLock::try_take(path_of(directory + lock_file_name), lock) ==
            InstallationLock::Outcome::held_elsewhere) {
            report.report(another_run_in_progress_text(directory));
            return;
        }
        report.log(u"== Início do importador falhou em " + local_time_text());
        report.log(u"Resultado: " + message);
        write_result_file(path_of(directory + result_file_name), message, AnsiCodePage::system());
    } catch (const std::exception& failure) {
        RunReport().report(u"O resultado não pôde ser gravado: " + message_of(failure));
    }
}

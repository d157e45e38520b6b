#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "sync/import_shell.h"
#include "sync/product_writer.h"
#include "sync/run_report.h"
#include "util/installation_lock.h"

class ProductImport;
struct RunRequest;
class TdtmApi;
class Tger_API;

// One import run, as one timer tick starts it: the request file in, the
// product import, the result file out. The shell keeps the timer and
// decides how the process ends, from what timerImportTimer returns.
class ImportRun {
public:
    enum class Ending {
        quit,  // the result file is written: the process may end
        failure_shown,  // a failure escaped and was shown; nothing else was done
        tick_dropped,  // a run (or its failure box) is already in progress
    };

    ImportRun(Tger_API& ger_API, TdtmApi& dtmApi, ImportShell& shell);
    ImportRun(const ImportRun&) = delete;
    ImportRun& operator=(const ImportRun&) = delete;

    // A tick whose installation (the folder of the request and result
    // files) has a run in progress elsewhere reports it and ends with quit,
    // leaving those files alone.
    Ending timerImportTimer();
    bool request_file_exists() const;
    // Reads the request file, which is then removed, and gives ger_API and
    // dtmApi what it asks of them.
    RunRequest LoadConfig();
    void SaveRetorno(const std::u16string& TextIn);

    // How the last run wrote its products.
    const WriteRoutes& write_routes() const { return routes_; }

    // The directory of the request and result files, with a trailing
    // separator: the executable's, asked afresh at each use, since it could
    // be renamed. Tests point it elsewhere.
    std::function<std::u16string()> directory;

private:
    bool lock_installation(std::optional<InstallationLock>& lock);
    // The message of a failure that escaped the run, once its block is
    // written and the installation released.
    std::optional<std::u16string> run_once();
    void run_protected_import(ProductImport& import, const RunRequest& request);
    void disconnect() noexcept;
    std::u16string file_path(std::u16string_view file_name) const;

    Tger_API& ger_API_;
    TdtmApi& dtmApi_;
    ImportShell& shell_;
    bool run_in_progress_ = false;
    const ImportCounts* run_counts_ = nullptr;  // the current run's, as committed
    RunReport report_;  // the current run's
    WriteRoutes routes_;  // the last run's
};

// A failure before any run could start (the database client library
// missing, say) still answers the back office, which waits for the result
// file: the failure's text goes there and into the log of `directory`,
// unless a run elsewhere holds the installation. Call it before any box.
void answer_start_failure(const std::u16string& directory, const std::u16string& message) noexcept;

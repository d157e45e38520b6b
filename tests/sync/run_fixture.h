// Shared by the whole-run tests: scripted products pages, the three
// long-lived objects of one process with a recording shell, and a fixture
// with the substitute service and a fresh database, which the run opens
// embedded or through the test program's private server.
#pragma once

#include "api/uGer_API.h"
#include "db/firebird/client_library.h"
#include "db/firebird/ib_database.h"
#include "db/firebird/ib_query.h"
#include "db/firebird/ib_transaction.h"
#include "db/uDtmApi.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_database.h"
#include "support/test_firebird_server.h"
#include "support/test_service.h"
#include "sync/import_run.h"
#include "tools/quintara_service.h"
#include "util/utf.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace run_fixture {

inline const std::string token = "segredo+/=9";
inline const std::string import_ok = "Importacao de dados Ok";
inline const std::string run_failure = "Erro de conexao com banco de dados Local...";
inline const std::string utf8_bom = "\xEF\xBB\xBF";

using Rows = std::vector<std::vector<std::string>>;

// How the run reaches the database file: the embedded engine opens it
// itself, or the private server opens it for the run.
enum class DatabaseMode { embedded, server };

inline void PrintTo(DatabaseMode mode, std::ostream* out)
{
    *out << (mode == DatabaseMode::server ? "server" : "embedded");
}

// Every field the import reads; numbers and flags are raw JSON text.
struct Product {
    int codigo;
    std::string nome = "Produto";
    std::optional<std::string> nomeDepartamento = "Mercearia";
    std::string apelidoProduto = "Apelido";
    std::string codigoBarras = "7891000100103";
    std::string referencia = "REF-1";
    std::string unidadeVenda = "UN";
    std::string unidadeBalanca = "UN";
    std::string produtoBalanca = "0";
    std::string Ativo = "1";
    std::string ncm = "22021000";
    std::string qtdEstoque = "10";
    std::string valorVenda = "9.9";
    std::optional<std::string> codigo_json = {};  // sent instead of codigo
};

inline std::string json_of(const Product& p)
{
    std::string o =
        "{\"codigo\":" + p.codigo_json.value_or(std::to_string(p.codigo)) + ",\"nome\":" + json_string(p.nome);
    o += ",\"apelidoProduto\":" + json_string(p.apelidoProduto);
    o += ",\"codigoBarras\":" + json_string(p.codigoBarras);
    o += ",\"referencia\":" + json_string(p.referencia);
    if (p.nomeDepartamento) o += ",\"nomeDepartamento\":" + json_string(*p.nomeDepartamento);
    o += ",\"unidadeVenda\":" + json_string(p.unidadeVenda);
    o += ",\"unidadeBalanca\":" + json_string(p.unidadeBalanca);
    o += ",\"produtoBalanca\":" + p.produtoBalanca + ",\"Ativo\":" + p.Ativo;
    o += ",\"ncm\":" + json_string(p.ncm);
    o += ",\"qtdEstoque\":" + p.qtdEstoque + ",\"valorVenda\":" + p.valorVenda + ",\"valorPromocao\":1}";
    return o;
}

// The row that tells the importer where the next page starts.
inline std::string control(int next_start_id)
{
    return "{\"codigo\":" + std::to_string(next_start_id) + ",\"nome\":" + json_string("Bearer " + token) +
           ",\"apelidoProduto\":\"3\"}";
}

inline ScriptedAnswer page(const std::vector<std::string>& objects)
{
    std::string body = "[";
    for (const auto& o : objects) body += (body.size() > 1 ? "," : "") + o;
    return ScriptedAnswer(200, body + "]");
}

inline ScriptedAnswer page(std::initializer_list<Product> products, std::optional<int> next_start_id)
{
    std::vector<std::string> objects;
    for (const auto& p : products) objects.push_back(json_of(p));
    if (next_start_id) objects.push_back(control(*next_start_id));
    return page(objects);
}

inline Rows utf8_rows(const std::vector<std::vector<std::u16string>>& rows)
{
    Rows out;
    for (const auto& row : rows) {
        auto& texts = out.emplace_back();
        for (const auto& cell : row) texts.push_back(utf16_to_utf8(cell));
    }
    return out;
}

// Another station's uncommitted update of one product: its row stays held
// until release().
struct StationHoldingRow {
    StationHoldingRow(const std::string& database_name, int cod_red)
        : station(ClientLibrary::load()), holding(station), update(station, holding, u"qryOutra")
    {
        station.set_params({u"user_name=SYSDBA", u"password=plumbdoor"});
        station.set_database_name(utf8_to_utf16(database_name));
        station.connect();
        holding.start();
        update.replace_text({u"update Mercadorias set nom_mer = 'Outra estacao' where cod_red = " +
                             utf8_to_utf16(std::to_string(cod_red))});
        update.execute();
    }
    void release()
    {
        holding.rollback();
        station.disconnect();
    }

    IBDatabase station;
    IBTransaction holding;
    IBQuery update;
};

// A point where one thread waits until another lets it pass: a test holds
// a fetch or a write there. A minute without it opening fails the test
// rather than hanging it.
class Gate {
public:
    void open()
    {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        opened_.notify_all();
    }
    [[nodiscard]] bool wait()
    {
        std::unique_lock lock(mutex_);
        return opened_.wait_for(lock, std::chrono::minutes(1), [this] { return open_; });
    }
    bool is_open()
    {
        std::lock_guard lock(mutex_);
        return open_;
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

// Asked by the run for what a desktop would do; keeps what it was told,
// each event also as one line of `events`, in order, and counts calls that
// came on another thread than the one that made it.
class RecordingShell : public ImportShell {
public:
    void show_progress(const RunProgress& p) override
    {
        switch (p.step) {
        case RunProgress::Step::querying_service: add_event("query " + std::to_string(p.page)); break;
        case RunProgress::Step::writing_page: add_event("write " + std::to_string(p.page)); break;
        case RunProgress::Step::page_committed:
            add_event("commit " + std::to_string(p.page) + ": " + counts_text(p.committed));
            break;
        }
    }
    void show_skipped(const SkippedProduct& product) override
    {
        skipped.push_back(product);
        add_event("skip " + utf16_to_utf8(product.codigo));
    }
    void show_outcome(const RunEnd& end) override
    {
        outcomes.push_back(end.outcome);
        add_event(std::string(end.imported ? "imported: " : "failed: ") + counts_text(end.committed));
    }
    void dispatch_messages() override
    {
        note_thread();
        ++dispatches;
        if (on_dispatch) on_dispatch();
    }
    void show_failure_box(const std::u16string& message) override
    {
        note_thread();
        failure_boxes.push_back(message);
        if (on_failure_box) on_failure_box();
    }

    // "<pages> pages, <written> written, <skipped> skipped"
    static std::string counts_text(const ImportCounts& c)
    {
        return std::to_string(c.pages) + " pages, " + std::to_string(c.inserted + c.updated) + " written, " +
               std::to_string(c.skipped) + " skipped";
    }

    std::vector<std::string> events;
    std::vector<SkippedProduct> skipped;
    std::vector<std::u16string> outcomes;
    std::vector<std::u16string> failure_boxes;
    int dispatches = 0;
    int calls_off_thread = 0;
    std::function<void()> on_dispatch;
    std::function<void()> on_failure_box;  // while the box is open
    std::function<void(const std::string& event)> on_event;  // after it is added

private:
    void add_event(std::string event)
    {
        note_thread();
        events.push_back(std::move(event));
        if (on_event) on_event(events.back());
    }
    void note_thread()
    {
        if (std::this_thread::get_id() != owner_) ++calls_off_thread;
    }

    std::thread::id owner_ = std::this_thread::get_id();
};

// The three long-lived objects of one process, with the run's files in dir
// and the service at base_url.
struct RunObjects {
    RunObjects(const std::filesystem::path& dir, const std::string& base_url)
    {
        ger_API.urlBase = utf8_to_utf16(base_url);
        if (ger_API.urlBase.back() != u'/') ger_API.urlBase += u'/';
        run.directory = [dir] { return utf8_to_utf16(dir.string()) + u"/"; };
    }

    Tger_API ger_API;
    TdtmApi dtmApi;
    RecordingShell shell;
    ImportRun run{ger_API, dtmApi, shell};
};

// What standard error received while `action` ran.
inline std::string standard_error_of(const std::function<void()>& action)
{
    ::testing::internal::CaptureStderr();
    action();
    return ::testing::internal::GetCapturedStderr();
}

class ImportRunTest {
protected:
    // The run writes the database's text and the result file in the code
    // page of its environment: UTF-8, as the rows read back here.
    static void use_utf8_locale()
    {
        setenv("LANG", "C.UTF-8", 1);
        unsetenv("LC_ALL");
        unsetenv("LC_CTYPE");
    }

    ImportRunTest() { serve_catalogue({.products = 0}); }  // only scripted pages carry products

    // A new service whose generated catalogue is `catalogue`.
    void serve_catalogue(const CatalogueOptions& catalogue)
    {
        trust.reset();
        service.reset();
        ServiceOptions options;
        options.catalogue = catalogue;
        options.expected_token = token;
        service.emplace(std::move(options));
        trust.emplace("CURL_CA_BUNDLE", service->ca_file().string());
    }

    void write_request(const std::string& page_size, const std::string& database_name)
    {
        write_file_bytes(dir / "ConfigImporta.ini", "[CONF]\r\ntoken_quintara=" + token + "\r\npathBancoDados=" +
                                                        database_name + "\r\nReg_por_trafego=" + page_size + "\r\n");
    }
    void write_request(const std::string& page_size) { write_request(page_size, database.file.string()); }

    // The test database's name in `mode`: its file, or the file on the
    // private server (started on first use). Every attachment in a test
    // must go one way: the embedded engine holds a file exclusively.
    std::string database_name(DatabaseMode mode) const
    {
        return mode == DatabaseMode::server ? firebird_server().database_name(database.file) : database.file.string();
    }

    // One process's worth of run: fresh objects, one tick.
    ImportRun::Ending run_once(std::string* standard_error = nullptr, RecordingShell* shell_seen = nullptr,
                               WriteRoutes* routes = nullptr)
    {
        RunObjects objects(dir.path(), service->base_url());
        ImportRun::Ending ending{};
        const auto err = standard_error_of([&] { ending = objects.run.timerImportTimer(); });
        if (standard_error) *standard_error = err;
        if (shell_seen) *shell_seen = objects.shell;
        if (routes) *routes = objects.run.write_routes();
        return ending;
    }

    static std::string page_path(const std::string& page_size, int start_id)
    {
        return std::string(QuintaraService::products_path) + page_size + "/TODOS/" + std::to_string(start_id);
    }

    TestDatabase database;
    TempDir dir;
    std::optional<QuintaraService> service;
    std::optional<ScopedEnvironment> trust;
    ScopedEnvironment direct{"no_proxy", "127.0.0.1,localhost"};
};

}  // namespace run_fixture

// Faults around a run: a row another station holds, a result file that
// cannot be written, a second importer, remains of a killed run, and the
// log the operator reads afterwards.
#include "sync/run_fixture.h"
#include "util/installation_lock.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace run_fixture;

int confirmations(const QuintaraService& service)
{
    int count = 0;
    for (const auto& r : service.received())
        if (r.method == "POST" && r.target == std::string("/") + QuintaraService::confirmation_path) ++count;
    return count;
}

class RunFaults : public ImportRunTest, public ::testing::Test {
protected:
    static void SetUpTestSuite() { use_utf8_locale(); }
};

// Another station's uncommitted update holds product 1: the run must not
// skip it (the page would be committed and confirmed, and the service
// would never send it again) nor wait for good.
TEST_F(RunFaults, RowHeldByAnotherStationEndsTheRunUnconfirmed)
{
    execute_statements(database.file, {u"insert into Mercadorias (cod_red, nom_mer) values (1, 'Antigo')"});
    service->script(page_path("500", 0), page({{.codigo = 2, .nome = "Novo"}, {.codigo = 1, .nome = "Atual"}}, 0));

    StationHoldingRow other_station(database.file.string(), 1);

    write_request("500");
    {
        RunObjects objects(dir.path(), service->base_url());
        objects.dtmApi.lock_timeout_seconds = 1;
        EXPECT_EQ(ImportRun::Ending::quit, objects.run.timerImportTimer());
    }
    const std::string outcome = read_file_bytes(dir / "ConfigImporta.ret");
    EXPECT_TRUE(outcome.starts_with(utf8_bom + "ERRO: a gravacao do produto 1 falhou (")) << outcome;
    EXPECT_TRUE(outcome.ends_with("); importacao interrompida")) << outcome;
    EXPECT_NE(std::string::npos, outcome.find("lock")) << outcome;
    EXPECT_EQ(0, confirmations(*service));
    other_station.release();
    // The page was rolled back: product 2 is not there, product 1 is as it was.
    EXPECT_EQ((Rows{{"1", "Antigo"}}),
              utf8_rows(read_rows(database.file, u"select cod_red, nom_mer from Mercadorias order by cod_red")));

    // Once the other station lets go, the next run brings both.
    write_request("500");
    EXPECT_EQ(ImportRun::Ending::quit, run_once());
    EXPECT_EQ(utf8_bom + import_ok, read_file_bytes(dir / "ConfigImporta.ret"));
    EXPECT_EQ((Rows{{"1", "Atual"}, {"2", "Novo"}}),
              utf8_rows(read_rows(database.file, u"select cod_red, nom_mer from Mercadorias order by cod_red")));
}

// Through the server, as a shop with several stations has it: the same
// held row, and then the server itself killed in the middle of an import.
class ServerFaults : public ImportRunTest, public ::testing::Test {
protected:
    static void SetUpTestSuite() { use_utf8_locale(); }
    std::string name() const { return database_name(DatabaseMode::server); }
};

TEST_F(ServerFaults, RowHeldByAnotherStationEndsTheRunUnconfirmed)
{
    execute_statements(name(), {u"insert into Mercadorias (cod_red, nom_mer) values (1, 'Antigo')"});
    service->script(page_path("500", 0), page({{.codigo = 2, .nome = "Novo"}, {.codigo = 1, .nome = "Atual"}}, 0));
    StationHoldingRow other_station(name(), 1);

    write_request("500", name());
    {
        RunObjects objects(dir.path(), service->base_url());
        objects.dtmApi.lock_timeout_seconds = 1;
        EXPECT_EQ(ImportRun::Ending::quit, objects.run.timerImportTimer());
    }
    const std::string outcome = read_file_bytes(dir / "ConfigImporta.ret");
    EXPECT_TRUE(outcome.starts_with(utf8_bom + "ERRO: a gravacao do produto 1 falhou (")) << outcome;
    EXPECT_EQ(0, confirmations(*service));
    other_station.release();
    EXPECT_EQ((Rows{{"1", "Antigo"}}),
              utf8_rows(read_rows(name(), u"select cod_red, nom_mer from Mercadorias order by cod_red")));
}

// The server dies after the second of five pages: a clear error and no
// hang; once it is back, the next run brings every row.
TEST_F(ServerFaults, ServerKilledMidImportThenTheNextRunCompletes)
{
    for (int page_start = 0; page_start < 5; ++page_start)
        service->script(page_path("1", page_start),
                        page({{.codigo = page_start + 1, .nome = "P" + std::to_string(page_start + 1)}},
                             page_start < 4 ? page_start + 1 : 0));
    write_request("1", name());
    std::string err;
    {
        RunObjects objects(dir.path(), service->base_url());
        int pages_done = 0;
        objects.shell.on_dispatch = [&] {
            if (++pages_done == 3) firebird_server().kill();  // before the first page, then after each
        };
        const auto started = std::chrono::steady_clock::now();
        err = standard_error_of([&] { EXPECT_EQ(ImportRun::Ending::quit, objects.run.timerImportTimer()); });
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
    }
    const std::string outcome = read_file_bytes(dir / "ConfigImporta.ret");
    EXPECT_TRUE(outcome.starts_with(utf8_bom + "ERRO: a gravacao do produto 3 falhou (")) << outcome << err;
    EXPECT_EQ(0, confirmations(*service));

    firebird_server().start();
    EXPECT_EQ((Rows{{"1"}, {"2"}}), utf8_rows(read_rows(name(), u"select cod_red from Mercadorias order by cod_red")));
    write_request("1", name());
    EXPECT_EQ(ImportRun::Ending::quit, run_once());
    EXPECT_EQ(utf8_bom + import_ok, read_file_bytes(dir / "ConfigImporta.ret"));
    EXPECT_EQ((Rows{{"1"}, {"2"}, {"3"}, {"4"}, {"5"}}),
              utf8_rows(read_rows(name(), u"select cod_red from Mercadorias order by cod_red")));
}

// The failure escapes to the box, but the database is let go first.
TEST_F(RunFaults, ResultThatCannotBeWrittenStillDisconnects)
{
    service->script(page_path("500", 0), page({{.codigo = 1}}, 0));
    write_request("500");
    std::filesystem::create_directory(dir / "ConfigImporta.ret");
    RunObjects objects(dir.path(), service->base_url());
    EXPECT_EQ(ImportRun::Ending::failure_shown, objects.run.timerImportTimer());
    EXPECT_FALSE(objects.dtmApi.dtbVardex.connected());
    EXPECT_FALSE(objects.dtmApi.ibtVardex.active());
}

// Only names of the result file's own temporary pattern go.
TEST_F(RunFaults, TemporaryResultsOfAKilledRunAreRemoved)
{
    const std::vector<std::string> stale = {".ConfigImporta.ret.4242.0.tmp", ".ConfigImporta.ret.1.17.tmp"};
    const std::vector<std::string> kept = {".ConfigImporta.ret.x.0.tmp", ".ConfigImporta.ret.4242.0.tmp.bak",
                                           "ConfigImporta.ret.4242.0.tmp", ".Outro.ret.4242.0.tmp"};
    for (const auto& name : stale) write_file_bytes(dir / name, "meio");
    for (const auto& name : kept) write_file_bytes(dir / name, "meio");
    EXPECT_EQ(ImportRun::Ending::quit, run_once());
    for (const auto& name : stale) EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
    for (const auto& name : kept) EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
}

// A second importer started while a run is in progress touches nothing,
// and says so where the operator looks.
TEST_F(RunFaults, SecondImporterLeavesTheFilesToTheRunInProgress)
{
    write_request("500");
    write_file_bytes(dir / "ConfigImporta.ret", "anterior");
    std::optional<InstallationLock> run_in_progress;
    ASSERT_EQ(InstallationLock::Outcome::taken,
              InstallationLock::try_take(dir / "ConfigImporta.lock", run_in_progress));

    std::string err;
    EXPECT_EQ(ImportRun::Ending::quit, run_once(&err));
    const std::string line = "Outra importação já está em andamento em " + dir.path().string() + "/; nada foi feito";
    EXPECT_NE(std::string::npos, err.find(line)) << err;
    EXPECT_NE(std::string::npos, read_file_bytes(dir / "ConfigImporta.log").find(line));
    EXPECT_TRUE(std::filesystem::exists(dir / "ConfigImporta.ini"));
    EXPECT_EQ("anterior", read_file_bytes(dir / "ConfigImporta.ret"));
    EXPECT_TRUE(service->received().empty());
}

// A failure box may wait a minute on an unattended PC: it may not hold back
// the next start, and the run before it has its block, summary included,
// whole in the log by then, so that the next run's block follows it.
TEST_F(RunFaults, NextStartImportsWhileAFailureBoxIsOpen)
{
    service->script(page_path("500", 0), page({{.codigo = 1}}, 0));
    write_request("500");
    std::filesystem::create_directory(dir / "ConfigImporta.ret");
    RunObjects first(dir.path(), service->base_url());
    std::optional<ImportRun::Ending> second_ending;
    std::string log_at_the_box;
    first.shell.on_failure_box = [&] {
        log_at_the_box = read_file_bytes(dir / "ConfigImporta.log");
        std::filesystem::remove(dir / "ConfigImporta.ret");
        write_request("500");
        second_ending = run_once();
    };
    EXPECT_EQ(ImportRun::Ending::failure_shown, first.run.timerImportTimer());
    EXPECT_EQ(ImportRun::Ending::quit, second_ending);
    EXPECT_EQ(utf8_bom + import_ok, read_file_bytes(dir / "ConfigImporta.ret"));
    EXPECT_EQ((Rows{{"1"}}), utf8_rows(read_rows(database.file, u"select cod_red from Mercadorias")));

    EXPECT_TRUE(log_at_the_box.starts_with("== Importação iniciada em ")) << log_at_the_box;
    EXPECT_NE(std::string::npos, log_at_the_box.find("\nResumo: ")) << log_at_the_box;
    const std::string log = read_file_bytes(dir / "ConfigImporta.log");
    EXPECT_TRUE(log.starts_with(log_at_the_box)) << log;
    EXPECT_TRUE(log.substr(log_at_the_box.size()).starts_with("== Importação iniciada em ")) << log;
}

// A start that fails before any run still leaves its answer; the request
// stays for a start that can run it.
TEST_F(RunFaults, StartFailureAnswersTheBackOffice)
{
    const std::u16string directory = utf8_to_utf16(dir.path().string()) + u"/";
    const std::u16string message = u"InterBase library libfbclient.so.2 not found in the path. "
                                   u"Please install InterBase to use this functionality";
    write_request("500");
    write_file_bytes(dir / "ConfigImporta.ret", "anterior");
    {
        std::optional<InstallationLock> run_in_progress;
        ASSERT_EQ(InstallationLock::Outcome::taken,
                  InstallationLock::try_take(dir / "ConfigImporta.lock", run_in_progress));
        standard_error_of([&] { answer_start_failure(directory, message); });
        EXPECT_EQ("anterior", read_file_bytes(dir / "ConfigImporta.ret")) << "a run in progress lost its result";
    }

    answer_start_failure(directory, message);
    EXPECT_EQ(utf8_bom + utf16_to_utf8(message), read_file_bytes(dir / "ConfigImporta.ret"));
    const std::string log = read_file_bytes(dir / "ConfigImporta.log");
    EXPECT_NE(std::string::npos, log.find("== Início do importador falhou em 20")) << log;
    EXPECT_NE(std::string::npos, log.find("Resultado: " + utf16_to_utf8(message))) << log;
    EXPECT_TRUE(std::filesystem::exists(dir / "ConfigImporta.ini"));
}

std::string log_text(const std::filesystem::path& file)
{
    return std::filesystem::exists(file) ? read_file_bytes(file) : std::string();
}

TEST_F(RunFaults, EveryRunAppendsABlockToTheLog)
{
    service->script(page_path("500", 0),
                    page({{.codigo = 1}, {.codigo = 2, .unidadeBalanca = "UNIDADE"}, {.codigo = 3}}, 0));
    write_request("500");
    EXPECT_EQ(ImportRun::Ending::quit, run_once());
    EXPECT_EQ(ImportRun::Ending::quit, run_once());  // no request file this time

    const std::string log = log_text(dir / "ConfigImporta.log");
    for (const std::string& line : {
             std::string("== Importação iniciada em 20"),
             "Banco de dados: " + database.file.string() + "; produtos por página: 500",
             std::string("Página lida (id inicial 0): 4 linhas"),
             std::string("Produto 2 ignorado: "),
             std::string("Confirmação de recebimento enviada"),
             "Resultado: " + import_ok,
             std::string("Resumo: 1 páginas, 2 produtos inseridos"),
             std::string("Resultado: Erro abrir arquivo de configuracao ConfigImporta.ini"),
             std::string("Resumo: 0 páginas"),
         })
        EXPECT_NE(std::string::npos, log.find(line)) << line << "\n" << log;
    EXPECT_EQ(std::string::npos, log.find(token)) << log;
    std::size_t blocks = 0;
    for (auto at = log.find("== Importação"); at != std::string::npos; at = log.find("== Importação", at + 1)) ++blocks;
    EXPECT_EQ(2u, blocks) << log;
}

TEST_F(RunFaults, LogPastOneMebibyteIsRotated)
{
    const std::string old_log(RunReport::rotate_at + 1, 'v');
    write_file_bytes(dir / "ConfigImporta.log", old_log);
    EXPECT_EQ(ImportRun::Ending::quit, run_once());
    EXPECT_EQ(old_log, log_text(dir / "ConfigImporta.log.1"));
    const std::string log = log_text(dir / "ConfigImporta.log");
    EXPECT_TRUE(log.starts_with("== Importação iniciada em ")) << log.substr(0, 80);
}

// A log that cannot be written changes nothing of the run.
TEST_F(RunFaults, LogThatCannotBeWrittenChangesNothing)
{
    std::filesystem::create_directory(dir / "ConfigImporta.log");
    service->script(page_path("500", 0), page({{.codigo = 1}}, 0));
    write_request("500");
    EXPECT_EQ(ImportRun::Ending::quit, run_once());
    EXPECT_EQ(utf8_bom + import_ok, read_file_bytes(dir / "ConfigImporta.ret"));
}

}  // namespace

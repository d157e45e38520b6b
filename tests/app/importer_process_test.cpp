// The importer as the back-office application sees it: a program copied
// beside a request file, started, and judged by its result file and exit code.
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_database.h"
#include "sync/run_fixture.h"
#include "tools/quintara_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <latch>
#include <sstream>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const std::string no_request_file_text = "Erro abrir arquivo de configuracao ConfigImporta.ini";
const std::string run_failure_prefix = "Erro de conexao com banco de dados Local...";

ProcessOptions headless()
{
    ProcessOptions options;
    options.env = {{"DISPLAY", std::nullopt},
                   {"WAYLAND_DISPLAY", std::nullopt},
                   {"QT_QPA_PLATFORM", std::nullopt},
                   {"LANG", "C.UTF-8"},
                   {"LC_ALL", std::nullopt}};
    options.timeout = std::chrono::seconds(30);
    return options;
}

TEST(ImportRun, WithoutRequestFileWritesItsOutcomeAfterAboutOneSecond)
{
    TempDir dir;
    const auto importer = install_importer(dir.path());
    write_file_bytes(dir / "ConfigImporta.ret", std::string(200, 'x'));  // an earlier, longer result

    auto options = headless();
    options.env["LANG"] = "C";  // plain ASCII locale: the result is written in Windows-1252
    const auto result = run_process(importer, options);

    EXPECT_EQ(0, result.exit_code) << result.err;
    EXPECT_EQ(no_request_file_text, read_file_bytes(dir / "ConfigImporta.ret"));
    EXPECT_GE(result.elapsed.count(), 900);
}

TEST(ImportRun, RequestFileIsConsumedEvenWhenTheConnectionFails)
{
    TempDir dir;
    const auto importer = install_importer(dir.path());
    write_file_bytes(dir / "ConfigImporta.ini",
                     "[CONF]\r\ntoken_quintara=abc\r\npathBancoDados=\r\nReg_por_trafego=500\r\n");

    const auto result = run_process(importer, headless());

    EXPECT_EQ(0, result.exit_code) << result.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "ConfigImporta.ini"));
    // UTF-8 locale: the result carries a byte-order mark.
    EXPECT_EQ("\xEF\xBB\xBF" + run_failure_prefix + "Database name is missing",
              read_file_bytes(dir / "ConfigImporta.ret"));
}

// Writing the result fails: without a desktop nobody could quit the process
// that the error box would leave behind, so it ends with code 1 after
// printing the box's text (a full stop appended) under the title.
TEST(ImportRun, HeadlessRunWhoseResultCannotBeWrittenEndsWithItsMessage)
{
    TempDir dir;
    const auto importer = install_importer(dir.path());
    std::filesystem::create_directory(dir / "ConfigImporta.ret");

    const auto result = run_process(importer, headless());

    EXPECT_EQ(1, result.exit_code) << result.err;
    const std::string box_line =
        "importador: Cannot write file \"" + (dir / "ConfigImporta.ret").string() + "\": Is a directory.\n";
    EXPECT_NE(std::string::npos, result.err.find(box_line)) << result.err;
}

// One whole import through the built executable, beside its request file:
// the run unit's own tests cover what an import does with the pages. Without
// a desktop, standard error gets the skips and the summary, and nothing of
// what a desktop would show.
TEST(ImportRun, ImportsTheCatalogueAndExits)
{
    TestDatabase database;
    TempDir dir;
    const auto importer = install_importer(dir.path());
    ServiceOptions service_options;
    service_options.catalogue.products = 7;
    service_options.catalogue.bad = 1;
    service_options.expected_token = "abc";
    QuintaraService service(std::move(service_options));
    write_file_bytes(dir / "ConfigImporta.ini", "[CONF]\r\ntoken_quintara=abc\r\npathBancoDados=" +
                                                    database.file.string() + "\r\nReg_por_trafego=3\r\n");

    auto options = headless();
    options.env["QUINTARA_BASE_URL"] = service.base_url();
    options.env["CURL_CA_BUNDLE"] = service.ca_file().string();
    options.env["https_proxy"] = std::nullopt;
    options.env["HTTPS_PROXY"] = std::nullopt;
    const auto result = run_process(importer, options);

    EXPECT_EQ(0, result.exit_code) << result.err;
    EXPECT_EQ("\xEF\xBB\xBFImportacao de dados Ok", read_file_bytes(dir / "ConfigImporta.ret")) << result.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "ConfigImporta.ini"));
    EXPECT_EQ((std::vector<std::vector<std::u16string>>{{u"6"}}),
              read_rows(database.file, u"select count(*) from Mercadorias"));
    const std::string skipped = "Produto " + std::to_string(service.catalogue().bad_ids().at(0)) +
                                " ignorado: arithmetic exception, numeric overflow, or string truncation\r\n"
                                "string right truncation\r\nexpected length 5, actual 7\n";
    std::string err = result.err;
    if (err.starts_with("QStandardPaths: ")) err.erase(0, err.find('\n') + 1);  // Qt's, where XDG_RUNTIME_DIR is unset
    const auto timing = err.rfind(", em ");
    ASSERT_NE(std::string::npos, timing) << err;
    EXPECT_EQ(skipped + "Resumo: 3 páginas, 6 produtos inseridos, 0 atualizados, 1 ignorados, 4 departamentos criados",
              err.substr(0, timing));
    EXPECT_EQ(err.size() - 1, err.find('\n', timing)) << err;
}

// A page that names the next start fails to write while the answer to the
// next page is held back: the importer ends with its result, and the
// answer is still held. The write can fail only once the next page is
// asked for: another station holds product 1 and commits its update then,
// which the importer's update of it conflicts with.
TEST(ImportRun, LateAnswerToThePageAheadDoesNotHoldTheEnd)
{
    using namespace run_fixture;
    TestDatabase database;
    const std::string database_name = firebird_server().database_name(database.file);
    execute_statements(database_name, {u"insert into Mercadorias (cod_red, nom_mer) values (1, 'Antigo')"});
    StationHoldingRow other_station(database_name, 1);
    TempDir dir;
    const auto importer = install_importer(dir.path());
    ServiceOptions service_options;
    service_options.expected_token = token;
    QuintaraService service(std::move(service_options));
    const std::string next_page = std::string(QuintaraService::products_path) + "1/TODOS/1";
    service.script(std::string(QuintaraService::products_path) + "1/TODOS/0", page({{.codigo = 1}}, 1));
    service.script(next_page, page({{.codigo = 2}}, 0));
    std::latch next_page_held(1), release(1);
    service.before_answer([&](const ReceivedRequest& r) {
        if (r.target != "/" + next_page) return;
        other_station.holding.commit();
        next_page_held.count_down();
        release.wait();
    });
    struct Release {
        std::latch& release;
        QuintaraService& service;
        ~Release()
        {
            release.count_down();
            service.stop();  // the hook is done with the latches
        }
    } release_at_end{release, service};
    write_file_bytes(dir / "ConfigImporta.ini", "[CONF]\r\ntoken_quintara=" + token + "\r\npathBancoDados=" +
                                                    database_name + "\r\nReg_por_trafego=1\r\n");

    auto options = headless();
    options.env["QUINTARA_BASE_URL"] = service.base_url();
    options.env["CURL_CA_BUNDLE"] = service.ca_file().string();
    options.env["no_proxy"] = "127.0.0.1";
    // Below the page's own limit of 30 s without a byte: a process that
    // waited for the held answer is killed, and fails here.
    options.timeout = std::chrono::seconds(20);
    const auto result = run_process(importer, options);

    EXPECT_TRUE(next_page_held.try_wait());
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(0, result.exit_code) << result.err;
    const std::string outcome = read_file_bytes(dir / "ConfigImporta.ret");
    EXPECT_TRUE(outcome.starts_with(utf8_bom + "ERRO: a gravacao do produto 1 falhou (")) << outcome;
    EXPECT_NE(std::string::npos, outcome.find("update conflicts with concurrent update")) << outcome;
}

// While another importer of the installation runs, a second one leaves
// its files alone and ends at once.
TEST(ImportRun, SecondImporterLeavesTheFilesToTheRunInProgress)
{
    TempDir dir;
    const auto importer = install_importer(dir.path());
    write_file_bytes(dir / "ConfigImporta.ini", "[CONF]\r\ntoken_quintara=abc\r\n");
    write_file_bytes(dir / "ConfigImporta.ret", "anterior");
    const int held = open((dir / "ConfigImporta.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_GE(held, 0);
    ASSERT_EQ(0, flock(held, LOCK_EX | LOCK_NB));

    const auto result = run_process(importer, headless());
    close(held);

    EXPECT_EQ(0, result.exit_code) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("Outra importação já está em andamento")) << result.err;
    EXPECT_NE(std::string::npos,
              read_file_bytes(dir / "ConfigImporta.log").find("Outra importação já está em andamento"));
    EXPECT_TRUE(std::filesystem::exists(dir / "ConfigImporta.ini"));
    EXPECT_EQ("anterior", read_file_bytes(dir / "ConfigImporta.ret"));
}

// The lines of the log from the one that starts with `first` to the next
// one that starts with `last`.
std::vector<std::string> block_of(const std::string& log, const std::string& first, const std::string& last)
{
    std::vector<std::string> block;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (block.empty() && !line.starts_with(first)) continue;
        block.push_back(line);
        if (line.starts_with(last)) break;
    }
    return block;
}

// Two processes of one installation write to one log: the one that finds
// the installation taken puts its line before or after the running one's
// block, never inside it.
TEST(ImportRun, OverlappingProcessesKeepEachLogBlockWhole)
{
    TestDatabase database;
    TempDir dir;
    const auto importer = install_importer(dir.path());
    ServiceOptions service_options;
    service_options.catalogue.products = 4;
    service_options.expected_token = "abc";
    QuintaraService service(std::move(service_options));
    std::promise<void> mid_run, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic_flag held;
    service.before_answer([&](const ReceivedRequest& request) {
        if (request.target.find(QuintaraService::products_path) == std::string::npos || held.test_and_set()) return;
        mid_run.set_value();
        released.wait();
    });
    // Released when the test is done with the held answer, or at the
    // latest before the service stops.
    struct Release {
        std::promise<void>& promise;
        bool done = false;
        void now()
        {
            if (!std::exchange(done, true)) promise.set_value();
        }
        ~Release() { now(); }
    } release_held{release};
    write_file_bytes(dir / "ConfigImporta.ini", "[CONF]\r\ntoken_quintara=abc\r\npathBancoDados=" +
                                                    database.file.string() + "\r\nReg_por_trafego=2\r\n");

    auto options = headless();
    options.env["QUINTARA_BASE_URL"] = service.base_url();
    options.env["CURL_CA_BUNDLE"] = service.ca_file().string();
    options.env["https_proxy"] = std::nullopt;
    options.env["HTTPS_PROXY"] = std::nullopt;
    auto first = std::async(std::launch::async, [&] { return run_process(importer, options); });
    ASSERT_EQ(std::future_status::ready, mid_run.get_future().wait_for(std::chrono::seconds(30)));
    // The first run has written its opening lines by now, one at a time
    // they would be in the log already.
    const auto second = run_process(importer, headless());
    release_held.now();
    const auto first_result = first.get();

    EXPECT_EQ(0, second.exit_code) << second.err;
    EXPECT_EQ(0, first_result.exit_code) << first_result.err;
    EXPECT_EQ("\xEF\xBB\xBFImportacao de dados Ok", read_file_bytes(dir / "ConfigImporta.ret")) << first_result.err;
    const std::string log = read_file_bytes(dir / "ConfigImporta.log");
    const auto run_block = block_of(log, "== Importação iniciada em ", "Resumo: ");
    ASSERT_FALSE(run_block.empty()) << log;
    EXPECT_TRUE(run_block.back().starts_with("Resumo: 2 páginas, 4 produtos inseridos")) << log;
    for (const auto& line : run_block) EXPECT_EQ(std::string::npos, line.find("Outra importação")) << log;
    EXPECT_NE(std::string::npos, log.find("Outra importação já está em andamento")) << log;
}

}  // namespace

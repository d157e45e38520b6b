// Fetching ahead in whole runs, each ordering held where it matters: the
// service keeps an answer back, or the shell keeps the loop at a step,
// until the other side has reached its point.
#include "sync/run_fixture.h"
#include "util/installation_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace run_fixture;

class FetchAhead : public ImportRunTest, public ::testing::Test {
protected:
    static void SetUpTestSuite() { use_utf8_locale(); }

    // `arrived` opens when the `nth` request for `path` is in, and its
    // answer waits until `release` opens, if given.
    void watch_request(const std::string& path, Gate& arrived, Gate* release = nullptr, int nth = 1)
    {
        auto seen = std::make_shared<std::atomic<int>>(0);
        service->before_answer([&arrived, release, nth, seen, target = "/" + path](const ReceivedRequest& r) {
            if (r.target != target || ++*seen != nth) return;
            arrived.open();
            if (release) {
                EXPECT_TRUE(release->wait()) << target << " was held for good";
            }
        });
    }

    std::vector<std::string> requests() const
    {
        std::vector<std::string> out;
        for (const auto& r : service->received()) out.push_back(r.method + " " + r.target);
        return out;
    }

    static std::string status() { return std::string("GET /") + QuintaraService::status_path; }
    static std::string get(const std::string& path) { return "GET /" + path; }
    static std::string confirmation() { return std::string("POST /") + QuintaraService::confirmation_path; }

    ScopedEnvironment ahead{"IMPORTADOR_FETCH_AHEAD", "1"};
};

// Page 2 fails while page 3 is being fetched: page 3 is dropped unwritten
// and the run ends as it would have without fetching ahead.
TEST_F(FetchAhead, FailedPageDropsThePageFetchedAhead)
{
    struct {
        const char* name;
        std::vector<std::u16string> database_setup;
        bool row_held;
        std::string outcome_start;
    } cases[] = {
        {"refused commit",
         {u"create exception commit_refused 'commit refused'",
          u"create trigger refuse_product_2 on transaction commit as begin "
          u"if (exists(select 1 from Mercadorias where cod_red = 2)) then exception commit_refused; end"},
         false,
         "ERRO: a gravacao da pagina iniciada no id 1 falhou e foi desfeita; importacao interrompida"},
        {"row held by another station",
         {u"insert into Mercadorias (cod_red, nom_mer) values (2, 'Antigo')"},
         true,
         "ERRO: a gravacao do produto 2 falhou ("},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDatabase fresh;
        execute_statements(fresh.file.string(), c.database_setup);
        std::optional<StationHoldingRow> other_station;
        if (c.row_held) other_station.emplace(fresh.file.string(), 2);
        serve_catalogue({.products = 0});
        service->script(page_path("1", 0), page({{.codigo = 1}}, 1));
        service->script(page_path("1", 1), page({{.codigo = 2}}, 2));
        service->script(page_path("1", 2), page({{.codigo = 3}}, 0));
        Gate arrived, release;
        watch_request(page_path("1", 2), arrived, &release);
        write_request("1", fresh.file.string());

        RunObjects objects(dir.path(), service->base_url());
        objects.dtmApi.lock_timeout_seconds = 1;
        // Page 3 is asked for before page 2 is written; waited for only at
        // the run's end, it could lose the race to the stop that ends it.
        objects.shell.on_event = [&](const std::string& event) {
            if (event == "write 2") {
                EXPECT_TRUE(arrived.wait()) << "page 3 was never fetched ahead";
            }
            if (!event.starts_with("failed") && !event.starts_with("imported")) return;
            EXPECT_FALSE(release.is_open());
            release.open();
        };
        EXPECT_EQ(ImportRun::Ending::quit, objects.run.timerImportTimer());
        if (other_station) other_station->release();

        EXPECT_TRUE(read_file_bytes(dir / "ConfigImporta.ret").starts_with(utf8_bom + c.outcome_start));
        EXPECT_EQ((std::vector<std::string>{"query 1", "write 1", "commit 1: 1 pages, 1 written, 0 skipped", "query 2",
                                            "write 2", "failed: 1 pages, 1 written, 0 skipped"}),
                  objects.shell.events);
        EXPECT_EQ((std::vector<std::string>{status(), get(page_path("1", 0)), status(), get(page_path("1", 1)),
                                            status(), get(page_path("1", 2))}),
                  requests());
        const Rows expected = c.row_held ? Rows{{"1", "Produto"}, {"2", "Antigo"}} : Rows{{"1", "Produto"}};
        EXPECT_EQ(expected, utf8_rows(read_rows(fresh.file, u"select cod_red, nom_mer from Mercadorias "
                                                              u"order by cod_red")));
        EXPECT_EQ(0, objects.shell.calls_off_thread);
        service->before_answer({});
    }
}

// Page 2's fetch fails while page 1 is written: page 1 is committed first,
// then the run ends with page 2's error, as it does fetching page by page.
TEST_F(FetchAhead, FailedFetchAheadLetsThePageBeforeItCommit)
{
    const std::string status_path = QuintaraService::status_path;
    ScriptedAnswer late_status(200, "200");
    late_status.delay = std::chrono::milliseconds(4000);  // past the probe's limit of 3 s
    struct {
        const char* name;
        std::string failing_path;
        int failing_request;  // of those to its path
        ScriptedAnswer answer;
    } cases[] = {
        {"service error", page_path("1", 1), 1, ScriptedAnswer(500, "{\"message\":\"Servidor ocupado\"}")},
        {"non-2xx page", page_path("1", 1), 1, ScriptedAnswer(503, "[]")},
        {"status probe refused", status_path, 2, ScriptedAnswer(500, "{\"message\":\"fora\"}")},
        {"status probe timed out", status_path, 2, late_status},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> outcomes;
        serve_catalogue({.products = 0});  // one address for both outcomes
        for (const char* fetch_ahead : {"0", "1"}) {
            const bool serial = std::string(fetch_ahead) == "0";
            ScopedEnvironment chosen("IMPORTADOR_FETCH_AHEAD", fetch_ahead);
            TestDatabase fresh;
            service->clear_scripts();
            service->clear_received();
            service->script(status_path, ScriptedAnswer(200, "200"), 1);
            service->script(page_path("1", 0), page({{.codigo = 1}}, 1));
            service->script(c.failing_path, c.answer);
            Gate arrived;
            watch_request(c.failing_path, arrived, nullptr, c.failing_request);
            write_request("1", fresh.file.string());

            RunObjects objects(dir.path(), service->base_url());
            // Ahead, the write of page 1 starts once page 2's failing
            // request is in; page by page, that request comes later.
            if (!serial)
                objects.shell.on_event = [&](const std::string& event) {
                    if (event == "write 1") {
                        EXPECT_TRUE(arrived.wait());
                    }
                };
            EXPECT_EQ(ImportRun::Ending::quit, objects.run.timerImportTimer());

            outcomes.push_back(read_file_bytes(dir / "ConfigImporta.ret"));
            EXPECT_TRUE(outcomes.back().starts_with(utf8_bom + "ERRO")) << outcomes.back();
            EXPECT_EQ((std::vector<std::string>{"query 1", "write 1", "commit 1: 1 pages, 1 written, 0 skipped",
                                                "query 2", "failed: 1 pages, 1 written, 0 skipped"}),
                      objects.shell.events);
            EXPECT_EQ((Rows{{"1"}}), utf8_rows(read_rows(fresh.file, u"select cod_red from Mercadorias")));
            EXPECT_EQ(0, objects.shell.calls_off_thread);
            for (const auto& r : requests()) EXPECT_NE(confirmation(), r);
            service->before_answer({});
        }
        EXPECT_EQ(outcomes[0], outcomes[1]);
    }
}

// A quit that the shell gets while the next page is being fetched leaves
// the run to finish: the result is written, then the process may end.
TEST_F(FetchAhead, QuitDuringAFetchAheadWaitsForTheResult)
{
    service->script(page_path("1", 0), page({{.codigo = 1}}, 1));
    service->script(page_path("1", 1), page({{.codigo = 2}}, 0));
    Gate arrived, release;
    watch_request(page_path("1", 1), arrived, &release);
    write_request("1");

    RunObjects objects(dir.path(), service->base_url());
    objects.shell.on_event = [&](const std::string& event) {
        if (event == "write 1") {
            EXPECT_TRUE(arrived.wait());
        }
    };
    bool quit_asked = false;
    objects.shell.on_dispatch = [&] {
        if (!arrived.is_open() || release.is_open()) return;
        quit_asked = true;
        EXPECT_FALSE(std::filesystem::exists(dir / "ConfigImporta.ret"));
        release.open();
    };
    EXPECT_EQ(ImportRun::Ending::quit, objects.run.timerImportTimer());

    EXPECT_TRUE(quit_asked) << "no dispatch while page 2 was fetched";
    EXPECT_EQ(utf8_bom + import_ok, read_file_bytes(dir / "ConfigImporta.ret"));
    EXPECT_EQ((Rows{{"1"}, {"2"}}), utf8_rows(read_rows(database.file, u"select cod_red from Mercadorias "
                                                                         u"order by cod_red")));
    EXPECT_EQ(confirmation(), requests().back());
    EXPECT_EQ(0, objects.shell.calls_off_thread);
}

// A page that names the next start fails to write while the answer to
// that next page is held back: the run ends, its result written and the
// installation free for the next start, and nothing of the answer is
// waited for.
TEST_F(FetchAhead, LateAnswerToThePageAheadHoldsNothingAfterTheResult)
{
    service->script(page_path("1", 0), page({"{\"codigo\":1,\"nome\":\"Sem os outros membros\"}", control(1)}));
    service->script(page_path("1", 1), page({{.codigo = 2}}, 0));
    Gate arrived, release;
    watch_request(page_path("1", 1), arrived, &release);
    write_request("1");

    RunObjects objects(dir.path(), service->base_url());
    objects.ger_API.rRequest_get_produtos.Timeout = std::chrono::minutes(10);  // only a stop can end it
    objects.shell.on_event = [&](const std::string& event) {
        if (event == "write 1") {
            EXPECT_TRUE(arrived.wait());
        }
    };
    EXPECT_EQ(ImportRun::Ending::quit, objects.run.timerImportTimer());

    EXPECT_EQ(utf8_bom + run_failure + "tblProdutos: Field 'apelidoProduto' not found",
              read_file_bytes(dir / "ConfigImporta.ret"));
    std::optional<InstallationLock> next_start;
    EXPECT_EQ(InstallationLock::Outcome::taken, InstallationLock::try_take(dir / "ConfigImporta.lock", next_start));
    EXPECT_EQ((std::vector<std::string>{"query 1", "write 1", "failed: 0 pages, 0 written, 0 skipped"}),
              objects.shell.events);
    EXPECT_EQ(0, objects.shell.calls_off_thread);
    release.open();
    service->stop();  // its serving threads, the hook's included, end before the gates go
}

// The last page is asked for before the first is written, and so in hand
// long before the last commit: the confirmation still waits for it.
TEST_F(FetchAhead, ConfirmationFollowsTheLastCommit)
{
    std::vector<Product> first, last;
    for (int codigo = 1; codigo <= 200; ++codigo) (codigo <= 100 ? first : last).push_back({.codigo = codigo});
    auto objects_of = [](const std::vector<Product>& products, int next_start_id) {
        std::vector<std::string> objects;
        for (const auto& p : products) objects.push_back(json_of(p));
        objects.push_back(control(next_start_id));
        return objects;
    };
    service->script(page_path("100", 0), page(objects_of(first, 100)));
    service->script(page_path("100", 100), page(objects_of(last, 0)));
    write_request("100");

    std::mutex mutex;
    std::vector<std::string> seen;  // by the loop, as the service reads them
    std::optional<std::vector<std::string>> seen_at_confirmation;
    Gate last_page_asked;
    service->before_answer([&](const ReceivedRequest& r) {
        if (r.target == "/" + page_path("100", 100)) last_page_asked.open();
        std::lock_guard lock(mutex);
        if (r.method == "POST") seen_at_confirmation = seen;
    });
    RunObjects objects(dir.path(), service->base_url());
    objects.shell.on_event = [&](const std::string& event) {
        if (event == "write 1") {
            EXPECT_TRUE(last_page_asked.wait());
        }
        std::lock_guard lock(mutex);
        seen.push_back(event);
    };
    EXPECT_EQ(ImportRun::Ending::quit, objects.run.timerImportTimer());

    EXPECT_EQ(utf8_bom + import_ok, read_file_bytes(dir / "ConfigImporta.ret"));
    ASSERT_TRUE(seen_at_confirmation);
    EXPECT_EQ("commit 2: 2 pages, 200 written, 0 skipped", seen_at_confirmation->back());
    EXPECT_EQ((std::vector<std::string>{status(), get(page_path("100", 0)), status(), get(page_path("100", 100)),
                                        confirmation()}),
              requests());
}

}  // namespace

// Whole runs in-process, as one timer tick starts them: the run unit with a
// recording shell, the substitute web service answering scripted pages over
// HTTPS, and a fresh database checked row by row afterwards. The scenarios
// run once with the embedded engine and once through a server, against the
// same expected rows.
#include "sync/product_scenarios.h"
#include "sync/run_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace run_fixture;
using product_scenarios::Scenario;
using product_scenarios::scenarios;

class ProductSync : public ImportRunTest, public ::testing::TestWithParam<std::tuple<Scenario, DatabaseMode>> {
protected:
    static void SetUpTestSuite() { use_utf8_locale(); }
};

TEST_P(ProductSync, ImportsWhatTheServiceAnswers)
{
    const auto& [s, mode] = GetParam();
    const std::string name = database_name(mode);
    if (!s.database_setup.empty()) execute_statements(name, s.database_setup);
    for (const auto& p : s.pages) service->script(page_path(s.page_size, p.start_id), p.answer);

    std::string err;
    for (int i = 0; i < s.imports; ++i) {
        service->clear_received();
        write_request(s.page_size, name);
        ASSERT_EQ(ImportRun::Ending::quit, run_once(&err));
        EXPECT_FALSE(std::filesystem::exists(dir / "ConfigImporta.ini"));
        EXPECT_EQ(utf8_bom + s.outcome, read_file_bytes(dir / "ConfigImporta.ret")) << err;
    }

    std::vector<std::string> expected_pages, requested_pages;
    for (int id : s.requested_start_ids) expected_pages.push_back("/" + page_path(s.page_size, id));
    int confirmations = 0;
    for (const auto& r : service->received()) {
        EXPECT_EQ("Bearer " + token, r.header("Authorization").value_or("")) << r.target;
        if (r.method == "GET" && r.target.starts_with(std::string("/") + QuintaraService::products_path))
            requested_pages.push_back(r.target);
        if (r.method == "POST" && r.target == std::string("/") + QuintaraService::confirmation_path) ++confirmations;
    }
    EXPECT_EQ(expected_pages, requested_pages);
    EXPECT_EQ(s.confirmed ? 1 : 0, confirmations);

    EXPECT_EQ(s.departments,
              utf8_rows(read_rows(name, u"select cod_dep, nom_dep, tipo_item, com_dep from Departamentos "
                                        u"order by cod_dep")));
    EXPECT_EQ(s.merchandise, utf8_rows(read_rows(name, u"select " + utf8_to_utf16(s.merchandise_columns) +
                                                           u" from Mercadorias order by cod_red")));

    EXPECT_NE(std::string::npos, err.find("Resumo: ")) << err;
    for (const auto& text : s.in_stderr) EXPECT_NE(std::string::npos, err.find(text)) << err;
}

std::string scenario_name(const ::testing::TestParamInfo<ProductSync::ParamType>& info)
{
    return std::get<0>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Embedded, ProductSync,
                         ::testing::Combine(::testing::ValuesIn(scenarios), ::testing::Values(DatabaseMode::embedded)),
                         scenario_name);
INSTANTIATE_TEST_SUITE_P(Server, ProductSync,
                         ::testing::Combine(::testing::ValuesIn(scenarios), ::testing::Values(DatabaseMode::server)),
                         scenario_name);

class WholeRun : public ImportRunTest, public ::testing::Test {
protected:
    static void SetUpTestSuite() { use_utf8_locale(); }
};

TEST_F(WholeRun, WithoutRequestFileOnlyTheOutcomeIsWritten)
{
    write_file_bytes(dir / "ConfigImporta.ret", std::string(200, 'x'));  // an earlier, longer result
    RecordingShell shell;
    EXPECT_EQ(ImportRun::Ending::quit, run_once(nullptr, &shell));
    EXPECT_EQ(utf8_bom + "Erro abrir arquivo de configuracao ConfigImporta.ini",
              read_file_bytes(dir / "ConfigImporta.ret"));
    EXPECT_EQ(std::vector<std::u16string>{u"Erro abrir arquivo de configuracao ConfigImporta.ini"}, shell.outcomes);
    EXPECT_TRUE(service->received().empty());
}

TEST_F(WholeRun, RequestFileIsConsumedEvenWhenTheConnectionFails)
{
    write_request("500", "");
    std::string err;
    EXPECT_EQ(ImportRun::Ending::quit, run_once(&err));
    EXPECT_NE(std::string::npos, err.find("Resumo: 0 páginas, 0 produtos inseridos")) << err;
    EXPECT_FALSE(std::filesystem::exists(dir / "ConfigImporta.ini"));
    EXPECT_EQ(utf8_bom + run_failure + "Database name is missing", read_file_bytes(dir / "ConfigImporta.ret"));
    EXPECT_TRUE(service->received().empty());
}

// The shell is told each step of each page, each skipped product and the
// end, in that order, with what the committed pages hold; it serves its
// messages between pages.
TEST_F(WholeRun, ShellIsToldEachStepEachSkipAndTheEnd)
{
    const Product refused = {.codigo = 2, .unidadeBalanca = "UNIDADE"};  // uni_bal is a varchar(5)
    struct Case {
        std::string name;
        std::string page_size;
        std::vector<std::pair<int, ScriptedAnswer>> pages;
        std::vector<std::u16string> database_setup = {};
        bool service_down = false;
        std::vector<std::string> events;
    } cases[] = {
        {"clean",
         "1",
         {{0, page({{.codigo = 1}}, 1)}, {1, page({{.codigo = 2}}, 0)}},
         {},
         false,
         {"query 1", "write 1", "commit 1: 1 pages, 1 written, 0 skipped", "query 2", "write 2",
          "commit 2: 2 pages, 2 written, 0 skipped", "imported: 2 pages, 2 written, 0 skipped"}},
        {"skips",
         "2",
         {{0, page({{.codigo = 1}, refused}, 3)}, {3, page({refused, {.codigo = 3}}, 0)}},
         {},
         false,
         {"query 1", "write 1", "skip 2", "commit 1: 1 pages, 1 written, 1 skipped", "query 2", "write 2", "skip 2",
          "commit 2: 2 pages, 2 written, 2 skipped", "imported: 2 pages, 2 written, 2 skipped"}},
        {"failing page",
         "1",
         {{0, page({{.codigo = 1}}, 1)}, {1, ScriptedAnswer(500, "{\"message\":\"falhou\"}")}},
         {},
         false,
         {"query 1", "write 1", "commit 1: 1 pages, 1 written, 0 skipped", "query 2",
          "failed: 1 pages, 1 written, 0 skipped"}},
        {"refused commit",
         "1",
         {{0, page({{.codigo = 1}}, 1)}, {1, page({refused, {.codigo = 3}}, 0)}},
         {u"create exception commit_refused 'commit refused'",
          u"create trigger refuse_product_3 on transaction commit as begin "
          u"if (exists(select 1 from Mercadorias where cod_red = 3)) then exception commit_refused; end"},
         false,
         {"query 1", "write 1", "commit 1: 1 pages, 1 written, 0 skipped", "query 2", "write 2", "skip 2",
          "failed: 1 pages, 1 written, 0 skipped"}},
        {"service down", "1", {}, {}, true, {"query 1", "failed: 0 pages, 0 written, 0 skipped"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDatabase fresh;
        if (!c.database_setup.empty()) execute_statements(fresh.file.string(), c.database_setup);
        serve_catalogue({.products = 0});
        for (const auto& [start_id, answer] : c.pages) service->script(page_path(c.page_size, start_id), answer);
        write_request(c.page_size, fresh.file.string());

        const std::string base_url = c.service_down ? "https://127.0.0.1:1/" : service->base_url();
        RunObjects objects(dir.path(), base_url);
        std::string err;
        err = standard_error_of([&] { EXPECT_EQ(ImportRun::Ending::quit, objects.run.timerImportTimer()); });

        EXPECT_EQ(c.events, objects.shell.events) << err;
        EXPECT_EQ(std::vector<std::u16string>{utf8_to_utf16(read_file_bytes(dir / "ConfigImporta.ret").substr(3))},
                  objects.shell.outcomes);
        for (const auto& skipped : objects.shell.skipped)
            EXPECT_NE(std::string::npos, err.find(utf16_to_utf8(u"Produto " + skipped.codigo + u" ignorado: " +
                                                                skipped.reason)))
                << err;
        EXPECT_GE(objects.shell.dispatches, static_cast<int>(c.pages.size()));
        EXPECT_TRUE(objects.shell.failure_boxes.empty());
        EXPECT_EQ(0, objects.shell.calls_off_thread);
    }
}

// The outcome stands, but the operator learns that the service may send
// the catalogue again.
TEST_F(WholeRun, RefusedConfirmationIsReported)
{
    service->script(page_path("500", 0), page({{.codigo = 1}}, 0));
    service->script(QuintaraService::confirmation_path, ScriptedAnswer(500, "{\"message\":\"falhou\"}"));
    write_request("500");
    std::string err;
    EXPECT_EQ(ImportRun::Ending::quit, run_once(&err));
    EXPECT_EQ(utf8_bom + import_ok, read_file_bytes(dir / "ConfigImporta.ret"));
    EXPECT_NE(std::string::npos, err.find("Confirmação de recebimento recusada: o servico respondeu HTTP 500")) << err;
}

// A tick that the shell delivers while the run dispatches its messages
// finds the run in progress and starts nothing.
TEST_F(WholeRun, TickDuringTheRunIsDropped)
{
    service->script(page_path("500", 0), page({{.codigo = 1}}, 0));
    write_request("500");
    RunObjects objects(dir.path(), service->base_url());
    std::vector<ImportRun::Ending> nested;
    objects.shell.on_dispatch = [&] { nested.push_back(objects.run.timerImportTimer()); };

    EXPECT_EQ(ImportRun::Ending::quit, objects.run.timerImportTimer());
    ASSERT_FALSE(nested.empty());
    for (auto ending : nested) EXPECT_EQ(ImportRun::Ending::tick_dropped, ending);
    int page_requests = 0;
    for (const auto& r : service->received())
        if (r.method == "GET" && r.target.find(QuintaraService::products_path) != std::string::npos) ++page_requests;
    EXPECT_EQ(1, page_requests);
    EXPECT_EQ(utf8_bom + import_ok, read_file_bytes(dir / "ConfigImporta.ret"));
}

// The result file cannot be written, not even the failure's own text: the
// failure escapes to the shell's box and nothing else is done.
TEST_F(WholeRun, ResultThatCannotBeWrittenReachesTheFailureBox)
{
    std::filesystem::create_directory(dir / "ConfigImporta.ret");
    RecordingShell shell;
    EXPECT_EQ(ImportRun::Ending::failure_shown, run_once(nullptr, &shell));
    const auto expected =
        u"Cannot write file \"" + utf8_to_utf16((dir / "ConfigImporta.ret").string()) + u"\": Is a directory";
    EXPECT_EQ(std::vector<std::u16string>{expected}, shell.failure_boxes);
}

}  // namespace

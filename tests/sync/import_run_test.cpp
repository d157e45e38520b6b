// Whole runs in-process, as one timer tick starts them: the run unit with a
// recording shell, the substitute web service answering scripted pages over
// HTTPS, and a fresh database checked row by row afterwards. The scenarios
// run once with the embedded engine and once through a server, against the
// same expected rows.
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

struct ScriptedPage {
    int start_id;
    ScriptedAnswer answer;
};

struct Scenario {
    const char* name;
    std::string page_size;
    std::vector<ScriptedPage> pages;
    int imports = 1;
    // After the last import:
    std::string outcome;
    std::vector<int> requested_start_ids;
    bool confirmed = false;
    Rows departments;  // cod_dep, nom_dep, tipo_item, com_dep
    Rows merchandise;  // merchandise_columns, by cod_red
    std::vector<std::string> in_stderr = {};
    const char* merchandise_columns = "cod_red, nom_mer, dep_mer";
    std::vector<std::u16string> database_setup = {};
};

void PrintTo(const Scenario& s, std::ostream* out)
{
    *out << s.name;
}

const std::string fifty(50, 'n');
const std::string thirty(30, 'a');
const Rows no_rows;

const Scenario scenarios[] = {
    {.name = "TwoPagesFollowTheControlRecords",
     .page_size = "2",
     .pages = {{0, page({{.codigo = 1, .nome = "Feijão, D'Ouro", .nomeDepartamento = "Padaria D'Ouro"},
                         {.codigo = 2, .nome = "Arroz \"Tipo 1\""}},
                        2)},
               {2, page({{.codigo = 3, .nome = "Café", .nomeDepartamento = "padaria d'ouro"}}, 0)}},
     .outcome = import_ok,
     .requested_start_ids = {0, 2},
     .confirmed = true,
     .departments = {{"1", "PADARIA D'OURO", "99", "0"}, {"2", "MERCEARIA", "99", "0"}},
     .merchandise = {{"1", "Feijão, D'Ouro", "1"}, {"2", "Arroz \"Tipo 1\"", "2"}, {"3", "Café", "1"}},
     .in_stderr = {"Resumo: 2 páginas, 3 produtos inseridos, 0 atualizados, 0 ignorados, 2 departamentos criados"}},

    // The update stores the very text the insert stored.
    {.name = "SecondImportUpdates",
     .page_size = "500",
     .pages = {{0, page({{.codigo = 1, .nome = "Feijão, D'Ouro", .nomeDepartamento = "Padaria D'Ouro"}}, 0)}},
     .imports = 2,
     .outcome = import_ok,
     .requested_start_ids = {0},
     .confirmed = true,
     .departments = {{"1", "PADARIA D'OURO", "99", "0"}},
     .merchandise = {{"1", "Feijão, D'Ouro", "1"}},
     .in_stderr = {"0 produtos inseridos, 1 atualizados, 0 ignorados, 0 departamentos criados"}},

    // Only a-z are folded: c-cedilla keeps its case and makes a second department.
    {.name = "DepartmentsFoldOnlyAsciiCase",
     .page_size = "500",
     .pages = {{0, page({{.codigo = 1, .nomeDepartamento = "Mercearia"},
                         {.codigo = 2, .nomeDepartamento = "MERCEARIA"},
                         {.codigo = 3, .nomeDepartamento = "mercEARIA"},
                         {.codigo = 4, .nomeDepartamento = "Açougue"},
                         {.codigo = 5, .nomeDepartamento = "AÇougue"},
                         {.codigo = 6, .nomeDepartamento = "açougue"}},
                        0)}},
     .outcome = import_ok,
     .requested_start_ids = {0},
     .confirmed = true,
     .departments = {{"1", "MERCEARIA", "99", "0"}, {"2", "AçOUGUE", "99", "0"}, {"3", "AÇOUGUE", "99", "0"}},
     .merchandise = {{"1", "1"}, {"2", "1"}, {"3", "1"}, {"4", "2"}, {"5", "3"}, {"6", "2"}},
     .merchandise_columns = "cod_red, dep_mer"},

    {.name = "TextsAreCutAndFlagsAreTrueOnlyForOne",
     .page_size = "500",
     .pages = {{0, page({{.codigo = 1,
                          .nome = fifty + "0123456789",
                          .apelidoProduto = thirty + "0123456789",
                          .codigoBarras = thirty + "0123456789",
                          .referencia = thirty + "0123456789",
                          .unidadeVenda = "UNIDADES",
                          .unidadeBalanca = "KG",
                          .produtoBalanca = "1",
                          .Ativo = "1",
                          .ncm = "",
                          .qtdEstoque = "12.5",
                          .valorVenda = "28.25"},
                         {.codigo = 2, .produtoBalanca = "2", .Ativo = "0"},
                         {.codigo = 3, .produtoBalanca = "-1", .Ativo = "-1"},
                         {.codigo = 4, .produtoBalanca = "0", .Ativo = "2"}},
                        0)}},
     .outcome = import_ok,
     .requested_start_ids = {0},
     .confirmed = true,
     .departments = {{"1", "MERCEARIA", "99", "0"}},
     .merchandise =
         {{"1", fifty, thirty, thirty, thirty, "UNIDA", "KG", "T", "F", "0", "12.5", "28.25", "T"},
          {"2", "Produto", "Apelido", "7891000100103", "REF-1", "UN", "UN", "F", "F", "022021000", "10", "9.9", "F"},
          {"3", "Produto", "Apelido", "7891000100103", "REF-1", "UN", "UN", "F", "F", "022021000", "10", "9.9", "F"},
          {"4", "Produto", "Apelido", "7891000100103", "REF-1", "UN", "UN", "F", "F", "022021000", "10", "9.9", "F"}},
     .merchandise_columns = "cod_red, nom_mer, ape_cup, cod_bar, ref_mer, uni_mer, uni_bal, pro_balanca, "
                            "pro_servico, cod_ncm, QTD_EST, vlr_ven, pro_ativo"},

    {.name = "RequestErrorOnThirdPageKeepsTheFirstTwo",
     .page_size = "1",
     .pages = {{0, page({{.codigo = 1}}, 1)},
               {1, page({{.codigo = 2}}, 2)},
               {2, ScriptedAnswer(500, "{\"message\":\"Servidor ocupado\"}")}},
     .outcome = "ERRO: Servidor ocupado",
     .requested_start_ids = {0, 1, 2},
     .departments = {{"1", "MERCEARIA", "99", "0"}},
     .merchandise = {{"1", "Produto", "1"}, {"2", "Produto", "1"}}},

    {.name = "PageWithoutDepartmentFieldFailsTheRun",
     .page_size = "1",
     .pages = {{0, page({{.codigo = 1}}, 1)}, {1, page({{.codigo = 2, .nomeDepartamento = std::nullopt}}, 0)}},
     .outcome = run_failure + "tblProdutos: Field 'nomeDepartamento' not found",
     .requested_start_ids = {0, 1},
     .departments = {{"1", "MERCEARIA", "99", "0"}},
     .merchandise = {{"1", "Produto", "1"}}},

    // A price that is no number costs only its own product; the department
    // read before it stays, as for a product the database refuses.
    {.name = "ValueThatIsNoNumberSkipsItsProduct",
     .page_size = "500",
     .pages = {{0, page({{.codigo = 1, .nomeDepartamento = "Bebidas"},
                         {.codigo = 2, .nomeDepartamento = "Limpeza", .valorVenda = "\"abc\""},
                         {.codigo = 3, .nomeDepartamento = "Bebidas"}},
                        0)}},
     .outcome = import_ok,
     .requested_start_ids = {0},
     .confirmed = true,
     .departments = {{"1", "BEBIDAS", "99", "0"}, {"2", "LIMPEZA", "99", "0"}},
     .merchandise = {{"1", "Produto", "1"}, {"3", "Produto", "1"}},
     .in_stderr = {"Produto 2 ignorado: 'abc' is not a valid floating point value",
                   "2 produtos inseridos, 0 atualizados, 1 ignorados, 2 departamentos criados"}},

    // Rows after a control record are written; a later control record
    // does not revive a loop that one with 0 ended.
    {.name = "ControlRecordMidPageThenAnotherOne",
     .page_size = "5",
     .pages = {{0, page({json_of({.codigo = 1}), control(0), json_of({.codigo = 2}), control(300)})}},
     .outcome = import_ok,
     .requested_start_ids = {0},
     .confirmed = true,
     .departments = {{"1", "MERCEARIA", "99", "0"}},
     .merchandise = {{"1", "Produto", "1"}, {"2", "Produto", "1"}}},

    {.name = "EmptyFirstPageEndsAndConfirms",
     .page_size = "500",
     .pages = {{0, ScriptedAnswer(200, "[]")}},
     .outcome = import_ok,
     .requested_start_ids = {0},
     .confirmed = true,
     .departments = no_rows,
     .merchandise = no_rows},

    // Nothing was written, so nothing is committed: the second commit of
    // the run, which the database refuses, never happens.
    {.name = "EmptyPageIsNotCommitted",
     .page_size = "2",
     .pages = {{0, page({{.codigo = 1}}, 1)}, {1, ScriptedAnswer(200, "[]")}},
     .outcome = import_ok,
     .requested_start_ids = {0, 1},
     .confirmed = true,
     .departments = {{"1", "MERCEARIA", "99", "0"}},
     .merchandise = {{"1", "Produto", "1"}},
     .database_setup = {u"create exception commit_refused 'commit refused'",
                        u"create trigger refuse_second_commit on transaction commit as declare n int; begin "
                        u"n = coalesce(cast(rdb$get_context('USER_SESSION', 'commits') as int), 0) + 1; "
                        u"rdb$set_context('USER_SESSION', 'commits', n); "
                        u"if (n = 2) then exception commit_refused; end"}},

    {.name = "PageWithoutControlRecordEndsTheRun",
     .page_size = "500",
     .pages = {{0, page({{.codigo = 1}, {.codigo = 2}}, std::nullopt)}},
     .outcome = "ERRO: a pagina iniciada no id 0 nao indicou um novo id inicial; importacao interrompida",
     .requested_start_ids = {0},
     .departments = {{"1", "MERCEARIA", "99", "0"}},
     .merchandise = {{"1", "Produto", "1"}, {"2", "Produto", "1"}}},

    {.name = "ControlRecordsGoingRoundEndTheRun",
     .page_size = "1",
     .pages = {{0, page({{.codigo = 1}}, 4)}, {4, page({{.codigo = 5}}, 2)}, {2, page({{.codigo = 3}}, 4)}},
     .outcome = "ERRO: a pagina iniciada no id 2 nao indicou um novo id inicial; importacao interrompida",
     .requested_start_ids = {0, 4, 2},
     .departments = {{"1", "MERCEARIA", "99", "0"}},
     .merchandise = {{"1", "Produto", "1"}, {"3", "Produto", "1"}, {"5", "Produto", "1"}}},

    // uni_bal is a varchar(5): the database refuses the second product.
    {.name = "ProductTheDatabaseRefusesIsSkipped",
     .page_size = "500",
     .pages = {{0, page({{.codigo = 1},
                         {.codigo = 2, .nomeDepartamento = "Limpeza", .unidadeBalanca = "UNIDADE"},
                         {.codigo = 3}},
                        0)}},
     .outcome = import_ok,
     .requested_start_ids = {0},
     .confirmed = true,
     .departments = {{"1", "MERCEARIA", "99", "0"}, {"2", "LIMPEZA", "99", "0"}},
     .merchandise = {{"1", "Produto", "1"}, {"3", "Produto", "1"}},
     .in_stderr = {"Produto 2 ignorado: ", "string right truncation",
                   "2 produtos inseridos, 0 atualizados, 1 ignorados, 2 departamentos criados"}},

    // A page the database will not commit is lost: the run must not say Ok
    // nor confirm, or the service would never send those products again.
    {.name = "RefusedCommitEndsTheRunWithoutConfirmation",
     .page_size = "2",
     .pages = {{0, page({{.codigo = 1}, {.codigo = 2}}, 2)}, {2, page({{.codigo = 3}}, 0)}},
     .outcome = "ERRO: a gravacao da pagina iniciada no id 2 falhou e foi desfeita; importacao interrompida",
     .requested_start_ids = {0, 2},
     .departments = {{"1", "MERCEARIA", "99", "0"}},
     .merchandise = {{"1", "Produto", "1"}, {"2", "Produto", "1"}},
     // The summary counts what was committed, not the page rolled back.
     .in_stderr = {"Resumo: 1 páginas, 2 produtos inseridos, 0 atualizados, 0 ignorados, 1 departamentos criados"},
     .database_setup =
         {u"create exception commit_refused 'commit refused'",
          u"create trigger refuse_product_3 on transaction commit as begin "
          u"if (exists(select 1 from Mercadorias where cod_red = 3)) then exception commit_refused; end"}},
};

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

// The shell is told each page and the outcome, and serves its messages
// between pages.
TEST_F(WholeRun, ShellSeesProgressOutcomeAndDispatches)
{
    service->script(page_path("1", 0), page({{.codigo = 1}}, 1));
    service->script(page_path("1", 1), page({{.codigo = 2}}, 0));
    write_request("1");
    RecordingShell shell;
    EXPECT_EQ(ImportRun::Ending::quit, run_once(nullptr, &shell));

    const std::vector<std::u16string> progress = {u"Lendo página 1 (id inicial 0), 0 produtos gravados até agora...",
                                                  u"Lendo página 2 (id inicial 1), 1 produtos gravados até agora...",
                                                  utf8_to_utf16(import_ok)};
    EXPECT_EQ(progress, shell.progress);
    EXPECT_EQ(std::vector<std::u16string>{utf8_to_utf16(import_ok)}, shell.outcomes);
    EXPECT_GE(shell.dispatches, 3);  // before the first page and after each
    EXPECT_TRUE(shell.failure_boxes.empty());
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

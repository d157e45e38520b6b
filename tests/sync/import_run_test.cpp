// Whole runs in-process, as one timer tick starts them: the run unit with a
// recording shell, the substitute web service answering scripted pages over
// HTTPS, and a fresh embedded database checked row by row afterwards.
#include "sync/import_run.h"

#include "api/uGer_API.h"
#include "db/uDtmApi.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_database.h"
#include "support/test_service.h"
#include "tools/quintara_service.h"
#include "util/utf.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

const std::string token = "segredo+/=9";
const std::string import_ok = "Importacao de dados Ok";
const std::string run_failure = "Erro de conexao com banco de dados Local...";
const std::string utf8_bom = "\xEF\xBB\xBF";

using Rows = std::vector<std::vector<std::string>>;

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
};

std::string json_of(const Product& p)
{
    std::string o = "{\"codigo\":" + std::to_string(p.codigo) + ",\"nome\":" + json_string(p.nome);
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
std::string control(int next_start_id)
{
    return "{\"codigo\":" + std::to_string(next_start_id) + ",\"nome\":" + json_string("Bearer " + token) +
           ",\"apelidoProduto\":\"3\"}";
}

ScriptedAnswer page(const std::vector<std::string>& objects)
{
    std::string body = "[";
    for (const auto& o : objects) body += (body.size() > 1 ? "," : "") + o;
    return ScriptedAnswer(200, body + "]");
}

ScriptedAnswer page(std::initializer_list<Product> products, std::optional<int> next_start_id)
{
    std::vector<std::string> objects;
    for (const auto& p : products) objects.push_back(json_of(p));
    if (next_start_id) objects.push_back(control(*next_start_id));
    return page(objects);
}

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
     .database_setup =
         {u"create exception commit_refused 'commit refused'",
          u"create trigger refuse_product_3 on transaction commit as begin "
          u"if (exists(select 1 from Mercadorias where cod_red = 3)) then exception commit_refused; end"}},
};

Rows utf8_rows(const std::vector<std::vector<std::u16string>>& rows)
{
    Rows out;
    for (const auto& row : rows) {
        auto& texts = out.emplace_back();
        for (const auto& cell : row) texts.push_back(utf16_to_utf8(cell));
    }
    return out;
}

// Asked by the run for what a desktop would do; keeps what it was told.
class RecordingShell : public ImportShell {
public:
    void show_progress(const std::u16string& text) override { progress.push_back(text); }
    void show_outcome(const std::u16string& text) override { outcomes.push_back(text); }
    void dispatch_messages() override
    {
        ++dispatches;
        if (on_dispatch) on_dispatch();
    }
    void show_failure_box(const std::u16string& message) override { failure_boxes.push_back(message); }

    std::vector<std::u16string> progress;
    std::vector<std::u16string> outcomes;
    std::vector<std::u16string> failure_boxes;
    int dispatches = 0;
    std::function<void()> on_dispatch;
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
std::string standard_error_of(const std::function<void()>& action)
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

    ImportRunTest()
    {
        ServiceOptions options;
        options.catalogue.products = 0;  // only scripted pages carry products
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

    // One process's worth of run: fresh objects, one tick.
    ImportRun::Ending run_once(std::string* standard_error = nullptr, RecordingShell* shell_seen = nullptr)
    {
        RunObjects objects(dir.path(), service->base_url());
        ImportRun::Ending ending{};
        const auto err = standard_error_of([&] { ending = objects.run.timerImportTimer(); });
        if (standard_error) *standard_error = err;
        if (shell_seen) *shell_seen = objects.shell;
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

class ProductSync : public ImportRunTest, public ::testing::TestWithParam<Scenario> {
protected:
    static void SetUpTestSuite() { use_utf8_locale(); }
};

TEST_P(ProductSync, ImportsWhatTheServiceAnswers)
{
    const Scenario& s = GetParam();
    if (!s.database_setup.empty()) execute_statements(database.file, s.database_setup);
    for (const auto& p : s.pages) service->script(page_path(s.page_size, p.start_id), p.answer);

    std::string err;
    for (int i = 0; i < s.imports; ++i) {
        service->clear_received();
        write_request(s.page_size);
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
              utf8_rows(read_rows(database.file, u"select cod_dep, nom_dep, tipo_item, com_dep from Departamentos "
                                                 u"order by cod_dep")));
    EXPECT_EQ(s.merchandise, utf8_rows(read_rows(database.file, u"select " + utf8_to_utf16(s.merchandise_columns) +
                                                                    u" from Mercadorias order by cod_red")));

    EXPECT_NE(std::string::npos, err.find("Resumo: ")) << err;
    for (const auto& text : s.in_stderr) EXPECT_NE(std::string::npos, err.find(text)) << err;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ProductSync, ::testing::ValuesIn(scenarios),
                         [](const auto& info) { return std::string(info.param.name); });

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
    EXPECT_EQ(ImportRun::Ending::quit, run_once());
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

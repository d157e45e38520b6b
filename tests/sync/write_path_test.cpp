// Both write paths side by side: every input imported once by statements
// (the reference) and once by batches, each fetching one page after the
// other, and once more by batches fetching each page while the one before
// is written, into databases made alike; all that a run leaves compared:
// every byte of both tables, each outcome, the report's skip, error and
// summary lines, the pages the log says were read, and what the service
// was asked, in its order.
#include "sync/product_scenarios.h"
#include "sync/run_fixture.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace run_fixture;
using product_scenarios::hostile_page;
using product_scenarios::Scenario;
using product_scenarios::scenarios;

enum class WritePath { statements, batches };

// How a run writes and fetches.
struct Way {
    const char* name;
    WritePath path;
    bool fetch_ahead;
};
const Way by_statements{"by statements", WritePath::statements, false};
const Way by_batches{"by batches", WritePath::batches, false};
const Way fetching_ahead{"fetching ahead", WritePath::batches, true};

// What the operator, the service and the next run see of a run.
struct Trace {
    std::vector<std::string> outcomes;  // each import's result file
    std::vector<std::string> report_lines;
    std::vector<std::string> requests;
    std::vector<std::string> pages_read;  // the log's lines
    Rows departments;
    Rows merchandise;
    std::string log;
    WriteRoutes routes;  // the last import's
};

// Skips, errors, confirmation notes and the summary without its time.
std::vector<std::string> report_lines(const std::string& standard_error)
{
    std::vector<std::string> lines;
    std::istringstream in(standard_error);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("Resumo: ")) line = line.substr(0, line.rfind(", em "));
        if (line.starts_with("Produto ") || line.starts_with("Resumo: ") || line.find("ERRO") != std::string::npos ||
            line.starts_with("Confirma"))
            lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> pages_read(const std::string& log)
{
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line.find("gina lida") != std::string::npos) lines.push_back(line);
    return lines;
}

// Every byte as stored: ISO-8859-1 gives each byte its own character, and a
// connection without a character set gets the columns' bytes unconverted.
Rows raw_rows(const std::string& database, const char16_t* select)
{
    return utf8_rows(read_rows(database, select, {.lc_ctype = {}, .code_page = AnsiCodePage::named("ISO-8859-1")}));
}

// A shop's tables as a differential run sees them: money and stock as
// numbers, so that the engine's conversions of them are compared too.
const std::vector<std::u16string> numeric_columns = {
    u"alter table Mercadorias drop QTD_EST, drop vlr_ven",
    u"alter table Mercadorias add QTD_EST numeric(15,3), add vlr_ven numeric(15,2)",
};

class WritePathRuns : public ImportRunTest {
protected:
    struct Input {
        std::string page_size = "500";
        int imports = 1;
        std::vector<std::vector<std::u16string>> setup;  // statement groups, each committed
        std::string character_set;  // declared by the databases
    };

    struct Traces {
        Trace statements;  // the reference
        Trace batches;
        Trace ahead;  // by batches, fetching ahead
    };

    // One database for each way, all made alike, each imported into.
    Traces run_each_way(const Input& input, DatabaseMode mode)
    {
        TestDatabase reference(3, input.character_set), batched(3, input.character_set),
            ahead(3, input.character_set);
        return {run(by_statements, reference, input, mode), run(by_batches, batched, input, mode),
                run(fetching_ahead, ahead, input, mode)};
    }

    Trace run(const Way& way, const TestDatabase& database_file, const Input& input, DatabaseMode mode)
    {
        const std::string name = mode == DatabaseMode::server ? firebird_server().database_name(database_file.file)
                                                              : database_file.file.string();
        for (const auto& statements : input.setup) execute_statements(name, statements);
        ScopedEnvironment chosen("IMPORTADOR_WRITE_PATH",
                                 way.path == WritePath::statements ? "statements" : "batches");
        ScopedEnvironment fetch("IMPORTADOR_FETCH_AHEAD", way.fetch_ahead ? "1" : "0");
        std::filesystem::remove(dir / "ConfigImporta.log");
        Trace trace;
        for (int i = 0; i < input.imports; ++i) {
            service->clear_received();
            write_request(input.page_size, name);
            std::string err;
            EXPECT_EQ(ImportRun::Ending::quit, run_once(&err, nullptr, &trace.routes));
            trace.outcomes.push_back(read_file_bytes(dir / "ConfigImporta.ret"));
            for (auto& line : report_lines(err)) trace.report_lines.push_back(std::move(line));
            for (const auto& r : service->received()) trace.requests.push_back(r.method + " " + r.target);
        }
        trace.departments = raw_rows(name, u"select * from Departamentos order by cod_dep, nom_dep");
        trace.merchandise = raw_rows(name, u"select * from Mercadorias order by cod_red");
        trace.log = read_file_bytes(dir / "ConfigImporta.log");
        trace.pages_read = pages_read(trace.log);
        return trace;
    }

    // Names the first row that differs, rather than printing both tables.
    static void expect_same_rows(const Rows& reference, const Rows& other, const char* table, const Way& way)
    {
        EXPECT_EQ(reference.size(), other.size()) << table;
        for (std::size_t i = 0; i < std::min(reference.size(), other.size()); ++i) {
            if (reference[i] == other[i]) continue;
            ADD_FAILURE() << table << ", row " << i << ":\n  " << by_statements.name << ": "
                          << ::testing::PrintToString(reference[i]) << "\n  " << way.name << ": "
                          << ::testing::PrintToString(other[i]);
            return;
        }
    }

    static void expect_alike(const Trace& reference, const Trace& other, const Way& way)
    {
        SCOPED_TRACE(way.name);
        EXPECT_EQ(reference.outcomes, other.outcomes);
        EXPECT_EQ(reference.report_lines, other.report_lines);
        EXPECT_EQ(reference.requests, other.requests);
        EXPECT_EQ(reference.pages_read, other.pages_read);
        expect_same_rows(reference.departments, other.departments, "Departamentos", way);
        expect_same_rows(reference.merchandise, other.merchandise, "Mercadorias", way);
        // Alike because batches were written, not because none could be.
        EXPECT_EQ(std::string::npos, other.log.find("lotes indispon")) << other.log;
    }

    static void expect_alike(const Traces& traces)
    {
        expect_alike(traces.statements, traces.batches, by_batches);
        expect_alike(traces.statements, traces.ahead, fetching_ahead);
    }
};

// Every whole-run scenario of the suite, in both modes.
class ScenariosByBothPaths : public WritePathRuns, public ::testing::TestWithParam<std::tuple<Scenario, DatabaseMode>> {
protected:
    static void SetUpTestSuite() { use_utf8_locale(); }
};

TEST_P(ScenariosByBothPaths, LeaveTheSameRowsAndReports)
{
    const auto& [s, mode] = GetParam();
    for (const auto& p : s.pages) service->script(page_path(s.page_size, p.start_id), p.answer);
    Input input{.page_size = s.page_size, .imports = s.imports, .setup = {}, .character_set = {}};
    if (!s.database_setup.empty()) input.setup.push_back(s.database_setup);
    const auto traces = run_each_way(input, mode);
    expect_alike(traces);
    EXPECT_EQ(utf8_bom + s.outcome, traces.ahead.outcomes.back());
}

INSTANTIATE_TEST_SUITE_P(Both, ScenariosByBothPaths,
                         ::testing::Combine(::testing::ValuesIn(scenarios),
                                            ::testing::Values(DatabaseMode::embedded, DatabaseMode::server)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == DatabaseMode::server ? "_server" : "_embedded");
                         });

// A catalogue made to part careless write paths: quotes, commas, accents
// and emoji in texts, blanks at either end, lengths around each column's
// limit; department names in mixed case, empty, blank or already there
// (twice); codes repeated, already there, or no 32-bit integer; flags and
// numbers that read as no integer or no number. Now and then a value the
// database refuses (some in one code page only), rarely enough that most
// batches are written whole and some are refused.
std::vector<std::string> generated_products(std::size_t count, std::uint32_t seed)
{
    const std::vector<std::string> names = {"Feijão, D'Ouro",
                                            "Arroz \"Tipo 1\"",
                                            "Pão 😀 Doce",
                                            "Café  ",
                                            "  Leite",
                                            "Açúcar € União",
                                            std::string(60, 'n'),
                                            "ÇÃÕ" + std::string(47, 'a') + "ÉÍ",
                                            "'; DROP TABLE Mercadorias; --",
                                            "",
                                            std::string(49, 'a') + "ã",
                                            "Ünïcödé ñ ¿?"};
    const std::vector<std::string> departments = {
        "Mercearia", "MERCEARIA", "mercEARIA", "Açougue",   "AÇOUGUE", "açougue",  "Padaria D'Ouro",
        "",          "   ",       "Bebidas",   "Limpeza €", "Frios 😀", "Bebidas ", std::string(40, 'D')};
    const std::vector<std::string> short_texts = {"Apelido", "a';b", std::string(31, 'x'),
                                                  "ÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇÇ", ""};
    const std::vector<std::string> units = {"UN", "KG", "UNIDADES", "ÇÇÇÇÇÇ", "cx ", ""};
    const std::vector<std::string> flags = {"1", "0", "2", "-1", "1", "\"1\"", "\"x\"", "1.5"};
    const std::vector<std::string> numbers = {"10",    "12.5",   "0.001",   "-3",      "1e3",    "9.9",
                                              "28.25", "0.0005", "\"abc\"", "1.23456", "\"7,5\""};
    const std::vector<std::string> ncms = {"22021000", "", "0", "2202 1000"};
    const std::vector<std::string> odd_codes = {"\"abc\"", "3000000000", "\"12\"", "-7", "2147483647"};
    // Refused: too long for the column (the Ç's in UTF-8 bytes only), or
    // beyond numeric(15,3).
    const std::vector<std::string> refused_departments = {std::string(41, 'D')};
    const std::vector<std::string> refused_scale_units = {"UNIDADE", "ÇÇÇÇÇ"};
    const std::vector<std::string> refused_ncms = {"123456789012"};
    const std::vector<std::string> refused_numbers = {"123456789012345"};

    std::mt19937 random(seed);
    auto pick = [&random](const auto& pool) { return pool[random() % pool.size()]; };
    // Mostly the plain value, so that most products are stored.
    auto now_and_then = [&](const std::string& plain, const auto& pool) {
        return random() % 8 ? plain : std::string(pick(pool));
    };
    auto rarely = [&](const std::string& plain, const auto& pool) {
        return random() % 600 ? plain : std::string(pick(pool));
    };
    std::vector<std::string> objects;
    for (std::size_t i = 0; i < count; ++i) {
        Product p{.codigo = static_cast<int>(i) + 1};
        const auto odds = random() % 100;
        if (odds < 4) p.codigo = static_cast<int>(random() % (i + 1)) + 1;  // again, in this page or before
        if (odds >= 4 && odds < 6) p.codigo_json = pick(odd_codes);
        p.nome = pick(names);
        p.nomeDepartamento = rarely(pick(departments), refused_departments);
        p.apelidoProduto = now_and_then("Apelido", short_texts);
        p.codigoBarras = now_and_then("789" + std::to_string(random() % 1000000000), short_texts);
        p.referencia = now_and_then("REF-" + std::to_string(i), short_texts);
        p.unidadeVenda = now_and_then("UN", units);
        p.unidadeBalanca = rarely(random() % 2 ? "KG" : "Ç", refused_scale_units);
        p.produtoBalanca = now_and_then("1", flags);
        p.Ativo = now_and_then("1", flags);
        p.ncm = rarely(now_and_then("22021000", ncms), refused_ncms);
        p.qtdEstoque = rarely(now_and_then(std::to_string(random() % 1000), numbers), refused_numbers);
        p.valorVenda = now_and_then(std::to_string(random() % 10000) + ".99", numbers);
        objects.push_back(json_of(p));
    }
    return objects;
}

// Rows a shop already has: departments (one name twice, one in lower case)
// and products the catalogue updates.
const std::vector<std::u16string> existing_rows = {
    u"insert into Departamentos values (5, 'BEBIDAS', '99', '0')",
    u"insert into Departamentos values (2, 'BEBIDAS', '1', '1')",
    u"insert into Departamentos values (7, 'Mercearia', '99', '0')",
    u"insert into Mercadorias (cod_red, nom_mer, dep_mer, QTD_EST) values (3, 'Antigo', 5, 1)",
    u"insert into Mercadorias (cod_red, nom_mer, dep_mer, vlr_ven) values (10, 'Velho', 7, 2.5)",
    u"insert into Mercadorias (cod_red, nom_mer) values (2147483647, 'Maior')",
};

struct CodePageCase {
    const char* name;
    std::string character_set;  // declared by the database; empty: none
    std::string code_page;  // IMPORTADOR_DATABASE_CODEPAGE, for a database without one
    DatabaseMode mode;
};

void PrintTo(const CodePageCase& c, std::ostream* out)
{
    *out << c.name;
}

const CodePageCase code_page_cases[] = {
    {"NoneInUtf8", "", "UTF-8", DatabaseMode::embedded},
    {"NoneInWindows1252", "", "WINDOWS-1252", DatabaseMode::embedded},
    {"Win1252Declared", "WIN1252", "UTF-8", DatabaseMode::embedded},
    {"Utf8Declared", "UTF8", "UTF-8", DatabaseMode::embedded},
    {"NoneInUtf8Server", "", "UTF-8", DatabaseMode::server},
    {"NoneInWindows1252Server", "", "WINDOWS-1252", DatabaseMode::server},
};

class CodePagesByBothPaths : public WritePathRuns, public ::testing::TestWithParam<CodePageCase> {
protected:
    static void SetUpTestSuite() { use_utf8_locale(); }
};

// Pages of 70: batches full and partial, and products in every state.
TEST_P(CodePagesByBothPaths, GeneratedCatalogueLeavesTheSameRows)
{
    const CodePageCase& c = GetParam();
    ScopedEnvironment code_page("IMPORTADOR_DATABASE_CODEPAGE", c.code_page);
    const auto products = generated_products(2500, 20261210);
    const std::size_t page_size = 70;
    const std::size_t pages = (products.size() + page_size - 1) / page_size;
    for (std::size_t k = 0; k < pages; ++k) {
        std::vector<std::string> objects(products.begin() + k * page_size,
                                         products.begin() + std::min(products.size(), (k + 1) * page_size));
        objects.push_back(control(k + 1 < pages ? static_cast<int>(k) + 1 : 0));
        service->script(page_path("70", static_cast<int>(k)), page(objects));
    }
    const auto traces = run_each_way(
        {.page_size = "70", .imports = 2, .setup = {numeric_columns, existing_rows}, .character_set = c.character_set},
        c.mode);
    expect_alike(traces);
    EXPECT_EQ(utf8_bom + import_ok, traces.ahead.outcomes.back());
    EXPECT_GT(traces.ahead.merchandise.size(), products.size() / 2);
}

TEST_P(CodePagesByBothPaths, HostileProductsLeaveTheSameRows)
{
    const CodePageCase& c = GetParam();
    ScopedEnvironment code_page("IMPORTADOR_DATABASE_CODEPAGE", c.code_page);
    service->script(page_path("500", 0), hostile_page());
    expect_alike(run_each_way(
        {.page_size = "500", .imports = 2, .setup = {numeric_columns}, .character_set = c.character_set}, c.mode));
}

INSTANTIATE_TEST_SUITE_P(Both, CodePagesByBothPaths, ::testing::ValuesIn(code_page_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Counted through the writer: the batches must carry the products, or the
// comparisons above would only hold the statements against themselves.
class BatchRoute : public WritePathRuns, public ::testing::Test {
protected:
    static void SetUpTestSuite() { use_utf8_locale(); }
};

// Pages of 60 make blocks of 50 and 10; nothing is refused, so nothing is
// replayed one product at a time, on a new import or an update.
TEST_F(BatchRoute, CatalogueWithoutRefusalsTravelsByBatchesAlone)
{
    const std::vector<std::string> departments = {"Mercearia", "Bebidas", "Açougue"};
    std::vector<std::string> objects;
    for (int codigo = 1; codigo <= 130; ++codigo) {
        objects.push_back(json_of({.codigo = codigo, .nomeDepartamento = departments[codigo % departments.size()]}));
        if (codigo % 60 == 0 || codigo == 130) {
            objects.push_back(control(codigo == 130 ? 0 : codigo));
            service->script(page_path("60", codigo <= 60 ? 0 : (codigo - 1) / 60 * 60), page(objects));
            objects.clear();
        }
    }
    const auto traces =
        run_each_way({.page_size = "60", .imports = 2, .setup = {}, .character_set = {}}, DatabaseMode::embedded);
    expect_alike(traces);
    EXPECT_EQ(utf8_bom + import_ok, traces.batches.outcomes.back());
    EXPECT_EQ(130u, traces.batches.merchandise.size());

    for (const WriteRoutes& routes : {traces.batches.routes, traces.ahead.routes}) {
        EXPECT_EQ(5, routes.batches);
        EXPECT_EQ(130, routes.products_by_batch);
        EXPECT_EQ(0, routes.refused_batches);
        EXPECT_EQ(0, routes.products_by_statements);
    }
    EXPECT_EQ(130, traces.statements.routes.products_by_statements);
    EXPECT_EQ(0, traces.statements.routes.products_by_batch);
}

// Another station holds product 60 of a page of 120: every way gives the
// page up naming that product, and nothing of the page stays.
class HeldRowByBothPaths : public WritePathRuns, public ::testing::Test {
protected:
    static void SetUpTestSuite() { use_utf8_locale(); }
};

TEST_F(HeldRowByBothPaths, PageIsGivenUpAlike)
{
    std::vector<std::string> objects;
    for (int codigo = 1; codigo <= 120; ++codigo) objects.push_back(json_of({.codigo = codigo}));
    objects.push_back(control(0));
    service->script(page_path("500", 0), page(objects));

    std::vector<std::string> outcomes;
    std::vector<Rows> rows;
    for (const Way& way : {by_statements, by_batches, fetching_ahead}) {
        TestDatabase file;
        execute_statements(file.file.string(), {u"insert into Mercadorias (cod_red, nom_mer) values (60, 'Antigo')"});
        StationHoldingRow other_station(file.file.string(), 60);

        ScopedEnvironment chosen("IMPORTADOR_WRITE_PATH",
                                 way.path == WritePath::statements ? "statements" : "batches");
        ScopedEnvironment fetch("IMPORTADOR_FETCH_AHEAD", way.fetch_ahead ? "1" : "0");
        write_request("500", file.file.string());
        {
            RunObjects run_objects(dir.path(), service->base_url());
            run_objects.dtmApi.lock_timeout_seconds = 1;
            EXPECT_EQ(ImportRun::Ending::quit, run_objects.run.timerImportTimer());
        }
        outcomes.push_back(read_file_bytes(dir / "ConfigImporta.ret"));
        other_station.release();
        rows.push_back(raw_rows(file.file.string(), u"select * from Mercadorias order by cod_red"));
    }
    EXPECT_EQ(outcomes[0], outcomes[1]);
    EXPECT_EQ(outcomes[0], outcomes[2]);
    EXPECT_TRUE(outcomes[1].starts_with(utf8_bom + "ERRO: a gravacao do produto 60 falhou (")) << outcomes[1];
    EXPECT_EQ(rows[0], rows[1]);
    EXPECT_EQ(rows[0], rows[2]);
    EXPECT_EQ(1u, rows[1].size());
}

}  // namespace

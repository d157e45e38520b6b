// What a shop's catalogue becomes in the database: hostile products stored
// exactly or skipped and reported, texts cut to fit their columns in every
// code page, and a re-import that stores what the first import stored.
#include "sync/product_scenarios.h"
#include "sync/run_fixture.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace run_fixture;
using product_scenarios::hostile_page;

class DataIntegrity : public ImportRunTest, public ::testing::Test {
protected:
    static void SetUpTestSuite() { use_utf8_locale(); }

    std::string import(const std::string& page_size = "500")
    {
        write_request(page_size);
        std::string err;
        EXPECT_EQ(ImportRun::Ending::quit, run_once(&err));
        return err;
    }
};

// Each hostile product is stored exactly or skipped and reported, and the
// products around it are stored.
TEST_F(DataIntegrity, HostileProductsAreStoredExactlyOrSkipped)
{
    service->script(page_path("500", 0), hostile_page());

    const std::string err = import();

    EXPECT_EQ(utf8_bom + import_ok, read_file_bytes(dir / "ConfigImporta.ret")) << err;
    EXPECT_EQ((Rows{{"1", "'; DROP TABLE Mercadorias; --", "Apelido", "REF-1"},
                    {"2", "/* x */ \"q\" -- ;", "a';b", "REF-1"},
                    {"3", std::string(50, 'x'), "Apelido", std::string(30, 'x')},
                    {"5", "Pão 😀 Doce", "Apelido", "REF-1"},
                    {"10", "Segundo", "Apelido", "REF-1"},
                    {"12", "Depois", "Apelido", "REF-1"}}),
              utf8_rows(read_rows(database.file, u"select cod_red, nom_mer, ape_cup, ref_mer from Mercadorias "
                                                 u"where cod_red <> 4 order by cod_red")));
    // A NUL cannot travel inside the statement's text: the product is
    // either stored whole or reported, never stored cut at the NUL.
    const auto nul_row = utf8_rows(read_rows(database.file, u"select nom_mer from Mercadorias where cod_red = 4"));
    if (nul_row.empty())
        EXPECT_NE(std::string::npos, err.find("Produto 4 ignorado: ")) << err;
    else
        EXPECT_EQ((Rows{{std::string("Caf\0e", 5)}}), nul_row);
    EXPECT_EQ((Rows{{"1", "MERCEARIA"}}),
              utf8_rows(read_rows(database.file, u"select cod_dep, nom_dep from Departamentos order by cod_dep")));
    for (const char* line : {
             "Produto abc ignorado: 'abc' is not a valid integer value",
             "Produto 3000000000 ignorado: '3000000000' is not a valid integer value",
             "Produto 8 ignorado: 'R$ 5' is not a valid floating point value",
             "Produto 9 ignorado: ",
             "Produto 11 ignorado: '123456789012345678901' is not a valid integer value",
         })
        EXPECT_NE(std::string::npos, err.find(line)) << line << "\n" << err;
}

// Every member the import reads, and each kind of value JSON can give it.
const char* const read_members[] = {
    "codigo",       "nome",           "apelidoProduto", "codigoBarras", "referencia", "nomeDepartamento",
    "unidadeVenda", "unidadeBalanca", "produtoBalanca", "Ativo",        "ncm",        "qtdEstoque",
    "valorVenda"};

struct ValueKind {
    const char* name;
    std::string json;
    std::string as_codigo;  // how a product with it as its codigo is reported
    bool unreadable;  // its cell keeps a failure that every read of it throws
};

const ValueKind value_kinds[] = {
    {"string", "\"7\"", "7", false},
    {"number at the 64-bit limit", "9223372036854775807", "9223372036854775807", false},
    {"number one past it", "9223372036854775808", "9223372036854775808", true},
    {"huge exponent", "1e999999", "1e999999", true},
    {"true", "true", "True", false},
    {"null", "null", "", false},
    {"object", "{\"a\":[1]}", "{\"a\":[1]}", false},
    {"array", "[1,\"b\"]", "[1,\"b\"]", false},
};

// A product that reads well but for `member`, sent as `raw`; its department
// is its own.
std::string product_json(int codigo, std::string_view member = {}, const std::string& raw = {})
{
    const std::pair<std::string_view, std::string> members[] = {
        {"codigo", std::to_string(codigo)},
        {"nome", "\"Produto\""},
        {"apelidoProduto", "\"Apelido\""},
        {"codigoBarras", "\"789\""},
        {"referencia", "\"REF\""},
        {"nomeDepartamento", json_string("D" + std::to_string(codigo))},
        {"unidadeVenda", "\"UN\""},
        {"unidadeBalanca", "\"KG\""},
        {"produtoBalanca", "0"},
        {"Ativo", "1"},
        {"ncm", "\"22021000\""},
        {"qtdEstoque", "10"},
        {"valorVenda", "9.9"}};
    std::string o;
    for (const auto& [name, value] : members)
        o += (o.empty() ? "{" : ",") + json_string(name) + ":" + (name == member ? raw : value);
    return o + "}";
}

// Each member of a product given each kind of value, among products that
// read well, the control record after them all: the scan for the page
// ahead, both control-record checks and the writer read every row, by
// both write routes. Each product is written or skipped and reported on
// its own, and the run goes on to the next page and ends Ok.
TEST_F(DataIntegrity, EachMemberOfEachKindCostsAtMostItsOwnProduct)
{
    struct Sent {
        std::string member;
        const ValueKind& kind;
        std::string codigo;  // as reported
    };
    std::vector<Sent> sent;
    std::vector<std::string> first_page = {product_json(1)};
    int codigo = 100;
    for (const std::string member : read_members)
        for (const ValueKind& kind : value_kinds) {
            first_page.push_back(product_json(++codigo, member, kind.json));
            sent.push_back({member, kind, member == "codigo" ? kind.as_codigo : std::to_string(codigo)});
        }
    first_page.push_back(product_json(2));
    first_page.push_back(control(5000));
    service->script(page_path("500", 0), page(first_page));
    service->script(page_path("500", 5000), page({product_json(3), control(0)}));

    std::map<std::string, std::vector<std::string>> fates_by_route;  // of each product sent, in order
    for (const char* route : {"statements", "batches"}) {
        SCOPED_TRACE(route);
        TestDatabase fresh;
        ScopedEnvironment chosen("IMPORTADOR_WRITE_PATH", route);
        ScopedEnvironment ahead("IMPORTADOR_FETCH_AHEAD", "1");
        write_request("500", fresh.file.string());
        service->clear_received();
        // The page ahead is asked for while the first is written only if
        // the scan for its start read past every row.
        Gate asked_ahead;
        service->before_answer([&asked_ahead, target = "/" + page_path("500", 5000)](const ReceivedRequest& r) {
            if (r.target == target) asked_ahead.open();
        });
        RunObjects objects(dir.path(), service->base_url());
        objects.shell.on_event = [&](const std::string& event) {
            if (event == "write 1") {
                EXPECT_TRUE(asked_ahead.wait()) << "the page ahead was never asked for";
            }
        };
        const std::string err = standard_error_of([&] { objects.run.timerImportTimer(); });
        service->before_answer({});

        EXPECT_EQ(utf8_bom + import_ok, read_file_bytes(dir / "ConfigImporta.ret")) << err;
        EXPECT_EQ(std::string("POST /") + QuintaraService::confirmation_path,
                  service->received().back().method + " " + service->received().back().target);
        std::set<std::string> written;
        for (const auto& row : utf8_rows(read_rows(fresh.file, u"select cod_red from Mercadorias")))
            written.insert(row[0]);
        std::set<std::string> departments;
        for (const auto& row : utf8_rows(read_rows(fresh.file, u"select nom_dep from Departamentos")))
            departments.insert(row[0]);
        std::multimap<std::string, std::string> skips;  // reason by codigo
        for (const auto& skip : objects.shell.skipped) {
            const std::string skipped = utf16_to_utf8(skip.codigo), reason = utf16_to_utf8(skip.reason);
            skips.emplace(skipped, reason);
            EXPECT_NE(std::string::npos, err.find("Produto " + skipped + " ignorado: " + reason)) << skipped;
        }

        for (const char* good : {"1", "2", "3"}) EXPECT_TRUE(written.contains(good)) << good;
        auto& fates = fates_by_route[route];
        for (const Sent& s : sent) {
            SCOPED_TRACE(s.member + " as " + s.kind.name);
            const auto [first_skip, end_skip] = skips.equal_range(s.codigo);
            EXPECT_EQ(1, written.contains(s.codigo) + std::distance(first_skip, end_skip));
            fates.push_back(first_skip == end_skip ? "written" : first_skip->second);
            if (!s.kind.unreadable) continue;
            EXPECT_NE(std::string::npos, fates.back().find("'" + s.kind.json + "' is not a valid")) << fates.back();
            if (s.member == "nome") {
                EXPECT_FALSE(departments.contains("D" + s.codigo));
            }
        }
    }
    EXPECT_EQ(fates_by_route["statements"], fates_by_route["batches"]);
}

// The cuts of name, short name and sales unit in each code page a database
// text can have: a database that declares WIN1252 counts characters, one
// that declares nothing counts the bytes of the code page it is written in.
struct CutCase {
    const char* name;
    std::string character_set;  // declared by the database; empty: none
    std::string code_page;  // IMPORTADOR_DATABASE_CODEPAGE
    std::vector<std::string> expected;  // products 1 to 4: nom_mer, ape_cup, uni_mer
};

void PrintTo(const CutCase& c, std::ostream* out)
{
    *out << c.name;
}

const std::string a49 = std::string(49, 'a');
const std::string b29 = std::string(29, 'b');

// Product 1: each text exactly at its limit, ending in an accented letter;
// product 2: one past it; product 3: two accented letters across the limit.
const Product cut_products[] = {
    {.codigo = 1, .nome = a49 + "ã", .apelidoProduto = b29 + "é", .unidadeVenda = "ÇÇÇÇÇ"},
    {.codigo = 2, .nome = a49 + "aã", .apelidoProduto = b29 + "bé", .unidadeVenda = "ÇÇÇÇÇÇ"},
    {.codigo = 3,
     .nome = std::string(48, 'a') + "ãé",
     .apelidoProduto = std::string(28, 'b') + "éã",
     .unidadeVenda = "KGÃÃ"},
};

// Counted in characters (or in bytes of Windows-1252, one a character),
// each text keeps every character up to its limit.
const std::vector<std::string> cut_by_characters = {
    a49 + "ã", b29 + "é", "ÇÇÇÇÇ", a49 + "a", b29 + "b", "ÇÇÇÇÇ", std::string(48, 'a') + "ãé",
    std::string(28, 'b') + "éã", "KGÃÃ"};

const CutCase cut_cases[] = {
    {"NoneDatabaseInWindows1252", "", "WINDOWS-1252", cut_by_characters},
    // Counted in UTF-8 bytes: an accented letter takes two, and one that
    // would cross the limit is left out whole.
    {"NoneDatabaseInUtf8",
     "",
     "UTF-8",
     {a49, b29, "ÇÇ", a49 + "a", b29 + "b", "ÇÇ", std::string(48, 'a') + "ã", std::string(28, 'b') + "é", "KGÃ"}},
    {"Win1252DatabaseFromUtf8", "WIN1252", "UTF-8", cut_by_characters},
    {"Win1252DatabaseFromWindows1252", "WIN1252", "WINDOWS-1252", cut_by_characters},
};

class TextCuts : public ImportRunTest, public ::testing::TestWithParam<CutCase> {
protected:
    static void SetUpTestSuite() { use_utf8_locale(); }
};

TEST_P(TextCuts, TextsFitTheirColumns)
{
    const CutCase& c = GetParam();
    TestDatabase declared(3, c.character_set);
    ScopedEnvironment code_page("IMPORTADOR_DATABASE_CODEPAGE", c.code_page);
    service->script(page_path("500", 0), page({cut_products[0], cut_products[1], cut_products[2]}, 0));
    write_request("500", declared.file.string());
    std::string err;
    ASSERT_EQ(ImportRun::Ending::quit, run_once(&err));
    EXPECT_EQ(utf8_bom + import_ok, read_file_bytes(dir / "ConfigImporta.ret")) << err;
    EXPECT_NE(std::string::npos, err.find("3 produtos inseridos, 0 atualizados, 0 ignorados")) << err;

    // Read back through the database's own character set: the engine's
    // conversion where one is declared, the bytes as written where not.
    const ReadAs read_as = c.character_set.empty()
                               ? ReadAs{.lc_ctype = {}, .code_page = AnsiCodePage::named(c.code_page)}
                               : ReadAs{.lc_ctype = u"UTF8", .code_page = AnsiCodePage::utf8()};
    std::vector<std::string> stored;
    for (const auto& row :
         read_rows(declared.file, u"select nom_mer, ape_cup, uni_mer from Mercadorias order by cod_red", read_as))
        for (const auto& cell : row) stored.push_back(utf16_to_utf8(cell));
    EXPECT_EQ(c.expected, stored);
}

INSTANTIATE_TEST_SUITE_P(CodePages, TextCuts, ::testing::ValuesIn(cut_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Both tables, every column, in a fixed order.
Rows all_rows(const std::filesystem::path& file)
{
    Rows rows = utf8_rows(read_rows(file, u"select * from Departamentos order by cod_dep"));
    for (auto& row : utf8_rows(read_rows(file, u"select * from Mercadorias order by cod_red"))) rows.push_back(row);
    return rows;
}

// A catalogue imported twice leaves both tables as one import leaves them.
TEST_F(DataIntegrity, SecondImportStoresWhatTheFirstStored)
{
    const CatalogueOptions catalogues[] = {
        {.products = 300, .departments = 9, .bad = 3, .seed = 7},
        {.products = 40, .departments = 60, .bad = 0, .seed = 11},
    };
    for (const auto& catalogue : catalogues) {
        serve_catalogue(catalogue);
        TestDatabase once, twice;
        write_request("70", once.file.string());
        run_once();
        for (int i = 0; i < 2; ++i) {
            write_request("70", twice.file.string());
            run_once();
        }
        const Rows expected = all_rows(once.file);
        EXPECT_GT(expected.size(), catalogue.products - catalogue.bad);
        EXPECT_EQ(expected, all_rows(twice.file)) << "seed " << catalogue.seed;
    }
}

}  // namespace

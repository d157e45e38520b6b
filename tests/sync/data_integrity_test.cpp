// What a shop's catalogue becomes in the database: hostile products stored
// exactly or skipped and reported, texts cut to fit their columns in every
// code page, and a re-import that stores what the first import stored.
#include "sync/product_scenarios.h"
#include "sync/run_fixture.h"

#include <gtest/gtest.h>

#include <string>
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

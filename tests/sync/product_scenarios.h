// The whole-run scenarios: scripted pages, and what the database, the
// service and the report hold after the last import. Run as they are by
// the run tests, and by both write paths side by side.
#pragma once

#include "sync/run_fixture.h"

#include <ostream>
#include <string>
#include <vector>

namespace product_scenarios {

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

inline void PrintTo(const Scenario& s, std::ostream* out)
{
    *out << s.name;
}

inline const std::string fifty(50, 'n');
inline const std::string thirty(30, 'a');
inline const Rows no_rows;

inline const Scenario scenarios[] = {
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

    // A nome that cannot be read as text costs only its own product: it is
    // skipped at the control-record test, before its department is looked
    // up, and the rest of its page is written.
    {.name = "UnreadableNomeSkipsOnlyItsProduct",
     .page_size = "500",
     .pages = {{0, page({json_of({.codigo = 1, .valorVenda = "\"abc\""}), json_of({.codigo = 2}),
                         "{\"codigo\":3,\"nome\":123456789012345678901,\"nomeDepartamento\":\"Limpeza\"}",
                         json_of({.codigo = 4}), control(0)})}},
     .outcome = import_ok,
     .requested_start_ids = {0},
     .confirmed = true,
     .departments = {{"1", "MERCEARIA", "99", "0"}},
     .merchandise = {{"2", "Produto", "1"}, {"4", "Produto", "1"}},
     .in_stderr = {"Produto 1 ignorado: 'abc' is not a valid floating point value",
                   "Produto 3 ignorado: '123456789012345678901' is not a valid integer value",
                   "2 produtos inseridos, 0 atualizados, 2 ignorados, 1 departamentos criados"}},

    // A control record whose codigo cannot be read names no next start: its
    // page is written, and the run ends as after a page without one.
    {.name = "ControlRecordWithUnreadableCodigoNamesNoStart",
     .page_size = "500",
     .pages = {{0,
                page({json_of({.codigo = 1}), "{\"codigo\":1e999999,\"nome\":" + json_string("Bearer " + token) + "}",
                      json_of({.codigo = 2})})}},
     .outcome = "ERRO: a pagina iniciada no id 0 nao indicou um novo id inicial; importacao interrompida",
     .requested_start_ids = {0},
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

    // Another token's control record names the next start id as its codigo:
    // written as a product it would overwrite product 1 with "Bearer ...".
    {.name = "ControlRecordOfAnotherTokenEndsTheRunUnwritten",
     .page_size = "1",
     .pages = {{0, page({{.codigo = 1}}, 1)},
               {1, page({json_of({.codigo = 2}), "{\"codigo\":1,\"nome\":\"Bearer outro-token\"}"})}},
     .outcome = "ERRO: a pagina iniciada no id 1 traz o registro de controle de outro token; importacao interrompida",
     .requested_start_ids = {0, 1},
     .departments = {{"1", "MERCEARIA", "99", "0"}},
     .merchandise = {{"1", "Produto", "1"}}},

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

inline const std::string forty_one(41, 'D');
inline const std::string sixty_four_kib(64 * 1024, 'x');

// The product with its barcode sent as a raw JSON value.
inline std::string with_raw_barcode(Product p, const std::string& raw_value)
{
    p.codigoBarras = "@barcode@";
    std::string o = json_of(p);
    return o.replace(o.find("\"@barcode@\""), 11, raw_value);
}

// One page of products made to break a write: SQL in texts, overlong and
// NUL-bearing texts, codes that are no 32-bit integer, a price that is no
// number, a department name too long for its column, a code twice.
inline ScriptedAnswer hostile_page()
{
    return page({json_of({.codigo = 1, .nome = "'; DROP TABLE Mercadorias; --"}),
                 json_of({.codigo = 2, .nome = "/* x */ \"q\" -- ;", .apelidoProduto = "a';b"}),
                 json_of({.codigo = 3, .nome = sixty_four_kib, .referencia = sixty_four_kib}),
                 json_of({.codigo = 4, .nome = std::string("Caf\0e", 5)}), json_of({.codigo = 5, .nome = "Pão 😀 Doce"}),
                 json_of({.codigo = 0, .nome = "Codigo texto", .codigo_json = "\"abc\""}),
                 json_of({.codigo = 0, .nome = "Codigo grande", .codigo_json = "3000000000"}),
                 json_of({.codigo = 8, .valorVenda = "\"R$ 5\""}),
                 json_of({.codigo = 9, .nomeDepartamento = forty_one}), json_of({.codigo = 10, .nome = "Primeiro"}),
                 json_of({.codigo = 10, .nome = "Segundo"}), with_raw_barcode({.codigo = 11}, "123456789012345678901"),
                 json_of({.codigo = 12, .nome = "Depois"}), control(0)});
}

}  // namespace product_scenarios

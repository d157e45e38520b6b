#include "sync/product_row.h"

#include <gtest/gtest.h>

#include "api/memory_table.h"
#include "support/failure_message.h"
#include "util/utf.h"

#include <optional>
#include <string>

namespace {

std::u16string u16(const std::string& text)
{
    return utf8_to_utf16(text);
}

// A table whose one row is the product `members`, a JSON object's inside.
struct OneProduct {
    explicit OneProduct(const std::string& members)
    {
        table.load_body(u16("[{" + members + "}]"));
        table.First();
    }
    MemoryTable table{u"tblProdutos"};
};

const std::string every_member =
    R"("codigo":7,"nome":"Café","apelidoProduto":"Apelido","codigoBarras":"789","referencia":"Ref",)"
    R"("nomeDepartamento":"Bebidas","unidadeVenda":"UNIDADE","unidadeBalanca":"KG","produtoBalanca":1,)"
    R"("ncm":"2101","qtdEstoque":2.5,"valorVenda":10,"Ativo":2)";

// Cuts by characters, so that each text shows the limit it was cut to.
const ColumnFit cut = [](std::u16string_view text, std::size_t limit) { return std::u16string(text.substr(0, limit)); };

TEST(ProductRow, EveryColumnIsReadByItsKind)
{
    OneProduct product(every_member);
    const ProductRow row = read_product_row(product.table, [](std::u16string_view text, std::size_t limit) {
        return std::u16string(text) + u"/" + u16(std::to_string(limit));
    });
    ASSERT_EQ(std::nullopt, row.failure);
    EXPECT_EQ(u"7", row.codigo);
    EXPECT_EQ(7, row.code);
    EXPECT_EQ(u"BEBIDAS", row.department_name);
    const MerchandiseValues expected = {u"7",  u"Café/50", u"Apelido/30", u"789/30", u"Ref/30", u"",   u"UNIDADE/5",
                                        u"KG", u"T",       u"F",          u"02101",  u"2.5",    u"10", u"F"};
    EXPECT_EQ(expected, row.values);
}

// Several members of one product fail: the first read in the reader's
// order is the one told, and the department is known only when both flags
// were read before it.
TEST(ProductRow, FirstFailingReadIsTheOneTold)
{
    struct {
        std::string members;
        std::u16string failure;
        std::optional<std::u16string> department;
    } cases[] = {
        {R"("codigo":"c","nome":123456789012345678901,"produtoBalanca":"p","qtdEstoque":"q","Ativo":1)",
         u"'123456789012345678901' is not a valid integer value", std::nullopt},
        {R"("codigo":"c","nome":"N","produtoBalanca":"p","qtdEstoque":"q","Ativo":"a")",
         u"'p' is not a valid integer value", std::nullopt},
        {R"("codigo":"c","nome":"N","produtoBalanca":1,"qtdEstoque":"q","Ativo":"a")",
         u"'a' is not a valid integer value", std::nullopt},
        {R"("codigo":"c","nome":"N","produtoBalanca":1,"qtdEstoque":"q","Ativo":1)",
         u"'q' is not a valid floating point value", u"LIMPEZA"},
        {R"("codigo":"c","nome":"N","produtoBalanca":1,"qtdEstoque":1,"Ativo":1)", u"'c' is not a valid integer value",
         u"LIMPEZA"},
    };
    for (const auto& c : cases) {
        OneProduct product(c.members + R"(,"apelidoProduto":"","codigoBarras":"","referencia":"",)"
                                       R"("nomeDepartamento":"Limpeza","unidadeVenda":"","unidadeBalanca":"",)"
                                       R"("ncm":"","valorVenda":1)");
        const ProductRow row = read_product_row(product.table, cut);
        EXPECT_EQ(c.failure, row.failure) << c.members;
        EXPECT_EQ(c.department, row.department_name) << c.members;
        EXPECT_EQ(u"c", row.codigo) << c.members;
        EXPECT_EQ(MerchandiseValues{}, row.values) << c.members;
    }
}

// The member named missing is the first of the schema's order, the flags
// taken together where the first of them stands.
TEST(ProductRow, FirstMissingMemberIsTheOneNamed)
{
    struct {
        std::vector<std::string> missing;
        std::u16string message;
    } cases[] = {
        {{}, u"(no error)"},
        {{"codigo", "valorVenda"}, u"tblProdutos: Field 'codigo' not found"},
        {{"unidadeBalanca", "produtoBalanca"}, u"tblProdutos: Field 'unidadeBalanca' not found"},
        {{"Ativo", "ncm"}, u"tblProdutos: Field 'Ativo' not found"},
        {{"valorVenda", "Ativo"}, u"tblProdutos: Field 'Ativo' not found"},
        {{"qtdEstoque", "valorVenda"}, u"tblProdutos: Field 'qtdEstoque' not found"},
    };
    for (const auto& c : cases) {
        std::string members = every_member;
        for (const auto& name : c.missing) {
            const auto at = members.find("\"" + name + "\":");
            members.replace(at, 1, "\"x");  // a member the schema does not know
        }
        OneProduct product(members);
        EXPECT_EQ(c.message, failure_message([&] { require_product_members(product.table); })) << members;
    }
}

}  // namespace

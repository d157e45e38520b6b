#include "api/json_value.h"
#include "api/memory_table.h"
#include "api/response_checker.h"
#include "util/utf.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

// A products page as large as the service sends: 20,000 products of 14
// members. Prints how long each step takes; asserts only the results.
std::string products_page(int products)
{
    std::string page = "[";
    for (int i = 1; i <= products; ++i) {
        const std::string n = std::to_string(i);
        page += (i > 1 ? "," : "");
        page += "{\"codigo\":" + n + ",\"nome\":\"Produto n\\u00famero " + n +
                " / caixa com 12 unidades\",\"codigoBarras\":\"789" + n +
                "0000\",\"valorVenda\":" + n + ".50,\"valorPromocao\":0,\"qtdEstoque\":" + n +
                ".125,\"unidade\":\"UN\",\"produtoBalanca\":0,\"Ativo\":1,\"nomeDepartamento\":\"Mercearia\"," +
                "\"codigoDepartamento\":3,\"ncm\":\"22021000\",\"cest\":\"0300700\",\"dataAlteracao\":" +
                "\"2024-05-01T10:20:30\"}";
    }
    return page + "]";
}

template <typename F>
double milliseconds(F&& step)
{
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

TEST(JsonPageBenchmark, TwentyThousandProducts)
{
    const std::string body = products_page(20'000);
    const std::u16string body16 = utf8_to_utf16(body);
    std::optional<JsonValue> value;
    std::u16string compact;
    std::u16string verdict;
    MemoryTable table(u"tblProdutos");
    long long sum = 0;

    const double parse8 = milliseconds([&] { value = read_json_utf8(body); });
    const double parse16 = milliseconds([&] { value = read_json(body16); });
    ASSERT_TRUE(value);
    const double write = milliseconds([&] { compact = compact_json_text(*value); });
    const double judge = milliseconds([&] { verdict = judge_response(compact); });
    const double load = milliseconds([&] { table.load(*value); });
    const double read = milliseconds([&] {
        for (table.First(); !table.Eof(); table.Next())
            for (const auto& name : table.column_names())
                sum += static_cast<long long>(table.FieldByName(name).AsString().size());
        for (table.First(); !table.Eof(); table.Next())
            sum += table.FieldByName(u"CODIGO").AsInteger();
    });

    EXPECT_EQ(u"OK", verdict);
    EXPECT_EQ(20'000u, table.RecordCount());
    EXPECT_EQ(14u, table.column_names().size());
    std::printf("page of %.1f MB: read UTF-8 %.1f ms, read UTF-16 %.1f ms, compact text %.1f ms, "
                "judge %.1f ms, table load %.1f ms, read all cells %.1f ms (%lld)\n",
                body.size() / 1e6, parse8, parse16, write, judge, load, read, sum);
}

}  // namespace

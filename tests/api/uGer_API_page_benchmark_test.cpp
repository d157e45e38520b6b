#include "api/http_transport.h"
#include "api/uGer_API.h"

#include "http_test_service.h"
#include "util/utf.h"

#include <chrono>
#include <cstdio>

namespace {

// A 20,000-product page over HTTPS from the substitute service: the bare
// exchange, then the whole page request (probe, exchange, JSON, table,
// compact text, check). Prints the figures; asserts only the results.
ServiceOptions twenty_thousand_products()
{
    ServiceOptions options;
    options.catalogue.products = 20'000;
    options.catalogue.departments = 12;
    return options;
}

class GerApiPageBenchmark : public ServiceTest {
protected:
    GerApiPageBenchmark() : ServiceTest(twenty_thousand_products()) {}
};

template <typename F>
double milliseconds(F&& step)
{
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(GerApiPageBenchmark, TwentyThousandProductsInOnePage)
{
    HttpTransport transport(std::make_shared<HttpConnectionCache>());
    HttpRequest request;
    request.url = url("api/operacoes-frente/getPessoasProdutos/PRODUTO/20000/TODOS/0");
    request.headers = {{"Authorization", "Bearer tok"}};
    HttpResult result;
    transport.perform(request);  // the connection is open from here on
    const double exchange = milliseconds([&] { result = transport.perform(request); });

    Tger_API api;
    api.urlBase = utf8_to_utf16(service.base_url());
    api.token_de_acesso = u"tok";
    api.regPorTrafego = u"20000";
    std::u16string outcome;
    api.get_Status();
    const double page = milliseconds([&] { outcome = api.load_dados_Produtos(u"TODOS", u"0"); });

    EXPECT_EQ(u"OK", outcome);
    EXPECT_EQ(20'001u, api.tblProdutos.RecordCount());
    std::printf("20,000-product page, %zu bytes: exchange %.1f ms, load_dados_Produtos %.1f ms\n",
                result.body.size(), exchange, page);
}

} // namespace

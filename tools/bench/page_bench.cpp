// page-bench: how long one large products page takes on its way from the
// body to the table, streamed from the body's events, and then the whole
// page request against the substitute service.
//
//   page-bench [--products 20000] [--rounds 5]
//
// Each step is timed `rounds` times; the fastest time is printed.
#include "api/memory_table.h"
#include "api/response_checker.h"
#include "api/uGer_API.h"
#include "http/transport.h"
#include "tools/bench/count_argument.h"
#include "tools/quintara_service.h"
#include "util/utf.h"
#include "json/compact_writer.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>

#include <stdlib.h>

namespace {

const std::string token = "bench-token";

struct Arguments {
    std::size_t products = 20000;
    int rounds = 5;
};

Arguments parse_arguments(int argc, char** argv)
{
    Arguments a;
    if (argc % 2 == 0) throw std::invalid_argument(std::string(argv[argc - 1]) + " needs a value");
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--products")
            a.products = count_argument(name, argv[i + 1]);
        else if (name == "--rounds")
            a.rounds = static_cast<int>(count_argument(name, argv[i + 1]));
        else
            throw std::invalid_argument("unknown option " + name);
    }
    return a;
}

std::string fixed(double value, int decimals)
{
    char buffer[64];
    return std::string(buffer,
                       std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr);
}

// The fastest of `rounds` runs of `step`, in milliseconds.
template <typename Step> double fastest(int rounds, Step&& step)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        step();
        best =
            std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void print_step(const std::string& what, double milliseconds)
{
    std::string label = "  " + what + ":";
    label.resize(std::max<std::size_t>(label.size(), 40), ' ');
    std::cout << label << fixed(milliseconds, 1) << " ms\n";
}

void require(bool condition, const std::string& what)
{
    if (!condition) throw std::runtime_error(what);
}

void time_body_to_table(const std::string& body, const Arguments& arguments)
{
    const std::u16string body16 = utf8_to_utf16(body);
    const int rounds = arguments.rounds;
    MemoryTable table(u"tblProdutos");
    std::u16string compact;

    std::cout << "Page of " << arguments.products << " products, " << fixed(body.size() / 1e6, 1) << " MB body\n";

    const double streamed = fastest(
        rounds, [&] { table.load_json([&](JsonEvents& events) { return read_json_events_utf8(body, events); }); });
    const double streamed16 = fastest(rounds, [&] { table.load_body(body16); });
    const double streamed_compact = fastest(rounds, [&] {
        compact.clear();
        compact.shrink_to_fit();
        compact.reserve(body.size());
        CompactJsonWriter writer(compact);
        require(read_json_events_utf8(body, writer), "the page is no JSON");
    });
    require(table.RecordCount() == arguments.products + 1, "the table lacks rows");
    print_step("table streamed from UTF-8", streamed);
    print_step("table streamed from UTF-16", streamed16);
    print_step("compact text streamed from UTF-8", streamed_compact);

    std::u16string verdict;
    const double judge = fastest(rounds, [&] { verdict = judge_response(compact); });
    require(verdict == u"OK", "the page was judged an error");
    long long sum = 0;
    const double read = fastest(rounds, [&] {
        for (table.First(); !table.Eof(); table.Next())
            for (const auto& name : table.column_names())
                sum += static_cast<long long>(table.FieldByName(name).AsString().size());
    });
    print_step("judge the compact text", judge);
    print_step("read every cell by name", read);
}

void time_page_request(const Arguments& arguments)
{
    ServiceOptions options;
    options.catalogue.products = arguments.products;
    options.catalogue.departments = 50;
    QuintaraService service(options);
    setenv("CURL_CA_BUNDLE", service.ca_file().string().c_str(), 1);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    const std::string page_size = std::to_string(arguments.products);

    HttpTransport transport(std::make_shared<HttpConnectionCache>());
    HttpRequest request;
    request.url = service.base_url() + "api/operacoes-frente/getPessoasProdutos/PRODUTO/" + page_size + "/TODOS/0";
    request.headers = {{"Authorization", "Bearer " + token}};
    transport.perform(request);  // the connection is open from here on
    const double exchange = fastest(arguments.rounds, [&] { transport.perform(request); });

    Tger_API api;
    api.urlBase = utf8_to_utf16(service.base_url());
    api.token_de_acesso = utf8_to_utf16(token);
    api.regPorTrafego = utf8_to_utf16(page_size);
    api.get_Status();
    std::u16string outcome;
    const double page = fastest(arguments.rounds, [&] { outcome = api.load_dados_Produtos(u"TODOS", u"0"); });
    require(outcome == u"OK", "load_dados_Produtos said " + utf16_to_utf8(outcome));

    std::cout << "Page request over HTTPS from the substitute service\n";
    print_step("exchange alone", exchange);
    print_step("load_dados_Produtos", page);
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const Arguments arguments = parse_arguments(argc, argv);
        const Catalogue catalogue(CatalogueOptions{.products = arguments.products, .departments = 50});
        time_body_to_table(catalogue.page_json(arguments.products, 0, token), arguments);
        std::cout << "\n";
        time_page_request(arguments);
        std::cout << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "page-bench: " << e.what() << "\n";
        return 1;
    }
}

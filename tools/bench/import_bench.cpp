// import-bench: how fast the importer writes a catalogue compared with the
// database engine writing the same rows alone, how many round trips it
// makes to a server, and how much memory it needs as catalogue and page
// size grow.
//
//   import-bench --importer build/importador --schema tools/bench/schema.sql
//                [--products 20000] [--large 50000] [--small 2000] [--departments 50]
//                [--page 500] [--link-delay-ms 25]
//
// The importer's time is taken from the substitute service's clock, from the
// first status request to the confirmation, so start-up and the importer's
// one-second timer do not count. It is measured against the engine's floor,
// the same rows from the same catalogue written with nothing of the importer
// around them: copied by two MERGE statements from staging tables loaded
// beforehand, and written by one prepared statement per row committed per
// page. The same statements through isql-fb remain as a reference.
//
// Then over TCP, to a private server on loopback through a relay that delays
// each direction by 1 ms and counts the client's round trips: the importer
// (and, for contrast, its statement-by-statement path) against the staging
// floor through the same relay. Last, a relay in front of the service that
// delays each direction of its link: the run against its HTTPS exchanges
// times one exchange's round trip, fetching ahead and page by page.
#include "db/merchandise_batch.h"
#include "support/firebird_server.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "tools/bench/count_argument.h"
#include "tools/bench/counting_proxy.h"
#include "tools/bench/engine_floor.h"
#include "tools/bench/imported_products.h"
#include "tools/bench/replay_script.h"
#include "tools/quintara_service.h"
#include "http/transport.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include <stdlib.h>

namespace fs = std::filesystem;

namespace {

const std::string token = "bench-token";

struct Arguments {
    fs::path importer;
    fs::path schema;
    std::size_t products = 20000;
    std::size_t large_products = 50000;
    std::size_t small_products = 2000;
    std::size_t departments = 50;
    std::size_t page_size = 500;
    std::size_t link_delay_ms = 25;
};

Arguments parse_arguments(int argc, char** argv)
{
    Arguments a;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--importer")
            a.importer = value;
        else if (name == "--schema")
            a.schema = value;
        else if (name == "--products")
            a.products = count_argument(name, value);
        else if (name == "--large")
            a.large_products = count_argument(name, value);
        else if (name == "--link-delay-ms")
            a.link_delay_ms = count_argument(name, value);
        else if (name == "--small")
            a.small_products = count_argument(name, value);
        else if (name == "--departments")
            a.departments = count_argument(name, value);
        else if (name == "--page")
            a.page_size = count_argument(name, value);
        else
            throw std::invalid_argument("unknown option " + name);
    }
    if (argc % 2 == 0) throw std::invalid_argument(std::string(argv[argc - 1]) + " needs a value");
    if (a.importer.empty() || a.schema.empty()) throw std::invalid_argument("--importer and --schema are required");
    return a;
}

std::string fixed(double value, int decimals)
{
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
    return std::string(buffer, end);
}

std::string whole(long long value)
{
    char buffer[24];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string padded(std::string text, std::size_t width)
{
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

std::string read_text(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_text(const fs::path& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

// isql-fb with a script on its standard input; its output is discarded.
ChildRun run_isql(const TempDir& work, const std::string& script, const std::string& database = {})
{
    const fs::path script_file = work / "script.sql";
    const fs::path errors = work / "isql.err";
    write_text(script_file, script);
    ChildOptions options;
    options.args = {"isql-fb", "-q", "-user", "SYSDBA", "-password", "plumbdoor"};
    if (!database.empty()) options.args.push_back(database);
    options.stdin_file = script_file;
    options.stderr_file = errors;
    ChildRun run = run_child(options);
    const std::string complaints = read_text(errors);
    if (run.exit_code != 0 || !complaints.empty())
        throw std::runtime_error("isql-fb failed (" + whole(run.exit_code) + "): " + complaints.substr(0, 500));
    return run;
}

using Environment = std::map<std::string, std::optional<std::string>>;

fs::path fresh_database(const TempDir& work, const Arguments& arguments, const std::string& name,
                        bool with_staging = false)
{
    const fs::path file = work / (name + ".fdb");
    const std::string schema = read_text(arguments.schema);
    run_isql(work, "create database '" + file.string() + "' page_size 8192;\n" + schema +
                       (with_staging ? staging_schema(schema) : std::string()));
    return file;
}

struct ImporterRun {
    double import_seconds = 0;  // first status request to confirmation
    long peak_resident_kb = 0;
    std::size_t first_page_bytes = 0;
    std::string summary;
    std::size_t exchanges = 0;  // the service's requests
    double round_trip_seconds = 0;  // of one small exchange, over a delayed link only
};

// One exchange's time over an open connection, the link's delay both ways
// included: the median of a few small requests, which the service answers
// at once and which are not the importer's.
double round_trip_seconds(const std::string& base_url, const fs::path& ca_file)
{
    setenv("CURL_CA_BUNDLE", ca_file.c_str(), 1);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    HttpTransport transport(std::make_shared<HttpConnectionCache>());
    HttpRequest request;
    request.url = base_url + "api/round-trip";
    transport.perform(request);  // connected from here on
    std::vector<double> times;
    for (int i = 0; i < 7; ++i) {
        const auto start = std::chrono::steady_clock::now();
        transport.perform(request);
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// `database` as the importer's configuration names it: a file, or
// host/port:file. With `link_delay`, the importer reaches the service
// through a relay that delays each direction by it.
ImporterRun run_importer(const TempDir& work, const Arguments& arguments, const std::string& database,
                         std::size_t products, std::size_t page_size, const Environment& extra_env = {},
                         std::optional<std::chrono::milliseconds> link_delay = std::nullopt)
{
    ServiceOptions service_options;
    service_options.catalogue.products = products;
    service_options.catalogue.departments = arguments.departments;
    service_options.expected_token = token;
    QuintaraService service(service_options);
    ImporterRun run;
    std::string base_url = service.base_url();
    std::optional<CountingProxy> link;
    if (link_delay) {
        link.emplace(service.port());
        link->set_delay(*link_delay);
        base_url = "https://127.0.0.1:" + whole(link->port()) + "/";
        run.round_trip_seconds = round_trip_seconds(base_url, service.ca_file());
        service.clear_received();
    }

    const fs::path dir = work / "app";
    fs::create_directories(dir);
    fs::copy_file(arguments.importer, dir / "importador", fs::copy_options::overwrite_existing);
    fs::remove(dir / "ConfigImporta.ret");
    write_text(dir / "ConfigImporta.ini", "[CONF]\r\ntoken_quintara=" + token + "\r\npathBancoDados=" + database +
                                              "\r\nReg_por_trafego=" + whole(page_size) + "\r\n");
    ChildOptions options;
    options.args = {(dir / "importador").string()};
    options.env = {{"DISPLAY", std::nullopt},
                   {"WAYLAND_DISPLAY", std::nullopt},
                   {"QT_QPA_PLATFORM", std::nullopt},
                   {"https_proxy", std::nullopt},
                   {"HTTPS_PROXY", std::nullopt},
                   {"all_proxy", std::nullopt},
                   {"ALL_PROXY", std::nullopt},
                   {"QUINTARA_BASE_URL", base_url},
                   {"CURL_CA_BUNDLE", service.ca_file().string()}};
    for (const auto& [name, value] : extra_env) options.env[name] = value;
    options.stderr_file = work / "importer.err";
    const ChildRun child = run_child(options);
    service.stop();

    const std::string outcome = read_text(dir / "ConfigImporta.ret");
    const std::string diagnostics = read_text(options.stderr_file);
    if (child.exit_code != 0 || outcome.find("Importacao de dados Ok") == std::string::npos)
        throw std::runtime_error("the import failed: " + outcome + "\n" + diagnostics.substr(0, 2000));
    const auto first = service.first_status_time();
    const auto confirmed = service.confirmation_time();
    if (!first || !confirmed) throw std::runtime_error("the service saw no status request or no confirmation");

    run.import_seconds = std::chrono::duration<double>(*confirmed - *first).count();
    run.exchanges = service.received().size();
    run.peak_resident_kb = child.peak_resident_kb;
    run.first_page_bytes = service.catalogue().page_json(page_size, 0, token).size();
    const auto summary = diagnostics.rfind("Resumo: ");
    if (summary != std::string::npos)
        run.summary = diagnostics.substr(summary, diagnostics.find('\n', summary) - summary);
    return run;
}

double replay_seconds(const TempDir& work, const fs::path& database, const std::string& script)
{
    const double idle = run_isql(work, "commit;\n", database.string()).elapsed.count();
    const double total = run_isql(work, script, database.string()).elapsed.count();
    return total - idle;
}

std::string megabytes(long kilobytes)
{
    return fixed(kilobytes / 1024.0, 1) + " MB";
}

std::string verdict(bool met)
{
    return met ? "met" : "MISSED";
}

constexpr std::size_t label_width = 30;

std::string label(const std::string& text)
{
    return "  " + text + std::string(text.size() < label_width ? label_width - text.size() : 0, ' ');
}

void print_speed(const std::string& what, std::size_t products, double seconds)
{
    std::cout << label(what + ":") << padded(fixed(seconds, 2), 8) << " s" << padded(fixed(products / seconds, 0), 9)
              << " products/s\n";
}

void print_ratio(const std::string& what, double importer, double floor, double target)
{
    const double ratio = importer / floor;
    std::cout << label(what + ":") << padded(fixed(ratio, 2), 8) << "   (target at most " << fixed(target, 1) << ")  "
              << verdict(ratio <= target) << "\n";
}

void print_reference_ratio(const std::string& what, double importer, double reference)
{
    std::cout << label(what + ":") << padded(fixed(importer / reference, 2), 8) << "   (reference)\n";
}

void print_round_trips(const std::string& what, std::uint64_t turns, std::size_t products, double target)
{
    const double per_product = static_cast<double>(turns) / static_cast<double>(products);
    std::cout << label(what + ":") << padded(whole(static_cast<long long>(turns)), 8) << " = " << fixed(per_product, 4)
              << " per product";
    if (target > 0) std::cout << "   (target at most " << fixed(target, 2) << ")  " << verdict(per_product <= target);
    std::cout << "\n";
}

// The importer's and the floors' times for one kind of import on files.
struct EmbeddedTimes {
    double importer = 0;
    double staging_floor = 0;
    double row_floor = 0;
    double replay = 0;
};

// Without a replay time (0), the replay's lines are left out.
void print_embedded(const std::string& title, std::size_t products, const EmbeddedTimes& t)
{
    std::cout << title << ", " << products << " products\n";
    print_speed("importer", products, t.importer);
    print_speed("floor, MERGE from staging", products, t.staging_floor);
    print_speed("floor, prepared row by row", products, t.row_floor);
    if (t.replay > 0) print_speed("isql-fb replay", products, t.replay);
    print_ratio("importer / staging floor", t.importer, t.staging_floor, 2.0);
    print_ratio("importer / row-by-row floor", t.importer, t.row_floor, 3.0);
    if (t.replay > 0) print_reference_ratio("importer / isql-fb replay", t.importer, t.replay);
    std::cout << "\n";
}

// A fresh database imported into twice: all inserts, then all updates.
struct TwoImports {
    ImporterRun first;
    ImporterRun again;
};

TwoImports import_twice(const TempDir& work, const Arguments& arguments, std::size_t products,
                        const std::string& name)
{
    const fs::path file = fresh_database(work, arguments, name);
    TwoImports imports;
    imports.first = run_importer(work, arguments, file.string(), products, arguments.page_size);
    imports.again = run_importer(work, arguments, file.string(), products, arguments.page_size);
    return imports;
}

// The engine alone writing what the importer wrote into files, the first
// import and the re-import, set beside the importer's times.
void print_embedded_pair(const TempDir& work, const Arguments& arguments, const EngineFloor& floor,
                         const Catalogue& catalogue, const TwoImports& imports, bool with_replay)
{
    const std::size_t n = catalogue.size();
    const fs::path staged = fresh_database(work, arguments, "staged_" + whole(static_cast<long long>(n)), true);
    floor.load_staging(staged.string());
    EmbeddedTimes first{.importer = imports.first.import_seconds};
    EmbeddedTimes again{.importer = imports.again.import_seconds};
    first.staging_floor = floor.write_from_staging(staged.string());
    again.staging_floor = floor.write_from_staging(staged.string());
    const fs::path row_by_row = fresh_database(work, arguments, "row_by_row_" + whole(static_cast<long long>(n)));
    first.row_floor = floor.write_row_by_row(row_by_row.string(), ImportKind::first_import, arguments.page_size);
    again.row_floor = floor.write_row_by_row(row_by_row.string(), ImportKind::reimport, arguments.page_size);
    if (with_replay) {
        const fs::path replayed = fresh_database(work, arguments, "replayed");
        first.replay = replay_seconds(
            work, replayed, replay_script(catalogue, arguments.page_size, token, ImportKind::first_import));
        again.replay =
            replay_seconds(work, replayed, replay_script(catalogue, arguments.page_size, token, ImportKind::reimport));
    }
    print_embedded("First import (all inserts)", n, first);
    print_embedded("Re-import (all updates)", n, again);
    std::cout << "  importer said: " << imports.first.summary << "\n"
              << "                 " << imports.again.summary << "\n\n";
}

struct ProxiedRun {
    double importer = 0;
    std::uint64_t turns = 0;
    double staging_floor = 0;
};

void print_proxied(const std::string& title, std::size_t products, const ProxiedRun& run)
{
    std::cout << title << "\n";
    print_speed("importer", products, run.importer);
    print_speed("floor, MERGE from staging", products, run.staging_floor);
    print_ratio("importer / staging floor", run.importer, run.staging_floor, 2.0);
    print_round_trips("importer's round trips", run.turns, products, 0.05);
    std::cout << "\n";
}

// What one more page costs, from two sizes of the same catalogue, and what
// is left for the run itself (attach, reading the character set, detach).
void print_page_round_trips(std::uint64_t large_turns, std::size_t large, std::uint64_t small_turns, std::size_t small,
                            std::size_t page_size)
{
    const auto pages = [page_size](std::size_t products) { return (products + page_size - 1) / page_size; };
    if (pages(large) == pages(small)) return;
    const double per_page = (static_cast<double>(large_turns) - static_cast<double>(small_turns)) /
                            static_cast<double>(pages(large) - pages(small));
    const double fixed_part = static_cast<double>(small_turns) - per_page * static_cast<double>(pages(small));
    const std::size_t capacity = MerchandiseBatch::capacity;
    const std::size_t statements = (page_size + capacity - 1) / capacity;
    std::cout << label("batches, per page of " + whole(static_cast<long long>(page_size)))
              << padded(fixed(per_page, 1), 8) << "   (" << statements << " statements of " << capacity
              << " and a commit; the run's own " << fixed(fixed_part, 0) << ")\n";
}

// The file reached through the relay rather than straight from the server.
std::string through(const CountingProxy& proxy, const fs::path& file)
{
    return "127.0.0.1/" + whole(proxy.port()) + ":" + file.string();
}

struct Counted {
    ImporterRun run;
    std::uint64_t turns = 0;
};

Counted counted_import(const CountingProxy& proxy, const TempDir& work, const Arguments& arguments,
                       const fs::path& database, std::size_t products, const Environment& extra_env = {})
{
    const std::uint64_t before = proxy.turns();
    Counted counted{run_importer(work, arguments, through(proxy, database), products, arguments.page_size, extra_env)};
    counted.turns = proxy.turns() - before;
    return counted;
}

void print_over_tcp(const TempDir& work, const Arguments& arguments, const EngineFloor& floor)
{
    using namespace std::chrono_literals;
    const std::size_t n = arguments.products;
    FirebirdServer server;
    CountingProxy proxy(server.port());

    proxy.set_delay(1ms);
    const fs::path imported = fresh_database(work, arguments, "tcp_imported");
    const Counted first = counted_import(proxy, work, arguments, imported, n);
    const Counted again = counted_import(proxy, work, arguments, imported, n);

    const fs::path staged = fresh_database(work, arguments, "tcp_staged", true);
    floor.load_staging(server.database_name(staged));
    const double staged_first = floor.write_from_staging(through(proxy, staged));
    const double staged_again = floor.write_from_staging(through(proxy, staged));

    proxy.set_delay(0us);
    const std::size_t small = arguments.small_products;
    const Counted small_batches =
        counted_import(proxy, work, arguments, fresh_database(work, arguments, "tcp_small"), small);
    const Counted statements = counted_import(proxy, work, arguments, fresh_database(work, arguments, "tcp_statements"),
                                              small, {{"IMPORTADOR_WRITE_PATH", "statements"}});

    std::cout << "Over TCP: a private server on loopback, through a relay delaying each direction by 1 ms\n\n";
    print_proxied("First import (all inserts)", n, {first.run.import_seconds, first.turns, staged_first});
    print_proxied("Re-import (all updates)", n, {again.run.import_seconds, again.turns, staged_again});
    std::cout << "Round trips of the first import by size, no delay for " << small << " products\n";
    print_round_trips("batches, " + whole(static_cast<long long>(small)) + " products", small_batches.turns, small, 0);
    print_round_trips("statements, " + whole(static_cast<long long>(small)) + " products", statements.turns, small, 0);
    print_page_round_trips(first.turns, n, small_batches.turns, small, arguments.page_size);
    std::cout << "  connections through the relay:  " << proxy.connections() << "\n\n";
}

void print_link_run(const std::string& what, const ImporterRun& run, double target)
{
    const double exchanges_seconds = static_cast<double>(run.exchanges) * run.round_trip_seconds;
    const double ratio = run.import_seconds / exchanges_seconds;
    std::cout << label(what + ":") << padded(fixed(run.import_seconds, 2), 8) << " s   " << run.exchanges
              << " exchanges x " << fixed(run.round_trip_seconds * 1000, 1) << " ms = " << fixed(exchanges_seconds, 2)
              << " s   ratio " << fixed(ratio, 2);
    if (target > 0)
        std::cout << "   (target at most " << fixed(target, 2) << ")  " << verdict(ratio <= target) << "\n";
    else
        std::cout << "   (reference)\n";
}

// A distant service: the run should cost its exchanges and no more, the
// database's time hidden behind them.
void print_slow_link(const TempDir& work, const Arguments& arguments)
{
    const std::chrono::milliseconds delay(arguments.link_delay_ms);
    const std::size_t n = arguments.products;
    const ImporterRun ahead = run_importer(work, arguments, fresh_database(work, arguments, "link_ahead").string(), n,
                                           arguments.page_size, {}, delay);
    const ImporterRun serial = run_importer(work, arguments, fresh_database(work, arguments, "link_serial").string(),
                                            n, arguments.page_size, {{"IMPORTADOR_FETCH_AHEAD", "0"}}, delay);
    std::cout << "Through a relay in front of the service delaying each direction by " << delay.count() << " ms, "
              << n << " products on a file\n";
    print_link_run("fetching ahead", ahead, 1.15);
    print_link_run("page by page", serial, 0);
    std::cout << "\n";
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const Arguments arguments = parse_arguments(argc, argv);
        // The importer, isql-fb and the script text must agree on the code page.
        setenv("LANG", "C.UTF-8", 1);
        unsetenv("LC_ALL");
        unsetenv("LC_CTYPE");
        TempDir work;
        const std::size_t n = arguments.products;
        const std::size_t large = arguments.large_products;

        std::cout << "Import benchmark: " << n << " and " << large << " products in " << arguments.departments
                  << " departments, pages of " << arguments.page_size << "\n\n";

        // Every run whose peak memory is read comes before this program
        // loads the engine: a spawned child's peak counts this program's own
        // peak at the time.
        const TwoImports imports = import_twice(work, arguments, n, "imported");
        const TwoImports large_imports = import_twice(work, arguments, large, "large");
        const ImporterRun& first = imports.first;
        const ImporterRun small = run_importer(work, arguments, fresh_database(work, arguments, "small").string(),
                                               arguments.small_products, arguments.page_size);
        const ImporterRun one_page =
            run_importer(work, arguments, fresh_database(work, arguments, "one_page").string(), n, n);
        const ImporterRun page_by_page =
            run_importer(work, arguments, fresh_database(work, arguments, "page_by_page").string(), n,
                         arguments.page_size, {{"IMPORTADOR_FETCH_AHEAD", "0"}});

        const Catalogue catalogue(CatalogueOptions{.products = n, .departments = arguments.departments});
        const ImportedPages pages = imported_pages(catalogue, arguments.page_size, token);
        const EngineFloor floor(pages);
        print_embedded_pair(work, arguments, floor, catalogue, imports, true);
        {
            const Catalogue large_catalogue(CatalogueOptions{.products = large, .departments = arguments.departments});
            const ImportedPages large_pages = imported_pages(large_catalogue, arguments.page_size, token);
            const EngineFloor large_floor(large_pages);
            print_embedded_pair(work, arguments, large_floor, large_catalogue, large_imports, false);
        }

        print_over_tcp(work, arguments, floor);
        print_slow_link(work, arguments);

        const double growth = 100.0 * (first.peak_resident_kb - small.peak_resident_kb) / small.peak_resident_kb;
        const double large_growth =
            100.0 * (large_imports.first.peak_resident_kb - small.peak_resident_kb) / small.peak_resident_kb;
        const double over_paged = (one_page.peak_resident_kb - first.peak_resident_kb) * 1024.0;
        const double page_multiple = over_paged / one_page.first_page_bytes;
        std::cout << "Peak resident memory of the importer\n"
                  << "  " << padded(whole(arguments.small_products), 6) << " products, pages of " << arguments.page_size
                  << ":  " << padded(megabytes(small.peak_resident_kb), 9) << "\n"
                  << "  " << padded(whole(n), 6) << " products, pages of " << arguments.page_size << ":  "
                  << padded(megabytes(first.peak_resident_kb), 9) << "   " << (growth >= 0 ? "+" : "")
                  << fixed(growth, 1) << " % (target within 10 %)  " << verdict(growth <= 10.0) << "\n"
                  << "  " << padded(whole(large), 6) << " products, pages of " << arguments.page_size << ":  "
                  << padded(megabytes(large_imports.first.peak_resident_kb), 9) << "   "
                  << (large_growth >= 0 ? "+" : "") << fixed(large_growth, 1) << " % (target within 10 %)  "
                  << verdict(large_growth <= 10.0) << "\n"
                  << "  " << padded(whole(n), 6)
                  << " products, one page:     " << padded(megabytes(one_page.peak_resident_kb), 9) << "   "
                  << megabytes(static_cast<long>(over_paged / 1024)) << " over pages of " << arguments.page_size
                  << " = " << fixed(page_multiple, 1) << " x the page's "
                  << megabytes(static_cast<long>(one_page.first_page_bytes / 1024)) << " body (target at most 8 x)  "
                  << verdict(page_multiple <= 8.0) << "\n";
        // What one page of the run costs, from the run in one page: the
        // pages it holds at once besides what every run holds.
        const double pages_per_run = static_cast<double>((n + arguments.page_size - 1) / arguments.page_size);
        const double page_kb = (one_page.peak_resident_kb - page_by_page.peak_resident_kb) / (pages_per_run - 1);
        const long ahead_kb = first.peak_resident_kb - page_by_page.peak_resident_kb;
        std::cout << "  " << padded(whole(n), 6) << " products, page by page:  "
                  << padded(megabytes(page_by_page.peak_resident_kb), 9) << "   fetching ahead adds "
                  << fixed(ahead_kb / 1024.0, 1) << " MB; a page of " << arguments.page_size << " costs "
                  << fixed(page_kb / 1024.0, 1) << " MB (target at most one page)  "
                  << verdict(ahead_kb <= page_kb) << "\n";
        std::cout << "  one page import: " << fixed(one_page.import_seconds, 2) << " s\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "import-bench: " << e.what() << "\n";
        return 1;
    }
}

// import-bench: how fast the importer writes a catalogue compared with the
// database engine running the very same statements, and how much memory it
// needs as catalogue and page size grow.
//
//   import-bench --importer build/importador --schema tools/bench/schema.sql
//                [--products 20000] [--small 2000] [--departments 50] [--page 500]
//
// The importer's time is taken from the substitute service's clock, from the
// first status request to the confirmation, so start-up and the importer's
// one-second timer do not count. The baseline pipes the same statements to
// isql-fb (output to /dev/null), less the time of an isql-fb run that only
// attaches and commits.
#include "tools/bench/child_process.h"
#include "tools/bench/count_argument.h"
#include "tools/bench/replay_script.h"
#include "tools/quintara_service.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
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
    std::size_t small_products = 2000;
    std::size_t departments = 50;
    std::size_t page_size = 500;
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

class WorkDirectory {
public:
    WorkDirectory()
    {
        std::string pattern = (fs::temp_directory_path() / "importador-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary directory");
        path_ = pattern;
    }
    ~WorkDirectory()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    WorkDirectory(const WorkDirectory&) = delete;
    WorkDirectory& operator=(const WorkDirectory&) = delete;
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

// isql-fb with a script on its standard input; its output is discarded.
ChildRun run_isql(const WorkDirectory& work, const std::string& script, const std::string& database = {})
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

fs::path fresh_database(const WorkDirectory& work, const Arguments& arguments, const std::string& name)
{
    const fs::path file = work / (name + ".fdb");
    run_isql(work, "create database '" + file.string() + "' page_size 8192;\n" + read_text(arguments.schema));
    return file;
}

struct ImporterRun {
    double import_seconds = 0;  // first status request to confirmation
    long peak_resident_kb = 0;
    std::size_t first_page_bytes = 0;
    std::string summary;
};

ImporterRun run_importer(const WorkDirectory& work, const Arguments& arguments, const fs::path& database,
                         std::size_t products, std::size_t page_size)
{
    ServiceOptions service_options;
    service_options.catalogue.products = products;
    service_options.catalogue.departments = arguments.departments;
    service_options.expected_token = token;
    QuintaraService service(service_options);

    const fs::path dir = work / "app";
    fs::create_directories(dir);
    fs::copy_file(arguments.importer, dir / "importador", fs::copy_options::overwrite_existing);
    fs::remove(dir / "ConfigImporta.ret");
    write_text(dir / "ConfigImporta.ini", "[CONF]\r\ntoken_quintara=" + token + "\r\npathBancoDados=" +
                                              database.string() + "\r\nReg_por_trafego=" + whole(page_size) + "\r\n");
    ChildOptions options;
    options.args = {(dir / "importador").string()};
    options.env = {{"DISPLAY", std::nullopt},
                   {"WAYLAND_DISPLAY", std::nullopt},
                   {"QT_QPA_PLATFORM", std::nullopt},
                   {"https_proxy", std::nullopt},
                   {"HTTPS_PROXY", std::nullopt},
                   {"all_proxy", std::nullopt},
                   {"ALL_PROXY", std::nullopt},
                   {"QUINTARA_BASE_URL", service.base_url()},
                   {"CURL_CA_BUNDLE", service.ca_file().string()}};
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

    ImporterRun run;
    run.import_seconds = std::chrono::duration<double>(*confirmed - *first).count();
    run.peak_resident_kb = child.peak_resident_kb;
    run.first_page_bytes = service.catalogue().page_json(page_size, 0, token).size();
    const auto summary = diagnostics.rfind("Resumo: ");
    if (summary != std::string::npos)
        run.summary = diagnostics.substr(summary, diagnostics.find('\n', summary) - summary);
    return run;
}

double replay_seconds(const WorkDirectory& work, const fs::path& database, const std::string& script)
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

void print_speed(const std::string& what, std::size_t products, double seconds)
{
    std::cout << "  " << what << padded(fixed(seconds, 2), 8) << " s" << padded(fixed(products / seconds, 0), 9)
              << " products/s\n";
}

void print_ratio(double importer, double replay, double target)
{
    const double ratio = importer / replay;
    std::cout << "  importer / replay:          " << fixed(ratio, 2) << "   (target at most " << fixed(target, 1)
              << ")  " << verdict(ratio <= target) << "\n\n";
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
        WorkDirectory work;
        const std::size_t n = arguments.products;

        std::cout << "Import benchmark: " << n << " products in " << arguments.departments << " departments, pages of "
                  << arguments.page_size << "\n\n";

        const fs::path imported = fresh_database(work, arguments, "imported");
        const ImporterRun first = run_importer(work, arguments, imported, n, arguments.page_size);
        const ImporterRun again = run_importer(work, arguments, imported, n, arguments.page_size);

        const Catalogue catalogue(CatalogueOptions{.products = n, .departments = arguments.departments});
        const fs::path replayed = fresh_database(work, arguments, "replayed");
        const double replay_first = replay_seconds(
            work, replayed, replay_script(catalogue, arguments.page_size, token, ImportKind::first_import));
        const double replay_again =
            replay_seconds(work, replayed, replay_script(catalogue, arguments.page_size, token, ImportKind::reimport));

        std::cout << "First import (all inserts)\n";
        print_speed("importer:                 ", n, first.import_seconds);
        print_speed("isql-fb replay:           ", n, replay_first);
        print_ratio(first.import_seconds, replay_first, 0.9);
        std::cout << "Re-import (all updates)\n";
        print_speed("importer:                 ", n, again.import_seconds);
        print_speed("isql-fb replay:           ", n, replay_again);
        print_ratio(again.import_seconds, replay_again, 0.8);
        std::cout << "  importer said: " << first.summary << "\n"
                  << "                 " << again.summary << "\n\n";

        const ImporterRun small = run_importer(work, arguments, fresh_database(work, arguments, "small"),
                                               arguments.small_products, arguments.page_size);
        const ImporterRun one_page = run_importer(work, arguments, fresh_database(work, arguments, "one_page"), n, n);

        const double growth = 100.0 * (first.peak_resident_kb - small.peak_resident_kb) / small.peak_resident_kb;
        const double over_paged = (one_page.peak_resident_kb - first.peak_resident_kb) * 1024.0;
        const double page_multiple = over_paged / one_page.first_page_bytes;
        std::cout << "Peak resident memory of the importer\n"
                  << "  " << padded(whole(arguments.small_products), 6) << " products, pages of " << arguments.page_size
                  << ":  " << padded(megabytes(small.peak_resident_kb), 9) << "\n"
                  << "  " << padded(whole(n), 6) << " products, pages of " << arguments.page_size << ":  "
                  << padded(megabytes(first.peak_resident_kb), 9) << "   " << (growth >= 0 ? "+" : "")
                  << fixed(growth, 1) << " % (target within 10 %)  " << verdict(growth <= 10.0) << "\n"
                  << "  " << padded(whole(n), 6)
                  << " products, one page:     " << padded(megabytes(one_page.peak_resident_kb), 9) << "   "
                  << megabytes(static_cast<long>(over_paged / 1024)) << " over pages of " << arguments.page_size
                  << " = " << fixed(page_multiple, 1) << " x the page's "
                  << megabytes(static_cast<long>(one_page.first_page_bytes / 1024)) << " body (target at most 8 x)  "
                  << verdict(page_multiple <= 8.0) << "\n";
        std::cout << "  one page import: " << fixed(one_page.import_seconds, 2) << " s\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "import-bench: " << e.what() << "\n";
        return 1;
    }
}

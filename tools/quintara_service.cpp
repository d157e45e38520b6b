#include "tools/quintara_service.h"

#include "support/temp_dir.h"
#include "tools/service_certificate.h"
#include "util/ascii_text.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;

namespace {

constexpr const char* people_confirmation_path = "api/operacoes-frente/updateData/PESSOA";
constexpr const char* people_path = "api/operacoes-frente/getPessoasProdutos/PESSOA/";

bool starts_with(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percent_decoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 && hex_value(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The path as the client wrote it after the base URL: no leading "/", no query.
std::string relative_path(const std::string& target)
{
    std::string path = target.substr(0, target.find('?'));
    return path.empty() || path[0] != '/' ? path : path.substr(1);
}

std::vector<std::string> split_segments(std::string_view text)
{
    std::vector<std::string> segments;
    for (;;) {
        std::size_t slash = text.find('/');
        segments.push_back(percent_decoded(text.substr(0, slash)));
        if (slash == std::string_view::npos) return segments;
        text.remove_prefix(slash + 1);
    }
}

template <typename Number> std::optional<Number> parse_number(const std::string& text)
{
    Number value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

void write_text_file(const fs::path& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

struct Script {
    ScriptedAnswer answer;
    int times;
};

}  // namespace

std::optional<std::string> ReceivedRequest::header(const std::string& name) const
{
    for (const auto& [key, value] : headers)
        if (equal_ignoring_ascii_case(key, name)) return value;
    return std::nullopt;
}

struct QuintaraService::State {
    ServiceOptions options;
    Catalogue catalogue;
    std::optional<TempDir> owned_directory;
    fs::path ca_file;
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    std::map<std::string, std::deque<Script>> scripts;
    std::vector<std::pair<std::string, std::chrono::milliseconds>> delays;
    std::vector<ReceivedRequest> received;
    std::function<void(const ReceivedRequest&)> before_answer;
    std::optional<Clock::time_point> first_status;
    std::optional<Clock::time_point> confirmation;

    explicit State(ServiceOptions o) : options(std::move(o)), catalogue(options.catalogue) { }

    void prepare_certificate()
    {
        if (!options.certificate_file.empty()) return;
        fs::path dir = options.certificate_dir;
        if (dir.empty()) {
            dir = owned_directory.emplace().path();
        }
        fs::create_directories(dir);
        ServiceCertificate generated = make_service_certificate();
        ca_file = dir / "ca.pem";
        options.certificate_file = dir / "server.pem";
        options.private_key_file = dir / "server.key";
        write_text_file(ca_file, generated.ca_pem);
        write_text_file(options.certificate_file, generated.certificate_pem);
        write_text_file(options.private_key_file, generated.private_key_pem);
        fs::permissions(options.private_key_file, fs::perms::owner_read | fs::perms::owner_write);
    }

    // True when the request set one of the timings. `hook` gets what holds
    // the request up, if anything does.
    bool record(const httplib::Request& request, const std::string& path,
                std::function<void(const ReceivedRequest&)>& hook, ReceivedRequest& recorded)
    {
        ReceivedRequest r{request.method, request.target, request.version,    {},
                          request.body,   Clock::now(),   request.remote_port};
        for (const auto& [key, value] : request.headers) r.headers.emplace_back(key, value);
        std::lock_guard lock(mutex);
        bool timing = false;
        if (path == QuintaraService::status_path && !first_status) {
            first_status = r.time;
            timing = true;
        }
        if (path == QuintaraService::confirmation_path && request.method == "POST") {
            confirmation = r.time;
            timing = true;
        }
        hook = before_answer;
        if (hook) recorded = r;
        received.push_back(std::move(r));
        return timing;
    }

    std::optional<ScriptedAnswer> take_script(const std::string& path)
    {
        std::lock_guard lock(mutex);
        auto it = scripts.find(path);
        if (it == scripts.end()) return std::nullopt;
        auto& queue = it->second;
        auto counted = std::find_if(queue.begin(), queue.end(), [](const Script& s) { return s.times > 0; });
        if (counted != queue.end()) {
            ScriptedAnswer answer = counted->answer;
            if (--counted->times == 0) queue.erase(counted);
            return answer;
        }
        if (queue.empty()) return std::nullopt;
        return queue.back().answer;
    }

    std::chrono::milliseconds delay_for(const std::string& path) const
    {
        std::lock_guard lock(mutex);
        for (const auto& [prefix, wait] : delays)
            if (starts_with(path, prefix)) return wait;
        return std::chrono::milliseconds{0};
    }

    void handle(const httplib::Request& request, httplib::Response& response)
    {
        const std::string path = relative_path(request.target);
        std::function<void(const ReceivedRequest&)> hook;
        ReceivedRequest recorded;
        if (record(request, path, hook, recorded) && options.timings_changed) options.timings_changed();
        if (hook) hook(recorded);
        std::optional<ScriptedAnswer> scripted = take_script(path);
        std::this_thread::sleep_for(scripted ? scripted->delay : delay_for(path));
        if (scripted) {
            answer(response, *scripted);
            return;
        }
        serve(request, path, response);
    }

    static void answer(httplib::Response& response, const ScriptedAnswer& scripted)
    {
        response.status = scripted.status;
        if (!scripted.location.empty()) response.set_header("Location", scripted.location);
        if (scripted.chunk_size == 0) {
            response.set_content(scripted.body, scripted.content_type.c_str());
            return;
        }
        response.set_chunked_content_provider(
            scripted.content_type, [scripted](std::size_t offset, httplib::DataSink& sink) {
                if (offset >= scripted.body.size()) {
                    sink.done();
                    return true;
                }
                if (offset > 0) std::this_thread::sleep_for(scripted.chunk_pause);
                const std::size_t size = std::min(scripted.chunk_size, scripted.body.size() - offset);
                return sink.write(scripted.body.data() + offset, size);
            });
    }

    static void json(httplib::Response& response, int status, std::string body)
    {
        response.status = status;
        response.set_content(std::move(body), "application/json; charset=utf-8");
    }

    void serve(const httplib::Request& request, const std::string& path, httplib::Response& response)
    {
        const bool get = request.method == "GET";
        if (get && path == QuintaraService::status_path) return json(response, 200, "200");
        if (request.method == "POST" &&
            (path == QuintaraService::confirmation_path || path == people_confirmation_path))
            return json(response, 200, "{\"ok\":true}");
        if (get && starts_with(path, QuintaraService::products_path))
            return serve_page(request, path.substr(std::string_view(QuintaraService::products_path).size()), response,
                              false);
        if (get && starts_with(path, people_path))
            return serve_page(request, path.substr(std::string_view(people_path).size()), response, true);
        json(response, 404, "{\"message\":\"Not found\"}");
    }

    void serve_page(const httplib::Request& request, const std::string& rest, httplib::Response& response, bool people)
    {
        const std::string authorization = request.get_header_value("Authorization");
        if (!starts_with(authorization, "Bearer ") ||
            (options.expected_token && authorization.substr(7) != *options.expected_token))
            return json(response, 401, "{\"message\":\"Unauthenticated.\"}");
        std::vector<std::string> segments = split_segments(rest);
        if (segments.size() != 3) return json(response, 404, "{\"message\":\"Not found\"}");
        auto page_size = parse_number<std::size_t>(segments[0]);
        if (!page_size || *page_size == 0) return json(response, 400, "{\"erro\":\"Tamanho de pagina invalido\"}");
        auto start_id = parse_number<std::int64_t>(segments[2]);
        if (!start_id) return json(response, 400, "{\"erro\":\"Id inicial invalido\"}");
        if (people) return json(response, 200, "[]");
        json(response, 200, catalogue.page_json(*page_size, *start_id, authorization.substr(7)));
    }
};

QuintaraService::QuintaraService(ServiceOptions options) : state_(std::make_unique<State>(std::move(options)))
{
    State& s = *state_;
    s.prepare_certificate();
    s.server =
        std::make_unique<httplib::SSLServer>(s.options.certificate_file.c_str(), s.options.private_key_file.c_str());
    if (!s.server->is_valid()) throw std::runtime_error("the service cannot use its certificate");
    s.server->set_tcp_nodelay(true);
    s.server->set_keep_alive_max_count(100000);
    s.server->set_keep_alive_timeout(60);
    auto handler = [&s](const httplib::Request& request, httplib::Response& response) { s.handle(request, response); };
    s.server->Get(".*", handler);
    s.server->Post(".*", handler);
    s.server->Put(".*", handler);
    s.server->Delete(".*", handler);
    s.server->Patch(".*", handler);
    if (s.options.port != 0) {
        if (!s.server->bind_to_port("127.0.0.1", s.options.port))
            throw std::runtime_error("the service cannot listen on port " + std::to_string(s.options.port));
        s.port = s.options.port;
    } else {
        s.port = s.server->bind_to_any_port("127.0.0.1");
        if (s.port < 0) throw std::runtime_error("the service cannot listen on a free port");
    }
    s.thread = std::thread([&s] { s.server->listen_after_bind(); });
    while (!s.server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

QuintaraService::~QuintaraService()
{
    stop();
}

void QuintaraService::stop()
{
    if (state_->server) state_->server->stop();
    if (state_->thread.joinable()) state_->thread.join();
}

int QuintaraService::port() const
{
    return state_->port;
}

std::string QuintaraService::base_url() const
{
    return "https://127.0.0.1:" + std::to_string(state_->port) + "/";
}

fs::path QuintaraService::ca_file() const
{
    return state_->ca_file;
}

const Catalogue& QuintaraService::catalogue() const
{
    return state_->catalogue;
}

void QuintaraService::script(const std::string& path, ScriptedAnswer answer, int times)
{
    std::lock_guard lock(state_->mutex);
    auto& queue = state_->scripts[path];
    if (times < 0) {
        std::erase_if(queue, [](const Script& s) { return s.times < 0; });
        queue.push_back({std::move(answer), -1});
    } else if (times > 0) {
        queue.insert(std::find_if(queue.begin(), queue.end(), [](const Script& s) { return s.times < 0; }),
                     {std::move(answer), times});
    }
}

void QuintaraService::clear_scripts()
{
    std::lock_guard lock(state_->mutex);
    state_->scripts.clear();
}

void QuintaraService::delay(const std::string& path_prefix, std::chrono::milliseconds wait)
{
    std::lock_guard lock(state_->mutex);
    state_->delays.emplace_back(path_prefix, wait);
}

void QuintaraService::before_answer(std::function<void(const ReceivedRequest&)> hook)
{
    std::lock_guard lock(state_->mutex);
    state_->before_answer = std::move(hook);
}

std::vector<ReceivedRequest> QuintaraService::received() const
{
    std::lock_guard lock(state_->mutex);
    return state_->received;
}

void QuintaraService::clear_received()
{
    std::lock_guard lock(state_->mutex);
    state_->received.clear();
}

std::optional<Clock::time_point> QuintaraService::first_status_time() const
{
    std::lock_guard lock(state_->mutex);
    return state_->first_status;
}

std::optional<Clock::time_point> QuintaraService::confirmation_time() const
{
    std::lock_guard lock(state_->mutex);
    return state_->confirmation;
}

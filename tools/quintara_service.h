#pragma once

#include "tools/catalogue.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A stand-in for the product web service: HTTPS on a free loopback port,
// the catalogue paged by control records, answers scripted per path, and a
// record of every request it received.
struct ServiceOptions {
    CatalogueOptions catalogue;
    int port = 0;  // 0: a free port
    // Where the generated CA, certificate and key go; empty: a fresh
    // temporary directory, removed when the service goes.
    std::filesystem::path certificate_dir;
    // Certificate and key files to serve instead of generated ones.
    std::filesystem::path certificate_file;
    std::filesystem::path private_key_file;
    // Only this token is accepted when set; otherwise any Bearer token.
    std::optional<std::string> expected_token;
    // Called on the serving thread when the first status request or a
    // confirmation arrives.
    std::function<void()> timings_changed;
};

// A fixed answer for one path (without the leading "/", no query).
struct ScriptedAnswer {
    ScriptedAnswer(int status = 200, std::string body = {}, std::string content_type = "application/json")
        : status(status), body(std::move(body)), content_type(std::move(content_type))
    {
    }

    int status;
    std::string body;
    std::string content_type;
    std::chrono::milliseconds delay{0};
    std::string location;  // sent as Location when not empty
    // Above 0: the body goes out chunked, in pieces of this size with the
    // pause between them (no Content-Length).
    std::size_t chunk_size = 0;
    std::chrono::milliseconds chunk_pause{0};
};

struct ReceivedRequest {
    std::string method;
    std::string target;  // as on the request line, still percent-encoded
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::chrono::system_clock::time_point time;
    int remote_port = 0;  // tells connections apart

    // First value of a header, any letter case; nullopt when absent.
    std::optional<std::string> header(const std::string& name) const;
};

class QuintaraService {
public:
    static constexpr const char* status_path = "api/getStatus";
    static constexpr const char* products_path = "api/operacoes-frente/getPessoasProdutos/PRODUTO/";
    static constexpr const char* confirmation_path = "api/operacoes-frente/updateData/PRODUTO";

    // Listens and serves once constructed; stops when destroyed.
    explicit QuintaraService(ServiceOptions options = {});
    ~QuintaraService();
    QuintaraService(const QuintaraService&) = delete;
    QuintaraService& operator=(const QuintaraService&) = delete;

    int port() const;
    std::string base_url() const;  // "https://127.0.0.1:PORT/"
    std::filesystem::path ca_file() const;  // PEM of the CA that signed the certificate (generated only)
    const Catalogue& catalogue() const;

    // times < 0: for every request until changed; otherwise for that many
    // requests, before any answer set for every request.
    void script(const std::string& path, ScriptedAnswer answer, int times = -1);
    void clear_scripts();
    // Holds back every answer whose path starts with the prefix.
    void delay(const std::string& path_prefix, std::chrono::milliseconds wait);

    // Called on a serving thread with each request once it is recorded,
    // before it is answered: a test holds an answer by not returning yet.
    void before_answer(std::function<void(const ReceivedRequest&)> hook);

    std::vector<ReceivedRequest> received() const;
    void clear_received();
    std::optional<std::chrono::system_clock::time_point> first_status_time() const;
    std::optional<std::chrono::system_clock::time_point> confirmation_time() const;

    void stop();

private:
    struct State;
    std::unique_ptr<State> state_;
};

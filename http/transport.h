#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One HTTP exchange as bytes. The transport knows nothing of JSON or of what
// a status code means: any answer is a completed exchange.
struct HttpRequest {
    std::string method = "GET";
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // Limits connecting, and any stretch without a byte sent or received;
    // a long download that keeps moving is never cut off.
    std::chrono::milliseconds timeout{30000};
    // The whole exchange, however its bytes trickle: a run never waits on
    // one answer for longer.
    std::chrono::milliseconds total_limit{std::chrono::minutes(10)};
    std::size_t max_body_bytes = std::size_t{512} << 20;
    // Asked from another thread, ends the exchange: perform then throws
    // "REST request failed: " + stopped_exchange_text. With libcurl at once,
    // however far it got; with WinHTTP, whose synchronous calls cannot be
    // woken, before it starts and between its steps.
    std::stop_token stop;
};

inline constexpr std::u16string_view stopped_exchange_text = u"the exchange was stopped";

struct HttpResult {
    long status = 0;
    std::vector<std::pair<std::string, std::string>> headers;  // of the final answer, after redirects
    std::string body;

    // First value of a header, any letter case; empty when absent.
    std::string header(std::string_view name) const;
};

// Connections, name lookups and TLS sessions shared by every transport made
// with the same cache, so requests to one host reuse one connection.
class HttpConnectionCache {
public:
    HttpConnectionCache();
    ~HttpConnectionCache();
    HttpConnectionCache(const HttpConnectionCache&) = delete;
    HttpConnectionCache& operator=(const HttpConnectionCache&) = delete;

private:
    friend class HttpTransport;
    struct Share;
    std::unique_ptr<Share> share_;
};

// One reusable HTTPS client handle. Server certificates are checked against
// the system's CA store, or the PEM bundle named by CURL_CA_BUNDLE; proxies
// come from the usual environment variables.
class HttpTransport {
public:
    explicit HttpTransport(std::shared_ptr<HttpConnectionCache> cache);
    ~HttpTransport();
    HttpTransport(HttpTransport&& other) noexcept;
    HttpTransport& operator=(HttpTransport&& other) noexcept;
    HttpTransport(const HttpTransport&) = delete;
    HttpTransport& operator=(const HttpTransport&) = delete;

    // Throws Error "REST request failed: " + the transport's description
    // when no answer was received.
    HttpResult perform(const HttpRequest& request);

private:
    struct Handle;
    std::shared_ptr<HttpConnectionCache> cache_;
    std::unique_ptr<Handle> handle_;
};

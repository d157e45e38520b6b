#include "http/transport.h"

#include "http/body_limit.h"
#include "util/ascii_text.h"
#include "util/error.h"
#include "util/number_text.h"
#include "util/utf.h"
#include "util/windows_error.h"

#include <chrono>

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <stop_token>

namespace {

struct InternetCloser {
    void operator()(HINTERNET handle) const noexcept { WinHttpCloseHandle(handle); }
};
using Internet = std::unique_ptr<void, InternetCloser>;

struct GlobalFreer {
    void operator()(wchar_t* text) const noexcept { GlobalFree(text); }
};
using GlobalText = std::unique_ptr<wchar_t, GlobalFreer>;

const wchar_t* wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

[[noreturn]] void fail(const std::u16string& description)
{
    throw Error(u"REST request failed: " + description);
}

// The common failures in our own words, the same on every system; the rest
// as the system words them. The code is kept beside the text, since that is
// what WinHTTP's documentation is searched by.
std::u16string description_of(DWORD code)
{
    // WSAETIMEDOUT: Wine's WinHTTP lets the socket's own code through.
    constexpr DWORD socket_timed_out = 10060;
    switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
    case socket_timed_out: return u"Timeout was reached";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return u"Could not resolve host name";
    case ERROR_WINHTTP_CANNOT_CONNECT: return u"Could not connect to server";
    case ERROR_WINHTTP_CONNECTION_ERROR: return u"The connection was reset or broken";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return u"Invalid answer from the server";
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return u"The server's certificate or TLS session was refused";
    case ERROR_WINHTTP_REDIRECT_FAILED: return u"A redirect could not be followed";
    default: return windows_error_text(code, L"winhttp.dll");
    }
}

[[noreturn]] void fail_with(DWORD code)
{
    fail(description_of(code) + u" (WinHTTP error " + integer_to_text(code) + u")");
}

[[noreturn]] void fail_with_last_error()
{
    fail_with(GetLastError());
}

// A synchronous call cannot be cut off from another thread: Microsoft
// warns against closing the handle under it, and Wine does not wake it.
// The stop is heeded before the exchange and between its steps.
void fail_when_stopped(const std::stop_token& stop)
{
    if (stop.stop_requested()) fail(std::u16string(stopped_exchange_text));
}

// A header line that would end early would let a value inject headers.
std::u16string header_lines(const HttpRequest& request)
{
    std::u16string lines;
    for (const auto& [name, value] : request.headers) {
        if ((name + value).find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            fail(u"the header " + utf8_to_utf16(name) + u" holds a line break");
        lines += utf8_to_utf16(name) + u": " + utf8_to_utf16(value) + u"\r\n";
    }
    return lines;
}

struct UrlParts {
    bool secure = false;
    INTERNET_PORT port = 0;
    std::u16string host;
    std::u16string path_and_query;
};

UrlParts crack(const std::u16string& url)
{
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = DWORD(-1);
    if (!WinHttpCrackUrl(wide(url), static_cast<DWORD>(url.size()), 0, &parts)) fail_with_last_error();
    UrlParts out;
    out.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    out.port = parts.nPort;
    out.host.assign(reinterpret_cast<const char16_t*>(parts.lpszHostName), parts.dwHostNameLength);
    out.path_and_query.assign(reinterpret_cast<const char16_t*>(parts.lpszUrlPath), parts.dwUrlPathLength);
    out.path_and_query.append(reinterpret_cast<const char16_t*>(parts.lpszExtraInfo), parts.dwExtraInfoLength);
    if (out.path_and_query.empty()) out.path_and_query = u"/";
    return out;
}

// Before Windows 8.1 a session cannot follow the system proxy by itself:
// the user's settings (automatic detection, a script, a named proxy) are
// applied to each request.
void apply_user_proxy(HINTERNET session, HINTERNET request, const std::u16string& url)
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&user)) return;
    const GlobalText auto_config_url(user.lpszAutoConfigUrl), proxy(user.lpszProxy), bypass(user.lpszProxyBypass);
    if (user.fAutoDetect || auto_config_url) {
        WINHTTP_AUTOPROXY_OPTIONS options{};
        options.dwFlags = auto_config_url ? WINHTTP_AUTOPROXY_CONFIG_URL : WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        options.lpszAutoConfigUrl = auto_config_url.get();
        options.fAutoLogonIfChallenged = TRUE;
        WINHTTP_PROXY_INFO found{};
        if (WinHttpGetProxyForUrl(session, wide(url), &options, &found)) {
            const GlobalText found_proxy(found.lpszProxy), found_bypass(found.lpszProxyBypass);
            WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &found, sizeof found);
            return;
        }
    }
    if (proxy) {
        WINHTTP_PROXY_INFO named{WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.get(), bypass.get()};
        WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &named, sizeof named);
    }
}

void set_option(HINTERNET handle, DWORD option, DWORD value)
{
    if (!WinHttpSetOption(handle, option, &value, sizeof value)) fail_with_last_error();
}

DWORD status_code(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        fail_with_last_error();
    return status;
}

// The headers of the final answer (WinHTTP keeps only those), status line
// skipped.
std::vector<std::pair<std::string, std::string>> answer_headers(HINTERNET request)
{
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size,
                        WINHTTP_NO_HEADER_INDEX);
    std::u16string raw(size / sizeof(char16_t) + 1, u'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, raw.data(), &size,
                             WINHTTP_NO_HEADER_INDEX))
        return {};
    raw.resize(size / sizeof(char16_t));
    std::vector<std::pair<std::string, std::string>> headers;
    const std::string text = utf16_to_utf8(raw);
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.substr(0, 5) == "HTTP/") continue;
        if (const auto colon = line.find(':'); colon != std::string_view::npos)
            headers.emplace_back(trim_blanks_and_line_ends(line.substr(0, colon)),
                                 trim_blanks_and_line_ends(line.substr(colon + 1)));
    }
    return headers;
}

std::string read_body(HINTERNET request, std::size_t max_body_bytes, std::chrono::steady_clock::time_point deadline,
                      const std::stop_token& stop)
{
    std::string body;
    DWORD announced = 0;
    DWORD size = sizeof announced;
    if (WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &announced, &size, WINHTTP_NO_HEADER_INDEX)) {
        if (announced > max_body_bytes) fail(body_too_large_text(max_body_bytes));
        body.reserve(announced);
    }
    for (;;) {
        if (std::chrono::steady_clock::now() > deadline) fail(u"the whole exchange took too long");
        fail_when_stopped(stop);
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) fail_with_last_error();
        if (available == 0) return body;
        if (available > max_body_bytes - body.size()) fail(body_too_large_text(max_body_bytes));
        const std::size_t start = body.size();
        body.resize(start + available);
        DWORD read = 0;
        if (!WinHttpReadData(request, body.data() + start, available, &read)) fail_with_last_error();
        body.resize(start + read);
    }
}

}  // namespace

// One WinHTTP session: it keeps the connections to each host alive and
// shares them between the transports made with this cache.
struct HttpConnectionCache::Share {
    Internet session;
    bool proxy_per_request = false;
};

HttpConnectionCache::HttpConnectionCache() : share_(std::make_unique<Share>())
{
    share_->session.reset(WinHttpOpen(L"importador", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
    if (!share_->session) {
        share_->proxy_per_request = true;
        share_->session.reset(WinHttpOpen(L"importador", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                          WINHTTP_NO_PROXY_BYPASS, 0));
    }
    if (!share_->session) fail_with_last_error();
}

HttpConnectionCache::~HttpConnectionCache() = default;

// WinHTTP needs no handle per client: every exchange opens its request on
// the shared session.
struct HttpTransport::Handle { };

HttpTransport::HttpTransport(std::shared_ptr<HttpConnectionCache> cache)
    : cache_(std::move(cache)), handle_(std::make_unique<Handle>())
{
}

HttpTransport::~HttpTransport() = default;
HttpTransport::HttpTransport(HttpTransport&& other) noexcept = default;
HttpTransport& HttpTransport::operator=(HttpTransport&& other) noexcept = default;

HttpResult HttpTransport::perform(const HttpRequest& request)
{
    fail_when_stopped(request.stop);
    const std::u16string headers = header_lines(request);
    const std::u16string url = utf8_to_utf16(request.url);
    const UrlParts parts = crack(url);
    HINTERNET session = cache_->share_->session.get();

    const Internet connection(WinHttpConnect(session, wide(parts.host), parts.port, 0));
    if (!connection) fail_with_last_error();
    const std::u16string method = utf8_to_utf16(request.method);
    // The path is sent as built: its segments are already percent-encoded.
    const Internet exchange(WinHttpOpenRequest(connection.get(), wide(method), wide(parts.path_and_query), nullptr,
                                               WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                               (parts.secure ? WINHTTP_FLAG_SECURE : 0) | WINHTTP_FLAG_ESCAPE_DISABLE |
                                                   WINHTTP_FLAG_ESCAPE_DISABLE_QUERY));
    if (!exchange) fail_with_last_error();

    const auto deadline = std::chrono::steady_clock::now() + request.total_limit;
    const int timeout = static_cast<int>(std::min<long long>(request.timeout.count(), INT_MAX));
    if (!WinHttpSetTimeouts(exchange.get(), timeout, timeout, timeout, timeout)) fail_with_last_error();
    // Waiting for the answer's headers has a limit of its own (90 s unless
    // set), apart from the receive timeout above.
    set_option(exchange.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, static_cast<DWORD>(timeout));
    set_option(exchange.get(), WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, 10);
    if (cache_->share_->proxy_per_request) apply_user_proxy(session, exchange.get(), url);
    if (!headers.empty() && !WinHttpAddRequestHeaders(exchange.get(), wide(headers), static_cast<DWORD>(headers.size()),
                                                      WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
        fail_with_last_error();

    const DWORD body_size = static_cast<DWORD>(request.body.size());
    void* body = body_size ? const_cast<char*>(request.body.data()) : WINHTTP_NO_REQUEST_DATA;
    if (!WinHttpSendRequest(exchange.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, body, body_size, body_size, 0))
        fail_with_last_error();
    if (!WinHttpReceiveResponse(exchange.get(), nullptr)) fail_with_last_error();
    fail_when_stopped(request.stop);

    HttpResult result;
    result.status = static_cast<long>(status_code(exchange.get()));
    result.headers = answer_headers(exchange.get());
    result.body = read_body(exchange.get(), request.max_body_bytes, deadline, request.stop);
    return result;
}

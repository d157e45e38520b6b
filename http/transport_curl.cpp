#include "http/transport.h"

#include "http/body_limit.h"
#include "util/ascii_text.h"
#include "util/error.h"
#include "util/utf.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>

namespace {

struct EasyDeleter {
    void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* handle) const noexcept { curl_multi_cleanup(handle); }
};
struct ShareDeleter {
    void operator()(CURLSH* handle) const noexcept { curl_share_cleanup(handle); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

[[noreturn]] void fail(const std::string& description)
{
    throw Error(u"REST request failed: " + utf8_to_utf16(description));
}

void initialise_curl_once()
{
    static const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (code != CURLE_OK) fail(curl_easy_strerror(code));
}

template <typename Value> void set(CURL* easy, CURLoption option, Value value)
{
    CURLcode code = curl_easy_setopt(easy, option, value);
    if (code != CURLE_OK) fail(curl_easy_strerror(code));
}

void check(CURLMcode code)
{
    if (code != CURLM_OK) fail(curl_multi_strerror(code));
}

template <typename Value> void share(CURLSH* handle, CURLSHoption option, Value value)
{
    CURLSHcode code = curl_share_setopt(handle, option, value);
    if (code != CURLSHE_OK) fail(curl_share_strerror(code));
}

// A header line that would end early would let a value inject headers.
HeaderList header_list(const HttpRequest& request)
{
    HeaderList list;
    auto append = [&list](const std::string& line) {
        curl_slist* grown = curl_slist_append(list.get(), line.c_str());
        if (!grown) fail("out of memory");
        list.release();
        list.reset(grown);
    };
    for (const auto& [name, value] : request.headers) {
        if ((name + value).find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            fail("the header " + name + " holds a line break");
        append(name + ": " + value);
    }
    // No "Expect: 100-continue" round trip before a body.
    if (request.method == "POST") append("Expect:");
    return list;
}

// What the callbacks fill during one exchange.
struct Transfer {
    CURL* easy;
    std::size_t max_body_bytes;
    std::stop_token stop;
    HttpResult result;
    bool body_too_large = false;
};

// Ends the exchange from within curl's own work, a long stretch of
// receiving included.
int abort_when_stopped(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Transfer*>(user)->stop.stop_requested() ? 1 : 0;
}

std::size_t receive_body(char* data, std::size_t, std::size_t size, void* user)
{
    auto& transfer = *static_cast<Transfer*>(user);
    std::string& body = transfer.result.body;
    if (size > transfer.max_body_bytes - body.size()) {
        transfer.body_too_large = true;
        return 0;
    }
    if (body.empty()) {
        curl_off_t announced = -1;
        if (curl_easy_getinfo(transfer.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
            announced > 0)
            body.reserve(std::min(static_cast<std::size_t>(announced), transfer.max_body_bytes));
    }
    body.append(data, size);
    return size;
}

// Redirects and interim answers each start with a status line; only the
// headers of the last answer are kept.
std::size_t receive_header(char* data, std::size_t, std::size_t size, void* user)
{
    auto& headers = static_cast<Transfer*>(user)->result.headers;
    std::string_view line(data, size);
    if (line.substr(0, 5) == "HTTP/") {
        headers.clear();
    } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
        headers.emplace_back(trim_blanks_and_line_ends(line.substr(0, colon)),
                             trim_blanks_and_line_ends(line.substr(colon + 1)));
    }
    return size;
}

// The exchange on the transport's own multi handle rather than through
// curl_easy_perform, so that a stop wakes its wait for the network at once
// instead of at the next progress call, up to a second later. Removing the
// handle midway closes its connection.
CURLcode run_exchange(CURLM* multi, CURL* easy, const std::stop_token& stop)
{
    check(curl_multi_add_handle(multi, easy));
    struct Removal {
        CURLM* multi;
        CURL* easy;
        ~Removal() { curl_multi_remove_handle(multi, easy); }
    } removal{multi, easy};
    const std::stop_callback wake(stop, [multi] { curl_multi_wakeup(multi); });
    for (;;) {
        if (stop.stop_requested()) return CURLE_ABORTED_BY_CALLBACK;
        int running = 0;
        check(curl_multi_perform(multi, &running));
        if (running == 0) break;
        check(curl_multi_poll(multi, nullptr, 0, 1000, nullptr));
    }
    int queued = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi, &queued))
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy) return message->data.result;
    return CURLE_FAILED_INIT;
}

}  // namespace

struct HttpConnectionCache::Share {
    std::unique_ptr<CURLSH, ShareDeleter> handle;
};

HttpConnectionCache::HttpConnectionCache() : share_(std::make_unique<Share>())
{
    initialise_curl_once();
    share_->handle.reset(curl_share_init());
    if (!share_->handle) fail("out of memory");
    // One thread at a time (a run hands ger_API between its threads, never
    // sharing it): the share needs no lock callbacks.
    share(share_->handle.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    share(share_->handle.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    share(share_->handle.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
}

HttpConnectionCache::~HttpConnectionCache() = default;

struct HttpTransport::Handle {
    std::unique_ptr<CURL, EasyDeleter> easy;
    std::unique_ptr<CURLM, MultiDeleter> multi;
    char error_text[CURL_ERROR_SIZE];
};

HttpTransport::HttpTransport(std::shared_ptr<HttpConnectionCache> cache)
    : cache_(std::move(cache)), handle_(std::make_unique<Handle>())
{
    initialise_curl_once();
    handle_->easy.reset(curl_easy_init());
    handle_->multi.reset(curl_multi_init());
    if (!handle_->easy || !handle_->multi) fail("out of memory");
}

HttpTransport::~HttpTransport() = default;
HttpTransport::HttpTransport(HttpTransport&& other) noexcept = default;
HttpTransport& HttpTransport::operator=(HttpTransport&& other) noexcept = default;

HttpResult HttpTransport::perform(const HttpRequest& request)
{
    CURL* easy = handle_->easy.get();
    // Options go back to their defaults; live connections and caches stay.
    curl_easy_reset(easy);
    handle_->error_text[0] = '\0';
    Transfer transfer{easy, request.max_body_bytes, request.stop, {}, false};
    HeaderList headers = header_list(request);

    set(easy, CURLOPT_SHARE, cache_->share_->handle.get());
    set(easy, CURLOPT_ERRORBUFFER, handle_->error_text);
    set(easy, CURLOPT_NOSIGNAL, 1L);
    set(easy, CURLOPT_URL, request.url.c_str());
    set(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    set(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(easy, CURLOPT_FOLLOWLOCATION, 1L);
    set(easy, CURLOPT_MAXREDIRS, 10L);
    set(easy, CURLOPT_HTTPHEADER, headers.get());
    set(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.timeout.count()));
    set(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(request.total_limit.count()));
    set(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    set(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>((request.timeout.count() + 999) / 1000));
    set(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.max_body_bytes));
    set(easy, CURLOPT_WRITEFUNCTION, receive_body);
    set(easy, CURLOPT_WRITEDATA, &transfer);
    set(easy, CURLOPT_HEADERFUNCTION, receive_header);
    set(easy, CURLOPT_HEADERDATA, &transfer);
    set(easy, CURLOPT_NOPROGRESS, 0L);
    set(easy, CURLOPT_XFERINFOFUNCTION, abort_when_stopped);
    set(easy, CURLOPT_XFERINFODATA, &transfer);
    if (const char* bundle = std::getenv("CURL_CA_BUNDLE"); bundle && *bundle) set(easy, CURLOPT_CAINFO, bundle);
    if (request.method == "GET") {
        set(easy, CURLOPT_HTTPGET, 1L);
    } else {
        if (request.method != "POST") set(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
        set(easy, CURLOPT_POST, 1L);
        set(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        set(easy, CURLOPT_POSTFIELDS, request.body.data());
    }

    CURLcode code = run_exchange(handle_->multi.get(), easy, request.stop);
    if (code != CURLE_OK && request.stop.stop_requested()) fail(utf16_to_utf8(std::u16string(stopped_exchange_text)));
    if (transfer.body_too_large || code == CURLE_FILESIZE_EXCEEDED)
        fail(utf16_to_utf8(body_too_large_text(request.max_body_bytes)));
    if (code != CURLE_OK) {
        std::string description = curl_easy_strerror(code);
        std::string_view detail = trim_blanks_and_line_ends(handle_->error_text);
        if (!detail.empty() && detail != description) description += " (" + std::string(detail) + ")";
        fail(description);
    }
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &transfer.result.status);
    return std::move(transfer.result);
}

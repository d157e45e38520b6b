#pragma once

#include "http/transport.h"

#include <memory>
#include <string>

// One endpoint's client: the complete target URL, what it accepts, and the
// reused client handle behind it.
class RestClient {
public:
    explicit RestClient(std::shared_ptr<HttpConnectionCache> connections);

    std::u16string BaseURL;  // the whole request URL; nothing is added to it
    std::string Accept = "application/json, text/plain; q=0.9, text/html;q=0.8,";
    std::string AcceptCharset = "utf-8, *;q=0.8";
    std::string UserAgent;

    // Sends the request to BaseURL with the client's headers in front of
    // the request's own. Throws Error "REST request failed: ..." when no
    // answer came.
    HttpResult send(HttpRequest request);

private:
    HttpTransport transport_;
};

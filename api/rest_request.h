#pragma once

#include "api/rest_client.h"
#include "api/rest_response.h"

#include <chrono>
#include <stop_token>
#include <string>

// One endpoint's request: method, time limit and its one parameter, the
// Authorization header, sent exactly as stored.
class RestRequest {
public:
    RestRequest(RestClient& client, RestResponse& response, std::chrono::milliseconds timeout)
        : Timeout(timeout), client_(client), response_(response)
    {
    }

    std::string Method = "GET";
    std::u16string Authorization;
    std::string ContentType;  // sent with a POST; its body is always empty
    std::chrono::milliseconds Timeout;
    // Asked from another thread, ends the exchange in flight (Execute then
    // throws); a default token never stops.
    std::stop_token stop;

    // The answer, whatever its status, goes to the response; a transport
    // failure throws and leaves the response as it was.
    void Execute();

private:
    RestClient& client_;
    RestResponse& response_;
};

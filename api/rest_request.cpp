#include "api/rest_request.h"

#include "util/utf.h"

void RestRequest::Execute()
{
    HttpRequest request;
    request.method = Method;
    request.timeout = Timeout;
    request.stop = stop;
    request.headers.emplace_back("Authorization", utf16_to_utf8(Authorization));
    if (Method == "POST" && !ContentType.empty()) request.headers.emplace_back("Content-Type", ContentType);
    response_.assign(client_.send(std::move(request)));
}

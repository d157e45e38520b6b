#include "api/rest_client.h"

#include "util/utf.h"

RestClient::RestClient(std::shared_ptr<HttpConnectionCache> connections)
    : UserAgent("importador/" IMPORTADOR_VERSION), transport_(std::move(connections))
{
}

HttpResult RestClient::send(HttpRequest request)
{
    request.url = utf16_to_utf8(BaseURL);
    request.headers.insert(request.headers.begin(),
                           {{"Accept", Accept}, {"Accept-Charset", AcceptCharset}, {"User-Agent", UserAgent}});
    return transport_.perform(request);
}

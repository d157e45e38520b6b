// WinHTTP against the substitute service, which the runner starts on the
// Linux side (QUINTARA_TEST_URL, QUINTARA_TEST_TOKEN) after trusting its CA
// in the prefix's Root store.
#include "http/transport.h"

#include "util/utf.h"

#include "support/failure_message.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stop_token>
#include <string>

namespace {

class ServiceTransportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* url = std::getenv("QUINTARA_TEST_URL");
        const char* token = std::getenv("QUINTARA_TEST_TOKEN");
        if (!url || !token) GTEST_SKIP() << "no service: QUINTARA_TEST_URL and QUINTARA_TEST_TOKEN are unset";
        base_url = url;
        bearer = std::string("Bearer ") + token;
    }

    HttpRequest request(const std::string& path, const std::string& authorization) const
    {
        HttpRequest r;
        r.url = base_url + path;
        r.headers = {{"Authorization", authorization}, {"Accept", "application/json"}};
        return r;
    }

    std::string base_url;
    std::string bearer;
    HttpTransport transport{std::make_shared<HttpConnectionCache>()};
};

TEST_F(ServiceTransportTest, EveryStatusIsACompletedExchangeWithItsBodyAndHeaders)
{
    const auto status = transport.perform(request("api/getStatus", bearer));
    EXPECT_EQ(200, status.status);
    EXPECT_EQ("200", status.body);
    EXPECT_NE(std::string::npos, status.header("content-type").find("json")) << status.header("content-type");

    const auto refused =
        transport.perform(request("api/operacoes-frente/getPessoasProdutos/PRODUTO/5/TODOS/0", "Bearer wrong"));
    EXPECT_EQ(401, refused.status);
    EXPECT_EQ(R"({"message":"Unauthenticated."})", refused.body);
}

TEST_F(ServiceTransportTest, BodyOverTheCapFailsInsteadOfFillingMemory)
{
    auto page = request("api/operacoes-frente/getPessoasProdutos/PRODUTO/50/TODOS/0", bearer);
    const auto whole = transport.perform(page);
    ASSERT_EQ(200, whole.status);
    ASSERT_GT(whole.body.size(), 100u);

    page.max_body_bytes = whole.body.size();
    EXPECT_EQ(whole.body, transport.perform(page).body);  // exactly at the cap
    page.max_body_bytes = whole.body.size() - 1;
    EXPECT_EQ(u"REST request failed: the response body is larger than " +
                  utf8_to_utf16(std::to_string(whole.body.size() - 1)) + u" bytes",
              failure_message([&] { transport.perform(page); }));
}

TEST_F(ServiceTransportTest, ConfirmationPostSendsAnEmptyBody)
{
    auto confirmation = request("api/operacoes-frente/updateData/PRODUTO", bearer);
    confirmation.method = "POST";
    confirmation.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
    EXPECT_EQ(200, transport.perform(confirmation).status);
}

// A stop asked before the exchange ends it without a request; the
// transport then serves the next one as before.
TEST_F(ServiceTransportTest, StoppedExchangeFailsAndTheNextGoesThrough)
{
    std::stop_source stop;
    stop.request_stop();
    auto stopped = request("api/getStatus", bearer);
    stopped.stop = stop.get_token();
    EXPECT_EQ(u"REST request failed: " + std::u16string(stopped_exchange_text),
              failure_message([&] { transport.perform(stopped); }));
    EXPECT_EQ(200, transport.perform(request("api/getStatus", bearer)).status);
}

}  // namespace

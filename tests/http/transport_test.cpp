#include "http/transport.h"

#include "support/failure_message.h"
#include "support/test_service.h"
#include "util/utf.h"

#include <future>
#include <latch>
#include <memory>
#include <stop_token>

namespace {

using std::chrono::milliseconds;

class HttpTransportTest : public ServiceTest {
protected:
    std::shared_ptr<HttpConnectionCache> cache = std::make_shared<HttpConnectionCache>();
    HttpTransport transport{cache};

    HttpResult get(const std::string& path, milliseconds timeout = milliseconds(5000), std::size_t max_body = 1 << 20)
    {
        HttpRequest request;
        request.url = url(path);
        request.timeout = timeout;
        request.max_body_bytes = max_body;
        return transport.perform(request);
    }
};

TEST_F(HttpTransportTest, EveryStatusIsACompletedExchange)
{
    struct {
        int status;
        std::string body;
        std::string content_type;
    } cases[] = {
        {200, "[1]", "application/json"},
        {404, "<html>missing</html>", "text/html"},
        {500, "{\"erro\":\"x\"}", "application/json; charset=iso-8859-1"},
    };
    for (const auto& c : cases) {
        service.script("answer", {c.status, c.body, c.content_type});
        HttpResult result = get("answer");
        EXPECT_EQ(c.status, result.status);
        EXPECT_EQ(c.body, result.body);
        EXPECT_EQ(c.content_type, result.header("content-type"));
    }
}

TEST_F(HttpTransportTest, TransportsOfOneCacheShareTheirConnection)
{
    HttpTransport other(cache);
    HttpRequest request;
    request.url = url("api/getStatus");
    transport.perform(request);
    other.perform(request);
    transport.perform(request);

    auto received = service.received();
    ASSERT_EQ(3u, received.size());
    EXPECT_EQ(received[0].remote_port, received[1].remote_port);
    EXPECT_EQ(received[0].remote_port, received[2].remote_port);
}

TEST_F(HttpTransportTest, BodyOverTheLimitFailsInsteadOfFillingMemory)
{
    const std::size_t mebibyte = 1 << 20;
    struct {
        std::size_t chunk_size;  // 0: the size is announced up front
        std::size_t limit;
        std::u16string expected;
    } cases[] = {
        {0, 100, u"REST request failed: the response body is larger than 100 bytes"},
        {64, 100, u"REST request failed: the response body is larger than 100 bytes"},
        {0, mebibyte, u"REST request failed: the response body is larger than 1 MiB"},
        {4096, mebibyte, u"REST request failed: the response body is larger than 1 MiB"},
    };
    for (const auto& c : cases) {
        ScriptedAnswer big{200, std::string(c.limit + 1, 'x')};
        big.chunk_size = c.chunk_size;
        service.script("big", big);
        EXPECT_EQ(c.expected, failure_message([&] { get("big", milliseconds(5000), c.limit); })) << c.chunk_size;

        ScriptedAnswer fits{200, std::string(c.limit, 'x')};
        fits.chunk_size = c.chunk_size;
        service.script("fits", fits);
        EXPECT_EQ(c.limit, get("fits", milliseconds(5000), c.limit).body.size()) << c.chunk_size;
    }
}

TEST_F(HttpTransportTest, SilenceEndsTheExchangeButASlowLiveDownloadCompletes)
{
    ScriptedAnswer silent{200, "200"};
    silent.delay = milliseconds(2500);
    service.script("silent", silent);
    std::u16string failure = failure_message([&] { get("silent", milliseconds(1000)); });
    EXPECT_TRUE(failure.starts_with(u"REST request failed: Timeout was reached")) << utf16_to_utf8(failure);

    ScriptedAnswer trickle{200, std::string(80, 'x')};
    trickle.chunk_size = 10;
    trickle.chunk_pause = milliseconds(300);  // 2.1 s in all, never 1 s without a byte
    service.script("trickle", trickle);
    EXPECT_EQ(80u, get("trickle", milliseconds(1000)).body.size());
}

// A stop from another thread ends an exchange whose answer the service
// holds back: the transport neither waits for the answer nor for its own
// limits, and its next exchange goes through. A stop asked before the
// exchange ends it before anything is sent.
TEST_F(HttpTransportTest, StopEndsAnExchangeWhoseAnswerIsHeld)
{
    const std::u16string stopped = u"REST request failed: " + std::u16string(stopped_exchange_text);
    // The hook owns its latches: it may reach its wait after the test is over.
    struct Hold {
        std::latch arrived{1}, release{1};
    };
    const auto hold = std::make_shared<Hold>();
    service.before_answer([hold](const ReceivedRequest& r) {
        if (r.target != "/held") return;
        hold->arrived.count_down();
        hold->release.wait();
    });
    struct Release {
        Hold& hold;
        ~Release() { hold.release.count_down(); }  // however the test ends
    } release_at_end{*hold};

    std::stop_source stop;
    HttpRequest held;
    held.url = url("held");
    held.timeout = std::chrono::minutes(10);  // only the stop can end it
    held.stop = stop.get_token();
    auto failure = std::async(std::launch::async, [&] { return failure_message([&] { transport.perform(held); }); });
    hold->arrived.wait();
    stop.request_stop();
    ASSERT_EQ(std::future_status::ready, failure.wait_for(std::chrono::minutes(1))) << "the stop left it waiting";
    EXPECT_EQ(stopped, failure.get());
    EXPECT_EQ(200, get("api/getStatus").status);

    service.clear_received();
    EXPECT_EQ(stopped, failure_message([&] { transport.perform(held); }));
    EXPECT_TRUE(service.received().empty());
}

TEST_F(HttpTransportTest, UnreachableServiceIsATransportFailure)
{
    int closed_port;
    {
        QuintaraService gone;
        closed_port = gone.port();
    }
    HttpRequest request;
    request.url = "https://127.0.0.1:" + std::to_string(closed_port) + "/api/getStatus";
    std::u16string failure = failure_message([&] { transport.perform(request); });
    EXPECT_TRUE(failure.starts_with(u"REST request failed: Couldn't connect to server")) << utf16_to_utf8(failure);
}

TEST_F(HttpTransportTest, HeaderValueCannotSmuggleFurtherHeaders)
{
    HttpRequest request;
    request.url = url("api/getStatus");
    request.headers = {{"Authorization", "Bearer x\r\nX-Injected: 1"}};
    EXPECT_EQ(u"REST request failed: the header Authorization holds a line break",
              failure_message([&] { transport.perform(request); }));
    EXPECT_TRUE(service.received().empty());
}

}  // namespace

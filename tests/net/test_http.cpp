#include "net/HttpClient.h"
#include "support/LoopbackHttpServer.h"

#include <QElapsedTimer>
#include <QTemporaryFile>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

// Readable failure output for texts.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

class HttpClientTest : public ::testing::Test {
protected:
    QString url(const QString& target) const { return server.baseUrl() + target; }
    LoopbackHttpServer server;
};

TEST_F(HttpClientTest, BodyOf200IsDecodedAsUtf8) {
    struct Case {
        QByteArray body;
        QString text;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {u"连接文本 mixed\r\n"_s.toUtf8(), u"连接文本 mixed\r\n"_s},
        {"\xEF\xBB\xBFmarked", "marked"},
        {QByteArray("a\xFF") + 'b', u"a\uFFFDb"_s},
        {"", ""},
    };
    for (int i = 0; i < int(std::size(cases)); ++i) {
        server.setRoute(u"/t%1"_s.arg(i), 200, cases[i].body);
        EXPECT_EQ(HttpGetText(url(u"/t%1"_s.arg(i))), cases[i].text) << i;
    }
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), qsizetype(std::size(cases)));
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/t0");
}

TEST_F(HttpClientTest, OtherStatusesGiveEmptyText) {
    server.setRoute("/error", 500, "server error page");
    server.setRoute("/created", 201, "created");
    for (const char* target : {"/unknown", "/error", "/created"})
        EXPECT_EQ(HttpGetText(url(target)), QString()) << target;
}

TEST_F(HttpClientTest, RedirectsAreFollowed) {
    server.setRedirect("/old", "/moved");
    server.setRedirect("/moved", url("/new"), 301);
    server.setRoute("/new", 200, "arrived");
    EXPECT_EQ(HttpGetText(url("/old")), "arrived");
    EXPECT_EQ(server.requests().size(), 3);
}

TEST_F(HttpClientTest, QueryIsSentEncodedOnce) {
    server.setRoute("/cs/get", 200, "ok");
    EXPECT_EQ(HttpGetText(url(u"/cs/get?path=a%2Fb&name=账 套"_s)), "ok");
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].target, "/cs/get?path=a%2Fb&name=%E8%B4%A6%20%E5%A5%97");
}

TEST(HttpClient, UnreachableServerGivesEmptyTextQuickly) {
    quint16 closedPort;
    {
        LoopbackHttpServer gone;
        closedPort = gone.port();
    }
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(HttpGetText(u"http://127.0.0.1:%1/x"_s.arg(closedPort)), QString());
    EXPECT_LT(timer.elapsed(), 3000);
}

TEST(HttpClient, NonHttpAddressesGiveEmptyText) {
    for (const char* address : {"", "not an address", "file:///etc/hostname", "ftp://127.0.0.1/x"})
        EXPECT_EQ(HttpGetText(address), QString()) << address;
}

TEST_F(HttpClientTest, WorkerThreadsFetchConcurrently) {
    server.setRoute("/v", 200, "1.0.0.7", "text/plain", 50);
    std::vector<std::thread> workers;
    std::atomic<int> right{0};
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&] {
            for (int i = 0; i < 3; ++i)
                right += HttpGetText(url("/v")) == "1.0.0.7";
        });
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(right, 12);
}

TEST_F(HttpClientTest, RequestGivesUpAtItsTimeOut) {
    server.setRoute("/slow", 200, "late", "text/plain", 5000);
    HttpTransfer request;
    request.url = url("/slow");
    request.totalTimeoutMs = 300;
    QElapsedTimer timer;
    timer.start();
    const HttpResponse response = PerformHttp(request);
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_FALSE(response.completed);
    EXPECT_EQ(response.failure, HttpFailure::Transfer);
}

// The bound is on what is kept in memory: a body streamed into a file is not bounded.
TEST_F(HttpClientTest, BodyBoundAppliesToMemoryNotToASink) {
    const QByteArray body(256 * 1024 + 1, 'b');
    server.setRoute("/body", 200, body);
    HttpTransfer request;
    request.url = url("/body");
    request.maxBodyBytes = 256 * 1024;
    const HttpResponse kept = PerformHttp(request);
    EXPECT_FALSE(kept.completed);
    EXPECT_EQ(kept.failure, HttpFailure::TooLarge);
    EXPECT_LE(kept.body.size(), request.maxBodyBytes);

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    request.bodySink = &file;
    const HttpResponse streamed = PerformHttp(request);
    EXPECT_TRUE(streamed.completed) << qPrintable(streamed.errorText);
    EXPECT_EQ(streamed.failure, HttpFailure::None);
    file.seek(0);
    EXPECT_EQ(file.readAll(), body);
}

TEST_F(HttpClientTest, PostSendsBodyAndHeaders) {
    server.setRoute("/post", 200, "done");
    HttpTransfer request;
    request.url = url("/post");
    request.post = true;
    request.body = u"name=张三&x=1"_s.toUtf8();
    request.headers = {"Accept-Language: zh-CN"};
    const HttpResponse response = PerformHttp(request);
    EXPECT_TRUE(response.completed);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "done");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1);
    const LoopbackHttpServer::Request& received = requests[0];
    EXPECT_EQ(received.method, "POST");
    EXPECT_EQ(received.body, request.body);
    EXPECT_EQ(received.header("accept-language"), "zh-CN");
}

} // namespace

// The request of the web-page commands against a real server on loopback: what the server
// receives, how the answer is decoded and the status message of every way a request ends.
#include "net/WebRequest.h"
#include "platform/Gbk.h"
#include "support/LoopbackHttpServer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

class WebRequestTest : public ::testing::Test {
protected:
    WebRequestSettings Settings(const QString& target, bool post = false) {
        WebRequestSettings settings;
        settings.url = server.baseUrl() + target;
        settings.post = post;
        return settings;
    }
    LoopbackHttpServer server;
};

} // namespace

TEST_F(WebRequestTest, SendsVerbPathBrowserHeadersAndUtf8Body) {
    server.setRoute("/form", 200, u"收到"_s.toUtf8());
    for (const bool post : {false, true}) {
        server.clearRequests();
        WebRequestSettings settings = Settings("/form?a=1", post);
        settings.body = post ? u"name=张三&x=1"_s : QString();
        ASSERT_TRUE(HttpRequest(settings)) << qPrintable(settings.status);
        EXPECT_EQ(settings.response, u"收到"_s);
        EXPECT_EQ(settings.status, u"提交成功完成！"_s);
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), 1);
        const LoopbackHttpServer::Request& r = requests[0];
        EXPECT_EQ(r.method, post ? "POST" : "GET");
        EXPECT_EQ(r.target, "/form?a=1");
        EXPECT_EQ(r.header("content-type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(r.header("accept"), "*/*");
        EXPECT_EQ(r.header("accept-language"), "zh-CN");
        EXPECT_EQ(r.header("user-agent"),
                  "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0)");
        // UTF-8 without a terminating zero; nothing at all for an empty body.
        EXPECT_EQ(r.body, post ? u"name=张三&x=1"_s.toUtf8() : QByteArray());
        EXPECT_EQ(r.header("expect"), "");
    }
}

// Without a charset from the server or the page, the form's code decides.
TEST_F(WebRequestTest, DecodesGb2312FromCodePage936AndElseUtf8) {
    const QString text = u"汇率 人民币"_s;
    server.setRoute("/gbk", 200, platform::EncodeGbk(text), "text/html");
    server.setRoute("/utf8", 200, text.toUtf8() + "\xFF", "text/plain");
    WebRequestSettings gbk = Settings("/gbk");
    gbk.charset = "GB2312";
    ASSERT_TRUE(HttpRequest(gbk));
    EXPECT_EQ(gbk.response, text);
    WebRequestSettings utf8 = Settings("/utf8");
    utf8.charset = "UTF-8";
    ASSERT_TRUE(HttpRequest(utf8));
    EXPECT_EQ(utf8.response, text + QChar(0xFFFD));
    // Any other charset name reads UTF-8; GBK bytes then become replacement characters.
    WebRequestSettings other = Settings("/gbk");
    other.charset = "Big5";
    ASSERT_TRUE(HttpRequest(other));
    EXPECT_TRUE(other.response.contains(QChar(0xFFFD)));
}

// The server's declared charset comes first, then the page's own meta element, and only then
// the form's code; a charset the client does not know is passed over.
TEST_F(WebRequestTest, TheDeclaredCharsetDecidesBeforeTheFormsCode) {
    const QString page = u"<p>汇率 人民币</p>"_s;
    const QByteArray gbk = platform::EncodeGbk(page);
    const QString metaCharset = u"<html><head><meta charset=\"GB2312\" /></head>"_s;
    const QString metaHttpEquiv =
        u"<HTML><HEAD><META HTTP-EQUIV='Content-Type' CONTENT='text/html; charset=gbk'>"_s;
    const struct {
        const char* what;
        QByteArray contentType;
        QByteArray body;
        QString code; // the form's code
        QString text;
    } cases[] = {
        {"header", "text/html; charset=gbk", gbk, "", page},
        {"quoted header over the form's code", "text/html;charset=\"GBK\"", gbk, "UTF-8", page},
        {"meta charset", "text/html", platform::EncodeGbk(metaCharset + page), "",
         metaCharset + page},
        {"meta http-equiv", "text/html", platform::EncodeGbk(metaHttpEquiv + page), "",
         metaHttpEquiv + page},
        {"unknown header charset, then meta", "text/html; charset=no-such-charset",
         platform::EncodeGbk(metaCharset + page), "", metaCharset + page},
        {"header over meta", "text/html; charset=utf-8", (metaCharset + page).toUtf8(), "GB2312",
         metaCharset + page},
    };
    for (const auto& c : cases) {
        server.setRoute("/page", 200, c.body, c.contentType);
        WebRequestSettings settings = Settings("/page");
        settings.charset = c.code;
        ASSERT_TRUE(HttpRequest(settings)) << c.what;
        EXPECT_EQ(settings.response, c.text) << c.what;
    }
}

// A page is kept whole in memory, so one past the limit is cut off with a message instead.
TEST_F(WebRequestTest, APageBeyondTheLimitIsRefusedWithAMessage) {
    const qint64 mib = 1024 * 1024;
    const struct {
        bool post;
        qint64 limit;
        qint64 size;
        QString status; // empty: received whole
    } cases[] = {
        {false, mib, mib, {}},
        {false, mib, mib + 1, u"网页内容超过 1 MB，已停止接收。"_s},
        {true, mib, mib + 1, u"网页内容超过 1 MB，已停止接收。"_s},
        {false, kWebPageLimit, kWebPageLimit + 1, u"网页内容超过 32 MB，已停止接收。"_s},
    };
    for (const auto& c : cases) {
        server.setRoute("/big", 200, QByteArray(c.size, 'x'));
        WebRequestSettings settings = Settings("/big", c.post);
        settings.maxResponseBytes = c.limit;
        EXPECT_EQ(HttpRequest(settings), c.status.isEmpty()) << c.size;
        EXPECT_EQ(settings.status, c.status.isEmpty() ? u"提交成功完成！"_s : c.status);
        EXPECT_EQ(settings.response.size(), c.status.isEmpty() ? c.size : 0) << c.size;
    }
}

TEST_F(WebRequestTest, EveryFailureHasItsMessage) {
    quint16 closedPort;
    {
        LoopbackHttpServer gone;
        closedPort = gone.port();
    }
    server.setRoute("/slow", 200, "late", "text/plain", 4000);
    struct Case {
        QString url;
        bool post;
        QString status;
    };
    const QString base = server.baseUrl();
    const Case cases[] = {
        {base + "/missing", false, u"网站服务器错误"_s + base + "/missing"},
        {"ftp://127.0.0.1/x", false, u"ftp://127.0.0.1/x不是有效有网络地址！"_s},
        {"no address", true, u"no address不是有效有网络地址！"_s},
        {u"http://127.0.0.1:%1/x"_s.arg(closedPort), true, u"对不起，连接服务器失败！"_s},
        // 28: the time-out of the transfer
        {base + "/slow", false, u"向服务器get失败！错误号：28"_s},
        {base + "/slow", true, u"向服务器post失败！错误号：28"_s},
    };
    for (const Case& c : cases) {
        WebRequestSettings settings;
        settings.url = c.url;
        settings.post = c.post;
        settings.timeouts.stallMs = 1000;
        settings.timeouts.connectRetries = 2;
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(HttpRequest(settings)) << qPrintable(c.url);
        EXPECT_EQ(settings.status, c.status);
        EXPECT_EQ(settings.response, "");
        EXPECT_LT(timer.elapsed(), 3500) << qPrintable(c.url);
    }
}

// The scheme is read without regard to letter case: "HTTPS://" asks for TLS, which the plain
// server cannot give, instead of silently going without it.
TEST_F(WebRequestTest, CapitalHttpsStillUsesTls) {
    server.setRoute("/x", 200, "plain");
    WebRequestSettings settings = Settings("/x");
    settings.url.replace("http://", "HTTPS://");
    settings.timeouts.connectMs = 1000; // the handshake waits for an answer that never comes
    EXPECT_FALSE(HttpRequest(settings));
    EXPECT_TRUE(settings.status.startsWith(u"向服务器get失败！错误号："_s))
        << qPrintable(settings.status);
    EXPECT_EQ(settings.response, "");
}

// A session keeps its connection for the next request while asked to, and closes it otherwise;
// closing the session (the form) closes what it kept.
TEST_F(WebRequestTest, SessionKeepsItsConnectionWhileAsked) {
    server.setRoute("/a", 200, "A");
    HttpSession session;
    const auto request = [&](bool keep) {
        WebRequestSettings settings = Settings("/a", !keep);
        settings.session = &session;
        settings.keepConnection = keep;
        settings.timeouts = WebTimeouts::FormSession();
        EXPECT_TRUE(HttpRequest(settings)) << qPrintable(settings.status);
        EXPECT_EQ(settings.response, "A");
    };
    request(true);
    request(true);
    request(true);
    EXPECT_EQ(server.connectionCount(), 1);
    request(false); // still on the kept connection, which it then closes
    request(false);
    EXPECT_EQ(server.connectionCount(), 2);
    request(true);
    session.Close();
    request(true);
    EXPECT_EQ(server.connectionCount(), 4);
    // Without a session every request has a connection of its own.
    for (int i = 0; i < 2; ++i) {
        WebRequestSettings own = Settings("/a");
        EXPECT_TRUE(HttpRequest(own));
    }
    EXPECT_EQ(server.connectionCount(), 6);
    EXPECT_EQ(server.requests().size(), 9);
}

TEST(WebTls, UncheckedHostsAreNamedExactly) {
    WebTlsSettings tls;
    tls.uncheckedHosts = {" erp.example.cn ", ""};
    EXPECT_FALSE(tls.ChecksHost("ERP.example.cn"));
    EXPECT_TRUE(tls.ChecksHost("example.cn"));
    EXPECT_TRUE(tls.ChecksHost(""));
}

namespace {

// An https server on loopback: openssl's s_server (its -www answers a GET with a status page)
// with a certificate for localhost signed by an authority made for the test, as a company's own
// would be.
class CompanyTlsServer {
public:
    CompanyTlsServer() {
        const QString ext = dir_.filePath("ext.cnf");
        QFile file(ext);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n");
        file.close();
        const QStringList ec = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                "-nodes"};
        if (!Openssl(QStringList{"req", "-x509"} + ec +
                     QStringList{"-keyout", Path("ca.key"), "-out", Path("ca.pem"), "-days", "2",
                                 "-subj", "/CN=Vemo Test CA"}) ||
            !Openssl(QStringList{"req"} + ec +
                     QStringList{"-keyout", Path("server.key"), "-out", Path("server.csr"), "-subj",
                                 "/CN=localhost"}) ||
            !Openssl({"x509", "-req", "-in", Path("server.csr"), "-CA", Path("ca.pem"), "-CAkey",
                      Path("ca.key"), "-CAcreateserial", "-out", Path("server.pem"), "-days", "2",
                      "-extfile", ext}))
            return;
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost))
            return;
        port_ = probe.serverPort();
        probe.close();
        server_.start("openssl",
                      {"s_server", "-accept", QString::number(port_), "-cert", Path("server.pem"),
                       "-key", Path("server.key"), "-www", "-quiet"});
        for (int i = 0; i < 100 && server_.state() != QProcess::NotRunning; ++i) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port_);
            if (socket.waitForConnected(100)) {
                ready_ = true;
                return;
            }
            QThread::msleep(50);
        }
    }
    ~CompanyTlsServer() {
        server_.kill();
        server_.waitForFinished();
    }
    bool ready() const { return ready_; }
    QString Url() const { return QStringLiteral("https://localhost:%1/").arg(port_); }
    QString Path(const QString& name) const { return dir_.filePath(name); }

private:
    static bool Openssl(const QStringList& arguments) {
        QProcess process;
        process.start("openssl", arguments);
        return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }
    QTemporaryDir dir_;
    QProcess server_;
    quint16 port_ = 0;
    bool ready_ = false;
};

} // namespace

// Certificates are checked: a server whose authority the system does not know is refused,
// unless cfg.ini names that authority's file or the host as unchecked.
TEST(WebTls, CompanyAuthorityOrUncheckedHostLetsTheRequestThrough) {
    CompanyTlsServer server;
    ASSERT_TRUE(server.ready()) << "openssl could not serve https";
    WebRequestSettings settings;
    settings.url = server.Url();
    EXPECT_FALSE(HttpRequest(settings));
    EXPECT_EQ(settings.status, u"向服务器get失败！错误号：60"_s); // the peer's certificate
    EXPECT_EQ(settings.response, "");

    settings.tls.extraCaFile = server.Path("ca.pem");
    EXPECT_TRUE(HttpRequest(settings)) << qPrintable(settings.status);
    EXPECT_TRUE(settings.response.contains("s_server")) << qPrintable(settings.response);

    settings.tls = WebTlsSettings();
    settings.tls.uncheckedHosts = {"LOCALHOST"};
    EXPECT_TRUE(HttpRequest(settings)) << qPrintable(settings.status);
    settings.tls.uncheckedHosts = {"127.0.0.1"}; // names the host as the address does, only
    EXPECT_FALSE(HttpRequest(settings));
}

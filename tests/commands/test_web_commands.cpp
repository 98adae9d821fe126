// The web-page commands through a real form, against a real HTTP server on loopback: what the
// server receives, what lands in the result control (answers and failures alike), the source
// text convention and its messages, the HTML picking commands, pictures, links and files, and a
// request that leaves the interface running while the form's other actions wait.
#include "app/Application.h"
#include "app/Login.h"
#include "commands/CommandTable.h"
#include "commands/WebCommands.h"
#include "data/CfgFile.h"
#include "data/SessionContext.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/AppMessage.h"
#include "platform/Gbk.h"
#include "platform/ShellOpen.h"
#include "support/FormTestSession.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestAccountSet.h"
#include "widgets/GridView.h"
#include "widgets/PictureView.h"

#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

// Fields 1..6, a multi-line field 7 for pages, grid 20, picture 30; button 40 fetches the
// address in field 1 into field 3, button 41 writes into field 5.
const char* kWebForm = R"xml(<html version='1.0' id='0'>
<head title='网页' pos='0,0,900,600'/>
<body><dialog>
  <textbox id='1' pos='10,10,300,30'/>
  <textbox id='2' pos='10,40,300,60'/>
  <textbox id='3' pos='10,70,300,90'/>
  <textbox id='4' pos='10,100,300,120'/>
  <textbox id='5' pos='10,130,300,150'/>
  <textbox id='6' pos='10,160,300,180'/>
  <textbox id='7' style='4' pos='310,10,600,300'/>
  <table id='20' pos='10,310,600,500'><PARA><col_info>
    <col id='1' title='币种' width='80'/><col id='2' title='汇率' width='80'/>
    <col id='3' title='地址' width='200'/>
  </col_info></PARA></table>
  <pic id='30' pos='610,10,890,300'/>
  <button id='40' value='取' pos='10,520,90,540'><ACTION><CLICK>
    <get_html><para_info url_id='1' result_id='3'/></get_html>
  </CLICK></ACTION></button>
  <button id='41' value='写' pos='100,520,190,540'><ACTION><CLICK>
    <UrlEncode><para_info num_id='2' result_id='5'/></UrlEncode>
  </CLICK></ACTION></button>
</dialog></body></html>)xml";

class WebCommands : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        ASSERT_TRUE(session_.Start(Engine::Sqlite, why)) << qPrintable(why);
        platform::SetDesktopOpener([this](const QString& path) {
            opened_.append(path);
            return true;
        });
        form_ = FormWindow::OpenForm(QString::fromUtf8(kWebForm), QString(), QString(), "9", "网页",
                                     "");
        ASSERT_TRUE(form_);
    }
    void TearDown() override {
        platform::SetDesktopOpener({});
        session_.Stop();
    }

    template <typename T = QWidget> T* Control(int id) {
        return qobject_cast<T*>(form_->ControlByWindowId(id + FormControls::kWindowIdBase));
    }
    QString Text(int id) { return Control<QLineEdit>(id)->text(); }
    void SetText(int id, const QString& text) { Control<QLineEdit>(id)->setText(text); }
    GridView* Grid() { return Control<GridView>(20); }
    bool Run(const QString& xml) {
        FormXml::XmlDocument doc;
        EXPECT_TRUE(doc.LoadXml(xml)) << qPrintable(xml);
        form_->Runner().ErrorText.clear();
        return form_->RunCommand(doc.GetRoot(), 0, QStringLiteral("CLICK"));
    }
    QString Error() { return form_->Runner().ErrorText; }
    QString Url(const QString& target) { return server_.baseUrl() + target; }

    FormTestSession session_;
    QStringList& messages_ = session_.messages;
    QStringList opened_;
    FormWindow* form_ = nullptr;
    LoopbackHttpServer server_;
};

} // namespace

TEST_F(WebCommands, RequestsSendTheBodyAndPutTheAnswerOrTheReasonIntoTheResult) {
    server_.setRoute("/price", 200, u"单价 12.5"_s.toUtf8());
    SetText(1, Url("/price?id=7"));
    SetText(2, u"name=钢板&qty=3"_s);
    struct Case {
        const char* command;
        const char* method;
        QByteArray body;
    };
    const Case cases[] = {
        {"get_html", "GET", u"name=钢板&qty=3"_s.toUtf8()},
        {"post_html", "POST", u"name=钢板&qty=3"_s.toUtf8()},
    };
    for (const Case& c : cases) {
        server_.clearRequests();
        SetText(3, "old");
        ASSERT_TRUE(Run(u"<%1><para_info url_id='1' value_id='2' result_id='3'/></%1>"_s.arg(
            QLatin1String(c.command))));
        EXPECT_EQ(Text(3), u"单价 12.5"_s) << c.command;
        const auto requests = server_.requests();
        ASSERT_EQ(requests.size(), 1);
        EXPECT_EQ(requests[0].method, c.method);
        EXPECT_EQ(requests[0].target, "/price?id=7");
        EXPECT_EQ(requests[0].body, c.body);
        EXPECT_EQ(requests[0].header("accept-language"), "zh-CN");
    }
    // A failure is shown in the result and said, with the address: the action stops there, so
    // that no later command takes the reason for the page. A refused port stands for a machine
    // without a network.
    quint16 closedPort;
    {
        LoopbackHttpServer gone;
        closedPort = gone.port();
    }
    const QString refused = u"http://127.0.0.1:%1/prices.html"_s.arg(closedPort);
    const std::pair<QString, QString> failures[] = {
        {Url("/gone"), u"网站服务器错误"_s + Url("/gone")},
        {refused, u"对不起，连接服务器失败！"_s},
    };
    for (const auto& [url, reason] : failures) {
        SetText(1, url);
        for (const char* command : {"get_html", "post_html"}) {
            EXPECT_FALSE(Run(
                u"<%1><para_info url_id='1' result_id='3'/></%1>"_s.arg(QLatin1String(command))));
            EXPECT_EQ(Text(3), reason) << command;
            EXPECT_EQ(Error(), reason.contains(url) ? reason : reason + u"\n网址："_s + url)
                << command;
        }
    }
    // The address from the grid's selected row: column 3, or the row key for col 0.
    Grid()->AppendRow({"USD", "7.1", Url("/price")}, Url("/price?key"));
    Grid()->SelectRow(0, true);
    server_.clearRequests();
    EXPECT_TRUE(Run("<get_html><para_info table_id='20' col='3' result_id='4'/></get_html>"));
    EXPECT_TRUE(Run("<get_html><para_info table_id='20' result_id='4'/></get_html>"));
    const auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].target, "/price");
    EXPECT_EQ(requests[1].target, "/price?key");
}

TEST_F(WebCommands, Post2HtmlUsesTheFormsSessionVerbAndCharset) {
    const QString page = u"<td>人民币</td>"_s;
    // The server names no charset, so the form's code decides.
    server_.setRoute("/gbk", 200, platform::EncodeGbk(page), "text/html");
    SetText(1, Url("/gbk"));
    SetText(2, "a=1");
    ASSERT_TRUE(Run("<post2_html><para_info url_id='1' value_id='2' result_id='3' is_post='yes' "
                    "login='1' code='GB2312'/></post2_html>"));
    EXPECT_EQ(Text(3), page);
    ASSERT_TRUE(Run("<post2_html><para_info url_id='1' result_id='4' is_post='no' login='0' "
                    "code='UTF-8'/></post2_html>"));
    EXPECT_TRUE(Text(4).contains(QChar(0xFFFD)));
    const auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "a=1");
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].body, "");

    // login keeps the form's connection for its next request; closing the form (here hidden
    // for re-use) ends it.
    const QString kept = "<post2_html><para_info url_id='1' result_id='3' is_post='no' "
                         "login='1' code='GB2312'/></post2_html>";
    const int connections = server_.connectionCount();
    ASSERT_TRUE(Run(kept));
    ASSERT_TRUE(Run(kept));
    EXPECT_EQ(server_.connectionCount(), connections + 1);
    form_->HideForReuse();
    form_->ShowAgain();
    SetText(1, Url("/gbk")); // the form came back empty
    ASSERT_TRUE(Run(kept));
    EXPECT_EQ(Text(3), page);
    EXPECT_EQ(server_.connectionCount(), connections + 2);
}

// A form without a code reads a GBK page its server declares as such.
TEST_F(WebCommands, GetHtmlReadsThePageInTheCharsetItsServerNames) {
    const QString page = u"<td>人民币 汇率</td>"_s;
    server_.setRoute("/gbk", 200, platform::EncodeGbk(page), "text/html; charset=GBK");
    SetText(1, Url("/gbk"));
    ASSERT_TRUE(Run("<get_html><para_info url_id='1' result_id='3'/></get_html>"));
    EXPECT_EQ(Text(3), page);
}

TEST_F(WebCommands, SourceTextConventionAndItsMessages) {
    SetText(2, "A b");
    struct Case {
        QString command;
        bool ok;
        QString error;
    };
    const Case cases[] = {
        {"<UrlEncode><para_info num_id='2' result_id='5'/></UrlEncode>", true, ""},
        {"<get_html><para_info result_id='3'/></get_html>", false,
         u"请选择记录或者录入关联索引的指定控件编号url_id！"_s},
        {"<UrlDecode><para_info url_id='2' result_id='3'/></UrlDecode>", false,
         u"请选择记录或者录入关联索引的指定控件编号num_id！"_s},
        {"<open_url><para_info table_id='20' col='1'/></open_url>", false, u"请选择记录！"_s},
        {"<post_html><para_info url_id='2'/></post_html>", false, u"请指定控件编号result_id！"_s},
        {"<UrlEncode><para_info num_id='2'/></UrlEncode>", false, u"请指定控件编号result_id！"_s},
        // An id naming no control fails without a message.
        {"<get_html><para_info url_id='99' result_id='3'/></get_html>", false, ""},
        {"<show_pic><para_info url_id='99' target='30'/></show_pic>", false,
         u"控件指向出错:\n99"_s},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.command), c.ok) << qPrintable(c.command);
        EXPECT_EQ(Error(), c.error) << qPrintable(c.command);
    }
    EXPECT_EQ(Text(5), "%41%20%62");
    SetText(2, "%41%2");
    ASSERT_TRUE(Run("<UrlDecode><para_info num_id='2' result_id='6'/></UrlDecode>"));
    EXPECT_EQ(Text(6), "A%2");
}

TEST_F(WebCommands, HtmlListTurnsTableRowsIntoGridRows) {
    Grid()->AppendRow({"old"});
    Control<QPlainTextEdit>(7)->setPlainText(
        u"<table>\n<tr><td>USD</td><td class='r'>7.10</td></tr>\n"
        u"<tr><td><a href='/eur'>EUR</a></td><td class='r'>7.8&#48;</td></tr>\n</table>"_s);
    SetText(1, ",,"); // no tag: rows and cells alike
    ASSERT_TRUE(Run("<get_html_list><para_info_where html_id='7' path_id='1' table_id='20' "
                    "result_id='3'/></get_html_list>"));
    EXPECT_EQ(Text(3), " 8 -  8  - Html Elements found");
    ASSERT_EQ(Grid()->RowCount(), 2);
    EXPECT_EQ(Grid()->CellText(0, 0), "USD");
    EXPECT_EQ(Grid()->CellText(0, 1), "7.10");
    // The link's cell begins with "<" and is skipped; the link itself is plain text.
    EXPECT_EQ(Grid()->CellText(1, 0), "EUR");
    EXPECT_EQ(Grid()->CellText(1, 1), "7.8&#48;");

    SetText(2, "td,class,r\r\nnothing\ntd,class,r");
    ASSERT_TRUE(Run("<get_html_node_text><para_info_where html_id='7' paras_id='2' "
                    "target_id='4' result_id='5'/></get_html_node_text>"));
    EXPECT_EQ(Text(4), "7.10");
    EXPECT_EQ(Text(5), " 8 -  2  - Html Elements found");
}

TEST_F(WebCommands, ShowPicLoadsThePictureOrLeavesTheControlEmpty) {
    QTemporaryDir dir;
    const QString file = dir.filePath(u"产品.png"_s);
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(file));
    auto* picture = Control<PictureView>(30);
    ASSERT_TRUE(picture);
    SetText(1, file);
    EXPECT_TRUE(Run("<show_pic><para_info url_id='1' target='30'/></show_pic>"));
    EXPECT_EQ(picture->Picture().size(), QSize(4, 3));
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('|'));
    // A picture that is not there, or is no picture, leaves the control empty and is said; the
    // action goes on. An empty path only empties the control.
    const QString notAPicture = dir.filePath("notes.png");
    QFile notes(notAPicture);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not a picture");
    notes.close();
    const std::pair<QString, QString> cases[] = {
        {dir.filePath("missing.png"), u"图片文件不存在："_s + dir.filePath("missing.png")},
        {notAPicture, u"无法读取图片文件："_s + notAPicture},
        {"", ""},
    };
    for (const auto& [path, message] : cases) {
        SetText(1, file);
        ASSERT_TRUE(Run("<show_pic><para_info url_id='1' target='30'/></show_pic>"));
        messages_.clear();
        SetText(1, path);
        EXPECT_TRUE(Run("<show_pic><para_info url_id='1' target='30'/></show_pic>"));
        EXPECT_TRUE(picture->Picture().isNull()) << qPrintable(path);
        EXPECT_EQ(messages_, message.isEmpty() ? QStringList() : QStringList{message});
    }
}

TEST_F(WebCommands, LinksAndFilesOpenWithTheDesktop) {
    QTemporaryDir dir;
    const QString file = dir.filePath("a.txt");
    QFile(file).open(QIODevice::WriteOnly);
    SetText(1, "https://supplier.example.cn/steel");
    SetText(2, file);
    EXPECT_TRUE(Run("<open_url><para_info url_id='1'/></open_url>"));
    EXPECT_TRUE(Run("<open_file><para_info url_id='2'/></open_file>"));
    EXPECT_EQ(opened_, QStringList({"https://supplier.example.cn/steel", file}));

    SetText(2, "");
    EXPECT_FALSE(Run("<open_file><para_info url_id='2'/></open_file>"));
    EXPECT_EQ(Error(), u"文件名为空，不能打开! "_s);
    SetText(2, dir.filePath("none.txt"));
    EXPECT_FALSE(Run("<open_file><para_info url_id='2'/></open_file>"));
    EXPECT_EQ(Error(),
              u"打开文件(%1)出错！\n文件是否存在？\n err:2 "_s.arg(dir.filePath("none.txt")));
    platform::SetDesktopOpener([](const QString&) { return false; });
    EXPECT_FALSE(Run("<open_url><para_info url_id='1'/></open_url>"));
    EXPECT_EQ(Error(), u"打开链接(https://supplier.example.cn/steel)出错！\n链接格式是否正确？ "
                       u"网络是否正常？"_s);
}

// While a slow page loads, the user-interface thread keeps running: timers fire, the form's
// other buttons are ignored (its action is busy) and the form refuses to close.
TEST_F(WebCommands, ARequestLeavesTheInterfaceRunning) {
    server_.setRoute("/slow", 200, "done", "text/plain", 600);
    SetText(1, Url("/slow"));
    SetText(2, "x");
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    bool visibleDuringRequest = false;
    QTimer::singleShot(200, [&] {
        form_->RunEvent(41 + FormControls::kWindowIdBase, "CLICK");
        form_->close();
        visibleDuringRequest = form_->isVisible();
    });
    form_->RunEvent(40 + FormControls::kWindowIdBase, "CLICK");
    EXPECT_EQ(Text(3), "done");
    EXPECT_GE(ticks, 10);
    EXPECT_TRUE(visibleDuringRequest);
    EXPECT_EQ(Text(5), ""); // the other button's action never ran
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));
}

TEST_F(WebCommands, CertificateSettingsComeFromCfgIni) {
    const SessionContext& app = SessionContext::Current();
    EXPECT_EQ(ReadWebTlsSettings().extraCaFile, "");
    EXPECT_TRUE(ReadWebTlsSettings().uncheckedHosts.isEmpty());
    WriteCfg(app.CfgPath(), "HTTPS", "CA_FILE", "certs/company-ca.pem");
    WriteCfg(app.CfgPath(), "HTTPS", "UNCHECKED_HOSTS", "erp.local; 10.0.0.5");
    const WebTlsSettings tls = ReadWebTlsSettings();
    EXPECT_EQ(tls.extraCaFile, app.exeFolder + "certs/company-ca.pem");
    EXPECT_FALSE(tls.ChecksHost("ERP.local"));
    EXPECT_FALSE(tls.ChecksHost("10.0.0.5"));
    EXPECT_TRUE(tls.ChecksHost("erp.local.cn"));
    WriteCfg(app.CfgPath(), "HTTPS", "CA_FILE", "/etc/company/ca.pem");
    EXPECT_EQ(ReadWebTlsSettings().extraCaFile, "/etc/company/ca.pem");
}

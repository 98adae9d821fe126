// The account-set settings dialog driven as a user drives it: what it shows for each stored
// kind, and what "测试并保存" does against real account sets (SQLite, and PostgreSQL when
// VEMO_TEST_PG names a server), with the connection service and address look-up on loopback.
#include "app/Application.h"
#include "app/ConnectionDialog.h"
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/ConnectionText.h"
#include "platform/AppMessage.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestAccountSet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringDecoder>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

const QString kIncomplete = QStringLiteral("请输入完整配置信息");
const QString kNoPath = QStringLiteral("请输入Access文件完整路径");
const QString kCannotConnect = QStringLiteral("不能连接服务器，请检查配置文件，修改正确后保存");
const QString kSaved = QStringLiteral("保存成功！软件将重新启动！");

const char* const kServerFields[] = {"addressEdit", "portEdit", "databaseEdit", "userEdit",
                                     "passwordEdit"};

// A loopback port that nothing listens on.
quint16 ClosedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

class IpCfgDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("VEMO_UPDATE_SITE", QStringLiteral("127.0.0.1:%1").arg(server_.port()).toUtf8());
        Application::Instance().session.SetStoredConnectionText(QString());
        cfg_ = dir_.filePath(QStringLiteral("cfg.ini"));
        previousSink_ = SetMessageSink([this](const AppMessageRequest& request) {
            events_.append(request.text);
            return MessageAnswer::Ok;
        });
    }
    void TearDown() override {
        SetMessageSink(previousSink_);
        qunsetenv("VEMO_UPDATE_SITE");
        Application::Instance().session.SetStoredConnectionText(QString());
    }

    std::unique_ptr<TestAccountSet> AccountSet(Engine engine) {
        QString why;
        auto set = TestAccountSet::Create(engine, why);
        if (!set)
            ADD_FAILURE() << qPrintable(why);
        return set;
    }

    // cfg.ini as a previous save left it; no DTYPE line when `kind` is null.
    void Store(const char* kind, const QString& plainName) {
        if (kind)
            WriteCfg(cfg_, "SERVER", "DTYPE", kind);
        WriteCfg(cfg_, "SERVER", "NAME", ScrambleCfgText(plainName, 1));
    }

    std::unique_ptr<ConnectionDialog> Open() {
        auto dialog = std::make_unique<ConnectionDialog>(nullptr, cfg_);
        dialog->SetRestart([this] { events_.append(QStringLiteral("restart")); });
        dialog->SetFileChooser([this] { return chosenFile_; });
        return dialog;
    }

    template <typename T = QLineEdit>
    static T* Child(const ConnectionDialog& dialog, const char* name) {
        T* child = dialog.findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    static void FillServer(const ConnectionDialog& dialog, const QStringList& values) {
        for (int i = 0; i < 5; ++i)
            Child(dialog, kServerFields[i])->setText(values.value(i));
    }

    static void Press(const ConnectionDialog& dialog, const char* button) {
        Child<QPushButton>(dialog, button)->click();
    }

    QByteArray CfgBytes() const {
        QFile file(cfg_);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A successful save: the three keys in their order, the stored text, then the success
    // message and the restart.
    void ExpectSaved(const ConnectionDialog& dialog, const QString& kind, const QString& stored) {
        EXPECT_EQ(ReadCfg(cfg_, "SERVER", "DTYPE"), kind);
        EXPECT_EQ(UnscrambleCfgText(ReadCfg(cfg_, "SERVER", "NAME"), 1), stored);
        const QString file = QStringDecoder(QStringDecoder::Utf16LE)(CfgBytes().mid(2));
        const qsizetype kindAt = file.indexOf(QStringLiteral("\r\nDTYPE="));
        const qsizetype nameAt = file.indexOf(QStringLiteral("\r\nNAME="));
        const qsizetype appAt = file.indexOf(QStringLiteral("\r\nAPPNAME=\r\n"));
        EXPECT_TRUE(kindAt > 0 && kindAt < nameAt && nameAt < appAt) << qPrintable(file);
        EXPECT_EQ(events_, QStringList({kSaved, QStringLiteral("restart")}));
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }

    LoopbackHttpServer server_;
    QTemporaryDir dir_;
    QString cfg_;
    QString chosenFile_;
    QStringList events_; // messages shown and restarts, in order
    MessageSink previousSink_;
};

TEST_F(IpCfgDialogTest, OpeningShowsTheStoredKindAndConnection) {
    const QString lookup = AddressLookupUrl();
    const QString service = QStringLiteral("http://") + ConnectionServiceAddress() + "shop";
    struct Case {
        const char* what;
        const char* kind;
        QString name;
        int mode;
        bool serverShown;
        QString address, port, database, path;
    };
    const Case cases[] = {
        {"no DTYPE", nullptr, "", 1, false, "", "", "", ""},
        {"empty DTYPE", "", AccessConnectionText("/srv/a.dat"), 1, false, "", "", "", ""},
        {"DTYPE 0", "0", "", 1, false, "", "", "", ""},
        {"file .dat", "2", AccessConnectionText("/srv/账套/a.dat"), 2, false, "", "", "",
         "/srv/账套/a.dat"},
        {"file .DAT", "2", AccessConnectionText("/srv/b.DAT"), 2, false, "", "", "", "/srv/b.DAT"},
        {"file without password", "2",
         "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/c.db;Jet OLEDB:Database Password=;", 2,
         false, "", "", "", "/srv/c.db"},
        {"SQL Server", "1", SqlServerConnectionText("10.1.1.5", "1433", "erp", "sa", "pw"), 1, true,
         "10.1.1.5", "1433", "erp", ""},
        {"SQL Server nothing stored", "1", "", 1, true, "", "80", "", ""},
        {"SQL Server address look-up", "1",
         SqlServerConnectionText(lookup, "1433", "erp", "sa", "pw"), 1, true, "实例", "", "erp",
         ""},
        {"PostgreSQL", "3", PostgresConnectionText("db.local", "5433", "shop", "clerk", "pw"), 3,
         true, "db.local", "5433", "shop", ""},
        {"connection service", "3", service, 3, true, "实例", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(cfg_);
        Store(c.kind, c.name);
        const auto dialog = Open();
        EXPECT_EQ(dialog->CurrentMode(), c.mode);

        auto* serverRadio = Child<QRadioButton>(*dialog, "serverRadio");
        auto* fileRadio = Child<QRadioButton>(*dialog, "fileRadio");
        auto* path = Child(*dialog, "pathEdit");
        EXPECT_EQ(serverRadio->isVisibleTo(dialog.get()), c.serverShown);
        EXPECT_EQ(serverRadio->isChecked(), c.mode != 2);
        EXPECT_EQ(fileRadio->isChecked(), c.mode == 2);
        EXPECT_FALSE(Child<QRadioButton>(*dialog, "pgRadio")->isVisibleTo(dialog.get()));
        EXPECT_EQ(serverRadio->text(), c.serverShown ? "填写相关参数" : "SQL Server数据库");
        for (const char* field : kServerFields) {
            auto* edit = Child(*dialog, field);
            EXPECT_EQ(edit->isVisibleTo(dialog.get()), c.serverShown) << field;
            EXPECT_EQ(edit->isReadOnly(), c.mode == 2) << field;
        }
        for (QWidget* w : {static_cast<QWidget*>(fileRadio), Child<QWidget>(*dialog, "pathLabel"),
                           static_cast<QWidget*>(path), Child<QWidget>(*dialog, "browseButton")})
            EXPECT_EQ(w->isVisibleTo(dialog.get()), !c.serverShown) << qPrintable(w->objectName());
        EXPECT_EQ(path->isReadOnly(), c.serverShown);

        EXPECT_EQ(Child(*dialog, "addressEdit")->text(), c.address);
        EXPECT_EQ(Child(*dialog, "portEdit")->text(), c.port);
        EXPECT_EQ(Child(*dialog, "databaseEdit")->text(), c.database);
        EXPECT_EQ(Child(*dialog, "userEdit")->text(), "");
        EXPECT_EQ(Child(*dialog, "passwordEdit")->text(), "");
        EXPECT_EQ(path->text(), c.path);
    }
}

TEST_F(IpCfgDialogTest, RadiosSetTheKindAndWhichFieldsTakeInput) {
    const auto dialog = Open();
    auto* path = Child(*dialog, "pathEdit");
    auto* address = Child(*dialog, "addressEdit");
    auto* browse = Child<QPushButton>(*dialog, "browseButton");

    Child<QRadioButton>(*dialog, "fileRadio")->click();
    EXPECT_EQ(dialog->CurrentMode(), 2);
    EXPECT_TRUE(address->isReadOnly());
    EXPECT_FALSE(path->isReadOnly());

    Child<QRadioButton>(*dialog, "pgRadio")->click();
    EXPECT_EQ(dialog->CurrentMode(), 3);
    EXPECT_FALSE(address->isReadOnly());
    EXPECT_TRUE(path->isReadOnly());
    EXPECT_FALSE(browse->isVisibleTo(dialog.get()));

    Child<QRadioButton>(*dialog, "serverRadio")->click();
    EXPECT_EQ(dialog->CurrentMode(), 1);

    // Stored PostgreSQL settings show the server radio checked; pressing it keeps the kind.
    Store("3", PostgresConnectionText("db.local", "5433", "shop", "clerk", "pw"));
    const auto pg = Open();
    Child<QRadioButton>(*pg, "serverRadio")->click();
    EXPECT_EQ(pg->CurrentMode(), 3);
}

TEST_F(IpCfgDialogTest, FreshInstallSavesTheAccountFileOnlyOnceTheFileRadioIsChosen) {
    const auto set = AccountSet(Engine::Sqlite);
    ASSERT_TRUE(set);
    const QString file = AccountSetPathOf(set->connectionText());
    const auto dialog = Open();

    // Cancelling the file chooser keeps the field; a chosen file fills it.
    Press(*dialog, "browseButton");
    EXPECT_EQ(Child(*dialog, "pathEdit")->text(), "");
    chosenFile_ = file;
    Press(*dialog, "browseButton");
    EXPECT_EQ(Child(*dialog, "pathEdit")->text(), file);

    // The file controls are shown, but the kind is still SQL Server.
    Press(*dialog, "saveButton");
    EXPECT_EQ(events_, QStringList{kIncomplete});
    EXPECT_FALSE(QFile::exists(cfg_));

    events_.clear();
    Child<QRadioButton>(*dialog, "fileRadio")->click();
    Press(*dialog, "saveButton");
    ExpectSaved(*dialog, "2", AccessConnectionText(file));
}

TEST_F(IpCfgDialogTest, SavesAWorkingAccountFileByItsFullPath) {
    const auto set = AccountSet(Engine::Sqlite);
    ASSERT_TRUE(set);
    const QString file = AccountSetPathOf(set->connectionText());
    const QString previousFolder = QDir::currentPath();
    for (const bool relative : {false, true}) {
        SCOPED_TRACE(relative ? "relative path" : "full path");
        events_.clear();
        QFile::remove(cfg_);
        Store("2", AccessConnectionText("/old/a.dat"));
        const auto dialog = Open();
        // The restarted client runs elsewhere: a relative path is stored as the file tested.
        QDir::setCurrent(set->folder());
        Child(*dialog, "pathEdit")->setText(relative ? QFileInfo(file).fileName() : file);
        Press(*dialog, "saveButton");
        QDir::setCurrent(previousFolder);
        ExpectSaved(*dialog, "2", AccessConnectionText(file));
    }
}

TEST_F(IpCfgDialogTest, SavesAWorkingPostgresDatabaseAlsoByLookedUpAddress) {
    QString why;
    const auto set = TestAccountSet::Create(Engine::Postgres, why);
    if (!set)
        GTEST_SKIP() << qPrintable(why);
    const DriverConnection pg = MapToDriver(set->connectionText());
    const QString port = QString::number(pg.port);
    server_.setRoute("/pgaddr", 200, pg.host.toUtf8());
    const QString lookedUp = server_.baseUrl() + "/pgaddr";

    for (const QString& address : {pg.host, lookedUp}) {
        SCOPED_TRACE(qPrintable(address));
        events_.clear();
        QFile::remove(cfg_);
        Store("3", "");
        const auto dialog = Open();
        FillServer(*dialog, {address, port, pg.databaseName, pg.user, "x"});
        Press(*dialog, "saveButton");
        ExpectSaved(*dialog, "3",
                    PostgresConnectionText(address, port, pg.databaseName, pg.user, "x"));
    }
    EXPECT_EQ(server_.requests().size(), 1);
}

TEST_F(IpCfgDialogTest, ConnectionServiceAddressIsStoredAndItsAnswerTested) {
    const auto set = AccountSet(Engine::Sqlite);
    ASSERT_TRUE(set);
    server_.setRoute("/cs/shop", 200, ScrambleCfgText(set->connectionText(), 1).toUtf8());
    const QString service = server_.baseUrl() + "/cs/shop";
    Store("1", "");
    const auto dialog = Open();
    FillServer(*dialog, {service, "80", "-", "-", "-"});
    Press(*dialog, "saveButton");
    ExpectSaved(*dialog, "1", service);
    ASSERT_EQ(server_.requests().size(), 1);
    EXPECT_EQ(server_.requests()[0].target, "/cs/shop");
}

TEST_F(IpCfgDialogTest, MissingSettingsAreAskedForBeforeAnythingElse) {
    struct Case {
        const char* kind;
        int cleared; // index into the server fields; -1 none
        QString message;
    };
    const Case cases[] = {
        {"1", 0, kIncomplete}, {"1", 1, kIncomplete}, {"1", 2, kIncomplete}, {"1", 3, kIncomplete},
        {"1", 4, kIncomplete}, {"3", 4, kIncomplete}, {"3", 0, kIncomplete}, {"2", -1, kNoPath},
    };
    server_.setRoute("/cs/x", 200, "");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "DTYPE " << c.kind << ", field " << c.cleared);
        events_.clear();
        QFile::remove(cfg_);
        Store(c.kind, "");
        const QByteArray before = CfgBytes();
        const auto dialog = Open();
        if (qstrcmp(c.kind, "2") != 0) {
            FillServer(*dialog, {server_.baseUrl() + "/cs/x", "80", "erp", "sa", "pw"});
            Child(*dialog, kServerFields[c.cleared])->clear();
        }
        Press(*dialog, "saveButton");
        EXPECT_EQ(events_, QStringList{c.message});
        EXPECT_EQ(CfgBytes(), before);
    }
    EXPECT_TRUE(server_.requests().isEmpty());
}

TEST_F(IpCfgDialogTest, SettingsThatDoNotConnectWriteNothing) {
    const auto set = AccountSet(Engine::Sqlite);
    ASSERT_TRUE(set);
    const QString notAnAccountSet = dir_.filePath("notes.dat");
    QFile text(notAnAccountSet);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("plain text, not a database\n");
    text.close();
    const QString closed = QString::number(ClosedPort());
    server_.setRoute("/cs/gone", 404, "");
    server_.setRoute("/noaddr", 404, "");

    struct Case {
        const char* what;
        const char* kind;
        QString path;
        QStringList server;
    };
    QList<Case> cases = {
        {"missing file", "2", dir_.filePath("missing.dat"), {}},
        {"not an account set", "2", notAnAccountSet, {}},
        {"SQL Server not listening", "1", "", {"127.0.0.1", closed, "erp", "sa", "pw"}},
        {"PostgreSQL not listening", "3", "", {"127.0.0.1", closed, "erp", "sa", "pw"}},
        {"connection service without an answer",
         "1",
         "",
         {server_.baseUrl() + "/cs/gone", "80", "erp", "sa", "pw"}},
        {"address look-up without an answer",
         "3",
         "",
         {server_.baseUrl() + "/noaddr", closed, "erp", "sa", "pw"}},
    };
    if (!TestPgConnInfo().isEmpty()) {
        const DriverConnection pg =
            MapToDriver(PostgresConnectionTextFromConnInfo(TestPgConnInfo()));
        cases.append({"PostgreSQL without that database",
                      "3",
                      "",
                      {pg.host, QString::number(pg.port), "vemo_no_such_db", pg.user, "x"}});
    }
    // The client itself runs on a working account set; an empty text must not test that one.
    Application::Instance().session.SetStoredConnectionText(
        ScrambleCfgText(set->connectionText(), 1));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        events_.clear();
        QFile::remove(cfg_);
        Store(c.kind, AccessConnectionText("/old/a.dat"));
        const QByteArray before = CfgBytes();
        const auto dialog = Open();
        if (qstrcmp(c.kind, "2") == 0)
            Child(*dialog, "pathEdit")->setText(c.path);
        else
            FillServer(*dialog, c.server);
        Press(*dialog, "saveButton");
        // A missing file is named: no server is involved.
        EXPECT_EQ(events_, QStringList{c.path.endsWith("missing.dat")
                                           ? QStringLiteral("账套文件不存在：%1，请检查路径，"
                                                            "修改正确后保存")
                                                 .arg(c.path)
                                           : kCannotConnect});
        EXPECT_EQ(CfgBytes(), before);
        EXPECT_NE(dialog->result(), QDialog::Accepted);
    }
}

TEST_F(IpCfgDialogTest, TextTheFileCannotHoldKeepsThePreviousSettings) {
    const auto set = AccountSet(Engine::Sqlite);
    ASSERT_TRUE(set);
    // Stored values are cut at 511 characters; this path makes the connection text longer.
    QString folder = dir_.path();
    for (const char part : {'a', 'b'}) {
        folder += QLatin1Char('/') + QString(220, QLatin1Char(part));
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    const QString longPath = folder + "/account.dat";
    ASSERT_TRUE(QFile::copy(AccountSetPathOf(set->connectionText()), longPath));

    const QString previous = ScrambleCfgText(AccessConnectionText("/old/a.dat"), 1);
    Store("2", AccessConnectionText("/old/a.dat"));
    const auto dialog = Open();
    Child(*dialog, "pathEdit")->setText(longPath);
    Press(*dialog, "saveButton");

    EXPECT_EQ(ReadCfg(cfg_, "SERVER", "DTYPE"), "2");
    EXPECT_EQ(ReadCfg(cfg_, "SERVER", "NAME"), previous);
    ASSERT_EQ(events_.size(), 1);
    EXPECT_TRUE(events_[0].startsWith("保存失败")) << qPrintable(events_[0]);
    EXPECT_NE(dialog->result(), QDialog::Accepted);
}

} // namespace

// The update worker against a loopback update server and real account sets: the daily backup,
// the discovery and version answers, the skip rule, the definitions merge with its single
// transaction, what is refused for want of the publisher's signature or for being cut short,
// and downloads on slow, stalling and broken links.
#include "app/Application.h"
#include "app/AutoBackup.h"
#include "app/DefinitionsMerge.h"
#include "app/UpdateServer.h"
#include "app/UpdateWorker.h"
#include "data/CfgFile.h"
#include "data/DbSession.h"
#include "data/SessionContext.h"
#include "form/DefinitionCodec.h"
#include "platform/Gbk.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestAccountSet.h"
#include "support/TestPublisher.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

#include <gtest/gtest.h>

#include <utime.h>

namespace {

TEST(AutoBackup, OncePerDayAndOnlyTheLastTwoWeeksAndOlderStay) {
    QTemporaryDir dir;
    const QString set = dir.filePath("账套.dat");
    QFile file(set);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    // An empty file is an empty SQLite database: the copy is of it.
    const QDate today(2026, 12, 10);
    const QDir backups(dir.filePath("AutoBackup"));
    QDir().mkpath(backups.path());
    auto copy = [&](int daysAgo) {
        return backups.filePath("账套.dat." + today.addDays(-daysAgo).toString("yyyy-MM-dd") +
                                ".bak");
    };
    for (int days : {14, 15, 114, 115}) {
        QFile old(copy(days));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    QString error;
    ASSERT_TRUE(BackUpAccountSet(set, today, error)) << error.toStdString();
    EXPECT_TRUE(QFile::exists(copy(0)));
    EXPECT_TRUE(QFile::exists(copy(14)));
    EXPECT_FALSE(QFile::exists(copy(15)));
    EXPECT_FALSE(QFile::exists(copy(114)));
    EXPECT_TRUE(QFile::exists(copy(115)));
    // A second start the same day keeps the day's copy.
    QFile today0(copy(0));
    ASSERT_TRUE(today0.open(QIODevice::WriteOnly));
    today0.write("kept");
    today0.close();
    ASSERT_TRUE(BackUpAccountSet(set, today, error));
    QFile again(copy(0));
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), "kept");
}

class UpdateWorker : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        QString why;
        set_ = TestAccountSet::Create(GetParam(), why);
        if (!set_)
            GTEST_SKIP() << qPrintable(why);
        UseAccountSetAsConfigured(*set_, Application::Instance());
        cfg_ = set_->folder() + "cfg.ini";
        ASSERT_TRUE(Open(db_));
        const QString address = server_.baseUrl().mid(7);            // after "http://"
        server_.setRoute("/readip1.aspx", 200, QByteArray(21, 'x')); // too long: skipped
        server_.setRoute("/readip2.aspx", 200, address.toUtf8() + "\r\n");
        WriteCfg(cfg_, "UPDATE", "DISCOVER1", server_.baseUrl() + "/readip1.aspx");
        WriteCfg(cfg_, "UPDATE", "DISCOVER2", server_.baseUrl() + "/readip2.aspx");
        WriteCfg(cfg_, "UPDATE", "PUBLIC_KEY", publisher_.PublicKey());
        AnnounceClient("1.0.0.0");
        AnnounceDefinitions("2.0.0.0");
        // Entries 1 and 2 as the account set has them; 2 renamed, 3 new, 4 short (dropped).
        Exec("DELETE FROM c_menu_dh");
        Exec("DELETE FROM c_menu_button");
        Exec("INSERT INTO c_menu_dh (uid_0, pUid_0, leaf_0, name_0, level_0, order_0, "
             "update_user_uid_0, update_time_0) VALUES (1, 0, 0, '基础', 1, 1, 1, '2025-01-01 "
             "08:00:00'), "
             "(2, 1, 1, '物料', 2, 1, 1, '2025-01-01 08:00:00'), (9, 0, 1, '旧的', 1, 9, 1, "
             "'2025-01-01 08:00:00')");
        for (int uid : {1, 2})
            ASSERT_TRUE(db_.WriteBinary(
                QString("SELECT uid_0, form_0 FROM c_menu_dh WHERE uid_0=%1").arg(uid), {"form_0"},
                {QByteArray("old form ") + QByteArray::number(uid)}));
        Exec("INSERT INTO c_menu_button (uid_0, menu_uid_0, button_id_0, value_0, sta_0) VALUES "
             "(5, 2, 20, '删除', -1)");
        Exec("UPDATE c_app SET ver_1 = '1.0.0.0', app_0 = '' WHERE uid_0 = 1");
        ServePackage();
        // The running client, with an updater that only says that it was started.
        PlaceRunningClient();
    }

    // Definitions version 2.0.0.0, signed: entry 2 renamed, 3 new, 9 gone; buttons 5 and 6.
    void ServePackage() {
        Serve("dh_menu.txt", kMenu);
        Serve("menu_button.txt", "5,2,20,删除\r\n6,3,21,新增\r\n");
        Serve("up_sql.txt", "");
        Serve("clear_sql.txt", "");
        Serve("2_form.dll", ""); // empty: entry 2 keeps its old form
        Serve("3_form.dll", PackDefinition("<form id=\"3\"/>"));
    }
    static constexpr const char* kMenu =
        "1,1,0,1,0,基础,1,2025-01-01 08:00:00\n2,2,1,1,1,物料档案,1,2025-02-01 "
        "08:00:00\n3,2,1,2,1,客户,1,2025-02-01 08:00:00\n";
    void AnnounceClient(const QString& version, const QDateTime& signedAt = {}) {
        publisher_.ServeAnswer(server_, "/service/v.aspx", "client-version.txt", version, signedAt);
    }
    void AnnounceDefinitions(const QString& version, const QDateTime& signedAt = {}) {
        publisher_.ServeAnswer(server_, "/service/v1.aspx", "definitions-version.txt", version,
                               signedAt);
    }
    // A newer client on the server.
    QByteArray ServeClient(const QString& version = "9.0.0.0") {
        QByteArray client(1200 * 1000, '\0');
        for (qsizetype i = 0; i < client.size(); ++i)
            client[i] = char(i * 7 % 251);
        AnnounceClient(version);
        publisher_.Serve(server_, "/service/dl.aspx?id=vemo", "vemo", version, client);
        return client;
    }
    void PlaceRunningClient() {
        WriteFile("vemo", "#!/bin/sh\n# the running client\n");
        WriteFile("up", "#!/bin/sh\necho started > \"$(dirname \"$0\")/up-started\"\n");
        QFile(set_->folder() + "up")
            .setPermissions(QFile(set_->folder() + "up").permissions() | QFileDevice::ExeOwner);
        WriteFile("up.size", QByteArray::number(QFile(set_->folder() + "up").size()));
    }
    void WriteFile(const QString& name, const QByteArray& bytes) {
        QFile file(set_->folder() + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray ReadFile(const QString& name) const {
        QFile file(set_->folder() + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool UpdaterStarted() const {
        QElapsedTimer waited;
        waited.start();
        while (!QFile::exists(set_->folder() + "up-started") && waited.elapsed() < 2000)
            QThread::msleep(20);
        return QFile::exists(set_->folder() + "up-started");
    }
    // Everything an update may change: the entries with their forms, the buttons with their
    // states, the definitions version, and the running client's bytes.
    std::string Snapshot() {
        QStringList entries;
        db_.QueryColumns("SELECT uid_0,level_0,leaf_0,order_0,pUid_0,name_0,update_user_uid_0,"
                         "update_time_0 FROM c_menu_dh ORDER BY uid_0",
                         {"uid_0", "level_0", "leaf_0", "order_0", "pUid_0", "name_0",
                          "update_user_uid_0", "update_time_0"},
                         entries);
        QStringList buttons;
        db_.QueryColumns("SELECT uid_0,menu_uid_0,button_id_0,value_0,sta_0 FROM c_menu_button "
                         "ORDER BY uid_0",
                         {"uid_0", "menu_uid_0", "button_id_0", "value_0", "sta_0"}, buttons);
        QStringList state = entries + buttons;
        for (const QString& uid : Column("SELECT uid_0 FROM c_menu_dh ORDER BY uid_0", "uid_0"))
            state.append(QString::fromLatin1(Form(uid.toInt()).toHex()));
        state += Column("SELECT ver_1 FROM c_app WHERE uid_0=1", "ver_1");
        state.append(QString::fromLatin1(
            QCryptographicHash::hash(ReadFile("vemo"), QCryptographicHash::Sha256).toHex()));
        return state.join(QLatin1Char('|')).toStdString();
    }

    bool Open(DbSession& session) {
        session.SetConnectionString(set_->connectionText());
        return session.Open();
    }
    void Exec(const QString& sql) { ASSERT_TRUE(db_.Execute(sql)) << qPrintable(db_.Detail()); }
    QString FileTarget(const QString& file) const {
        return "/service/dl.aspx?type=" + Kind() + "&app_id=&id=" + file;
    }
    // A package file as the publisher signs it (texts in GBK).
    void Serve(const QString& file, const QByteArray& bytes, const QString& version = "2.0.0.0") {
        const QByteArray served =
            file.endsWith(".txt") ? platform::EncodeGbk(QString::fromUtf8(bytes)) : bytes;
        publisher_.Serve(server_, FileTarget(file), file, version, served);
    }
    QString Kind() const { return GetParam() == Engine::Sqlite ? "2" : "3"; }
    QStringList Run() {
        QStringList lines;
        UpdateRun run;
        run.exeFolder = set_->folder();
        run.ownVersion = "1.0.0.0";
        run.log = [&lines](const QString& line) { lines.append(line); };
        RunUpdateWorker(SessionContext::Current(), run);
        return lines;
    }
    QStringList Column(const QString& sql, const QString& column) {
        QStringList values;
        db_.QueryColumns(sql, {column}, values);
        return values;
    }
    QByteArray Form(int uid) {
        QList<QByteArray> data;
        db_.ReadBinary(QString("SELECT form_0 FROM c_menu_dh WHERE uid_0=%1").arg(uid), {"form_0"},
                       data);
        return data.value(0);
    }

    std::unique_ptr<TestAccountSet> set_;
    DbSession db_;
    LoopbackHttpServer server_;
    TestPublisher publisher_;
    QString cfg_;
};

TEST_P(UpdateWorker, MergesNewDefinitionsKeepingFormsThatDidNotChange) {
    const QStringList log = Run();
    EXPECT_TRUE(log.contains("server: " + server_.baseUrl().mid(7))) << qPrintable(log.join('\n'));
    EXPECT_TRUE(log.contains("definitions merged: version 2.0.0.0")) << qPrintable(log.join('\n'));
    EXPECT_EQ(Column("SELECT name_0 FROM c_menu_dh ORDER BY uid_0", "name_0"),
              QStringList({"基础", "物料档案", "客户"}));
    EXPECT_EQ(Form(1), "old form 1"); // unchanged line: no form fetched, the old one kept
    EXPECT_EQ(Form(2), "old form 2"); // changed, but its downloaded form was empty
    EXPECT_EQ(Form(3), PackDefinition("<form id=\"3\"/>"));
    EXPECT_EQ(Column("SELECT value_0 FROM c_menu_button ORDER BY uid_0", "value_0"),
              QStringList({"删除", "新增"}));
    // A button denied to everyone stays denied; a new one starts at the default.
    EXPECT_EQ(Column("SELECT sta_0 FROM c_menu_button ORDER BY uid_0", "sta_0"),
              QStringList({"-1", "0"}));
    EXPECT_EQ(Column("SELECT ver_1 FROM c_app WHERE uid_0=1", "ver_1"), QStringList{"2.0.0.0"});
    QStringList fetched;
    for (const auto& request : server_.requests())
        if (request.target.contains("_form.dll") && !request.target.endsWith("sig=1"))
            fetched.append(
                QString::fromUtf8(request.target.mid(request.target.lastIndexOf('=') + 1)));
    EXPECT_EQ(fetched, QStringList({"2_form.dll", "3_form.dll"}));
}

TEST_P(UpdateWorker, AMergeThatFailsHalfWayChangesNothing) {
    // The last statement (the version) fails, after both tables were replaced: all goes back.
    Exec("ALTER TABLE c_app RENAME TO c_app_gone");
    const QStringList log = Run();
    Exec("ALTER TABLE c_app_gone RENAME TO c_app");
    EXPECT_TRUE(log.join('\n').contains("definitions: not merged")) << qPrintable(log.join('\n'));
    EXPECT_EQ(Column("SELECT name_0 FROM c_menu_dh ORDER BY uid_0", "name_0"),
              QStringList({"基础", "物料", "旧的"}));
    EXPECT_EQ(Form(2), "old form 2");
    EXPECT_EQ(Column("SELECT value_0 FROM c_menu_button", "value_0"), QStringList{"删除"});
    EXPECT_EQ(Column("SELECT ver_1 FROM c_app WHERE uid_0=1", "ver_1"), QStringList{"1.0.0.0"});
}

TEST_P(UpdateWorker, SkipsWithinFiveMinutesOfTheLastDefinitionsDownload) {
    QDir(set_->folder()).mkpath("update");
    const QString menu = set_->folder() + "update/dh_menu.txt";
    QFile(menu).open(QIODevice::WriteOnly);
    const struct {
        qint64 secondsAgo;
        bool skips;
    } cases[] = {{200, true}, {301, false}, {0, false}};
    for (const auto& c : cases) {
        QFile(menu).open(QIODevice::WriteOnly);
        const qint64 when = QDateTime::currentSecsSinceEpoch() - c.secondsAgo;
        utimbuf times{when, when};
        ASSERT_EQ(utime(QFile::encodeName(menu).constData(), &times), 0);
        const QStringList log = Run();
        EXPECT_EQ(log.join('\n').contains("skip: update/dh_menu.txt"), c.skips) << c.secondsAgo;
        Exec("UPDATE c_app SET ver_1 = '2.0.0.0' WHERE uid_0 = 1"); // nothing more to merge
        QDir(set_->folder()).mkpath("update");
    }
}

TEST_P(UpdateWorker, NoNavigationMakesAnyAnnouncedVersionNew) {
    Exec("DELETE FROM c_menu_dh");
    AnnounceDefinitions("10.0.0.0");
    const QStringList log = Run();
    EXPECT_EQ(Column("SELECT ver_1 FROM c_app WHERE uid_0=1", "ver_1"), QStringList{"10.0.0.0"});
    EXPECT_TRUE(log.contains("definitions: current")) << qPrintable(log.join('\n'));
    // The company's name is reported as test0 when it has no usable one.
    bool reported = false;
    for (const auto& request : server_.requests())
        reported = reported || (request.target.startsWith("/service/v.aspx") &&
                                request.target.contains("&c=test0&app="));
    EXPECT_TRUE(reported);
}

TEST_P(UpdateWorker, AShortApplicationIdAndASmallClientAreNotUsed) {
    Exec("UPDATE c_app SET app_0 = '" + QString(35, 'a') + "' WHERE uid_0 = 1");
    AnnounceClient("9.0.0.0");
    publisher_.Serve(server_, "/service/dl.aspx?id=vemo", "vemo", "9.0.0.0",
                     QByteArray(300000, '#'));
    const QStringList log = Run();
    EXPECT_TRUE(log.contains("client: download failed")) << qPrintable(log.join('\n'));
    EXPECT_FALSE(QFile::exists(set_->folder() + "vemo.previous"));
    bool reported = false;
    for (const auto& request : server_.requests())
        reported = reported || (request.target.startsWith("/service/v.aspx") &&
                                request.target.endsWith("&app="));
    EXPECT_TRUE(reported) << "a 35-character application id is reported as none";
}

TEST_P(UpdateWorker, InstallsAClientAsThePublisherSignedIt) {
    const QByteArray client = ServeClient();
    const QStringList log = Run();
    EXPECT_TRUE(log.contains("client: 9.0.0.0 downloaded, updater started"))
        << qPrintable(log.join('\n'));
    EXPECT_TRUE(UpdaterStarted());
    EXPECT_EQ(ReadFile("update/vemo"), client);
    // The signature goes with it, for `up` to put beside the client.
    EXPECT_EQ(ReadFile("update/vemo.sig").left(24), "vemo-update-signature 1\n");
}

// Whatever is refused, for want of the publisher's signature, for being older than what the
// client has seen, or for being cut short or failing half-way, leaves the entries, their forms,
// the buttons and their states, the definitions version and the running client as they were,
// and says why in the update log.
TEST_P(UpdateWorker, RefusedUpdatesChangeNothing) {
    const TestPublisher stranger;
    const QDateTime now = QDateTime::currentDateTimeUtc().addSecs(-60);
    auto tampered = [](QByteArray bytes) {
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 1);
        return bytes;
    };
    // Records the last answer seen as signed now, so that the next one is signed earlier.
    auto seenNow = [&](const std::function<void()>& announce) {
        announce();
        Run();
    };
    const struct {
        const char* what;
        std::function<void()> arrange;
        const char* logged;
    } cases[] = {
        {"a package file with one byte changed",
         [&] {
             server_.setRoute(FileTarget("dh_menu.txt"), 200,
                              tampered(platform::EncodeGbk(QString::fromUtf8(kMenu))));
         },
         "definitions: dh_menu.txt refused: 内容与签名不符"},
        {"a package file signed by another key",
         [&] {
             server_.setRoute(SignatureTarget(FileTarget("menu_button.txt")), 200,
                              stranger.Sign("menu_button.txt", "2.0.0.0", "5,2,20,删除\r\n"));
         },
         "definitions: menu_button.txt refused: 签名所用的密钥"},
        {"a package file without a signature",
         [&] { server_.setRoute(SignatureTarget(FileTarget("up_sql.txt")), 404, "not found"); },
         "definitions: up_sql.txt refused: 更新服务器没有给出 up_sql.txt 的签名"},
        {"a package file of another version", [&] { Serve("clear_sql.txt", "", "1.9.0.0"); },
         "definitions: clear_sql.txt refused: 签名的版本是 1.9.0.0，不是 2.0.0.0"},
        {"a lower definitions version", [&] { AnnounceDefinitions("0.9.0.0"); },
         "definitions: 0.9.0.0 refused: not newer than the account set's 1.0.0.0"},
        {"a replayed older definitions answer",
         [&] {
             seenNow([&] { AnnounceDefinitions("1.0.0.0", now); });
             AnnounceDefinitions("2.0.0.0", now.addDays(-1));
         },
         "latest definitions: answer refused: 回答 2.0.0.0 签于"},
        {"a menu file cut in the middle of a line (signed so)",
         [&] {
             const QByteArray menu = platform::EncodeGbk(QString::fromUtf8(kMenu));
             publisher_.Serve(server_, FileTarget("dh_menu.txt"), "dh_menu.txt", "2.0.0.0",
                              menu.left(menu.size() / 2));
         },
         "definitions: not merged: dh_menu.txt 第 2 行"},
        {"a failing statement in the middle of up_sql.txt",
         [&] {
             Serve("up_sql.txt", "UPDATE c_menu_button SET sta_0=7 WHERE uid_0=5;\n"
                                 "INSERT INTO no_such_table VALUES (1);\n"
                                 "UPDATE c_menu_dh SET name_0='改了' WHERE uid_0=1;\n");
         },
         "definitions: not merged: up_sql.txt 执行失败"},
        {"a failing clear_sql.txt", [&] { Serve("clear_sql.txt", "DELETE FROM no_such_table"); },
         "definitions: not merged: clear_sql.txt 执行失败"},
        {"a form that does not unpack", [&] { Serve("3_form.dll", "no form"); },
         "3_form.dll 不是完整的表单定义"},
        {"a client with one byte changed",
         [&] {
             const QByteArray client = ServeClient();
             server_.setRoute("/service/dl.aspx?id=vemo", 200, tampered(client));
         },
         "client: 9.0.0.0 refused: 内容与签名不符"},
        {"a client cut short, delivered with 200 OK",
         [&] {
             const QByteArray client = ServeClient();
             server_.setRoute("/service/dl.aspx?id=vemo", 200, client.left(1000000));
         },
         "client: 9.0.0.0 refused: 内容与签名不符（收到 1000000 字节"},
        {"a client signed by another key",
         [&] {
             const QByteArray client = ServeClient();
             server_.setRoute(SignatureTarget("/service/dl.aspx?id=vemo"), 200,
                              stranger.Sign("vemo", "9.0.0.0", client));
         },
         "client: 9.0.0.0 refused: 签名所用的密钥"},
        {"a client without a signature",
         [&] {
             ServeClient();
             server_.setRoute(SignatureTarget("/service/dl.aspx?id=vemo"), 404, "not found");
         },
         "client: 9.0.0.0 refused: 更新服务器没有给出 vemo 的签名"},
        {"an old client announced as a newer one",
         [&] {
             const QByteArray client = ServeClient();
             server_.setRoute(SignatureTarget("/service/dl.aspx?id=vemo"), 200,
                              publisher_.Sign("vemo", "0.5.0.0", client));
         },
         "client: 9.0.0.0 refused: 签名的版本是 0.5.0.0，不是 9.0.0.0"},
        {"a replayed older client answer",
         [&] {
             ServeClient();
             seenNow([&] { AnnounceClient("1.0.0.0", now); });
             AnnounceClient("9.0.0.0", now.addDays(-1));
         },
         "latest client: answer refused: 回答 9.0.0.0 签于"},
    };
    const std::string before = Snapshot();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ServePackage();
        AnnounceClient("1.0.0.0");
        AnnounceDefinitions("2.0.0.0");
        QFile::remove(set_->folder() + "update.seen");
        // A client case leaves the definitions current, so that nothing else is merged.
        if (QByteArray(c.what).contains("client"))
            AnnounceDefinitions("1.0.0.0");
        c.arrange();
        const QStringList log = Run();
        EXPECT_TRUE(log.join('\n').contains(QString::fromUtf8(c.logged)))
            << qPrintable(log.join('\n'));
        EXPECT_FALSE(log.join('\n').contains("merged: version")) << qPrintable(log.join('\n'));
        EXPECT_EQ(Snapshot(), before);
        EXPECT_FALSE(QFile::exists(set_->folder() + "update/vemo"));
        EXPECT_FALSE(QFile::exists(set_->folder() + "up-started"));
        QDir(set_->folder() + "update").removeRecursively();
    }
}

TEST_P(UpdateWorker, WithoutAKeyNothingComesFromTheServer) {
    ServeClient();
    WriteCfg(cfg_, "UPDATE", "PUBLIC_KEY", "");
    // A client published into the account set is still installed: it is as trusted as the
    // account set itself.
    Exec("UPDATE c_app SET ver_0 = '5.0.0.0' WHERE uid_0 = 1");
    ASSERT_TRUE(db_.WriteBinary("SELECT uid_0, exe_0 FROM c_app WHERE uid_0=1", {"exe_0"},
                                {"#!/bin/sh\n# published\n"}));
    const std::string before = Snapshot();
    const QStringList log = Run();
    EXPECT_EQ(log.filter("trust: ").size(), 1) << qPrintable(log.join('\n'));
    EXPECT_TRUE(log.filter("trust: ").value(0).contains("PUBLIC_KEY"));
    EXPECT_TRUE(log.contains("client: installing the one published in the account set"))
        << qPrintable(log.join('\n'));
    EXPECT_EQ(ReadFile("update/vemo"), "#!/bin/sh\n# published\n");
    EXPECT_TRUE(UpdaterStarted());
    for (const auto& request : server_.requests())
        EXPECT_FALSE(request.target.startsWith("/service/dl.aspx")) << request.target.data();
    EXPECT_EQ(Snapshot(), before);
}

// A link that stops sending: the client gives up after the stall limit of cfg.ini and says so.
TEST_P(UpdateWorker, AStalledDownloadIsAbandonedAtTheStallLimit) {
    const QByteArray client = ServeClient();
    WriteCfg(cfg_, "UPDATE", "STALL_SECONDS", "2");
    LoopbackHttpServer::Route route;
    route.body = client;
    route.breakAt = 100000;
    route.stall = true;
    server_.setRoute("/service/dl.aspx?id=vemo", route);
    QElapsedTimer elapsed;
    elapsed.start();
    const QStringList log = Run();
    EXPECT_GE(elapsed.elapsed(), 2000);
    EXPECT_LT(elapsed.elapsed(), 8000);
    EXPECT_TRUE(log.contains(QString::fromUtf8("client: download failed: vemo：2 秒没有收到数据，"
                                               "已放弃下载（已收到 100000 字节）")))
        << qPrintable(log.join('\n'));
    EXPECT_FALSE(QFile::exists(set_->folder() + "update/vemo"));
}

INSTANTIATE_TEST_SUITE_P(Engines, UpdateWorker, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                             return std::string(EngineName(info.param));
                         });

// Downloads on bad links, against the loopback server: 2 MiB in pieces of 1 MiB and 2 MiB.
class UpdateDownload : public ::testing::Test {
protected:
    static QByteArray Body() {
        QByteArray body(2 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < body.size(); ++i)
            body[i] = char(i * 13 % 253);
        return body;
    }
    DownloadResult Download() { return DownloadToFile(server_.baseUrl() + "/f", Path()); }
    QString Path() const { return dir_.filePath("f"); }
    QByteArray Saved() const {
        QFile file(Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QList<QByteArray> Ranges() const {
        QList<QByteArray> ranges;
        for (const auto& request : server_.requests())
            ranges.append(request.header("Range"));
        return ranges;
    }
    LoopbackHttpServer server_;
    QTemporaryDir dir_;
};

// Longer than the 30 s every request once had in all: a download has no total limit.
TEST_F(UpdateDownload, ASlowLinkFinishes) {
    LoopbackHttpServer::Route route;
    route.body = Body();
    route.bytesPerSecond = 64 * 1024;
    server_.setRoute("/f", route);
    const DownloadResult result = Download();
    ASSERT_TRUE(result.ok) << qPrintable(result.error);
    EXPECT_EQ(Saved(), Body());
    EXPECT_EQ(result.sha256, QCryptographicHash::hash(Body(), QCryptographicHash::Sha256));
}

// Cut in the middle: taken up from where it stopped when the server takes ranges, else from
// the start; the digest is of the whole file either way.
TEST_F(UpdateDownload, ABrokenDownloadIsTakenUpAgain) {
    for (const bool ranges : {true, false}) {
        SCOPED_TRACE(ranges ? "with ranges" : "without ranges");
        server_.clearRequests();
        LoopbackHttpServer::Route route;
        route.body = Body();
        route.ranges = ranges;
        route.breakAt = 1024 * 1024;
        server_.setRoute(ranges ? "/ranges" : "/whole", route);
        const DownloadResult result =
            DownloadToFile(server_.baseUrl() + (ranges ? "/ranges" : "/whole"), Path());
        ASSERT_TRUE(result.ok) << qPrintable(result.error);
        EXPECT_EQ(Saved(), Body());
        EXPECT_EQ(result.size, Body().size());
        EXPECT_EQ(result.sha256, QCryptographicHash::hash(Body(), QCryptographicHash::Sha256));
        // Without ranges, the whole answer to the second request is refused unread and the
        // third starts over.
        EXPECT_EQ(Ranges(), ranges ? QList<QByteArray>({"", "bytes=1048576-"})
                                   : QList<QByteArray>({"", "bytes=1048576-", ""}));
    }
}

// A body shorter than announced, every time: no file, and the reason.
TEST_F(UpdateDownload, ABodyShorterThanAnnouncedLeavesNoFile) {
    LoopbackHttpServer::Route route;
    route.body = Body();
    route.breakAt = 1000;
    route.breaks = 100;
    server_.setRoute("/f", route);
    const DownloadResult result = Download();
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_FALSE(QFile::exists(Path()));
}

} // namespace

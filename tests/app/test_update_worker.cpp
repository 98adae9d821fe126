// The update worker against a loopback update server and real account sets: the daily backup,
// the discovery and version answers, the skip rule, and the definitions merge with its single
// transaction.
#include "app/AutoBackup.h"
#include "app/DefinitionsMerge.h"
#include "app/MainApp.h"
#include "app/UpdateServer.h"
#include "app/UpdateWorker.h"
#include "data/CfgFile.h"
#include "data/DbSession.h"
#include "data/SessionContext.h"
#include "form/DefinitionCodec.h"
#include "platform/Gbk.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestAccountSet.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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
        UseAccountSetAsConfigured(*set_, CMainApp::Instance());
        cfg_ = set_->folder() + "cfg.ini";
        ASSERT_TRUE(Open(db_));
        const QString address = server_.baseUrl().mid(7);            // after "http://"
        server_.setRoute("/readip1.aspx", 200, QByteArray(21, 'x')); // too long: skipped
        server_.setRoute("/readip2.aspx", 200, address.toUtf8() + "\r\n");
        WriteCfg(cfg_, "UPDATE", "DISCOVER1", server_.baseUrl() + "/readip1.aspx");
        WriteCfg(cfg_, "UPDATE", "DISCOVER2", server_.baseUrl() + "/readip2.aspx");
        server_.setRoute("/service/v.aspx", 200, "1.0.0.0");
        server_.setRoute("/service/v1.aspx", 200, "2.0.0.0");
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
        Serve("dh_menu.txt",
              "1,1,0,1,0,基础,1,2025-01-01 08:00:00\n2,2,1,1,1,物料档案,1,2025-02-01 "
              "08:00:00\n3,2,1,2,1,客户,1,2025-02-01 08:00:00\n4,2,1");
        Serve("menu_button.txt", "5,2,20,删除\r\n6,3,21,新增\r\n");
        Serve("up_sql.txt", "");
        Serve("clear_sql.txt", "");
        Serve("2_form.dll", ""); // empty: entry 2 keeps its old form
        Serve("3_form.dll", "new form 3");
        Serve("4_form.dll", "");
    }

    bool Open(CDbSession& session) {
        session.SetConnectionString(set_->connectionText());
        return session.Open();
    }
    void Exec(const QString& sql) { ASSERT_TRUE(db_.Execute(sql)) << qPrintable(db_.Detail()); }
    void Serve(const QString& file, const QByteArray& text) {
        server_.setRoute("/service/dl.aspx?type=" + Kind() + "&app_id=&id=" + file, 200,
                         platform::EncodeGbk(QString::fromUtf8(text)));
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
    CDbSession db_;
    LoopbackHttpServer server_;
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
    EXPECT_EQ(Form(3), "new form 3");
    EXPECT_EQ(Column("SELECT value_0 FROM c_menu_button ORDER BY uid_0", "value_0"),
              QStringList({"删除", "新增"}));
    EXPECT_EQ(Column("SELECT ver_1 FROM c_app WHERE uid_0=1", "ver_1"), QStringList{"2.0.0.0"});
    QStringList fetched;
    for (const auto& request : server_.requests())
        if (request.target.contains("_form.dll"))
            fetched.append(
                QString::fromUtf8(request.target.mid(request.target.lastIndexOf('=') + 1)));
    EXPECT_EQ(fetched, QStringList({"2_form.dll", "3_form.dll", "4_form.dll"}));
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
    server_.setRoute("/service/v1.aspx", 200, "10.0.0.0");
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
    server_.setRoute("/service/v.aspx", 200, "9.0.0.0");
    server_.setRoute("/service/dl.aspx?id=vemo", 200, QByteArray(300000, '#'));
    const QStringList log = Run();
    EXPECT_TRUE(log.contains("client: download failed")) << qPrintable(log.join('\n'));
    EXPECT_FALSE(QFile::exists(set_->folder() + "vemo.previous"));
    bool reported = false;
    for (const auto& request : server_.requests())
        reported = reported || (request.target.startsWith("/service/v.aspx") &&
                                request.target.endsWith("&app="));
    EXPECT_TRUE(reported) << "a 35-character application id is reported as none";
}

INSTANTIATE_TEST_SUITE_P(Engines, UpdateWorker, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                             return std::string(EngineName(info.param));
                         });

} // namespace

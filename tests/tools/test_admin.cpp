// vemo-admin as its users run it: the real executable against a real SQLite file and a real
// PostgreSQL server.
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/ConnectionText.h"
#include "data/DbSession.h"
#include "support/TestAccountSet.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

namespace {

struct AdminRun {
    int exitCode;
    QString out;
    QString err;
};

AdminRun RunAdmin(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(VEMO_BINARY_DIR "/tools/vemo-admin/vemo-admin"), arguments);
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Every table and column that the client itself reads or writes.
const char* const kClientColumns[][2] = {
    {"c_app", "uid_0,ver_0,exe_0,date_exe_0,date_up_0,ver_1,app_0,company_0"},
    {"c_user", "uid_0,id_0,name_0,pass_0,state_0,loginTime_0,user_group_uid_0,auth1_0"},
    {"view_c_user", "uid_0,id_0,name_0,pass_0,state_0,auth_0,auth1_0"},
    {"c_menu_dh", "uid_0,pUid_0,leaf_0,name_0,level_0,order_0,form_0,update_user_uid_0,"
                  "update_time_0"},
    {"c_menu_dh_down", "uid_0,pUid_0,leaf_0,name_0,level_0,order_0,form_0,update_user_uid_0,"
                       "update_time_0"},
    {"c_menu_button", "uid_0,menu_uid_0,button_id_0,value_0,sta_0"},
    {"c_menu_button_down", "uid_0,menu_uid_0,button_id_0,value_0,sta_0"},
    {"c_menu_button_group", "menu_button_uid_0,group_uid_0,sta_0"},
    {"log_client_login", "user_uid_0,name_0,ip_0,time_0,cpt_name_0,mac_0,ip_1"},
    {"log_dh_open", "menu_uid_0,open_user_uid_0,menu_name_0,open_user_id_0,control_id_0"},
    {"p_sto", "uid_0"},
    {"c_material", "uid_0"},
};

void ExpectClientSchema(DbSession& session) {
    for (const auto& table : kClientColumns) {
        QStringList none;
        EXPECT_NE(session.QueryList(QStringLiteral("SELECT %1 FROM %2 WHERE 1=0")
                                        .arg(QLatin1String(table[1]), QLatin1String(table[0])),
                                    none),
                  0)
            << table[0] << ": " << qPrintable(session.Detail());
        if (!session.IsOpen())
            session.Open();
    }
    QStringList admin;
    EXPECT_TRUE(session.QueryColumns(
        QStringLiteral("SELECT * FROM view_c_user WHERE uid_0=1 AND state_0='正常'"),
        {"id_0", "pass_0"}, admin));
    EXPECT_EQ(admin, (QStringList{"admin", ScrambleCfgText("1", 1)}));
    QString appId;
    EXPECT_TRUE(session.QueryValue("SELECT app_0 FROM c_app WHERE uid_0=1", appId));
    EXPECT_EQ(appId.size(), 36);
    EXPECT_TRUE(session.Exists("SELECT * FROM c_app WHERE uid_0=2"));
}

TEST(AdminInit, CreatesASqliteAccountSetAndNeverOverwrites) {
    QTemporaryDir dir;
    const QString file = dir.filePath("a.dat");
    const AdminRun run = RunAdmin({"init", "--sqlite", file});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    DbSession session;
    session.SetConnectionString(AccessConnectionText(file));
    ASSERT_TRUE(session.Open());
    ExpectClientSchema(session);
    session.Close();

    const AdminRun again = RunAdmin({"init", "--sqlite", file});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err.count('\n'), 1) << qPrintable(again.err);
    EXPECT_TRUE(again.err.contains(QStringLiteral("文件已存在")));

    const AdminRun nowhere = RunAdmin({"init", "--sqlite", dir.filePath("no/such/a.dat")});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.dat"});
}

TEST(AdminInit, CreatesAPostgresAccountSetInOneTransaction) {
    QString why;
    // A fresh database from the test fixture, then the schema a second time: the second run
    // must fail as a whole and leave the first intact.
    auto set = TestAccountSet::Create(Engine::Postgres, why);
    if (!set)
        GTEST_SKIP() << qPrintable(why);
    DbSession session;
    session.SetConnectionString(set->connectionText());
    ASSERT_TRUE(session.Open());
    ExpectClientSchema(session);

    const DriverConnection target = MapToDriver(set->connectionText());
    const AdminRun again = RunAdmin({"init", "--pg", TestPgConnInfo(target.databaseName)});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err.count('\n'), 1) << qPrintable(again.err);
    QString users;
    ASSERT_TRUE(session.Open());
    EXPECT_TRUE(session.QueryValue("SELECT count(*) FROM c_user", users));
    EXPECT_EQ(users, "1");

    const AdminRun refused = RunAdmin({"init", "--pg", "host=127.0.0.1 port=1 dbname=x user=y"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.startsWith("vemo-admin: ")) << qPrintable(refused.err);
}

// init builds into a temporary file beside the target; a file of the user's that happens to
// carry such a name is not the tool's to remove.
TEST(AdminInit, LeavesOtherFilesBesideTheTargetAlone) {
    QTemporaryDir dir;
    const QString file = dir.filePath("a.dat");
    {
        QFile mine(file + ".building");
        ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
        mine.write("mine");
    }
    const AdminRun run = RunAdmin({"init", "--sqlite", file});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    QFile mine(file + ".building");
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), "mine");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"a.dat", "a.dat.building"}));
}

// The connection info names a password; neither a success nor a failure may print it.
TEST(AdminInit, NeverPrintsThePostgresPassword) {
    const QString password = QStringLiteral("Sekrit-%1").arg(QUuid::createUuid().toString());
    const AdminRun refused =
        RunAdmin({"init", "--pg", "host=127.0.0.1 port=1 dbname=x user=y password=" + password});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_FALSE((refused.out + refused.err).contains(password))
        << qPrintable(refused.out + refused.err);

    QString why;
    auto set = TestAccountSet::CreateEmptyPostgres(why);
    if (!set)
        GTEST_SKIP() << qPrintable(why);
    // The test server trusts loopback connections, so any password is accepted.
    const AdminRun created =
        RunAdmin({"init", "--pg", set->pgConnInfo() + " password=" + password});
    ASSERT_EQ(created.exitCode, 0) << qPrintable(created.err);
    EXPECT_FALSE((created.out + created.err).contains(password))
        << qPrintable(created.out + created.err);
    // Still says which account set was made.
    EXPECT_TRUE(created.out.contains("dbname=" + MapToDriver(set->connectionText()).databaseName))
        << qPrintable(created.out);
}

TEST(AdminCfg, WritesTheConnectionAsTheSettingsDialogDoes) {
    QTemporaryDir dir;
    const QString cfg = dir.filePath("cfg.ini");
    struct Case {
        QStringList options;
        QString dtype;
        QString text;
    };
    const Case cases[] = {
        {{"--sqlite", "/srv/账套/a.dat"}, "2", AccessConnectionText("/srv/账套/a.dat")},
        {{"--pg", "db", "5432", "shop", "u", "p"},
         "3",
         PostgresConnectionText("db", "5432", "shop", "u", "p")},
        {{"--mssql", "10.0.0.1", "1433", "erp", "sa", "pw"},
         "1",
         SqlServerConnectionText("10.0.0.1", "1433", "erp", "sa", "pw")},
    };
    for (const Case& c : cases) {
        const AdminRun run =
            RunAdmin(QStringList{"cfg", "set-connection", "--dir", dir.path()} + c.options);
        ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
        EXPECT_EQ(ReadCfg(cfg, "SERVER", "DTYPE"), c.dtype);
        EXPECT_EQ(UnscrambleCfgText(ReadCfg(cfg, "SERVER", "NAME"), 1), c.text);
        EXPECT_TRUE(ReadCfg(cfg, "SERVER", "APPNAME").isEmpty());
    }
    QFile file(cfg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(2) == QByteArray("\xFF\xFE", 2));

    const AdminRun missing = RunAdmin({"cfg", "set-connection", "--dir", dir.path(), "--pg", "x"});
    EXPECT_EQ(missing.exitCode, 2);
    const AdminRun noFolder =
        RunAdmin({"cfg", "set-connection", "--dir", dir.filePath("none"), "--sqlite", "a.dat"});
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("none/cfg.ini")));
}

// The file may be copied there later, so the setting is written; but the author hears of it.
TEST(AdminCfg, WarnsOfAMissingAccountSetFileAndWritesTheSettingAnyway) {
    QTemporaryDir dir;
    const QString cfg = dir.filePath("cfg.ini");
    {
        QFile existing(dir.filePath("a.dat"));
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    }
    const struct {
        QString file;
        bool warned;
    } cases[] = {
        {dir.filePath("a.dat"), false},
        {dir.filePath("missing.dat"), true},
        {dir.path(), true}, // a folder is no account set either
    };
    for (const auto& c : cases) {
        const AdminRun run =
            RunAdmin({"cfg", "set-connection", "--dir", dir.path(), "--sqlite", c.file});
        EXPECT_EQ(run.exitCode, 0) << qPrintable(c.file);
        EXPECT_EQ(run.err.count('\n'), c.warned ? 1 : 0) << qPrintable(run.err);
        if (c.warned) {
            EXPECT_TRUE(run.err.contains(c.file)) << qPrintable(run.err);
        }
        EXPECT_EQ(UnscrambleCfgText(ReadCfg(cfg, "SERVER", "NAME"), 1),
                  AccessConnectionText(c.file));
    }
}

// A command that cannot open the account set says in one line what is wrong and what to do.
TEST(AdminErrors, SayWhatIsWrongWithTheAccountSetAndHowToFixIt) {
    QTemporaryDir dir;
    {
        QFile damaged(dir.filePath("damaged.dat"));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(4096, 'x'));
    }
    const struct {
        QStringList connection;
        QStringList says;
    } cases[] = {
        {{"--sqlite", dir.filePath("damaged.dat")},
         {"无法打开账套文件：" + dir.filePath("damaged.dat"), "vemo-admin cfg set-connection"}},
        {{"--sqlite", dir.filePath("missing.dat")},
         {dir.filePath("missing.dat"), "vemo-admin cfg set-connection"}},
        {{"--pg", "127.0.0.1", "1", "db", "u", "p"},
         {"无法连接账套服务器 127.0.0.1:1", "请确认服务器已启动"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.connection.join(' ')));
        ASSERT_EQ(RunAdmin(QStringList{"cfg", "set-connection", "--dir", dir.path()} + c.connection)
                      .exitCode,
                  0);
        const AdminRun run = RunAdmin({"form", "lint", "--account-set", "--dir", dir.path()});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err.count('\n'), 1) << qPrintable(run.err);
        for (const QString& part : c.says)
            EXPECT_TRUE(run.err.contains(part)) << qPrintable(run.err);
        EXPECT_FALSE(run.err.contains(QStringLiteral("点击"))) << qPrintable(run.err);
    }
}

} // namespace

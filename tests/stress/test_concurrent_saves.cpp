// Many clients saving through a form at once, and clients that meet a held lock or die during a
// save: each a real `vemo-admin play` process on one real account set. Whatever happens, every
// click ends either stored with its success message or with a failure message and nothing
// stored, and a save is never half written.
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/ConnectionText.h"
#include "data/DbSession.h"
#include "support/TestAccountSet.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <sqlite3.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

// One save writes two rows in one transaction: a group and its log row. A save that is cut
// short must leave neither.
const char* kLoadForm = R"xml(<html version='1.0' id='0'>
<head title='并发保存' pos='0,0,400,200'/>
<body><dialog>
  <textbox id='1' pos='10,10,100,30'/>
  <textbox id='2' pos='110,10,300,30'/>
  <button id='20' value='保存' pos='10,100,90,130'><ACTION><CLICK>
    <insert_head><head_para_info uid_wnd_id='1' insert_sql='c_user_group'
        run_sql="INSERT INTO log_dh_open (open_user_uid_0, menu_name_0) VALUES ({{id?uid}}, 'pair')">
      <f field='name_0' wnd='2'/>
    </head_para_info></insert_head>
  </CLICK></ACTION></button>
</dialog></body></html>)xml";

const QString kAdmin = QStringLiteral(VEMO_BINARY_DIR "/tools/vemo-admin/vemo-admin");

class ConcurrentSaves : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        QString why;
        set_ = TestAccountSet::Create(GetParam(), why);
        if (!set_)
            GTEST_SKIP() << qPrintable(why);
        dir_ = set_->folder();
        WriteCfg(dir_ + "cfg.ini", "SERVER", "NAME", ScrambleCfgText(set_->connectionText(), 1));
        QFile form(dir_ + "load.xml");
        ASSERT_TRUE(form.open(QIODevice::WriteOnly));
        form.write(kLoadForm);
        db_.SetConnectionString(set_->connectionText());
        ASSERT_TRUE(db_.Open()) << qPrintable(db_.Detail());
    }

    void SetTimeout(int seconds) {
        WriteCfg(dir_ + "cfg.ini", "SERVER", "TIMEOUT", QString::number(seconds));
    }

    // Users u0.. with the password 1, so that no client's login ends another's session.
    void AddUsers(int count) {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(db_.Execute("INSERT INTO c_user (id_0, name_0, pass_0, state_0, "
                                    "user_group_uid_0) VALUES (?, ?, ?, '正常', 1)",
                                    {QStringLiteral("u%1").arg(i), QStringLiteral("用户%1").arg(i),
                                     ScrambleCfgText("1", 1)}))
                << qPrintable(db_.Detail());
    }

    // A play script in which user `client` saves `saves` groups named "c<client>-<n>".
    QString WriteScript(int client, int saves) {
        QString text = QStringLiteral("login u%1 1\nopen-xml load.xml\n").arg(client);
        for (int n = 0; n < saves; ++n)
            text += QStringLiteral("set 1 0\nset 2 c%1-%2\nclick 20\n").arg(client).arg(n);
        const QString path = dir_ + QStringLiteral("client%1.play").arg(client);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        return path;
    }

    std::unique_ptr<QProcess> Start(const QString& script) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process->setProcessEnvironment(env);
        process->start(kAdmin, {"play", "--dir", dir_, script});
        EXPECT_TRUE(process->waitForStarted(10000));
        return process;
    }

    QStringList Values(const QString& sql, const QVariantList& params = {}) {
        auto rs = db_.OpenRecordset(sql, params);
        QStringList values;
        for (; rs && !rs->IsEof(); rs->MoveNext())
            for (int c = 0; c < rs->FieldCount(); ++c)
                values.append(rs->Text(c));
        return values;
    }

    // Every stored group has its log row and every log row its group.
    void ExpectNothingHalfWritten() {
        EXPECT_EQ(Values("SELECT COUNT(*) FROM c_user_group g WHERE g.name_0 LIKE 'c%' AND NOT "
                         "EXISTS (SELECT 1 FROM log_dh_open l WHERE l.open_user_uid_0 = g.uid_0 "
                         "AND l.menu_name_0 = 'pair')"),
                  QStringList({"0"}));
        EXPECT_EQ(Values("SELECT COUNT(*) FROM log_dh_open l WHERE l.menu_name_0 = 'pair' AND NOT "
                         "EXISTS (SELECT 1 FROM c_user_group g WHERE g.uid_0 = l.open_user_uid_0)"),
                  QStringList({"0"}));
    }

    // Checks what one client printed against what it stored: one message a click, a success
    // message exactly for each stored group.
    void ExpectEveryClickAccountedFor(int client, int saves, const QString& out) {
        const QStringList messages = out.split('\n').filter(QRegularExpression("^message "));
        EXPECT_EQ(messages.size(), saves) << "client " << client << ":\n" << qPrintable(out);
        const qsizetype succeeded = messages.filter(QStringLiteral("新增成功")).size();
        const QStringList stored = Values("SELECT COUNT(*) FROM c_user_group WHERE name_0 LIKE ?",
                                          {QStringLiteral("c%1-%").arg(client)});
        EXPECT_EQ(stored, QStringList({QString::number(succeeded)})) << "client " << client << ":\n"
                                                                     << qPrintable(out);
    }

    std::unique_ptr<TestAccountSet> set_;
    QString dir_;
    DbSession db_;
};

TEST_P(ConcurrentSaves, EveryClickOfManyClientsIsStoredOrRefusedAloud) {
    const int clients = GetParam() == Engine::Sqlite ? 20 : 50;
    const int saves = 20;
    SetTimeout(60);
    AddUsers(clients);
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int c = 0; c < clients; ++c)
        processes.push_back(Start(WriteScript(c, saves)));
    for (int c = 0; c < clients; ++c) {
        QProcess& p = *processes[size_t(c)];
        ASSERT_TRUE(p.waitForFinished(600000)) << "client " << c << " did not finish";
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        EXPECT_EQ(p.exitCode(), 0)
            << "client " << c << ": " << qPrintable(QString::fromUtf8(p.readAllStandardError()));
        ExpectEveryClickAccountedFor(c, saves, out);
    }
    ExpectNothingHalfWritten();
}

// Another client holds the account set for a while, in the middle of a run of saves, from its
// own thread and connection, as another process would.
class LockHolder {
public:
    LockHolder(Engine engine, const QString& connectionText, int ms) {
        std::promise<bool> locked;
        auto ready = locked.get_future();
        thread_ = std::thread([=, &locked] {
            if (engine == Engine::Sqlite) {
                sqlite3* other = nullptr;
                sqlite3_open(MapToDriver(connectionText).databaseName.toUtf8().constData(), &other);
                // A reader keeps a SQLite writer from committing. It gets in between two of
                // the client's saves: a writer's lock lets readers in until it commits.
                sqlite3_busy_timeout(other, 5000);
                locked.set_value(sqlite3_exec(other, "BEGIN; SELECT COUNT(*) FROM c_user_group",
                                              nullptr, nullptr, nullptr) == SQLITE_OK);
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
                sqlite3_close(other);
            } else {
                DbSession other;
                other.SetConnectionString(connectionText);
                locked.set_value(other.Open() && other.BeginTrans() &&
                                 other.Execute("SET LOCAL lock_timeout = '5s'") &&
                                 other.Execute("LOCK TABLE c_user_group IN EXCLUSIVE MODE"));
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                other.RollbackTrans();
            }
        });
        locked_ = ready.get();
    }
    ~LockHolder() { thread_.join(); }
    bool locked() const { return locked_; }

private:
    std::thread thread_;
    bool locked_ = false;
};

TEST_P(ConcurrentSaves, AnotherClientHoldingTheAccountSetMakesSavesFailAloud) {
    SetTimeout(1);
    AddUsers(1);
    const int saves = 600; // still saving when the other client comes in
    auto process = Start(WriteScript(0, saves));
    // Once the client saves, the lock comes down on it for longer than it may wait.
    for (int waited = 0; waited < 600 && Values("SELECT COUNT(*) FROM c_user_group WHERE "
                                                "name_0 LIKE 'c0-%'") == QStringList({"0"});
         ++waited)
        QThread::msleep(50);
    {
        LockHolder holder(GetParam(), set_->connectionText(), 3500);
        ASSERT_TRUE(holder.locked());
    }
    ASSERT_TRUE(process->waitForFinished(120000));
    const QString out = QString::fromUtf8(process->readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("保存数据超时"))) << qPrintable(out);
    ExpectEveryClickAccountedFor(0, saves, out);
    ExpectNothingHalfWritten();
}

TEST_P(ConcurrentSaves, AClientKilledDuringSavesLeavesWholeSavesOnly) {
    SetTimeout(10);
    AddUsers(2);
    for (int round = 0; round < 3; ++round) {
        auto victim = Start(WriteScript(0, 400));
        // Somewhere in the middle of its saves, at a different point each round.
        QThread::msleep(1200 + 450 * round);
        victim->kill();
        ASSERT_TRUE(victim->waitForFinished(10000));
        ExpectNothingHalfWritten();
    }
    // The account set is still usable: another client saves normally.
    auto next = Start(WriteScript(1, 3));
    ASSERT_TRUE(next->waitForFinished(120000));
    ExpectEveryClickAccountedFor(1, 3, QString::fromUtf8(next->readAllStandardOutput()));
    EXPECT_EQ(Values("SELECT COUNT(*) FROM c_user_group WHERE name_0 LIKE 'c1-%'"),
              QStringList({"3"}));
}

INSTANTIATE_TEST_SUITE_P(Engines, ConcurrentSaves,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(EngineName(info.param)); });

} // namespace

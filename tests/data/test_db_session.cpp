// The database session against real engines: every case runs on a SQLite account-set file and
// on the loopback PostgreSQL server.
#include "data/ConnectionText.h"
#include "data/DbSession.h"
#include "support/TestAccountSet.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <thread>

namespace {

class SessionTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        QString why;
        set_ = TestAccountSet::Create(GetParam(), why);
        if (!set_)
            GTEST_SKIP() << qPrintable(why);
        ASSERT_TRUE(Open(session_)) << qPrintable(session_.Detail());
        const QString serial = AutoKeyType(GetParam());
        ASSERT_TRUE(session_.Execute(
            QStringLiteral("CREATE TABLE t_item (uid_0 %1, name_0 varchar(50), qty_0 integer, "
                           "note_0 varchar(200))")
                .arg(serial)))
            << qPrintable(session_.Detail());
    }
    void TearDown() override { DbSession::SetLockWaitLimitSeconds(60); }

    bool Open(DbSession& session) {
        session.SetConnectionString(set_->connectionText());
        return session.Open();
    }
    void InsertItems(int count) {
        QString script;
        for (int i = 1; i <= count; ++i)
            script +=
                QStringLiteral("INSERT INTO t_item (name_0, qty_0) VALUES ('item%1', %1);").arg(i);
        ASSERT_TRUE(session_.Execute(script)) << qPrintable(session_.Detail());
    }
    int Count(const QString& where = QString()) {
        QString value;
        session_.QueryValue(QStringLiteral("SELECT count(*) FROM t_item ") + where, value);
        return value.toInt();
    }

    std::unique_ptr<TestAccountSet> set_;
    DbSession session_;
};

TEST_P(SessionTest, QueryOperationsReturnTextsRowByRow) {
    InsertItems(3);
    QStringList list;
    EXPECT_EQ(session_.QueryList(QStringLiteral("SELECT name_0, qty_0, note_0 FROM t_item ORDER BY "
                                                "uid_0"),
                                 list),
              1);
    EXPECT_EQ(list, (QStringList{"item1", "1", "", "item2", "2", "", "item3", "3", ""}));

    QStringList columns;
    EXPECT_TRUE(session_.QueryColumns(QStringLiteral("SELECT * FROM t_item ORDER BY uid_0"),
                                      {"QTY_0", "name_0"}, columns));
    EXPECT_EQ(columns, (QStringList{"1", "item1", "2", "item2", "3", "item3"}));
    EXPECT_FALSE(session_.QueryColumns(QStringLiteral("SELECT * FROM t_item WHERE qty_0 > 9"),
                                       {"name_0"}, columns));
    EXPECT_EQ(session_.ResultCode(), 0);

    QString value = QStringLiteral("untouched");
    EXPECT_FALSE(
        session_.QueryValue(QStringLiteral("SELECT name_0 FROM t_item WHERE qty_0 > 9"), value));
    EXPECT_EQ(value, QStringLiteral("untouched"));
    EXPECT_TRUE(session_.QueryValue(QStringLiteral("SELECT TOP 1 name_0 FROM t_item ORDER BY "
                                                   "qty_0 DESC"),
                                    value));
    EXPECT_EQ(value, QStringLiteral("item3"));
    EXPECT_TRUE(session_.Exists(QStringLiteral("SELECT * FROM t_item WHERE qty_0 = 2")));
    EXPECT_FALSE(session_.Exists(QStringLiteral("SELECT * FROM t_item WHERE qty_0 = 7")));

    QStringList names, values;
    EXPECT_TRUE(session_.QueryWithNames(QStringLiteral("SELECT uid_0, name_0 FROM t_item WHERE "
                                                       "qty_0 < 3 ORDER BY uid_0"),
                                        names, values));
    EXPECT_EQ(names, (QStringList{"uid_0", "name_0"}));
    EXPECT_EQ(values, (QStringList{"1", "item1", "2", "item2"}));
    names.clear();
    EXPECT_FALSE(session_.QueryWithNames(QStringLiteral("SELECT * FROM t_item WHERE qty_0 > 9"),
                                         names, values));
    EXPECT_TRUE(session_.Message().isEmpty());
}

TEST_P(SessionTest, FailedQueriesAreResultsWithTheDataMessage) {
    QStringList list{"old"};
    EXPECT_EQ(session_.QueryList(QStringLiteral("SELECT nothing FROM no_such_table"), list), 0);
    EXPECT_EQ(session_.ResultCode(), -1);
    EXPECT_EQ(session_.Message(), QStringLiteral("数据异常，请检查输入数据的格式。\n"));
    EXPECT_TRUE(session_.Detail().startsWith(
        QStringLiteral("Open_Recorders\nSELECT nothing FROM no_such_table\n")));
    EXPECT_FALSE(session_.IsOpen()); // the owner opens it again before the next use
    ASSERT_TRUE(session_.Open());
    EXPECT_FALSE(session_.Execute(QStringLiteral("UPDATE no_such_table SET a=1")));
    EXPECT_EQ(session_.Message(), QStringLiteral("UPDATE no_such_table SET a=1"));
    EXPECT_TRUE(session_.Detail().contains(QStringLiteral("no_such_table")));
}

TEST_P(SessionTest, UntranslatableStatementsAreReportedNotRunAndDetailsShowWhatRan) {
    InsertItems(3);
    QStringList list;
    EXPECT_EQ(session_.QueryList(QStringLiteral("SELECT TOP 50 PERCENT name_0 FROM t_item"), list),
              0);
    EXPECT_TRUE(session_.Detail().contains(QStringLiteral("TOP n PERCENT")))
        << qPrintable(session_.Detail());
    ASSERT_TRUE(session_.Open());
    EXPECT_FALSE(session_.Execute(QStringLiteral(
        "UPDATE t_item LEFT JOIN t_none ON t_item.uid_0=t_none.k SET t_item.qty_0=99")));
    EXPECT_TRUE(session_.Detail().contains(QStringLiteral("UPDATE 中的外连接")));
    QString value;
    EXPECT_TRUE(
        session_.QueryValue(QStringLiteral("SELECT COUNT(*) FROM t_item WHERE qty_0 = 99"), value));
    EXPECT_EQ(value, "0");
    // A translated statement that fails shows both texts.
    EXPECT_FALSE(session_.Execute(QStringLiteral("UPDATE t_item SET note_0 = Left(no_such_0, 1)")));
    const QString detail = session_.Detail();
    EXPECT_TRUE(detail.contains(QStringLiteral("UPDATE t_item SET note_0 = Left(no_such_0, 1)\n")))
        << qPrintable(detail);
    EXPECT_TRUE(detail.contains(QStringLiteral("实际执行：\nUPDATE t_item SET note_0 = ")))
        << qPrintable(detail);
}

TEST_P(SessionTest, QueryPageTakesTheRowsOfThePage) {
    InsertItems(25);
    struct Case {
        int pageSize, page;
        QString orderBy;
        int first, last;
    };
    const Case cases[] = {
        {10, 3, QStringLiteral("qty_0 ASC"), 21, 25}, {10, 1, QStringLiteral("qty_0 ASC"), 1, 10},
        {10, 2, QStringLiteral("qty_0 DESC"), 15, 6}, {10, 3, QStringLiteral("qty_0 DESC"), 5, 1},
        {25, 1, QStringLiteral("qty_0"), 1, 25},
    };
    for (const Case& c : cases) {
        QStringList names, values;
        int total = 0, pages = 0;
        ASSERT_TRUE(session_.QueryPage(QStringLiteral("SELECT uid_0, qty_0"),
                                       QStringLiteral("FROM t_item"), c.pageSize, c.page, c.orderBy,
                                       names, values, total, pages))
            << qPrintable(session_.Detail());
        EXPECT_EQ(total, 25);
        EXPECT_EQ(pages, (25 + c.pageSize - 1) / c.pageSize);
        ASSERT_EQ(names.size(), 2);
        const int rows = int(values.size()) / 2;
        EXPECT_EQ(rows, std::abs(c.last - c.first) + 1) << qPrintable(c.orderBy);
        EXPECT_EQ(values.value(1).toInt(), c.first) << qPrintable(c.orderBy) << " page " << c.page;
        EXPECT_EQ(values.value(values.size() - 1).toInt(), c.last);
    }

    ASSERT_TRUE(session_.Execute(QStringLiteral("DELETE FROM t_item WHERE qty_0 > 7")));
    for (int page : {1, 2, 5}) {
        QStringList names, values;
        int total = 0, pages = 0;
        ASSERT_TRUE(session_.QueryPage(QStringLiteral("SELECT qty_0"),
                                       QStringLiteral("FROM t_item"), 10, page,
                                       QStringLiteral("qty_0 ASC"), names, values, total, pages));
        EXPECT_EQ(values, (QStringList{"1", "2", "3", "4", "5", "6", "7"})) << "page " << page;
        EXPECT_EQ(pages, 1);
    }

    QStringList names, values;
    int total = -1, pages = -1;
    EXPECT_TRUE(session_.QueryPage(QStringLiteral("SELECT qty_0"),
                                   QStringLiteral("FROM t_item WHERE qty_0 > 100"), 10, 1,
                                   QStringLiteral("qty_0"), names, values, total, pages));
    EXPECT_EQ(total, 0);
    EXPECT_TRUE(values.isEmpty());
}

TEST_P(SessionTest, ScriptsSkipShortAndCommentPiecesAndStopOrContinue) {
    InsertItems(2);
    EXPECT_TRUE(session_.Execute(QStringLiteral("\n\nUPDATE t_item SET qty_0=10 WHERE uid_0=1;"
                                                "-- UPDATE t_item SET qty_0=99; abc;\n"
                                                "UPDATE t_item SET qty_0=20 WHERE uid_0=2;")));
    EXPECT_EQ(Count(QStringLiteral("WHERE qty_0 IN (10, 20)")), 2);

    // A semicolon inside a quoted text belongs to the text; a quote in a comment opens none.
    EXPECT_TRUE(session_.Execute(
        QStringLiteral("UPDATE t_item SET note_0='含税;月结' WHERE uid_0=1;-- don't;\n"
                       "UPDATE t_item SET note_0='it''s; ok' WHERE uid_0=2")))
        << qPrintable(session_.Message());
    EXPECT_EQ(Count(QStringLiteral("WHERE note_0='含税;月结' AND uid_0=1")), 1);
    EXPECT_EQ(Count(QStringLiteral("WHERE note_0='it''s; ok' AND uid_0=2")), 1);

    // Only line feeds are stripped: a carriage return before the dashes makes it a statement.
    EXPECT_FALSE(session_.Execute(QStringLiteral("UPDATE t_item SET qty_0=30 WHERE uid_0=1;"
                                                 "\r-- not a comment here;"
                                                 "UPDATE t_item SET qty_0=40 WHERE uid_0=2")));
    EXPECT_EQ(session_.Message(), QStringLiteral("\r-- not a comment here"));
    EXPECT_EQ(Count(QStringLiteral("WHERE qty_0=30")), 1);
    EXPECT_EQ(Count(QStringLiteral("WHERE qty_0=40")), 0);

    // The continuing form runs every piece and reports the last one.
    EXPECT_TRUE(session_.ExecuteScript(QStringLiteral("UPDATE no_such SET a=1;"
                                                      "UPDATE t_item SET qty_0=50 WHERE uid_0=2")));
    EXPECT_EQ(Count(QStringLiteral("WHERE qty_0=50")), 1);
    EXPECT_FALSE(session_.ExecuteScript(QStringLiteral("UPDATE t_item SET qty_0=60 WHERE uid_0=2;"
                                                       "UPDATE no_such SET a=1")));
    EXPECT_EQ(session_.Message(), QStringLiteral("UPDATE no_such SET a=1"));
    EXPECT_EQ(Count(QStringLiteral("WHERE qty_0=60")), 1);
}

TEST_P(SessionTest, WritingRowsThroughQueries) {
    const QStringList fields{"name_0", "qty_0", "note_0"};
    const QString find = QStringLiteral("SELECT * FROM t_item WHERE name_0='%1'");
    EXPECT_EQ(session_.AddRecord(find.arg("a"), fields, {"a", "1", "它's 引号"}), 1);
    EXPECT_EQ(session_.AddRecord(find.arg("a"), fields, {"a", "2", ""}), 0);
    EXPECT_EQ(Count(), 1);
    QString note;
    session_.QueryValue(QStringLiteral("SELECT note_0 FROM t_item WHERE name_0='a'"), note);
    EXPECT_EQ(note, QStringLiteral("它's 引号"));

    // An empty text in a number column is stored as no value rather than refused.
    EXPECT_EQ(session_.AddRecord(find.arg("b"), fields, {"b", "", "x"}), 1);
    EXPECT_EQ(Count(QStringLiteral("WHERE qty_0 IS NULL")), 1);

    EXPECT_EQ(session_.AddRecord(find.arg("c"), fields, {"c", "1", "x", "c", "1", "x"}), -1);
    EXPECT_EQ(session_.Message(), QStringLiteral("字段和值不对应，不能添加。\n"));
    EXPECT_FALSE(session_.UpdateRecord(find.arg("a"), fields, {"a"}));
    EXPECT_EQ(session_.Message(), QStringLiteral("字段和值不对应，不能添加。\n"));

    // Only the first row the query finds is changed.
    EXPECT_EQ(session_.AddRecord(find.arg("d"), fields, {"d", "5", "x"}), 1);
    EXPECT_TRUE(session_.UpdateRecord(
        QStringLiteral("SELECT qty_0, note_0 FROM t_item T WHERE note_0='x' ORDER BY name_0 DESC"),
        {"note_0"}, {"first"}));
    EXPECT_EQ(Count(QStringLiteral("WHERE note_0='first' AND name_0='d'")), 1);
    EXPECT_EQ(Count(QStringLiteral("WHERE note_0='x'")), 1);

    EXPECT_FALSE(session_.UpdateRecord(find.arg("gone"), {"qty_0"}, {"3"}));
    EXPECT_EQ(session_.Message(), QStringLiteral("该记录已经被删除，不能修改保存。\n"));

    QString id;
    EXPECT_EQ(session_.AddRecordGetId(id, find.arg("e"), fields, {"e", "9", ""}), 1);
    QString expected;
    session_.QueryValue(QStringLiteral("SELECT uid_0 FROM t_item WHERE name_0='e'"), expected);
    EXPECT_EQ(id, expected);
    EXPECT_EQ(session_.AddRecordGetId(id, find.arg("e"), fields, {"e", "9", ""}), -1);
    EXPECT_EQ(session_.AddRecordGetId(id, find.arg("f"), fields, {"f"}), -2);

    // A field name is never spliced into SQL unchecked.
    EXPECT_EQ(
        session_.AddRecord(find.arg("g"), {"name_0) VALUES ('x'); DROP TABLE t_item; --"}, {"g"}),
        -1);
    EXPECT_TRUE(session_.Exists(QStringLiteral("SELECT * FROM t_item")));
}

TEST_P(SessionTest, BinaryFieldsHoldWholeFiles) {
    InsertItems(1);
    const QString blobType = GetParam() == Engine::Sqlite ? "BLOB" : "bytea";
    ASSERT_TRUE(
        session_.Execute(QStringLiteral("ALTER TABLE t_item ADD COLUMN file_0 ") + blobType));
    QByteArray file(5 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char& c : file)
        c = char(generator.bounded(256));
    ASSERT_TRUE(session_.WriteBinary(
        QStringLiteral("SELECT uid_0, file_0 FROM t_item WHERE uid_0=1"), {"file_0"}, {file}))
        << qPrintable(session_.Detail());
    QList<QByteArray> read;
    ASSERT_TRUE(session_.ReadBinary(QStringLiteral("SELECT file_0 FROM t_item WHERE uid_0=1"),
                                    {"file_0"}, read));
    ASSERT_EQ(read.size(), 1);
    EXPECT_EQ(read[0].size(), file.size());
    EXPECT_TRUE(read[0] == file);

    EXPECT_FALSE(session_.WriteBinary(QStringLiteral("SELECT * FROM t_item WHERE uid_0=2"),
                                      {"file_0"}, {file}));
    EXPECT_FALSE(session_.ReadBinary(QStringLiteral("SELECT file_0 FROM t_item WHERE uid_0=2"),
                                     {"file_0"}, read));
    EXPECT_FALSE(session_.WriteBinary(QStringLiteral("SELECT * FROM t_item WHERE uid_0=1"),
                                      {"file_0", "note_0"}, {file}));
    EXPECT_EQ(session_.Message(), QStringLiteral("字段和值不对应，不能添加。\n"));
}

TEST_P(SessionTest, RollbackLeavesNothingAndAFailedStatementDoesNotPoisonTheTransaction) {
    session_.BeginTrans();
    EXPECT_EQ(session_.AddRecord(QStringLiteral("SELECT * FROM t_item WHERE name_0='a'"),
                                 {"name_0"}, {"a"}),
              1);
    EXPECT_TRUE(session_.Execute(QStringLiteral("INSERT INTO t_item (name_0) VALUES ('b')")));
    session_.RollbackTrans();
    EXPECT_EQ(Count(), 0);

    session_.BeginTrans();
    EXPECT_TRUE(session_.Execute(QStringLiteral("INSERT INTO t_item (name_0) VALUES ('c')")));
    EXPECT_FALSE(session_.Execute(QStringLiteral("INSERT INTO no_such (a) VALUES (1)")));
    EXPECT_TRUE(session_.Execute(QStringLiteral("INSERT INTO t_item (name_0) VALUES ('d')")));
    session_.CommitTrans();
    EXPECT_EQ(Count(), 2);
}

TEST_P(SessionTest, LockWaitRetriesUntilTheLimit) {
    InsertItems(1);
    const QString update = QStringLiteral("SELECT * FROM t_item WHERE uid_0=1");

    // Another client holds a conflicting lock for `holdMs` on its own thread and connection.
    auto holdLock = [this](int holdMs, std::promise<void>& locked) {
        DbSession holder;
        holder.SetConnectionString(set_->connectionText());
        if (!holder.Open()) {
            locked.set_value();
            return;
        }
        holder.BeginTrans();
        holder.Execute(QStringLiteral("UPDATE t_item SET qty_0=100 WHERE uid_0=1"));
        locked.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
        holder.CommitTrans();
        holder.Close();
    };

    DbSession::SetLockWaitLimitSeconds(1);
    {
        std::promise<void> locked;
        std::thread other(holdLock, 4000, std::ref(locked));
        locked.get_future().wait();
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(session_.UpdateRecord(update, {"qty_0"}, {"7"}));
        EXPECT_EQ(session_.Message(), QStringLiteral("保存数据超时:1秒。\n"));
        EXPECT_GE(timer.elapsed(), 1000);
        // With no wait at all the first lock error fails at the next second boundary.
        DbSession::SetLockWaitLimitSeconds(0);
        timer.restart();
        EXPECT_FALSE(session_.Execute(QStringLiteral("UPDATE t_item SET qty_0=8 WHERE uid_0=1")));
        EXPECT_EQ(session_.Message(), QStringLiteral("UPDATE t_item SET qty_0=8 WHERE uid_0=1"));
        EXPECT_LT(timer.elapsed(), 1500);
        other.join();
    }

    DbSession::SetLockWaitLimitSeconds(5);
    {
        std::promise<void> locked;
        std::thread other(holdLock, 600, std::ref(locked));
        locked.get_future().wait();
        EXPECT_TRUE(session_.UpdateRecord(update, {"qty_0"}, {"7"}))
            << qPrintable(session_.Detail());
        other.join();
    }
    EXPECT_EQ(Count(QStringLiteral("WHERE qty_0=7")), 1);
}

// Two clients' actions lock the same two rows in opposite orders. The engine breaks the cycle:
// one action gives way at once with a message that says what happened and may be repeated, the
// other goes on and is stored. Neither waits out the limit or reports a timeout.
TEST_P(SessionTest, OppositeLockOrdersEndWithOneSaveStoredAndOneRefusedAloud) {
    InsertItems(2);
    DbSession::SetLockWaitLimitSeconds(60);
    std::promise<void> firstLocked[2];
    std::shared_future<void> locked[2] = {firstLocked[0].get_future().share(),
                                          firstLocked[1].get_future().share()};
    auto client = [&](int first, int second, int index, QString& message) {
        DbSession session;
        if (!Open(session) || !session.BeginTrans()) {
            firstLocked[index].set_value();
            message = session.Message();
            return false;
        }
        const auto update = [&](int uid) {
            return session.Execute(
                QStringLiteral("UPDATE t_item SET qty_0 = qty_0 + 10 WHERE uid_0 = %1").arg(uid));
        };
        const bool firstDone = update(first);
        firstLocked[index].set_value();
        // On SQLite the other cannot lock anything before this one commits.
        locked[1 - index].wait_for(std::chrono::seconds(2));
        const bool ok = firstDone && update(second) && session.CommitTrans();
        if (!ok) {
            message = session.Message();
            session.RollbackTrans();
        }
        return ok;
    };
    QString messages[2];
    auto a = std::async(std::launch::async, client, 1, 2, 0, std::ref(messages[0]));
    auto b = std::async(std::launch::async, client, 2, 1, 1, std::ref(messages[1]));
    const bool stored[2] = {a.get(), b.get()};
    if (GetParam() == Engine::Sqlite) {
        // The file's write lock is taken when an action begins: the second simply waits.
        EXPECT_TRUE(stored[0] && stored[1]) << qPrintable(messages[0] + messages[1]);
        EXPECT_EQ(Count(QStringLiteral("WHERE qty_0 >= 21")), 2);
        return;
    }
    ASSERT_NE(stored[0], stored[1]) << qPrintable(messages[0] + "|" + messages[1]);
    const QString refused = stored[0] ? messages[1] : messages[0];
    EXPECT_TRUE(refused.contains(QStringLiteral("其他用户"))) << qPrintable(refused);
    EXPECT_FALSE(refused.contains(QStringLiteral("超时"))) << qPrintable(refused);
    // The stored action's two updates and nothing of the other.
    EXPECT_EQ(
        Count(QStringLiteral("WHERE (uid_0 = 1 AND qty_0 = 11) OR (uid_0 = 2 AND qty_0 = 12)")), 2);
}

// A read meets another client that holds the table for longer than a moment (a SQLite writer
// committing, a PostgreSQL table lock): it waits as a write would, instead of failing at once.
TEST_P(SessionTest, ReadsWaitForAnotherClientsLock) {
    const int limit = DbSession::LockWaitLimitSeconds();
    DbSession::SetLockWaitLimitSeconds(6);
    std::promise<bool> locked;
    std::thread other([this, &locked] {
        if (GetParam() == Engine::Sqlite) {
            sqlite3* db = nullptr;
            sqlite3_open(MapToDriver(set_->connectionText()).databaseName.toUtf8().constData(),
                         &db);
            locked.set_value(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) ==
                             SQLITE_OK);
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        } else {
            DbSession holder;
            holder.SetConnectionString(set_->connectionText());
            locked.set_value(holder.Open() && holder.BeginTrans() &&
                             holder.Execute("LOCK TABLE t_item IN ACCESS EXCLUSIVE MODE"));
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            holder.RollbackTrans();
        }
    });
    ASSERT_TRUE(locked.get_future().get());
    QElapsedTimer timer;
    timer.start();
    QString count;
    EXPECT_TRUE(session_.QueryValue(QStringLiteral("SELECT count(*) FROM t_item"), count))
        << qPrintable(session_.Detail());
    EXPECT_GE(timer.elapsed(), 2000);
    other.join();
    DbSession::SetLockWaitLimitSeconds(limit);
}

// A server that cannot be reached gets the network wording; a missing local file is named.
TEST_P(SessionTest, OpenFailsWithTheConnectionMessage) {
    DbSession broken;
    broken.SetConnectionString(GetParam() == Engine::Sqlite
                                   ? QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data "
                                                    "Source=/nonexistent/none.dat;")
                                   : QStringLiteral("Provider=MSDASQL.1;User Properties=\""
                                                    "DATABASE=none;SERVER=127.0.0.1;\t PORT=1;"
                                                    "UID=x;PWD=y;\""));
    EXPECT_FALSE(broken.Open());
    EXPECT_FALSE(broken.IsOpen());
    EXPECT_EQ(
        broken.Message(),
        GetParam() == Engine::Sqlite
            ? QStringLiteral("账套文件不存在：/nonexistent/none.dat，请点击“设置”选择账套文件。\n")
            : QStringLiteral("连接服务器异常，请正确设置服务器，并确认网络正常。\n"));
    EXPECT_TRUE(broken.Detail().startsWith(QStringLiteral("Open\n")));
    EXPECT_EQ(broken.KindText(), GetParam() == Engine::Sqlite ? "2" : "3");
}

// A head with four lines, as a goods receipt has: the engine keeps the lines' reference to it,
// on every connection, and the refusal names the table on the other side.
TEST_P(SessionTest, BrokenReferencesAreRefusedNamingTheOtherTable) {
    ASSERT_TRUE(session_.Execute(
        QStringLiteral("CREATE TABLE t_head (uid_0 integer PRIMARY KEY, name_0 varchar(20));"
                       "CREATE TABLE t_line (uid_0 integer PRIMARY KEY, head_uid_0 integer NOT "
                       "NULL REFERENCES t_head (uid_0), qty_0 integer);"
                       "INSERT INTO t_head (uid_0, name_0) VALUES (1, 'RK-1');"
                       "INSERT INTO t_head (uid_0, name_0) VALUES (2, 'RK-2');"
                       "INSERT INTO t_line (uid_0, head_uid_0, qty_0) VALUES (1, 1, 1);"
                       "INSERT INTO t_line (uid_0, head_uid_0, qty_0) VALUES (2, 1, 2);"
                       "INSERT INTO t_line (uid_0, head_uid_0, qty_0) VALUES (3, 1, 3);"
                       "INSERT INTO t_line (uid_0, head_uid_0, qty_0) VALUES (4, 1, 4)")))
        << qPrintable(session_.Detail());
    const QString stillReferenced =
        QStringLiteral("该记录仍被其他数据引用（t_line），不能删除或修改。\n");
    const QString notPresent = QStringLiteral("引用的数据不存在（t_head），不能保存。\n");
    const struct {
        const char* sql;
        const QString& message;
    } cases[] = {
        {"DELETE FROM t_head WHERE uid_0=1", stillReferenced},
        {"UPDATE t_head SET uid_0=3 WHERE uid_0=1", stillReferenced},
        {"INSERT INTO t_line (uid_0, head_uid_0, qty_0) VALUES (5, 9, 1)", notPresent},
        {"UPDATE t_line SET head_uid_0=9 WHERE uid_0=1", notPresent},
    };
    DbSession other; // a connection of its own keeps the references too
    ASSERT_TRUE(Open(other));
    for (DbSession* session : {&session_, &other}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.sql);
            EXPECT_FALSE(session->Execute(QString::fromUtf8(c.sql)));
            EXPECT_EQ(session->Message(), c.message);
            EXPECT_TRUE(session->Detail().startsWith(QString::fromUtf8(c.sql)))
                << qPrintable(session->Detail());
        }
    }
    QString lines;
    session_.QueryValue(QStringLiteral("SELECT count(*) FROM t_line WHERE head_uid_0=1"), lines);
    EXPECT_EQ(lines, "4");

    // In an action's transaction the refusal leaves the transaction usable: the lines go first,
    // then their head.
    ASSERT_TRUE(session_.BeginTrans());
    EXPECT_FALSE(session_.Execute(QStringLiteral("DELETE FROM t_head WHERE uid_0=1")));
    EXPECT_EQ(session_.Message(), stillReferenced);
    EXPECT_TRUE(session_.Execute(QStringLiteral("DELETE FROM t_line WHERE head_uid_0=1")))
        << qPrintable(session_.Detail());
    EXPECT_TRUE(session_.Execute(QStringLiteral("DELETE FROM t_head WHERE uid_0=1")))
        << qPrintable(session_.Detail());
    ASSERT_TRUE(session_.CommitTrans()) << qPrintable(session_.Detail());
    QString heads;
    session_.QueryValue(QStringLiteral("SELECT count(*) FROM t_head"), heads);
    EXPECT_EQ(heads, "1");
}

INSTANTIATE_TEST_SUITE_P(Engines, SessionTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(EngineName(info.param)); });

} // namespace

namespace {

// A SQLite account set with a damaged page in the middle: t_big's first page, with its rows'
// pages after it. The schema still reads, so the file opens as any other.
class DamagedAccountSet : public ::testing::Test {
protected:
    void SetUp() override {
        // A write that reaches the damage is not retried for long.
        DbSession::SetLockWaitLimitSeconds(2);
        QString why;
        set_ = TestAccountSet::Create(Engine::Sqlite, why);
        ASSERT_TRUE(set_) << qPrintable(why);
        {
            DbSession builder;
            ASSERT_TRUE(Open(builder));
            QString script = QStringLiteral(
                "CREATE TABLE t_big (uid_0 INTEGER PRIMARY KEY, text_0 varchar(200));");
            for (int i = 0; i < 300; ++i)
                script += QStringLiteral("INSERT INTO t_big (text_0) VALUES ('%1');")
                              .arg(QString(200, QLatin1Char('a' + i % 26)));
            ASSERT_TRUE(builder.BeginTrans());
            ASSERT_TRUE(builder.Execute(script)) << qPrintable(builder.Detail());
            ASSERT_TRUE(builder.CommitTrans());
        }
        ASSERT_TRUE(DamageTablePage(set_->sqliteFile(), QStringLiteral("t_big"), why))
            << qPrintable(why);
        expected_ = QStringLiteral("账套文件已损坏：%1，不能再写入。请用备份 %2AutoBackup/"
                                   "account.dat.%3.bak 恢复后再使用。\n")
                        .arg(set_->sqliteFile(), set_->folder(),
                             QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    }

    void TearDown() override { DbSession::SetLockWaitLimitSeconds(60); }

    bool Open(DbSession& session) {
        session.SetConnectionString(set_->connectionText());
        return session.Open();
    }
    QByteArray FileBytes() {
        QFile file(set_->sqliteFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The damaged table's read, the first to find the damage.
    void ReportDamage(DbSession& session) {
        EXPECT_FALSE(session.FileDamaged()); // nothing has said so yet
        QString count;
        EXPECT_FALSE(session.QueryValue(QStringLiteral("SELECT count(*) FROM t_big"), count));
        EXPECT_TRUE(session.FileDamaged());
        EXPECT_EQ(session.Message(), expected_);
    }

    std::unique_ptr<TestAccountSet> set_;
    QString expected_;
};

TEST_F(DamagedAccountSet, AfterTheFirstReportNoWriteReachesTheFile) {
    DbSession session;
    ASSERT_TRUE(Open(session));
    ReportDamage(session);
    const QByteArray before = FileBytes();
    ASSERT_FALSE(before.isEmpty());

    const struct {
        const char* what;
        std::function<bool(DbSession&)> write;
    } writes[] = {
        {"Execute",
         [](DbSession& s) { return s.Execute(QStringLiteral("UPDATE c_user SET name_0='x'")); }},
        {"Execute with values",
         [](DbSession& s) {
             return s.Execute(QStringLiteral("UPDATE c_user SET name_0=? WHERE uid_0=?"),
                              {QStringLiteral("x"), 1});
         }},
        {"ExecuteScript",
         [](DbSession& s) {
             return s.ExecuteScript(QStringLiteral("UPDATE c_user SET name_0='x';"
                                                   "UPDATE c_app SET company_0='x'"));
         }},
        {"AddRecord",
         [](DbSession& s) {
             return s.AddRecord(QStringLiteral("SELECT * FROM c_user_group WHERE uid_0<0"),
                                {"name_0"}, {"x"}) == 1;
         }},
        {"UpdateRecord",
         [](DbSession& s) {
             return s.UpdateRecord(QStringLiteral("SELECT * FROM c_user WHERE uid_0=1"), {"name_0"},
                                   {"x"});
         }},
        {"BeginTrans", [](DbSession& s) { return s.BeginTrans(); }},
    };
    // The damage is known to the whole process: a session opened later refuses as well.
    DbSession later;
    ASSERT_TRUE(Open(later));
    for (DbSession* s : {&session, &later}) {
        for (const auto& w : writes) {
            SCOPED_TRACE(w.what);
            EXPECT_FALSE(w.write(*s));
            EXPECT_EQ(s->Message(), expected_);
        }
    }
    // What is sound still reads.
    QString users;
    EXPECT_TRUE(later.QueryValue(QStringLiteral("SELECT count(*) FROM c_user"), users));
    EXPECT_EQ(users, "1");
    EXPECT_EQ(FileBytes(), before);
}

TEST_F(DamagedAccountSet, ATransactionThatFindsTheDamageIsNotCommitted) {
    DbSession session;
    ASSERT_TRUE(Open(session));
    const QByteArray before = FileBytes();
    ASSERT_TRUE(session.BeginTrans());
    ASSERT_TRUE(session.Execute(QStringLiteral("UPDATE c_user SET name_0='x'")));
    ReportDamage(session);
    EXPECT_FALSE(session.CommitTrans());
    EXPECT_EQ(session.Message(), expected_);
    EXPECT_FALSE(session.InTransaction());
    EXPECT_EQ(FileBytes(), before);
}

} // namespace

// Access SQL translation: the exact text produced for each engine, and the results when the
// translated statements run on a real SQLite database and, when VEMO_TEST_PG names a server,
// on PostgreSQL.
#include "data/SqlTranslator.h"
#include "data/SqliteFunctions.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimeZone>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <ostream>

static void PrintTo(SqlDialect dialect, std::ostream* os) {
    *os << (dialect == SqlDialect::Sqlite ? "Sqlite" : "Postgres");
}

namespace {

std::string sqlite(const char* access) {
    return TranslateAccessSql(QString::fromUtf8(access), SqlDialect::Sqlite).toStdString();
}
std::string postgres(const char* access) {
    return TranslateAccessSql(QString::fromUtf8(access), SqlDialect::Postgres).toStdString();
}

// ---- text ------------------------------------------------------------------------------------

TEST(AccessSqlText, LeavesStatementsThatNeedNothingByteIdentical) {
    const char* const cases[] = {
        "SELECT uid_0,name_0 FROM c_user WHERE state_0='正常' ORDER BY id_0",
        // Access syntax inside texts, quoted names and comments is not SQL.
        "SELECT 'TOP 1 a+''b'' @@IDENTITY InStr(1,x,y) N''z''' AS \"a+'b'\" FROM t\t-- TOP 2 "
        "+ 'c' & d\n/* Left(x,1) [y] */ WHERE a = 1 ;\r\n",
        "SELECT a+b, a-1, -a+2 FROM t LEFT JOIN u ON t.k=u.k",
        "UPDATE c_user SET pass_0='x' WHERE uid_0=3",
        "INSERT INTO log_dh_open(menu_uid_0,menu_name_0) values(5,'a -> b')",
        "DELETE FROM c_menu_dh_down",
        // Left for the engine to reject: TOP PERCENT has no LIMIT form, an outer join's
        // condition cannot move to WHERE, one UPDATE cannot set columns of two tables.
        "SELECT TOP 10 PERCENT a FROM t",
        "SELECT top FROM t",
        "UPDATE a LEFT JOIN b ON a.x=b.y SET a.c=1 WHERE b.y IS NULL",
        "UPDATE a INNER JOIN b ON a.x=b.y SET a.c=1, b.d=2",
    };
    for (const char* sql : cases) {
        EXPECT_EQ(sqlite(sql), sql);
        EXPECT_EQ(postgres(sql), sql);
    }
}

// Rewrites that come out the same on both engines.
TEST(AccessSqlText, RewritesStructureForBothEngines) {
    struct Case {
        const char* access;
        const char* expected;
    };
    const Case cases[] = {
        {"SELECT TOP 1 ver_0 FROM c_app WHERE uid_0=1",
         "SELECT ver_0 FROM c_app WHERE uid_0=1 LIMIT 1"},
        {"SELECT TOP 1 1 FROM (a \t\tLEFT JOIN b ON a.k = b.k) \t\tWHERE (a.m=05 AND (b.s<0))",
         "SELECT 1 FROM (a \t\tLEFT JOIN b ON a.k = b.k) \t\tWHERE (a.m=05 AND (b.s<0)) LIMIT 1"},
        {"SELECT top(2) a FROM t", "SELECT a FROM t LIMIT 2"},
        {"SELECT * FROM ( SELECT Top 5 * FROM (SELECT Top 25 * FROM (select uid_0 from t1) AS "
         "TABLE_A ORDER By uid_0 ASC ) DERIVEDTBL Order By uid_0 DESC ) DERIVEDTBL Order By uid_0 "
         "ASC",
         "SELECT * FROM ( SELECT * FROM (SELECT * FROM (select uid_0 from t1) AS TABLE_A ORDER By "
         "uid_0 ASC LIMIT 25 ) DERIVEDTBL Order By uid_0 DESC LIMIT 5 ) DERIVEDTBL Order By uid_0 "
         "ASC"},
        {"SELECT a FROM t WHERE k IN (SELECT TOP 2 k FROM u);SELECT TOP 1 b FROM v",
         "SELECT a FROM t WHERE k IN (SELECT k FROM u LIMIT 2);SELECT b FROM v LIMIT 1"},
        // LIMIT is not allowed before UNION, so that member becomes a derived table.
        {"SELECT TOP 1 a FROM t UNION SELECT b FROM u",
         "SELECT * FROM (SELECT a FROM t LIMIT 1) AS zv_top1 UNION SELECT b FROM u"},
        {"SELECT a FROM t UNION ALL SELECT TOP 2 b FROM u",
         "SELECT a FROM t UNION ALL SELECT * FROM (SELECT b FROM u LIMIT 2) AS zv_top1"},
        {"SELECT a FROM t UNION SELECT TOP 2 b FROM u ORDER BY 1",
         "SELECT a FROM t UNION SELECT b FROM u ORDER BY 1 LIMIT 2"},
        {"UPDATE a INNER JOIN b ON a.x=b.y SET a.c=b.d, a.e=1 WHERE a.f=2 OR b.g=3",
         "UPDATE a SET c=b.d, e=1 FROM b WHERE a.x=b.y AND (a.f=2 OR b.g=3)"},
        // The target is the table the SET names; joins in parentheses, aliases, no WHERE.
        {"UPDATE (p AS a INNER JOIN q b ON a.id=b.id) INNER JOIN r ON r.id=b.id OR r.id=0 SET "
         "b.w=a.v",
         "UPDATE q AS b SET w=a.v FROM p AS a, r WHERE a.id=b.id AND (r.id=b.id OR r.id=0)"},
        {"UPDATE c_menu_dh_down,c_menu_dh B SET c_menu_dh_down.form_0=B.form_0 WHERE "
         "c_menu_dh_down.uid_0=B.uid_0 AND B.form_0 IS NOT NULL;",
         "UPDATE c_menu_dh_down SET form_0=B.form_0 FROM c_menu_dh B WHERE "
         "c_menu_dh_down.uid_0=B.uid_0 AND B.form_0 IS NOT NULL;"},
        {"UPDATE c_user SET c_user.pass_0='x' WHERE uid_0=3",
         "UPDATE c_user SET pass_0='x' WHERE uid_0=3"},
        {"UPDATE c_user u SET u.pass_0='x' WHERE u.uid_0=3",
         "UPDATE c_user AS u SET pass_0='x' WHERE u.uid_0=3"},
        {"select N','+auth_0+N',' from v", "select ','||auth_0||',' from v"},
        {"SELECT 'a' + x + 'b', a + b, 'c' + 1 * 2 FROM t",
         "SELECT 'a' || x || 'b', a + b, 'c' || (1 * 2) FROM t"},
        // Date literals become the texts dates are stored as; DELETE takes the engines' form.
        {"SELECT a FROM t WHERE d >= #2018-12-28# AND d < #1/5/2019 2:30 PM#",
         "SELECT a FROM t WHERE d >= '2018-12-28' AND d < '2019-01-05 14:30:00'"},
        {"DELETE * FROM t WHERE a=1;DELETE t.* FROM t;DELETE FROM t x WHERE x.a=1",
         "DELETE FROM t WHERE a=1;DELETE FROM t;DELETE FROM t AS x WHERE x.a=1"},
        {"SELECT DISTINCTROW a FROM t", "SELECT a FROM t"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.access);
        EXPECT_EQ(sqlite(c.access), c.expected);
        EXPECT_EQ(postgres(c.access), c.expected);
    }
}

TEST(AccessSqlText, RewritesFunctionsPerEngine) {
    struct Case {
        const char* access;
        const char* sqlite;
        const char* postgres;
    };
    const Case cases[] = {
        {"SELECT @@IDENTITY AS z_uid", "SELECT last_insert_rowid() AS z_uid",
         "SELECT lastval() AS z_uid"},
        {"where InStr((' ,1,2,5,'),(','+CStr(uid_0)+','))>0",
         "where InStr((' ,1,2,5,'),(','||CStr(uid_0)||','))>0",
         "where strpos((' ,1,2,5,'), (','||CAST(uid_0 AS text)||','))>0"},
        {"SELECT InStr(3, s, 'x'), instr(1, s, t), INSTR(1,LCase(c),LCase('x'),0)<>0, "
         "InStr(1,c,'x',1)",
         "SELECT InStr(3, s, 'x'), instr(1, s, t), -(INSTR(1,LCase(c),LCase('x'),0)<>0), "
         "InStr(1,c,'x',1)",
         "SELECT COALESCE(NULLIF(strpos(substr(CAST(s AS text), 3), 'x'), 0) + (3) - 1, 0), "
         "strpos(CAST(s AS text), CAST(t AS text)), -CAST((strpos(lower(CAST(c AS text)), "
         "lower('x'))<>0) AS integer), strpos(lower(CAST(c AS text)), lower('x'))"},
        {"SELECT CStr(n), LCase(s), UCase('a'), Len(n), Mid(s, 2), mid(s,2,n+1) FROM t",
         "SELECT CStr(n), LCase(s), UCase('a'), Len(n), Mid(s, 2), mid(s,2,n+1) FROM t",
         "SELECT CAST(n AS text), lower(CAST(s AS text)), upper('a'), length(CAST(n AS text)), "
         "substr(CAST(s AS text), 2), substr(CAST(s AS text), 2, n+1) FROM t"},
        // LEFT and RIGHT are keywords to SQLite; the join keyword stays as it is.
        {"SELECT Left(s, 2), RIGHT(s,n+1) FROM t LEFT JOIN u ON 1=1",
         "SELECT substr(s, 1, 2), substr(s, -(n+1), n+1) FROM t LEFT JOIN u ON 1=1",
         "SELECT left(CAST(s AS text), 2), right(CAST(s AS text), n+1) FROM t LEFT JOIN u ON 1=1"},
        {"SELECT IIf(a > 1, 'x', IIf(b, 1, 2)), Nz(a), Nz(a, ''), Nz(a, 0) FROM t",
         "SELECT IIf(a > 1, 'x', IIf(b, 1, 2)), Nz(a), Nz(a, ''), Nz(a, 0) FROM t",
         "SELECT CASE WHEN a > 1 THEN 'x' ELSE CASE WHEN b THEN 1 ELSE 2 END END, "
         "COALESCE(CAST(a AS text), ''), COALESCE(CAST(a AS text), ''), COALESCE(a, 0) FROM t"},
        {"UPDATE c_user SET loginTime_0=NOW(), d=Date(), g=getdate() WHERE uid_0=1",
         "UPDATE c_user SET loginTime_0=NOW(), d=date('now','localtime'), g=getdate() WHERE "
         "uid_0=1",
         "UPDATE c_user SET loginTime_0=LOCALTIMESTAMP(0), d=CURRENT_DATE, g=LOCALTIMESTAMP(0) "
         "WHERE uid_0=1"},
        // Text joins, with a text function or a parenthesised text as the text operand.
        {"SELECT (',' + CStr(a) + ',') + b FROM t WHERE c = 'x' + d",
         "SELECT (',' || CStr(a) || ',') || b FROM t WHERE c = 'x' || d",
         "SELECT (',' || CAST(a AS text) || ',') || b FROM t WHERE c = 'x' || d"},
        {"SELECT [Unit Price], t.[Qty] FROM [Order Lines] t",
         "SELECT [Unit Price], t.[Qty] FROM [Order Lines] t",
         "SELECT \"unit price\", t.\"qty\" FROM \"order lines\" t"},
        // Access's & reads Null as empty text; its arithmetic has functions of ours on SQLite,
        // in Access's order of operators.
        {"SELECT x & y & 1 + 2, a Mod 3 + 1, -2 ^ 2, 7 \\ 2 * 3, a * b / c, IsNull(a), Time(), "
         "Now, True FROM t",
         "SELECT zv_concat(x, y, 1 + 2), zv_mod(a, 3) + 1, -(zv_pow(2, 2)), zv_intdiv(7, (2 * 3)), "
         "zv_div(a * b, c), zv_isnull(a), zv_time(), now(), -1 FROM t",
         "SELECT CASE WHEN num_nulls(x, y, 1 + 2) = 3 THEN NULL ELSE concat(x, y, 1 + 2) END, a "
         "Mod 3 + 1, -(power(CAST(2 AS double precision), 2)), 7 \\ 2 * 3, CAST(a * b AS double "
         "precision) / c, ((a) IS NULL), Time(), Now, True FROM t"},
        // A class of one character is that character; % and _ in a class are escaped.
        {"SELECT a FROM t WHERE a LIKE '%[*]%' OR a LIKE '[[]x[%]' OR a LIKE 'b%'",
         "SELECT a FROM t WHERE a LIKE '%*%' OR a LIKE '[x\\%' ESCAPE '\\' OR a LIKE 'b%'",
         "SELECT a FROM t WHERE a SIMILAR TO '%[*]%' OR a SIMILAR TO '[\\[]x[%]' OR a LIKE 'b%' "
         "ESCAPE ''"},
        // Classes of several characters, ranges and [!..] have no LIKE form.
        {"SELECT a FROM t WHERE a NOT LIKE 'K[0-9]%' AND b LIKE '%[!A-Za-z_.]%'",
         "SELECT a FROM t WHERE a NOT REGEXP '\\A(?:K[0-9].*)\\z' AND b REGEXP "
         "'\\A(?:.*[^A-Za-z_.].*)\\z'",
         "SELECT a FROM t WHERE a NOT SIMILAR TO 'K[0-9]%' AND b SIMILAR TO '%[^A-Za-z_.]%'"},
        // TOP n with an ORDER BY brings the rows tied with the n-th, as in Access.
        {"SELECT DISTINCT TOP 3 a FROM t ORDER BY a DESC -- newest",
         "SELECT DISTINCT a FROM t ORDER BY a DESC LIMIT max(3, (SELECT count(*) FROM (SELECT "
         "DISTINCT a, a AS zv_k0 FROM t) AS zv_all, (SELECT DISTINCT a, a AS zv_n0 FROM t ORDER "
         "BY a DESC LIMIT 1 OFFSET 2) AS zv_nth WHERE zv_all.zv_k0 > zv_nth.zv_n0 OR "
         "(zv_nth.zv_n0 IS NULL AND zv_all.zv_k0 IS NOT NULL) OR zv_all.zv_k0 IS zv_nth.zv_n0)) "
         "-- newest",
         "SELECT DISTINCT a FROM t ORDER BY a DESC FETCH FIRST 3 ROWS WITH TIES -- newest"},
        // Texts compared with = ignore case; a comparison as a value is -1 or 0.
        {"SELECT a = b AS same, (x > 1) * 2, c FROM t WHERE n = 'Ab' OR 'ÄB' <> n OR m = '五金' "
         "OR k = 'A' + d",
         "SELECT -(a = b) AS same, -(x > 1) * 2, c FROM t WHERE n = 'Ab' COLLATE NOCASE OR 'ÄB' "
         "COLLATE zv_nocase <> n OR m = '五金' OR k = 'A' || d",
         "SELECT -CAST((a = b) AS integer) AS same, -CAST((x > 1) AS integer) * 2, c FROM t WHERE "
         "n = 'Ab' OR 'ÄB' <> n OR m = '五金' OR k = 'A' || d"},
        // A subquery in FROM takes a name on PostgreSQL, which requires one.
        {"SELECT c FROM (SELECT 1 AS c) ORDER BY c; SELECT * FROM (SELECT 2) x, (SELECT 3) AS y "
         "JOIN (SELECT 4 AS k) ON 1=1 WHERE k IN (SELECT 5)",
         "SELECT c FROM (SELECT 1 AS c) ORDER BY c; SELECT * FROM (SELECT 2) x, (SELECT 3) AS y "
         "JOIN (SELECT 4 AS k) ON 1=1 WHERE k IN (SELECT 5)",
         "SELECT c FROM (SELECT 1 AS c) AS zv_t1 ORDER BY c; SELECT * FROM (SELECT 2) x, (SELECT "
         "3) AS y JOIN (SELECT 4 AS k) AS zv_t2 ON 1=1 WHERE k IN (SELECT 5)"},
        // A wrong argument count is left for the engine to report.
        {"SELECT Mid(s), InStr(s), Date(1)", "SELECT Mid(s), InStr(s), Date(1)",
         "SELECT Mid(s), InStr(s), Date(1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.access);
        EXPECT_EQ(sqlite(c.access), c.sqlite);
        EXPECT_EQ(postgres(c.access), c.postgres);
    }
}

// ---- engines ---------------------------------------------------------------------------------

using Rows = QList<QStringList>;
const QString kNull = QStringLiteral("<null>");

class SqlRunner {
public:
    virtual ~SqlRunner() = default;
    // Runs one statement; rows get every value as text, kNull for NULL.
    virtual bool run(const QString& sql, Rows* rows, QString* error) = 0;
};

class SqliteRunner : public SqlRunner {
public:
    SqliteRunner() {
        sqlite3_open(":memory:", &db_);
        registered_ = RegisterAccessFunctions(db_);
    }
    ~SqliteRunner() override { sqlite3_close(db_); }
    bool registered() const { return registered_; }

    bool run(const QString& sql, Rows* rows, QString* error) override {
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, text.constData(), int(text.size()), &stmt, nullptr) !=
            SQLITE_OK) {
            *error = QString::fromUtf8(sqlite3_errmsg(db_));
            return false;
        }
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            QStringList row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                if (sqlite3_column_type(stmt, i) == SQLITE_NULL) {
                    row << kNull;
                } else {
                    const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                    row << QString::fromUtf8(value, sqlite3_column_bytes(stmt, i));
                }
            }
            rows->append(row);
        }
        if (rc != SQLITE_DONE)
            *error = QString::fromUtf8(sqlite3_errmsg(db_));
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE;
    }

private:
    sqlite3* db_ = nullptr;
    bool registered_ = false;
};

// Works in a schema of its own, dropped at the end, on the server that VEMO_TEST_PG names.
class PostgresRunner : public SqlRunner {
public:
    explicit PostgresRunner(const QString& conninfo) {
        static int serial = 0;
        name_ = QStringLiteral("sqltr_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
        for (const QString& pair : conninfo.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts)) {
            const QString key = pair.section('=', 0, 0).trimmed();
            QString value = pair.section('=', 1).trimmed();
            if (value.size() >= 2 && value.startsWith('\'') && value.endsWith('\''))
                value = value.mid(1, value.size() - 2);
            if (key == "host" || key == "hostaddr")
                db.setHostName(value);
            else if (key == "port")
                db.setPort(value.toInt());
            else if (key == "user")
                db.setUserName(value);
            else if (key == "password")
                db.setPassword(value);
            else if (key == "dbname")
                db.setDatabaseName(value);
        }
        open_ = db.open();
        if (!open_) {
            openError_ = db.lastError().text();
            return;
        }
        QString ignored;
        Rows none;
        // Local time on the server side means the client's zone, as for SQLite.
        const QByteArray zone = QTimeZone::systemTimeZoneId();
        open_ = run("SET client_min_messages TO warning", &none, &openError_) &&
                run("CREATE SCHEMA " + name_, &none, &openError_) &&
                run("SET search_path TO " + name_, &none, &openError_) &&
                (zone.isEmpty() ||
                 run("SET TIME ZONE '" + QString::fromUtf8(zone) + "'", &none, &ignored));
    }
    ~PostgresRunner() override {
        {
            QSqlDatabase db = QSqlDatabase::database(name_, false);
            if (db.isOpen()) {
                QSqlQuery(db).exec("DROP SCHEMA IF EXISTS " + name_ + " CASCADE");
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(name_);
    }
    bool open() const { return open_; }
    const QString& openError() const { return openError_; }

    bool run(const QString& sql, Rows* rows, QString* error) override {
        QSqlQuery q(QSqlDatabase::database(name_, false));
        if (!q.exec(sql)) {
            *error = q.lastError().text();
            return false;
        }
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < q.record().count(); ++i) {
                const QVariant v = q.value(i);
                if (v.isNull())
                    row << kNull;
                else if (v.typeId() == QMetaType::QDateTime)
                    row << v.toDateTime().toString("yyyy-MM-dd HH:mm:ss");
                else if (v.typeId() == QMetaType::QDate)
                    row << v.toDate().toString(Qt::ISODate);
                else
                    row << v.toString();
            }
            rows->append(row);
        }
        return true;
    }

private:
    QString name_;
    bool open_ = false;
    QString openError_;
};

class AccessSqlEngine : public ::testing::TestWithParam<SqlDialect> {
protected:
    void SetUp() override {
        if (GetParam() == SqlDialect::Sqlite) {
            auto runner = std::make_unique<SqliteRunner>();
            ASSERT_TRUE(runner->registered());
            runner_ = std::move(runner);
        } else {
            const QString conninfo = qEnvironmentVariable("VEMO_TEST_PG");
            if (conninfo.isEmpty())
                GTEST_SKIP() << "VEMO_TEST_PG is not set: no PostgreSQL test server";
            auto runner = std::make_unique<PostgresRunner>(conninfo);
            ASSERT_TRUE(runner->open()) << runner->openError().toStdString();
            runner_ = std::move(runner);
        }
        const bool pg = GetParam() == SqlDialect::Postgres;
        const QString schema[] = {
            "CREATE TABLE c_app (uid_0 integer, ver_0 varchar(50))",
            "CREATE TABLE c_user (uid_0 integer, user_group_uid_0 integer, loginTime_0 timestamp)",
            "CREATE TABLE c_menu_button (uid_0 integer, menu_uid_0 integer, button_id_0 integer, "
            "sta_0 integer)",
            "CREATE TABLE c_menu_button_group (menu_button_uid_0 integer, group_uid_0 integer, "
            "sta_0 integer)",
            "CREATE TABLE log_client_login (user_uid_0 integer, name_0 varchar(50), ip_0 "
            "varchar(50), time_0 varchar(30), cpt_name_0 varchar(100), mac_0 varchar(50))",
            "CREATE TABLE c_menu_dh (uid_0 integer, pUid_0 integer, leaf_0 integer, name_0 "
            "varchar(50), level_0 integer, order_0 integer)",
            "CREATE TABLE t1 (uid_0 integer, name_0 varchar(20))",
            pg ? "CREATE TABLE ident (uid_0 serial PRIMARY KEY, name_0 varchar(20))"
               : "CREATE TABLE ident (uid_0 INTEGER PRIMARY KEY AUTOINCREMENT, name_0 varchar(20))",
            "INSERT INTO c_app VALUES (1, '1.0.0.0'), (2, '9.9.9.9')",
            "INSERT INTO c_user VALUES (1, 1, NULL), (2, 7, NULL)",
            "INSERT INTO c_menu_button VALUES (10, 5, 3, 0), (11, 5, 4, 0)",
            // Two forbidding rows: the button test must still answer with one row.
            "INSERT INTO c_menu_button_group VALUES (10, 7, -1), (10, 7, -2), (11, 7, 1)",
            "INSERT INTO c_menu_dh VALUES (1, 0, 0, 'root', 1, 1), (2, 1, 1, 'a', 2, 2), "
            "(3, 1, 1, 'b', 2, 1), (5, 0, 1, 'c', 1, 2), (12, 0, 1, 'd', 1, 3)",
        };
        for (const QString& sql : schema)
            ASSERT_TRUE(exec(sql)) << sql.toStdString();
        for (int i = 1; i <= 30; ++i)
            ASSERT_TRUE(exec(QString("INSERT INTO t1 VALUES (%1, 'n%1')").arg(i)));
    }

    // Runs a statement as written, without translation.
    bool exec(const QString& sql) {
        Rows rows;
        QString error;
        const bool ok = runner_->run(sql, &rows, &error);
        EXPECT_TRUE(ok) << sql.toStdString() << "\n" << error.toStdString();
        return ok;
    }

    // Translates an Access statement and runs it.
    Rows run(const QString& access) {
        const QString sql = TranslateAccessSql(access, GetParam());
        Rows rows;
        QString error;
        EXPECT_TRUE(runner_->run(sql, &rows, &error)) << sql.toStdString() << "\n"
                                                      << error.toStdString();
        return rows;
    }

    QString value(const QString& access) {
        const Rows rows = run(access);
        return rows.isEmpty() || rows[0].isEmpty() ? QStringLiteral("<no row>") : rows[0][0];
    }

    std::unique_ptr<SqlRunner> runner_;
};

QStringList column(const Rows& rows, int index = 0) {
    QStringList out;
    for (const QStringList& row : rows)
        out << row.value(index);
    return out;
}

// A local "yyyy-MM-dd HH:mm:ss" time within a minute of now.
void expectLocalNow(const QString& text) {
    const QDateTime t = QDateTime::fromString(text, "yyyy-MM-dd HH:mm:ss");
    ASSERT_TRUE(t.isValid()) << text.toStdString();
    EXPECT_LE(qAbs(t.secsTo(QDateTime::currentDateTime())), 60) << text.toStdString();
}

TEST_P(AccessSqlEngine, RunsTheClientsStatements) {
    EXPECT_EQ(run("SELECT TOP 1 1 FROM (c_menu_button \t\tLEFT JOIN c_menu_button_group ON "
                  "c_menu_button.uid_0 = c_menu_button_group.menu_button_uid_0) \t\tLEFT JOIN "
                  "c_user ON c_menu_button_group.group_uid_0 = c_user.user_group_uid_0 \t\tWHERE "
                  "(c_menu_button.menu_uid_0=05 AND c_menu_button.button_id_0=3 AND "
                  "c_user.uid_0=2 \t\tAND (c_menu_button_group.sta_0<0 OR "
                  "(c_menu_button.sta_0<0 AND c_menu_button_group.sta_0=0)))"),
              Rows{{"1"}});
    EXPECT_EQ(value("SELECT TOP 1 ver_0 FROM c_app WHERE uid_0=1"), "1.0.0.0");

    run("INSERT INTO log_client_login(user_uid_0,name_0,ip_0,time_0,cpt_name_0,mac_0) "
        "\t\t\t\t\t\t\t\tselect top 1 5 as user_uid_0,'admin' as name_0,'10.0.0.2' as ip_0,now() "
        "as  time_0,'host - 1.0.0.0' as cpt_name_0,'AA-BB-CC-DD-EE-FF' as mac_0 ");
    const Rows log = run("SELECT user_uid_0, name_0, cpt_name_0, time_0 FROM log_client_login");
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(log[0].mid(0, 3), QStringList({"5", "admin", "host - 1.0.0.0"}));
    expectLocalNow(log[0][3]);

    EXPECT_EQ(column(run("SELECT pUid_0,leaf_0,name_0,uid_0 FROM c_menu_dh \t\t\twhere "
                         "InStr((' ,1,2,5,'),(','+CStr(uid_0)+','))>0 \t\t\torder by "
                         "level_0,pUid_0,order_0,uid_0"),
                     3),
              QStringList({"1", "5", "2"}));
    EXPECT_EQ(column(run("SELECT pUid_0,leaf_0,name_0,uid_0 FROM c_menu_dh \t\t\twhere "
                         "InStr((',1,2,12,'),(','+CStr(uid_0)+','))>0 \t\t\tAND "
                         "InStr((',2,3,12,'),(','+CStr(uid_0)+','))>0 \t\t\torder by "
                         "level_0,pUid_0,order_0,uid_0"),
                     3),
              QStringList({"12", "2"}));

    run("UPDATE c_user SET loginTime_0=NOW() WHERE uid_0=1");
    expectLocalNow(value("SELECT loginTime_0 FROM c_user WHERE uid_0=1"));

    EXPECT_EQ(column(run("SELECT * FROM ( SELECT Top 5 * FROM (SELECT Top 25 * FROM (select "
                         "uid_0,name_0 from t1) AS TABLE_A ORDER By uid_0 ASC ) DERIVEDTBL "
                         "Order By uid_0 DESC ) DERIVEDTBL Order By uid_0 ASC")),
              QStringList({"21", "22", "23", "24", "25"}));

    run("INSERT INTO ident(name_0) VALUES ('a')");
    run("INSERT INTO ident(name_0) VALUES ('b')");
    EXPECT_EQ(value("SELECT @@IDENTITY AS z_uid"), "2");
}

TEST_P(AccessSqlEngine, LimitsEachSelectInItsOwnScope) {
    EXPECT_EQ(column(run("SELECT uid_0 FROM t1 WHERE uid_0 IN (SELECT TOP 2 uid_0 FROM t1 "
                         "ORDER BY uid_0 DESC) ORDER BY uid_0")),
              QStringList({"29", "30"}));
    EXPECT_EQ(column(run("SELECT uid_0 FROM (SELECT TOP 1 uid_0 FROM t1 ORDER BY uid_0 DESC "
                         "UNION SELECT TOP 2 uid_0 FROM t1 WHERE uid_0 < 3) AS u ORDER BY uid_0")),
              QStringList({"1", "2", "30"}));
    EXPECT_EQ(run("select top 1 5 as a, 'x' as b, Len(now()) as t"), Rows({{"5", "x", "19"}}));
    EXPECT_EQ(column(run("SELECT DISTINCT TOP 2 level_0 FROM c_menu_dh ORDER BY level_0 DESC")),
              QStringList({"2", "1"}));
}

// Access's TOP n returns the rows tied with the n-th too; the paged search's nested TOPs keep
// their page size.
TEST_P(AccessSqlEngine, TopReturnsTiedRows) {
    const struct {
        const char* access;
        QStringList uids;
    } cases[] = {
        {"SELECT TOP 1 uid_0 FROM c_menu_dh ORDER BY level_0 DESC, uid_0 - uid_0", {"2", "3"}},
        {"SELECT TOP 2 uid_0 FROM c_menu_dh ORDER BY level_0", {"1", "5", "12"}},
        {"SELECT TOP 2 uid_0 FROM c_menu_dh ORDER BY level_0, order_0", {"1", "5"}},
        {"SELECT TOP 1 uid_0, level_0 AS lv FROM c_menu_dh ORDER BY lv DESC", {"2", "3"}},
        {"SELECT TOP 1 level_0, uid_0 FROM c_menu_dh ORDER BY 1 DESC", {"2", "2"}},
        // Nulls sort first and tie with each other; fewer rows than n are all rows.
        {"SELECT TOP 1 uid_0 FROM c_user ORDER BY loginTime_0", {"1", "2"}},
        {"SELECT TOP 50 uid_0 FROM t1 WHERE uid_0 < 4 ORDER BY uid_0", {"1", "2", "3"}},
        {"SELECT TOP 1 level_0 FROM c_menu_dh GROUP BY level_0 ORDER BY Count(*) DESC", {"1"}},
        {"SELECT * FROM (SELECT TOP 2 * FROM (SELECT TOP 4 uid_0, level_0 FROM c_menu_dh ORDER "
         "BY level_0, uid_0) AS a ORDER BY level_0 DESC, uid_0) AS b ORDER BY uid_0",
         {"1", "2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.access);
        QStringList got = column(run(c.access));
        got.sort();
        QStringList want = c.uids;
        want.sort();
        EXPECT_EQ(got, want);
    }
}

// Access compares texts without regard to case and gives a comparison's value as -1 or 0.
TEST(AccessSqlSqliteFunctions, CompareTextsAndGiveTruthAsAccessDoes) {
    SqliteRunner db;
    ASSERT_TRUE(db.registered());
    Rows rows;
    QString error;
    for (const char* sql :
         {"CREATE TABLE m (code_0 varchar(10), name_0 varchar(10))",
          "CREATE INDEX i_code ON m (code_0)",
          "INSERT INTO m VALUES ('ab1', 'Äpfel'), ('AB2', 'äpfel'), ('ab2', '苹果')"})
        ASSERT_TRUE(db.run(sql, &rows, &error)) << error.toStdString();
    const struct {
        const char* access;
        const char* expected;
    } cases[] = {
        {"SELECT Count(*) FROM m WHERE code_0 = 'Ab2'", "2"},
        {"SELECT Count(*) FROM m WHERE 'AB1' <> code_0", "2"},
        {"SELECT Count(*) FROM m WHERE name_0 = 'ÄPFEL'", "2"},
        {"SELECT Count(*) FROM m WHERE name_0 = '苹果' AND code_0 = 'ab2'", "1"},
        {"SELECT Count(*) FROM m WHERE code_0 LIKE 'AB[0-9]' AND name_0 NOT LIKE '[a-z]%'", "3"},
        {"SELECT ('abc' = 'ABC') & ' ' & (2 > 1) + 0 & ' ' & (1 > 2) * 5", "-1 -1 0"},
        {"SELECT 1 = 1, 'a' LIKE 'b', NULL = 1, code_0 IS NULL FROM m", "-1|0|<null>|0"},
        {"SELECT IIf(code_0 = 'AB1', 'y', 'n') FROM m ORDER BY name_0 DESC", "n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.access);
        rows.clear();
        const QString sql = TranslateAccessSql(QString::fromUtf8(c.access), SqlDialect::Sqlite);
        ASSERT_TRUE(db.run(sql, &rows, &error)) << sql.toStdString() << "\n" << error.toStdString();
        EXPECT_EQ(rows.value(0).join('|').toStdString(), c.expected) << sql.toStdString();
    }
    // A comparison with a number or a Chinese text keeps the engine's index.
    rows.clear();
    ASSERT_TRUE(db.run("EXPLAIN QUERY PLAN " + TranslateAccessSql("SELECT name_0 FROM m WHERE "
                                                                  "code_0 = '0012'",
                                                                  SqlDialect::Sqlite),
                       &rows, &error));
    EXPECT_TRUE(rows.value(0).join('|').contains("i_code"))
        << rows.value(0).join('|').toStdString();
}

TEST_P(AccessSqlEngine, UpdatesThroughJoins) {
    for (const char* sql :
         {"CREATE TABLE p (id integer, v integer, name_0 varchar(10))",
          "CREATE TABLE q (id integer, w integer)", "CREATE TABLE r (id integer, z integer)",
          "INSERT INTO p VALUES (1, 10, 'a'), (2, 20, 'b'), (3, 30, 'c')",
          "INSERT INTO q VALUES (1, 100), (2, 5), (3, NULL)",
          "INSERT INTO r VALUES (1, 1), (2, 2)"})
        ASSERT_TRUE(exec(sql));

    run("UPDATE p INNER JOIN q ON p.id=q.id SET p.v=q.w, p.name_0='set' WHERE q.w>10 OR q.w<0");
    EXPECT_EQ(run("SELECT id, v, name_0 FROM p ORDER BY id"),
              Rows({{"1", "100", "set"}, {"2", "20", "b"}, {"3", "30", "c"}}));

    run("UPDATE (p AS a INNER JOIN q AS b ON a.id=b.id) INNER JOIN r ON r.id=b.id SET "
        "b.w=a.v+r.z");
    EXPECT_EQ(run("SELECT id, w FROM q ORDER BY id"),
              Rows({{"1", "101"}, {"2", "22"}, {"3", kNull}}));

    run("UPDATE p,q B SET p.v=B.w WHERE p.id=B.id AND B.w IS NOT NULL");
    EXPECT_EQ(column(run("SELECT v FROM p ORDER BY id")), QStringList({"101", "22", "30"}));
}

// Values of the Access functions, the same on both engines.
TEST_P(AccessSqlEngine, FunctionsGiveAccessResults) {
    struct Case {
        const char* expression;
        const char* expected;
    };
    const Case cases[] = {
        {"InStr('abcabc', 'c')", "3"},
        {"InStr(4, 'abcabc', 'c')", "6"},
        {"InStr(2, 'abc', 'a')", "0"},
        {"InStr(1, 'ABC', 'b', 1)", "2"},
        {"InStr(1, 'ABC', 'b', 0)", "0"},
        {"InStr(12345, '3')", "3"},
        {"CStr(12) + '!'", "12!"},
        {"CStr(2.5)", "2.5"},
        {"LCase('AbC') + UCase('dEf')", "abcDEF"},
        {"Len('hello')", "5"},
        {"Len(12345)", "5"},
        {"Mid('abcdef', 2, 3)", "bcd"},
        {"Mid('abcdef', 3)", "cdef"},
        {"Mid('abc', 5)", ""},
        {"Left('abcdef', 2)", "ab"},
        {"Left(12345, 2)", "12"},
        {"Right('abcdef', 2)", "ef"},
        {"Right('ab', 5)", "ab"},
        {"Right('ab', 0)", ""},
        {"IIf(1 > 2, 'yes', 'no')", "no"},
        {"Nz(NULL)", ""},
        {"Nz(NULL, 'z')", "z"},
        {"Nz('q', 'z')", "q"},
        {"'a' + 'b' + CStr(1 + 2)", "ab3"},
        {"N'x ' + 'y'", "x y"},
        {"'a' & 1 + 2", "a3"},
        {"'John' & NULL & 1 & 2", "John12"},
        {"Int(-2.5) & ' ' & Fix(-2.5) & ' ' & Int(2.7) & ' ' & Int(27000 / 10000)", "-3 -2 2 2"},
        // Round halves to even; Val reads the number a text starts with.
        {"Round(2.5) & ' ' & Round(3.5) & ' ' & Round(-2.5) & ' ' & Round(0.125, 2) & ' ' & "
         "Round(146.4, 2) & ' ' & Round(1.2345, 3)",
         "2 4 -2 0.12 146.4 1.234"},
        {"Val('  12 34abc') + 1 & ' ' & Val('') & ' ' & Val('-1.5e2x') & ' ' & Val('&H1F')",
         "1235 0 -150 31"},
        {"7 / 2 & ' ' & -2 ^ 2 & ' ' & 2 ^ 3 ^ 2 & ' ' & 60 / 60 * 3", "3.5 -4 64 3"},
        {"(SELECT group_concat(name_0, '、') FROM c_menu_dh WHERE leaf_0 = 0)", "root"},
        // A comparison used as a value is -1 or 0.
        {"2 > 1", "-1"},
        {"(1 = 1) * 2 & ' ' & (1 > 2) + 0", "-2 0"},
        // LIKE with Access's character classes.
        {"IIf('ab1' LIKE 'ab[0-9]', 'y', 'n') & IIf('ab_' LIKE 'ab[!0-9]', 'y', 'n') & "
         "IIf('x' LIKE '[!a-z]', 'y', 'n') & IIf('a*b' LIKE '%[*]%', 'y', 'n') & "
         "IIf('a(b' LIKE 'a([b-c]', 'y', 'n') & IIf('5%' LIKE '_[%]', 'y', 'n') & "
         "IIf('7' NOT LIKE '[0-9]', 'y', 'n') & IIf('a.b' LIKE 'a[.]b', 'y', 'n')",
         "yynyyyny"},
        {"Nz(NULL & NULL, 'none')", "none"},
        {"Len(getdate())", "19"},
        // Dates are texts in the account set; Format writes what Access writes.
        {"Year('2018-12-28') & '-' & Month('2018-12-28 10:20:30') & '-' & Day('2018-12-28')",
         "2018-12-28"},
        {"Hour('2018-12-28 10:20:30') & ':' & Minute('2018-12-28 10:20:30') & ':' & "
         "Second('2018-12-28 10:20:30')",
         "10:20:30"},
        {"Weekday('2018-12-30') & Weekday('2018-12-30', 2) & Weekday('2018-12-31', 2)", "171"},
        {"DateAdd('d', 7, '2018-12-28')", "2019-01-04"},
        {"DateAdd('m', 1, '2019-01-31')", "2019-02-28"},
        {"DateAdd('yyyy', -1, '2020-02-29')", "2019-02-28"},
        {"DateAdd('h', 30, '2018-12-28 10:00:00')", "2018-12-29 16:00:00"},
        {"Format(1234.5, '#,##0.00') & ' ' & Format(7, '000') & ' ' & Format(2.5, '0') & ' ' & "
         "Format(-3.14159, '0.0') & ' ' & Format(1234567, 'Standard') & ' ' & Format(0.5, '#.00')",
         "1,234.50 007 3 -3.1 1,234,567.00 .50"},
        {"Format('2018-12-28 14:05:09', 'yyyy-mm-dd hh:nn:ss') & ' ' & "
         "Format('2018-03-05', 'yyyy年m月d日') & ' ' & Format('2018-03-05', 'Short Date') & ' ' & "
         "Format('2018-12-28 14:05:09', 'hh:mm') & ' ' & Format('2018-03-05', 'mm-dd') & ' ' & "
         "Format('2018-12-28 14:05:09', 'h:nn AM/PM \"T\"')",
         "2018-12-28 14:05:09 2018年3月5日 2018-03-05 14:05 03-05 2:05 PM T"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        EXPECT_EQ(value(QStringLiteral("SELECT ") + c.expression), c.expected);
    }
    EXPECT_EQ(value("SELECT Date()"), QDate::currentDate().toString(Qt::ISODate));
    expectLocalNow(value("SELECT CStr(Now())"));
}

// Constructs with no faithful rewrite are named, so that the statement is not run.
TEST(AccessSqlText, NamesWhatItCannotTranslate) {
    const struct {
        const char* access;
        const char* construct;
    } cases[] = {
        {"SELECT TOP 10 PERCENT a FROM t ORDER BY a", "TOP n PERCENT"},
        {"TRANSFORM Sum(q) SELECT a FROM t GROUP BY a PIVOT b", "TRANSFORM … PIVOT"},
        {"UPDATE a LEFT JOIN b ON a.x=b.y SET a.c=1 WHERE b.y IS NULL", "UPDATE 中的外连接"},
        {"SELECT DISTINCTROW a.x FROM a INNER JOIN b ON a.k=b.k", "多表查询中的 DISTINCTROW"},
        {"SELECT a FROM t WHERE a LIKE 'x[a-c%'", "LIKE 中的字符类 [a-c%"},
        {"SELECT a FROM t WHERE a LIKE '[a-c]%'", nullptr},
        {"SELECT a FROM t WHERE b = 'x'", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.access);
        QString note;
        TranslateAccessSql(QString::fromUtf8(c.access),
                           c.construct ? SqlDialect::Sqlite : SqlDialect::Postgres, &note);
        EXPECT_EQ(note.toStdString(), c.construct ? c.construct : "");
    }
    // PostgreSQL's own format() is another function: a Format without a to_char form is named.
    for (const auto& [access, construct] :
         {std::pair{"SELECT Format(x, '0.00%') FROM t", "Format 的格式 '0.00%'"},
          std::pair{"SELECT Format(x, y) FROM t", "Format 的格式 y"},
          std::pair{"SELECT Format(d, 'mmmm') FROM t", "Format 的格式 'mmmm'"},
          std::pair{"SELECT Format(x, '0.00') FROM t", ""}}) {
        QString note;
        TranslateAccessSql(QString::fromUtf8(access), SqlDialect::Postgres, &note);
        EXPECT_EQ(note.toStdString(), construct) << access;
    }
}

// Access's functions and operators on the local-file kind: the result Access gives.
TEST(AccessSqlSqliteFunctions, GiveAccessResults) {
    SqliteRunner db;
    ASSERT_TRUE(db.registered());
    const struct {
        const char* expression;
        const char* expected;
    } cases[] = {
        // Dates
        {"DatePart('yyyy', #2018-12-28#) & '/' & DatePart('q', '2018-12-28') & '/' & "
         "DatePart('ww', '2018-12-28') & '/' & DatePart('w', '2018-12-28') & '/' & "
         "DatePart('y', '2018-12-28')",
         "2018/4/52/6/362"},
        {"Year('2018-12-28 10:20:30') & '-' & Month('2018-12-28') & '-' & Day('2018-12-28') & "
         "' ' & Hour('2018-12-28 10:20:30') & ':' & Minute('10:20:30') & ':' & Second(Now - Now)",
         "2018-12-28 10:20:0"},
        {"Weekday('2018-12-30') & Weekday('2018-12-30', 2)", "17"},
        {"DateValue('2018-12-28 10:20:30')", "2018-12-28"},
        {"DateAdd('m', 1, '2019-01-31')", "2019-02-28"},
        {"DateAdd('d', -1, #3/1/2020#)", "2020-02-29"},
        {"DateAdd('h', 30, '2018-12-28 10:00:00')", "2018-12-29 16:00:00"},
        {"DateDiff('d', '2018-12-28 23:59', '2018-12-29 00:01')", "1"},
        {"DateDiff('m', '2018-12-31', '2019-01-01')", "1"},
        {"DateDiff('yyyy', '2018-12-31', '2019-01-01')", "1"},
        {"DateDiff('ww', '2018-12-29', '2018-12-30')", "1"},
        {"DateDiff('h', '2018-12-28 10:59', '2018-12-28 11:01')", "1"},
        {"DateSerial(2018, 14, 0)", "2019-01-31"},
        {"DateSerial(18, 1, 1)", "2018-01-01"},
        {"TimeSerial(10, 90, 0)", "11:30:00"},
        {"CDate('2018/12/28 08:05')", "2018-12-28 08:05:00"},
        {"CDate(43462.5)", "2018-12-28 12:00:00"},
        // Numbers
        {"Int(-2.5) & ' ' & Fix(-2.5) & ' ' & Int(2.7)", "-3 -2 2"},
        {"Sgn(-3) & Sgn(0) & Sgn(4)", "-101"},
        {"Sqr(16) & ' ' & Round(Atn(1) * 4, 5) & ' ' & Round(Log(Exp(1)), 3)", "4 3.14159 1"},
        {"Round(2.5) & ' ' & Round(3.5) & ' ' & Round(0.125, 2) & ' ' & Round(-2.5)",
         "2 4 0.12 -2"},
        {"17 Mod 5 & ' ' & -17 Mod 5 & ' ' & 7.5 Mod 2", "2 -2 0"},
        {"7 \\ 2 & ' ' & -7 \\ 2 & ' ' & 7 / 2 & ' ' & 2 ^ 10 & ' ' & 2 ^ 3 ^ 2",
         "3 -3 3.5 1024 64"},
        {"-2 ^ 2 & ' ' & 2 + 3 * 4 Mod 5", "-4 4"},
        {"CInt(2.5) & ' ' & CInt(3.5) & ' ' & CLng('12') & ' ' & CDbl('1.5') + 1 & ' ' & "
         "CBool(5) & ' ' & CBool('False') & ' ' & CVar(7)",
         "2 4 12 2.5 -1 0 7"},
        {"Val('  12 34abc') & ' ' & Val('-1.5e2x') & ' ' & Val('&H1F') & ' ' & Val('abc')",
         "1234 -150 31 0"},
        // Texts
        {"String(3, 'ab') & Space(2) & String(2, 65) & '|'", "aaa  AA|"},
        {"InStrRev('a.b.c', '.') & InStrRev('a.b.c', '.', 3) & InStrRev('abc', 'x')", "420"},
        {"StrComp('abc', 'ABC') & StrComp('abc', 'ABC', 0) & StrComp('a', 'b')", "01-1"},
        {"'John' & NULL & '!'", "John!"},
        {"IsNull(NULL) & IsNull(1) & True & False", "-10-10"},
        // Format
        {"Format(1234.5, '#,##0.00') & ' ' & Format(0.5, '0.00%') & ' ' & Format(2.5, '0') & "
         "' ' & Format(-3, '0;(0)') & ' ' & Format(7, '000')",
         "1,234.50 50.00% 3 (3) 007"},
        {"Format('2018-12-28 14:05:09', 'yyyy-mm-dd hh:nn:ss') & ' ' & "
         "Format(#2018-12-28#, 'yyyy年m月d日') & ' ' & Format('2018-12-28', 'Short Date') & ' ' & "
         "Format('14:05:09', 'hh:mm')",
         "2018-12-28 14:05:09 2018年12月28日 2018-12-28 14:05"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expression);
        Rows rows;
        QString error;
        const QString sql = TranslateAccessSql(
            QStringLiteral("SELECT ") + QString::fromUtf8(c.expression), SqlDialect::Sqlite);
        ASSERT_TRUE(db.run(sql, &rows, &error)) << sql.toStdString() << "\n" << error.toStdString();
        EXPECT_EQ(rows.value(0).value(0).toStdString(), c.expected) << sql.toStdString();
    }
    // A LIKE class of one character matches that character only; Access's Time is local.
    Rows rows;
    QString error;
    ASSERT_TRUE(db.run(TranslateAccessSql("SELECT ('a*b' LIKE '%[*]%') & ('ab' LIKE '%[*]%') & "
                                          "('5%' LIKE '_[%]') & ('55' LIKE '_[%]')",
                                          SqlDialect::Sqlite),
                       &rows, &error))
        << error.toStdString();
    EXPECT_EQ(rows.value(0).value(0), "-10-10");
    ASSERT_TRUE(db.run(TranslateAccessSql("SELECT Time()", SqlDialect::Sqlite), &rows, &error));
    EXPECT_LE(
        qAbs(QTime::fromString(rows.value(0).value(0), "HH:mm:ss").secsTo(QTime::currentTime())),
        60);
}

INSTANTIATE_TEST_SUITE_P(Engines, AccessSqlEngine,
                         ::testing::Values(SqlDialect::Sqlite, SqlDialect::Postgres),
                         [](const ::testing::TestParamInfo<SqlDialect>& info) {
                             return info.param == SqlDialect::Sqlite ? "Sqlite" : "Postgres";
                         });

// What only the registered SQLite functions decide: Unicode, NULL and Access's errors.
TEST(AccessSqlSqliteFunctions, HandleUnicodeNullsAndBadArguments) {
    SqliteRunner db;
    ASSERT_TRUE(db.registered());
    EXPECT_FALSE(RegisterAccessFunctions(nullptr));
    struct Case {
        const char* sql;
        const char* expected; // nullptr: the statement fails
    };
    const Case cases[] = {
        {"SELECT lcase('ÄÖ'), ucase('éa')", "äö|ÉA"},
        {"SELECT len('héllo'), mid('日本語テキスト', 2, 3), instr(1, 'xÀBC', 'àb', 1)",
         "5|本語テ|2"},
        {"SELECT cstr(NULL), len(NULL), mid(NULL, 1), instr(1, NULL, 'a'), lcase(NULL)",
         "<null>|<null>|<null>|<null>|<null>"},
        {"SELECT cstr(1e20), cstr(-0.5), cstr(x'41'), nz(0, 5), nz(NULL, 5)", "1E+20|-0.5|A|0|5"},
        {"SELECT instr(2, 'abc', '')", "2"},
        {"SELECT mid('abc', 0)", nullptr},
        {"SELECT mid('abc', 1, -1)", nullptr},
        {"SELECT instr(0, 'abc', 'a')", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        Rows rows;
        QString error;
        const bool ok = db.run(QString::fromUtf8(c.sql), &rows, &error);
        EXPECT_EQ(ok, c.expected != nullptr) << error.toStdString();
        if (ok && c.expected) {
            EXPECT_EQ(rows.value(0).join('|').toStdString(), c.expected);
        }
    }
}

} // namespace

// Engine facts that the session tests cannot reach on a real server: how each engine's error
// codes read, SQL Server's update of a query's first row (no server runs in the tests), and
// which engine a kind text names.
#include "data/EngineProfile.h"
#include "data/SqlShape.h"

#include <QSqlError>

#include <gtest/gtest.h>

namespace {

using Class = EngineProfile::ErrorClass;

TEST(EngineProfile, ErrorsReadAsLockNetworkConflictDiskFullOrData) {
    const struct {
        DbKindCode kind;
        const char* code;
        const char* text;
        QSqlError::ErrorType type;
        Class withLock;
        Class withoutLock;
    } cases[] = {
        // SQLite: the primary result code, extended codes included (517 is BUSY_SNAPSHOT).
        {DbKindCode::LocalFile, "5", "", QSqlError::StatementError, Class::Lock, Class::Data},
        {DbKindCode::LocalFile, "517", "", QSqlError::StatementError, Class::Lock, Class::Data},
        {DbKindCode::LocalFile, "10", "", QSqlError::StatementError, Class::Network,
         Class::Network},
        // The SQLite driver files plain data errors as connection errors.
        {DbKindCode::LocalFile, "1", "no such table", QSqlError::ConnectionError, Class::Data,
         Class::Data},
        {DbKindCode::Other, "55P03", "", QSqlError::StatementError, Class::Lock, Class::Data},
        // A deadlock or a serialization failure is a clash with another save, not a lock wait.
        {DbKindCode::Other, "40P01", "", QSqlError::StatementError, Class::Conflict,
         Class::Conflict},
        {DbKindCode::Other, "40001", "", QSqlError::StatementError, Class::Conflict,
         Class::Conflict},
        {DbKindCode::Other, "53100", "", QSqlError::StatementError, Class::DiskFull,
         Class::DiskFull},
        {DbKindCode::LocalFile, "13", "", QSqlError::StatementError, Class::DiskFull,
         Class::DiskFull},
        {DbKindCode::Other, "08006", "", QSqlError::StatementError, Class::Network, Class::Network},
        {DbKindCode::Other, "", "server closed the connection unexpectedly",
         QSqlError::StatementError, Class::Network, Class::Network},
        {DbKindCode::Other, "42P01", "", QSqlError::StatementError, Class::Data, Class::Data},
        {DbKindCode::Other, "", "", QSqlError::ConnectionError, Class::Network, Class::Network},
        {DbKindCode::SqlServer, "1222", "", QSqlError::StatementError, Class::Lock, Class::Data},
        {DbKindCode::SqlServer, "08S01", "", QSqlError::StatementError, Class::Network,
         Class::Network},
        // The message's own words count on every engine.
        {DbKindCode::SqlServer, "", "Transaction was deadlocked", QSqlError::StatementError,
         Class::Lock, Class::Data},
        {DbKindCode::LocalFile, "", "database table is locked", QSqlError::StatementError,
         Class::Lock, Class::Data},
    };
    for (const auto& c : cases) {
        const EngineProfile& profile = EngineProfile::Of(c.kind);
        EXPECT_EQ(profile.Kind(), c.kind);
        const QSqlError error(QString(), QString::fromUtf8(c.text), c.type,
                              QString::fromLatin1(c.code));
        EXPECT_EQ(profile.Classify(error, true), c.withLock) << c.code << " " << c.text;
        EXPECT_EQ(profile.Classify(error, false), c.withoutLock) << c.code << " " << c.text;
    }
}

TEST(EngineProfile, SqlServerUpdatesTheFirstRowThroughItsQuery) {
    const EngineProfile& profile = EngineProfile::Of(DbKindCode::SqlServer);
    EXPECT_FALSE(profile.UpdatesByRowId());
    const struct {
        const char* sql;
        const char* first;
    } cases[] = {
        {"SELECT * FROM t_item WHERE uid_0=1", "SELECT TOP 1  * FROM t_item WHERE uid_0=1"},
        {"SELECT DISTINCT name_0 FROM t_item", "SELECT DISTINCT TOP 1  name_0 FROM t_item"},
        {"SELECT TOP 5 name_0 FROM t_item ORDER BY name_0",
         "SELECT TOP 5 name_0 FROM t_item ORDER BY name_0"},
        {"t_item", "SELECT TOP 1  * FROM t_item"},
    };
    for (const auto& c : cases) {
        SelectShape shape;
        QString normalized;
        ASSERT_TRUE(ParseSelectShape(QString::fromLatin1(c.sql), shape, normalized)) << c.sql;
        const QString first = profile.FirstRowQuery(normalized, shape);
        EXPECT_EQ(first, QString::fromLatin1(c.first));
        EXPECT_EQ(profile.FirstRowUpdate(QStringLiteral("name_0=?"), first, shape),
                  QStringLiteral("UPDATE zv_row SET name_0=? FROM (%1) AS zv_row").arg(first));
    }
}

// The session's facts keep the kind as text; the client's per-engine statements and the
// local-file steps go by the profile that text names, and by none before a kind is known.
TEST(EngineProfile, KindTextsNameTheirEngineAndWhatItIs) {
    const struct {
        const char* text;
        DbKindCode kind;
        bool localFile;
        bool ownDialect;
    } kinds[] = {
        {"1", DbKindCode::SqlServer, false, true},
        {"2", DbKindCode::LocalFile, true, false},
        {"3", DbKindCode::Other, false, false},
    };
    for (const auto& k : kinds) {
        const EngineProfile* profile = EngineProfile::OfKindText(QString::fromLatin1(k.text));
        ASSERT_NE(profile, nullptr) << k.text;
        EXPECT_EQ(profile, &EngineProfile::Of(k.kind)) << k.text;
        EXPECT_EQ(profile->IsLocalFile(), k.localFile) << k.text;
        EXPECT_EQ(profile->TakesOwnDialect(), k.ownDialect) << k.text;
    }
    for (const char* unknown : {"", "0", "4", " 2", "02"})
        EXPECT_EQ(EngineProfile::OfKindText(QString::fromLatin1(unknown)), nullptr) << unknown;
}

} // namespace

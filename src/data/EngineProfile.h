#pragma once
// What sets the engines behind the session kinds apart, in one object per kind: how a connection
// is set up, how the engine waits on locks and reports errors, how a statement is written for it,
// and how a row a SELECT found is found again to be updated. The session takes the profile of
// its kind when it opens and asks it instead of comparing kinds. Profiles hold no state.
#include "data/ConnectionText.h"

#include <QString>
#include <QStringList>
#include <QVariant>

class QSqlDatabase;
class QSqlError;
struct SelectShape;

class EngineProfile {
public:
    // Conflict: the engine gave up the statement to break a cycle of lock waits or a clash with
    // another transaction (deadlock, serialization); DiskFull: no room to write.
    enum class ErrorClass { Lock, Network, Data, Conflict, DiskFull };

    virtual ~EngineProfile() = default;

    // The profile of a kind; it lives as long as the process.
    static const EngineProfile& Of(DbKindCode kind);
    // The profile of a kind as the session's facts keep it ("1", "2", "3"); null for any other
    // text, such as the empty one before anything has set it.
    static const EngineProfile* OfKindText(const QString& kindText);

    virtual DbKindCode Kind() const = 0;

    // ---- connecting
    // True when the connection names a local file that is not there.
    virtual bool FileMissing(const DriverConnection& target) const;
    // The account-set file the connection names, "" when the account set is not a local file.
    virtual QString AccountSetFile(const DriverConnection&) const { return {}; }
    // Driver settings before the connection opens.
    virtual void Configure(QSqlDatabase& db, const DriverConnection& target,
                           int connectTimeoutSeconds) const = 0;
    // The session's settings once the connection is open; false, with `error`, when the
    // connection cannot serve as an account set.
    virtual bool SetUp(QSqlDatabase& db, QSqlError& error) const = 0;

    // ---- what the account set is
    // True when the account set is a file on this machine (or a share), not a server's
    // database: it gets a daily copy, and its LIKE follows the local-file rules.
    virtual bool IsLocalFile() const { return false; }
    // True when the client's statements reach the engine as written, in the engine's own
    // dialect, rather than as Access SQL translated for it: the statements the client writes
    // per engine (the menu tree, the definitions merge) take that dialect's form there.
    virtual bool TakesOwnDialect() const { return false; }

    // ---- statements
    // `sql`, its sealed values opened, as this engine takes it. `unsupported` names a construct
    // that has no faithful form on this engine (the statement must then not run).
    virtual QString Translate(const QString& sql, QString& unsupported) const = 0;
    // True when a text of several statements is run one statement at a time; false when the
    // engine takes the batch whole.
    virtual bool SplitsScripts() const { return true; }
    // True when each statement inside a transaction runs under a savepoint of its own.
    virtual bool SavepointPerStatement() const { return false; }
    // Reads the id the connection's last insert generated.
    virtual QString IdentityQuery() const = 0;
    // The argument of count() that counts a page's rows fastest.
    virtual QString PageCountArgument() const { return QStringLiteral("1"); }
    // True when a page is read with LIMIT and OFFSET rather than nested TOP.
    virtual bool PagesWithLimit() const { return true; }

    // ---- locks and errors
    // How long the engine itself waits on a lock before it reports one: 0 for a write, which
    // the session retries itself, the TIMEOUT limit for a read.
    virtual void SetBusyTimeout(const QString& connectionName, int ms) const;
    // True when a write waits for its lock in the engine itself, up to the TIMEOUT limit, and the
    // engine detects a cycle of waits. A lock error then means the limit has passed and is never
    // retried: retrying a statement of a transaction that holds locks keeps a cycle alive for
    // as long as the limit instead of the engine breaking it at once.
    virtual bool WaitsOutLocks() const { return false; }
    // The statement that begins a transaction holding the write lock from the start; empty when
    // the driver's own begin serves.
    virtual QString LockingBegin() const { return {}; }
    ErrorClass Classify(const QSqlError& error, bool withLock) const;
    // True when `error` says the account-set file itself is damaged.
    virtual bool ReportsDamage(const QSqlError&) const { return false; }

    // ---- references between rows
    // The tables on either side of a reference `statement` (as written) would have broken:
    // `referencing` holds rows that still name the row it removes or changes, `referenced` lacks
    // the row it names. Either may be empty when the engine does not say.
    struct BrokenReference {
        bool broken = false;
        QStringList referencing;
        QStringList referenced;
    };
    virtual BrokenReference ReadBrokenReference(const QSqlError&, const QString& connectionName,
                                                const QString& statement) const;
    // The user's message for a broken reference, "" when `error` is none.
    QString BrokenReferenceMessage(const QSqlError& error, const QString& connectionName,
                                   const QString& statement) const;

    // ---- updating the first row a SELECT finds
    // `select` (a normalized SELECT of shape `shape`) rewritten to find that row: its first
    // column is the row's id on engines that have one.
    virtual QString FirstRowQuery(const QString& select, const SelectShape& shape) const;
    // The UPDATE of that row: a "?" for each of `assignments`, then one for the id found.
    virtual QString FirstRowUpdate(const QString& assignments, const QString& firstRowQuery,
                                   const SelectShape& shape) const;
    // True when the update names the row by the id FirstRowQuery found.
    virtual bool UpdatesByRowId() const { return true; }
    // The found id as the update binds it.
    virtual QVariant RowIdParameter(const QVariant& id) const { return id; }

protected:
    // The row id column and the condition that matches it to a bound value.
    virtual QString RowIdColumn() const { return {}; }
    virtual QString RowIdCondition() const { return {}; }
    // The class the engine's own code gives the error when it names one of the classes that the
    // message cannot tell (Conflict, DiskFull); Data otherwise.
    virtual ErrorClass NativeClass(const QSqlError&) const { return ErrorClass::Data; }
    // Adds what the engine's own codes and texts say to the classes read from the message.
    virtual void ClassifyNative(const QSqlError& error, const QString& description, bool& lock,
                                bool& network) const = 0;
    // False when the driver files every failed step as a connection error.
    virtual bool ConnectionErrorsMeanNetwork() const { return true; }
};

const EngineProfile& SqlServerProfile();
const EngineProfile& SqliteProfile();
const EngineProfile& PostgresProfile();

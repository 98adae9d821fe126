#pragma once
// One connection to the account set with the high-level operations every window and command
// uses. Failures never escape as exceptions: each operation returns a result and leaves a
// user message and a technical detail in the session.
#include "data/EngineProfile.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

class QSqlError;
class QSqlQuery;
class RecordWriter;
class TextFileTables;

// A fully fetched, client-side result: what a static cursor would give.
class RecordSet {
public:
    int FieldCount() const { return int(names_.size()); }
    QString FieldName(int column) const { return names_.value(column); }
    int FieldIndex(const QString& name) const; // case-insensitive; -1 when missing
    int RecordCount() const { return int(rows_.size()); }

    bool IsEof() const { return current_ >= rows_.size(); }
    void MoveNext() { ++current_; }
    void MoveFirst() { current_ = 0; }
    // Value of the current row as text; null reads as empty text.
    QString Text(int column) const;
    QString Text(const QString& name) const { return Text(FieldIndex(name)); }
    QVariant Value(int column) const;

private:
    friend class DbSession;
    QStringList names_;
    QList<QVariantList> rows_;
    qsizetype current_ = 0;
};

// Text form of a database value as the client shows and compares it.
QString DbValueText(const QVariant& value);

class DbSession {
public:
    struct FromConfigTag {};
    static constexpr FromConfigTag FromConfig{};

    DbSession();
    // Builds the connection text from cfg.ini as every window does, and sets DbKind.
    explicit DbSession(FromConfigTag);
    ~DbSession();
    DbSession(const DbSession&) = delete;
    DbSession& operator=(const DbSession&) = delete;

    void SetConnectionString(const QString& text) { connectionString_ = text; }
    const QString& ConnectionString() const { return connectionString_; }

    bool Open();
    void Close();
    bool IsOpen() const { return open_; }
    int Kind() const;
    QString KindText() const { return QString::number(Kind()); }
    // What the engine of the open connection does (SQL Server's until one has opened).
    const EngineProfile& Engine() const { return *profile_; }

    bool BeginTrans();
    // False when the transaction could not be committed: it is rolled back then, and Message()
    // says why. A lock held by another client is waited for as for any write.
    bool CommitTrans();
    void RollbackTrans();
    bool InTransaction() const { return inTransaction_; }

    std::unique_ptr<RecordSet> OpenRecordset(const QString& sql);
    bool Exists(const QString& sql);
    bool QueryValue(const QString& sql, QString& value);
    // The client's own statements: values go to the "?" markers of `sql` as bound parameters,
    // never into its text. One statement each; results and errors as the forms without them.
    std::unique_ptr<RecordSet> OpenRecordset(const QString& sql, const QVariantList& params);
    bool Exists(const QString& sql, const QVariantList& params);
    bool QueryValue(const QString& sql, const QVariantList& params, QString& value);
    bool QueryColumns(const QString& sql, const QVariantList& params, const QStringList& columns,
                      QStringList& values);
    bool Execute(const QString& sql, const QVariantList& params);
    int QueryList(const QString& sql, QStringList& values);
    bool QueryColumns(const QString& sql, const QStringList& columns, QStringList& values);
    bool QueryWithNames(const QString& sql, QStringList& names, QStringList& values);
    // QueryWithNames handing the rows over one at a time as they are read, so a large result is
    // never held whole. `names` is filled before the first row; on a failure after some rows the
    // caller discards what it took. Results and errors are those of QueryWithNames.
    bool QueryRows(const QString& sql, QStringList& names,
                   const std::function<void(QStringList&& row)>& takeRow);
    bool QueryPage(const QString& selectPart, const QString& fromPart, int pageSize, int pageNumber,
                   const QString& orderBy, QStringList& names, QStringList& values, int& total,
                   int& pageCount);
    // The rows of every page of QueryPage's search at once, in its order, handed over as
    // QueryRows does.
    bool QueryAllPages(const QString& selectPart, const QString& fromPart, const QString& orderBy,
                       QStringList& names, const std::function<void(QStringList&& row)>& takeRow);

    bool Execute(const QString& sql);
    bool ExecuteScript(const QString& sql);

    // 1 added, 0 the query already finds a row, -1 failure (message set).
    int AddRecord(const QString& sql, const QStringList& fields, const QStringList& values);
    bool UpdateRecord(const QString& sql, const QStringList& fields, const QStringList& values);
    // 1 added (id set), -1 the row exists or failure, -2 field and value counts differ.
    int AddRecordGetId(QString& id, const QString& sql, const QStringList& fields,
                       const QStringList& values);
    bool WriteBinary(const QString& sql, const QStringList& fields, const QList<QByteArray>& data);
    bool ReadBinary(const QString& sql, const QStringList& fields, QList<QByteArray>& data);

    // True once the engine has reported the session's account-set file damaged, in this session
    // or another one of the process: every write to it is refused from then on, with
    // DamagedFileMessage (it names the file and its backup copy of the day).
    bool FileDamaged() const;
    QString DamagedFileMessage() const;

    int ResultCode() const { return resultCode_; }
    // Statements quoted in these texts show their values as the engine received them.
    QString Message() const;
    QString Detail() const;
    const QString& SystemErrorText() const { return systemErrorText_; }
    // False when the last failure was not the data's fault: the network or the file, a lock
    // held too long, a clash with another user's save, a full disk. Its message says which.
    bool LastFailureIsData() const;

    // The statement as it is sent to this session's engine. A statement that cannot be
    // translated faithfully is remembered, so that it is reported instead of run.
    QString Dialect(const QString& sql) const;

    // Seconds a write may wait on a locked record (cfg.ini TIMEOUT, read at process start).
    static void SetLockWaitLimitSeconds(int seconds);
    static int LockWaitLimitSeconds();
    // How long a read waits for other clients' commits, in milliseconds: the same limit.
    static int ReadWaitMs();
    // Seconds a server connection may take to answer before Open gives up (15 by default).
    static void SetConnectTimeoutSeconds(int seconds);
    static int ConnectTimeoutSeconds();

private:
    friend class RecordWriter;
    enum class Outcome { Ok, NotFound, LockError, Failed };

    bool Connected() const;
    bool RunQuery(QSqlQuery& query, const QString& sql, bool forWrite,
                  const QVariantList& params = {});
    bool Prepare(QSqlQuery& query, const QString& sql);
    QString WithTextFiles(const QString& sql);
    bool ExecPrepared(QSqlQuery& query);
    bool IsLockError(const QSqlError& error) const;
    // Records a failed write: a lock error is tried again, anything else ends the write.
    Outcome FailedWrite(const QSqlError& error, const QString& sql);
    void RecordError(const QSqlError& error, const QString& detailHead, bool withLock,
                     bool openRecordset);
    bool LockWait(const std::function<Outcome()>& attempt);
    Outcome ExecuteOne(const QString& sql, const QVariantList& params = {});
    bool RunScript(const QString& sql, bool stopAtFailure);
    bool ColumnIndexes(const RecordSet& rs, const QString& sql, const QStringList& names,
                       QList<int>& indexes);
    // Sets the data message with `detail`; false.
    bool DataFailure(const QString& detail);
    // True, with the message set, when `step` would write into a file known to be damaged.
    bool RefusesWrite(const QString& step);
    void SetBusyWait(bool waitForLocks);
    void SetEngineBusyTimeout(int ms);
    void ClearErrors();

    // A savepoint around one statement of a transaction, on engines that want one.
    class StatementScope {
    public:
        explicit StatementScope(DbSession& session);
        ~StatementScope();
        StatementScope(const StatementScope&) = delete;
        StatementScope& operator=(const StatementScope&) = delete;
        void Fail() { ok_ = false; }

    private:
        DbSession& session_;
        bool active_;
        bool ok_ = true;
    };

    std::unique_ptr<TextFileTables> textFiles_; // the local text session's folder of files
    QString connectionString_;
    QString connectionName_;
    QString file_; // the account-set file, on engines that keep one
    bool open_ = false;
    bool connected_ = false;
    bool inTransaction_ = false;
    // The engine's lock wait as last set, or -1 when unknown: a rollback may have undone a
    // setting made inside it.
    int engineBusyMs_ = -1;
    const EngineProfile* profile_; // of the connection's kind, chosen when it opens
    int resultCode_ = -1;
    EngineProfile::ErrorClass lastErrorClass_ = EngineProfile::ErrorClass::Data;
    QString message_ = QStringLiteral("未设置错误信息");
    QString detail_;
    // The message names the failure itself (a damaged file, a broken reference), so a script
    // reports it instead of its failed statement.
    bool explained_ = false;
    QString systemErrorText_;
    // Of the last statement translated: a construct with no faithful translation, and the
    // translated text when it differs from the statement as written (for the failure detail).
    mutable QString untranslatable_;
    mutable QString translatedText_;
    std::unique_ptr<RecordWriter> writer_; // AddRecord, UpdateRecord, AddRecordGetId, WriteBinary
};

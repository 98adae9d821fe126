#include "data/DbSession.h"

#include "data/CfgScramble.h"
#include "data/ConnectionText.h"
#include "data/DamagedAccountSets.h"
#include "data/EngineProfile.h"
#include "data/InsertedText.h"
#include "data/RecordWriter.h"
#include "data/SessionContext.h"
#include "data/SqlTopLevel.h"
#include "data/TextFileTables.h"
#include "platform/Clock.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTime>

#include <algorithm>
#include <atomic>

namespace {

std::atomic<int> g_lockWaitLimit{60};
std::atomic<int> g_connectTimeout{15};
std::atomic<int> g_connectionCounter{0};

const QString kNetworkMessage = QStringLiteral("网络或者账套异常，请检查后重试。\n");
const QString kDataMessage = QStringLiteral("数据异常，请检查输入数据的格式。\n");
const QString kUnknownMessage = QStringLiteral("其它未知错误。\n");
const QString kOpenFailed = QStringLiteral("连接服务器异常，请正确设置服务器，并确认网络正常。\n");
const QString kConflictMessage =
    QStringLiteral("与其他用户同时保存的数据发生冲突，本次操作没有保存任何数据，请重新操作。\n");
const QString kDiskFullMessage =
    QStringLiteral("账套所在的磁盘已满，本次操作没有保存任何数据，请清理磁盘后重试。\n");

// True when swapping the " ASC" and " DESC" tokens of the order-by text reverses it exactly:
// every term at the top level ends in one of them and the text holds no other. The nested TOP
// page is then the LIMIT/OFFSET window of the same order.
bool SwapReversesEveryTerm(const QString& orderBy) {
    // Quotes and parentheses only: "--" and "/*" are nothing special in an ORDER BY here.
    constexpr SqlLexis lexis{.lineComments = false, .blockComments = false};
    SqlTopLevelReader reader(orderBy, lexis);
    QStringList terms;
    qsizetype start = 0;
    SqlToken token;
    SqlLevel level;
    while (reader.Next(token, level)) {
        if (level == SqlLevel::Unmatched || !reader.Tokens().IsClosed(token))
            return false;
        if (level == SqlLevel::Top && reader.Tokens().IsPunct(token, u',')) {
            terms.append(orderBy.mid(start, token.begin - start));
            start = token.end;
        }
    }
    if (reader.Depth() != 0)
        return false;
    terms.append(orderBy.mid(start));
    const qsizetype tokens =
        orderBy.count(QLatin1String(" ASC")) + orderBy.count(QLatin1String(" DESC"));
    if (tokens != terms.size())
        return false;
    for (QString& t : terms) {
        while (!t.isEmpty() && t.back().isSpace())
            t.chop(1);
        if (!t.endsWith(QLatin1String(" ASC")) && !t.endsWith(QLatin1String(" DESC")))
            return false;
    }
    return true;
}

QString FormatDouble(double d) {
    // Fifteen significant digits, as the desktop's number-to-text conversion gives.
    return QString::number(d, 'g', 15);
}

} // namespace

QString DbValueText(const QVariant& value) {
    if (value.isNull() || !value.isValid())
        return {};
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return FormatDouble(value.toDouble());
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    default:
        return value.toString();
    }
}

int RecordSet::FieldIndex(const QString& name) const {
    for (int i = 0; i < names_.size(); ++i)
        if (names_[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant RecordSet::Value(int column) const {
    if (IsEof() || column < 0 || column >= names_.size())
        return {};
    return rows_[current_].value(column);
}

QString RecordSet::Text(int column) const {
    return DbValueText(Value(column));
}

DbSession::StatementScope::StatementScope(DbSession& session)
    : session_(session),
      active_(session.inTransaction_ && session.profile_->SavepointPerStatement()) {
    if (active_)
        QSqlQuery(QSqlDatabase::database(session_.connectionName_, false))
            .exec(QStringLiteral("SAVEPOINT zv_stmt"));
}

DbSession::StatementScope::~StatementScope() {
    if (!active_)
        return;
    QSqlQuery(QSqlDatabase::database(session_.connectionName_, false))
        .exec(ok_ ? QStringLiteral("RELEASE SAVEPOINT zv_stmt")
                  : QStringLiteral("ROLLBACK TO SAVEPOINT zv_stmt"));
    if (!ok_)
        session_.engineBusyMs_ = -1;
}

DbSession::DbSession()
    : connectionName_(QStringLiteral("vemo_session_%1").arg(g_connectionCounter.fetch_add(1))),
      profile_(&EngineProfile::Of(DbKindCode::SqlServer)),
      writer_(std::make_unique<RecordWriter>(*this)) {}

DbSession::DbSession(FromConfigTag) : DbSession() {
    connectionString_ = ResolveSessionConnection(SessionContext::Current().CfgPath());
}

DbSession::~DbSession() {
    if (connected_) {
        {
            QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
            if (inTransaction_)
                db.rollback();
            db.close();
        }
        QSqlDatabase::removeDatabase(connectionName_);
    }
}

void DbSession::SetLockWaitLimitSeconds(int seconds) {
    g_lockWaitLimit = seconds;
}
int DbSession::LockWaitLimitSeconds() {
    return g_lockWaitLimit;
}

void DbSession::SetConnectTimeoutSeconds(int seconds) {
    g_connectTimeout = std::max(1, seconds);
}
int DbSession::ConnectTimeoutSeconds() {
    return g_connectTimeout;
}

bool DbSession::Connected() const {
    return connected_;
}

int DbSession::Kind() const {
    return static_cast<int>(profile_->Kind());
}

QString DbSession::Dialect(const QString& sql) const {
    // Sealed values are opened first, each as the literal it must be where it stands, so the
    // translation sees them as the literals they are.
    const QString written = OpenInsertedValuesInSql(sql);
    const QString engine = profile_->Translate(written, untranslatable_);
    translatedText_ = engine != written ? engine : QString();
    return engine;
}

QString DbSession::Message() const {
    return OpenInsertedTexts(message_);
}

QString DbSession::Detail() const {
    return OpenInsertedTexts(detail_);
}

void DbSession::ClearErrors() {
    message_.clear();
    detail_.clear();
    lastErrorClass_ = EngineProfile::ErrorClass::Data;
    explained_ = false;
}

bool DbSession::LastFailureIsData() const {
    return lastErrorClass_ == EngineProfile::ErrorClass::Data;
}

bool DbSession::Open() {
    open_ = true;
    if (connectionString_.isEmpty())
        connectionString_ =
            UnscrambleCfgText(SessionContext::Current().storedConnectionText.Get(), 1);
    if (connectionString_.indexOf(QStringLiteral("{SQL Server};Server=")) > 1)
        connectionString_ = ResolveServerAddress(connectionString_);
    profile_ = &EngineProfile::Of(KindOfConnection(connectionString_));

    if (connected_) {
        {
            QSqlDatabase old = QSqlDatabase::database(connectionName_, false);
            old.close();
        }
        QSqlDatabase::removeDatabase(connectionName_);
        connected_ = false;
        inTransaction_ = false;
    }

    auto fail = [this](const QString& description, const QString& system) {
        resultCode_ = -1;
        open_ = false;
        message_ = kOpenFailed;
        systemErrorText_ = system;
        detail_ = QStringLiteral("Open\n%1\n%2\n").arg(description, system);
        return false;
    };

    if (connectionString_.trimmed().isEmpty())
        return fail(QStringLiteral("未设置账套连接"), QString());

    const DriverConnection target = MapToDriver(connectionString_);
    file_ = profile_->AccountSetFile(target);
    if (!QSqlDatabase::isDriverAvailable(target.driver)) {
        open_ = false;
        resultCode_ = -1;
        message_ = QStringLiteral("Open连接服务器异常，未知错误。\n");
        detail_ = QStringLiteral("Open\n缺少数据库驱动 %1\n").arg(target.driver);
        return false;
    }
    if (profile_->FileMissing(target)) {
        fail(QStringLiteral("账套文件不存在：%1").arg(target.databaseName), QString());
        // No network is involved: name the file and where another is chosen.
        message_ = QStringLiteral("账套文件不存在：%1，请点击“设置”选择账套文件。\n")
                       .arg(target.databaseName);
        return false;
    }

    bool opened = false;
    QSqlError openError;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(target.driver, connectionName_);
        db.setDatabaseName(target.databaseName);
        profile_->Configure(db, target, g_connectTimeout.load());
        db.setNumericalPrecisionPolicy(QSql::HighPrecision);
        opened = db.open();
        if (opened)
            opened = profile_->SetUp(db, openError);
        else
            openError = db.lastError();
        if (!opened)
            db.close();
    }
    if (!opened) {
        QSqlDatabase::removeDatabase(connectionName_);
        if (profile_->ReportsDamage(openError))
            MarkAccountSetDamaged(file_);
        return fail(
            openError.databaseText().isEmpty() ? openError.text() : openError.databaseText(),
            QStringLiteral("%1 (%2)").arg(openError.driverText(), openError.nativeErrorCode()));
    }
    writer_->ForgetColumnTypes();
    textFiles_.reset();
    if (!target.textFolder.isEmpty())
        textFiles_ = std::make_unique<TextFileTables>(target.textFolder);
    connected_ = true;
    engineBusyMs_ = -1;
    return true;
}

void DbSession::Close() {
    open_ = false;
    connectionString_.clear();
    if (!connected_)
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
        if (inTransaction_)
            db.rollback();
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName_);
    connected_ = false;
    inTransaction_ = false;
}

bool DbSession::BeginTrans() {
    untranslatable_.clear();
    translatedText_.clear();
    if (!connected_) {
        detail_ = QStringLiteral("BeginTrans\n未知错误");
        return false;
    }
    if (RefusesWrite(QStringLiteral("BeginTrans")))
        return false;
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    const QString lockingBegin = profile_->LockingBegin();
    if (!lockingBegin.isEmpty()) {
        // The engine's own waiting lets the next client in as soon as the lock is free.
        SetEngineBusyTimeout(ReadWaitMs());
        QSqlQuery begin(db);
        const bool begun = begin.exec(lockingBegin);
        SetBusyWait(true);
        if (begun) {
            inTransaction_ = true;
            return true;
        }
        RecordError(begin.lastError(), QStringLiteral("BeginTrans"), true, false);
        if (IsLockError(begin.lastError()))
            message_ = QStringLiteral("保存数据超时:%1秒。\n").arg(g_lockWaitLimit.load());
        return false;
    }
    if (db.transaction()) {
        inTransaction_ = true;
        return true;
    }
    const QSqlError e = db.lastError();
    resultCode_ = -1;
    message_ = kNetworkMessage;
    lastErrorClass_ = EngineProfile::ErrorClass::Network;
    detail_ = QStringLiteral("BeginTrans\n%1\n%2\n").arg(e.databaseText(), e.driverText());
    return false;
}

bool DbSession::CommitTrans() {
    if (!connected_ || !inTransaction_) {
        resultCode_ = -1;
        message_ = kNetworkMessage;
        lastErrorClass_ = EngineProfile::ErrorClass::Network;
        detail_ = QStringLiteral("CommitTrans\n未知错误");
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    // The file was found damaged while the transaction ran: nothing of it may land there.
    if (RefusesWrite(QStringLiteral("CommitTrans"))) {
        db.rollback();
        engineBusyMs_ = -1;
        inTransaction_ = false;
        return false;
    }
    // A reader of another client keeps SQLite from committing until it lets go: the commit is
    // retried like any write, and the transaction stays open between the tries.
    QSqlError error;
    const bool committed = LockWait([&] {
        // SQLite waits for readers to finish in small steps of its own.
        SetEngineBusyTimeout(1000);
        const bool done = db.commit();
        SetBusyWait(true);
        if (done)
            return Outcome::Ok;
        error = db.lastError();
        return FailedWrite(error, QStringLiteral("CommitTrans"));
    });
    if (!committed) {
        const QString message = message_;
        const QString detail = detail_;
        db.rollback();
        engineBusyMs_ = -1;
        message_ = message;
        detail_ = detail.isEmpty() ? QStringLiteral("CommitTrans\n%1\n%2\n")
                                         .arg(error.databaseText(), error.driverText())
                                   : detail;
        resultCode_ = -1;
    }
    inTransaction_ = false;
    return committed;
}

void DbSession::RollbackTrans() {
    if (!connected_ || !inTransaction_) {
        detail_ = QStringLiteral("RollbackTrans\n未知错误");
        return;
    }
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (!db.rollback()) {
        const QSqlError e = db.lastError();
        detail_ = QStringLiteral("RollbackTrans\n%1\n%2\n").arg(e.databaseText(), e.driverText());
    }
    inTransaction_ = false;
    engineBusyMs_ = -1;
}

bool DbSession::DataFailure(const QString& detail) {
    resultCode_ = -1;
    message_ = kDataMessage;
    detail_ = detail;
    return false;
}

bool DbSession::FileDamaged() const {
    return AccountSetDamaged(file_);
}

QString DbSession::DamagedFileMessage() const {
    return FileDamaged() ? DamagedAccountSetMessage(file_) : QString();
}

bool DbSession::RefusesWrite(const QString& step) {
    if (!FileDamaged())
        return false;
    resultCode_ = -1;
    message_ = DamagedFileMessage();
    explained_ = true;
    lastErrorClass_ = EngineProfile::ErrorClass::Network;
    detail_ = step + QStringLiteral("\n账套文件已损坏，没有写入：") + file_ + QLatin1Char('\n');
    return true;
}

bool DbSession::IsLockError(const QSqlError& error) const {
    return profile_->Classify(error, true) == EngineProfile::ErrorClass::Lock;
}

DbSession::Outcome DbSession::FailedWrite(const QSqlError& error, const QString& sql) {
    RecordError(error, sql, true, false);
    switch (profile_->Classify(error, true)) {
    case EngineProfile::ErrorClass::Lock:
        if (!profile_->WaitsOutLocks())
            return Outcome::LockError;
        // The engine has waited the whole limit already.
        message_ = QStringLiteral("保存数据超时:%1秒。\n").arg(g_lockWaitLimit.load());
        lastErrorClass_ = EngineProfile::ErrorClass::Lock;
        return Outcome::Failed;
    case EngineProfile::ErrorClass::Conflict:
        // Alone, the statement held nothing before it ran and may simply run again; inside a
        // transaction the engine has chosen this one to give way, and the action ends.
        return inTransaction_ ? Outcome::Failed : Outcome::LockError;
    default:
        return Outcome::Failed;
    }
}

void DbSession::RecordError(const QSqlError& error, const QString& detailHead, bool withLock,
                            bool openRecordset) {
    resultCode_ = -1;
    if (profile_->ReportsDamage(error))
        MarkAccountSetDamaged(file_);
    const bool damaged = FileDamaged();
    const QString description =
        !untranslatable_.isEmpty()
            ? QStringLiteral("语句中的 %1 无法换成本数据库的等价写法，没有执行")
                  .arg(untranslatable_)
        : damaged && !error.isValid()    ? QStringLiteral("账套文件已损坏，没有执行")
        : error.databaseText().isEmpty() ? error.text()
                                         : error.databaseText();
    systemErrorText_ = QStringLiteral("%1 (%2)").arg(error.driverText(), error.nativeErrorCode());
    // A damaged file is the account set's fault, like a network that fails.
    lastErrorClass_ =
        damaged ? EngineProfile::ErrorClass::Network : profile_->Classify(error, withLock);
    const QString brokenReference =
        profile_->BrokenReferenceMessage(error, connectionName_, detailHead);
    explained_ = damaged || !brokenReference.isEmpty() ||
                 lastErrorClass_ == EngineProfile::ErrorClass::Conflict ||
                 lastErrorClass_ == EngineProfile::ErrorClass::DiskFull;
    if (damaged)
        message_ = DamagedFileMessage();
    else if (!brokenReference.isEmpty())
        message_ = brokenReference;
    else if (lastErrorClass_ == EngineProfile::ErrorClass::Network)
        message_ = kNetworkMessage;
    else if (lastErrorClass_ == EngineProfile::ErrorClass::Conflict)
        message_ = kConflictMessage;
    else if (lastErrorClass_ == EngineProfile::ErrorClass::DiskFull)
        message_ = kDiskFullMessage;
    else
        message_ = kDataMessage;
    detail_ = detailHead + QLatin1Char('\n') + description + QLatin1Char('\n') + systemErrorText_ +
              QLatin1Char('\n');
    // The author sees what ran as well as what the form says.
    if (!translatedText_.isEmpty())
        detail_ += QStringLiteral("实际执行：\n") + translatedText_ + QLatin1Char('\n');
    untranslatable_.clear();
    translatedText_.clear();
    if (openRecordset)
        open_ = false;
}

bool DbSession::RunQuery(QSqlQuery& query, const QString& sql, bool forWrite,
                         const QVariantList& params) {
    if (forWrite && RefusesWrite(sql))
        return false;
    SetBusyWait(forWrite);
    query.setForwardOnly(true);
    const QString engineSql = Dialect(WithTextFiles(sql));
    // A construct without a faithful translation would give another result than Access's.
    if (!untranslatable_.isEmpty())
        return false;
    if (params.isEmpty()) {
        if (!query.exec(engineSql))
            return false;
        translatedText_.clear();
        return true;
    }
    if (!query.prepare(engineSql))
        return false;
    for (const QVariant& value : params) {
        // A null text is still a text: bound as it is, it would become NULL.
        if (value.typeId() == QMetaType::QString && value.toString().isNull())
            query.addBindValue(QStringLiteral(""));
        else
            query.addBindValue(value);
    }
    return query.exec();
}

bool DbSession::Prepare(QSqlQuery& query, const QString& sql) {
    if (RefusesWrite(sql))
        return false;
    SetBusyWait(true);
    query.setForwardOnly(true);
    const QString engineSql = Dialect(WithTextFiles(sql));
    return untranslatable_.isEmpty() && query.prepare(engineSql);
}

QString DbSession::WithTextFiles(const QString& sql) {
    if (!textFiles_)
        return sql;
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    return textFiles_->Attach(db, sql);
}

bool DbSession::ExecPrepared(QSqlQuery& query) {
    return query.exec();
}

void DbSession::SetBusyWait(bool waitForLocks) {
    // Writes give up at once so that the lock wait below retries on its own schedule, unless
    // the engine waits out locks itself; reads wait for other clients' commits as long as a
    // write would wait for its lock: with many clients saving, their commits can keep a reader
    // out for more than a moment.
    SetEngineBusyTimeout(waitForLocks && !profile_->WaitsOutLocks() ? 0 : ReadWaitMs());
}

int DbSession::ReadWaitMs() {
    return int(std::min<qint64>(qint64(g_lockWaitLimit) * 1000, INT_MAX));
}

void DbSession::SetEngineBusyTimeout(int ms) {
    // Every statement asks for its wait; the engine is told only when it changes.
    if (!connected_ || ms == engineBusyMs_)
        return;
    profile_->SetBusyTimeout(connectionName_, ms);
    engineBusyMs_ = ms;
}

std::unique_ptr<RecordSet> DbSession::OpenRecordset(const QString& sql) {
    return OpenRecordset(sql, QVariantList());
}

std::unique_ptr<RecordSet> DbSession::OpenRecordset(const QString& sql,
                                                    const QVariantList& params) {
    ClearErrors();
    if (!connected_) {
        resultCode_ = -1;
        open_ = false;
        message_ = kNetworkMessage;
        lastErrorClass_ = EngineProfile::ErrorClass::Network;
        detail_ = QStringLiteral("Open_Recorders\n%1\n未连接账套\n").arg(sql);
        return nullptr;
    }
    // The query goes after its savepoint is settled: freeing its statement inside an aborted
    // PostgreSQL transaction fails and leaks it.
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    StatementScope scope(*this);
    if (!RunQuery(query, sql, false, params)) {
        scope.Fail();
        RecordError(query.lastError(), QStringLiteral("Open_Recorders\n") + sql, false, true);
        return nullptr;
    }
    auto result = std::make_unique<RecordSet>();
    const QSqlRecord record = query.record();
    const int columns = record.count();
    result->names_.reserve(columns);
    for (int i = 0; i < columns; ++i)
        result->names_.append(record.fieldName(i));
    while (query.next()) {
        QVariantList row;
        row.reserve(columns);
        for (int i = 0; i < columns; ++i)
            row.append(query.value(i));
        result->rows_.append(std::move(row));
    }
    if (query.lastError().isValid()) {
        scope.Fail();
        RecordError(query.lastError(), QStringLiteral("Open_Recorders\n") + sql, false, true);
        return nullptr;
    }
    resultCode_ = 1;
    return result;
}

bool DbSession::Exists(const QString& sql) {
    return Exists(sql, QVariantList());
}

bool DbSession::Exists(const QString& sql, const QVariantList& params) {
    auto rs = OpenRecordset(sql, params);
    return rs && rs->RecordCount() >= 1;
}

bool DbSession::QueryValue(const QString& sql, QString& value) {
    return QueryValue(sql, QVariantList(), value);
}

bool DbSession::QueryValue(const QString& sql, const QVariantList& params, QString& value) {
    auto rs = OpenRecordset(sql, params);
    if (!rs || rs->RecordCount() < 1)
        return false;
    value = rs->FieldCount() > 0 ? rs->Text(0) : QString();
    return true;
}

int DbSession::QueryList(const QString& sql, QStringList& values) {
    auto rs = OpenRecordset(sql);
    if (!rs) {
        if (!message_.isEmpty())
            return 0;
        detail_ = QStringLiteral("数据异常:\n") + sql;
        message_ = QStringLiteral("数据异常1，请检查输入数据的格式。\n");
        return -1;
    }
    if (rs->FieldCount() == 0) {
        message_.clear();
        return -1;
    }
    values.clear();
    values.reserve(qsizetype(rs->RecordCount()) * rs->FieldCount());
    for (; !rs->IsEof(); rs->MoveNext())
        for (int i = 0; i < rs->FieldCount(); ++i)
            values.append(rs->Text(i));
    resultCode_ = 1;
    return 1;
}

bool DbSession::ColumnIndexes(const RecordSet& rs, const QString& sql, const QStringList& names,
                              QList<int>& indexes) {
    for (const QString& name : names) {
        const int index = rs.FieldIndex(name);
        if (index < 0)
            return DataFailure(QStringLiteral("%1\n列 %2 不存在\n").arg(sql, name));
        indexes.append(index);
    }
    return true;
}

bool DbSession::QueryColumns(const QString& sql, const QStringList& columns, QStringList& values) {
    return QueryColumns(sql, QVariantList(), columns, values);
}

bool DbSession::QueryColumns(const QString& sql, const QVariantList& params,
                             const QStringList& columns, QStringList& values) {
    values.clear();
    auto rs = OpenRecordset(sql, params);
    if (!rs) {
        resultCode_ = -1;
        return false;
    }
    if (rs->RecordCount() == 0) {
        resultCode_ = 0;
        return false;
    }
    QList<int> indexes;
    if (!ColumnIndexes(*rs, sql, columns, indexes))
        return false;
    for (; !rs->IsEof(); rs->MoveNext())
        for (int index : indexes)
            values.append(rs->Text(index));
    return true;
}

bool DbSession::QueryWithNames(const QString& sql, QStringList& names, QStringList& values) {
    QStringList fields;
    QStringList texts;
    const auto take = [&](QStringList&& row) {
        for (QString& text : row)
            texts.append(std::move(text));
    };
    if (!QueryRows(sql, fields, take))
        return false;
    names.append(fields);
    if (values.isEmpty())
        values = std::move(texts);
    else
        values.append(texts);
    return true;
}

bool DbSession::QueryRows(const QString& sql, QStringList& names,
                          const std::function<void(QStringList&& row)>& takeRow) {
    // The rows go from the driver straight into texts, without the variant copy of the whole
    // result that OpenRecordset keeps: grids are filled from large results through here. Results
    // and errors are those of OpenRecordset.
    ClearErrors();
    const auto noResultSet = [&] {
        detail_ = QStringLiteral("数据异常:\n") + sql + QLatin1Char('\n') + detail_;
        if (!FileDamaged())
            message_ = kDataMessage;
        return false;
    };
    if (!connected_) {
        resultCode_ = -1;
        open_ = false;
        message_ = kNetworkMessage;
        lastErrorClass_ = EngineProfile::ErrorClass::Network;
        detail_ = QStringLiteral("Open_Recorders\n%1\n未连接账套\n").arg(sql);
        return noResultSet();
    }
    // The query goes after its savepoint is settled: freeing its statement inside an aborted
    // PostgreSQL transaction fails and leaks it.
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    StatementScope scope(*this);
    if (!RunQuery(query, sql, false)) {
        scope.Fail();
        RecordError(query.lastError(), QStringLiteral("Open_Recorders\n") + sql, false, true);
        return noResultSet();
    }
    const QSqlRecord record = query.record();
    const int columns = record.count();
    bool anyRow = false;
    while (query.next()) {
        if (!anyRow) {
            for (int i = 0; i < columns; ++i)
                names.append(record.fieldName(i));
            anyRow = true;
        }
        QStringList row;
        row.reserve(columns);
        for (int i = 0; i < columns; ++i)
            row.append(DbValueText(query.value(i)));
        takeRow(std::move(row));
    }
    if (query.lastError().isValid()) {
        scope.Fail();
        RecordError(query.lastError(), QStringLiteral("Open_Recorders\n") + sql, false, true);
        return noResultSet();
    }
    resultCode_ = 1;
    return anyRow;
}

namespace {

// The search a page is cut from, as one derived table.
QString PagedTable(const QString& selectPart, const QString& fromPart) {
    return QStringLiteral("(%1 %2) AS TABLE_A").arg(selectPart, fromPart);
}

} // namespace

bool DbSession::QueryAllPages(const QString& selectPart, const QString& fromPart,
                              const QString& orderBy, QStringList& names,
                              const std::function<void(QStringList&& row)>& takeRow) {
    QString sql = QStringLiteral("SELECT * FROM ") + PagedTable(selectPart, fromPart);
    if (!orderBy.trimmed().isEmpty())
        sql += QStringLiteral(" Order By ") + orderBy;
    return QueryRows(sql, names, takeRow);
}

bool DbSession::QueryPage(const QString& selectPart, const QString& fromPart, int pageSize,
                          int pageNumber, const QString& orderBy, QStringList& names,
                          QStringList& values, int& total, int& pageCount) {
    const QString table = PagedTable(selectPart, fromPart);
    QString count;
    total = 0;
    pageCount = 0;
    if (!QueryValue(QStringLiteral("SELECT count(%1) as zv_counts FROM %2")
                        .arg(profile_->PageCountArgument(), table),
                    count))
        return message_.isEmpty();
    total = count.toInt();
    if (total == 0)
        return true;
    if (pageSize <= 0)
        pageSize = 1;

    pageCount = (total + pageSize - 1) / pageSize;
    // A page asked for by an earlier, longer result is brought into this one; past its end
    // the arithmetic below would ask for a negative number of rows.
    const int page = total > pageSize ? std::clamp(pageNumber, 1, pageCount) : 1;
    int upper = pageSize * page;
    int rows = pageSize;
    if (upper > total) {
        rows = total - upper + pageSize;
        upper = total;
    }

    // LIMIT and OFFSET walk the order's index to the page instead of sorting every row before it
    // a second time, when the window is the same rows: a reversible order and a page that
    // exists. Ties in the order may be cut differently at the window's edges, as the nested form
    // leaves their order to the engine anyway.
    if (profile_->PagesWithLimit() && rows >= 1 && upper >= rows && SwapReversesEveryTerm(orderBy))
        // One pass over the markers: the texts may hold "%1" of their own (LIKE '%1%').
        return QueryWithNames(
            QStringLiteral("SELECT * FROM %1 Order By %2 LIMIT %3 OFFSET %4")
                .arg(table, orderBy, QString::number(rows), QString::number(upper - rows)),
            names, values);

    QString reversed = orderBy;
    reversed.replace(QLatin1String(" ASC"), QLatin1String(" ASC_DESC"));
    reversed.replace(QLatin1String(" DESC"), QLatin1String(" DESC_ASC"));
    reversed.replace(QLatin1String(" ASC_DESC"), QLatin1String(" DESC"));
    reversed.replace(QLatin1String(" DESC_ASC"), QLatin1String(" ASC"));

    const QString pageQuery =
        QStringLiteral("( SELECT Top %1 * FROM (SELECT Top %2 * FROM %3 ORDER By %4 ) "
                       "DERIVEDTBL Order By %5 ) DERIVEDTBL")
            .arg(rows)
            .arg(upper)
            .arg(table, orderBy, reversed);
    return QueryWithNames(QStringLiteral("SELECT * FROM %1 Order By %2").arg(pageQuery, orderBy),
                          names, values);
}

bool DbSession::LockWait(const std::function<Outcome()>& attempt) {
    const std::int64_t startSeconds = platform::TickCountMs() / 1000;
    while (true) {
        const Outcome outcome = attempt();
        if (outcome == Outcome::Ok || outcome == Outcome::NotFound) {
            ClearErrors(); // earlier attempts' lock errors are no longer news
            return true;
        }
        if (outcome == Outcome::Failed)
            return false;
        const std::int64_t elapsed = platform::TickCountMs() / 1000 - startSeconds;
        if (elapsed > g_lockWaitLimit) {
            resultCode_ = -1;
            lastErrorClass_ = EngineProfile::ErrorClass::Lock;
            message_ = QStringLiteral("保存数据超时:%1秒。\n").arg(g_lockWaitLimit.load());
            return false;
        }
        platform::SleepMs(200);
    }
}

DbSession::Outcome DbSession::ExecuteOne(const QString& sql, const QVariantList& params) {
    if (!connected_) {
        resultCode_ = -1;
        message_ = kNetworkMessage;
        lastErrorClass_ = EngineProfile::ErrorClass::Network;
        detail_ = sql + QStringLiteral("\n未连接账套\n");
        return Outcome::Failed;
    }
    // The query goes after its savepoint is settled: freeing its statement inside an aborted
    // PostgreSQL transaction fails and leaks it.
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    StatementScope scope(*this);
    if (RunQuery(query, sql, true, params)) {
        resultCode_ = 1;
        return Outcome::Ok;
    }
    scope.Fail();
    return FailedWrite(query.lastError(), sql);
}

namespace {

// The statements of a script: split at every ";" except one inside a quoted text, so that a
// value the user typed may hold a semicolon. Quotes inside a "--" comment open no text, yet a ";"
// there still ends the statement. Double quotes, brackets and "/*" protect nothing here.
QStringList SplitScript(const QString& sql) {
    constexpr SqlLexis lexis{.blockComments = false, .quotedNames = false, .bracketNames = false};
    QStringList pieces;
    qsizetype start = 0;
    SqlTokenizer reader(sql, lexis);
    SqlToken token;
    while (reader.Next(token)) {
        qsizetype end = -1;
        if (reader.IsPunct(token, u';'))
            end = token.begin;
        else if (token.kind == SqlTokenKind::Comment)
            end = QStringView(sql).sliced(0, token.end).indexOf(u';', token.begin);
        if (end < 0)
            continue;
        pieces.append(sql.mid(start, end - start));
        start = end + 1;
        reader.Seek(start);
    }
    pieces.append(sql.mid(start));
    return pieces;
}

} // namespace

bool DbSession::RunScript(const QString& sql, bool stopAtFailure) {
    ClearErrors();
    bool lastOk = true;
    QString lastStatement;
    for (QString piece : SplitScript(sql)) {
        int skip = 0;
        while (skip < piece.size() && piece.at(skip) == QLatin1Char('\n'))
            ++skip;
        piece.remove(0, skip);
        if (piece.size() < 6 || piece.startsWith(QLatin1String("--")))
            continue;
        lastStatement = piece;
        lastOk = LockWait([&] { return ExecuteOne(piece); });
        if (!lastOk && stopAtFailure)
            break;
    }
    // A message that names what happened (a clash with another user's save, a full disk, a
    // broken reference, a damaged file) is kept; the statement stays in the detail.
    if (lastOk)
        resultCode_ = 1;
    else if (!explained_)
        message_ = lastStatement;
    return lastOk;
}

bool DbSession::Execute(const QString& sql) {
    if (!profile_->SplitsScripts()) {
        ClearErrors();
        return LockWait([&] { return ExecuteOne(sql); });
    }
    return RunScript(sql, true);
}

bool DbSession::Execute(const QString& sql, const QVariantList& params) {
    ClearErrors();
    const bool ok = LockWait([&] { return ExecuteOne(sql, params); });
    if (ok)
        resultCode_ = 1;
    return ok;
}

bool DbSession::ExecuteScript(const QString& sql) {
    return RunScript(sql, false);
}

int DbSession::AddRecord(const QString& sql, const QStringList& fields, const QStringList& values) {
    return writer_->AddRecord(sql, fields, values);
}

bool DbSession::UpdateRecord(const QString& sql, const QStringList& fields,
                             const QStringList& values) {
    return writer_->UpdateRecord(sql, fields, values);
}

int DbSession::AddRecordGetId(QString& id, const QString& sql, const QStringList& fields,
                              const QStringList& values) {
    return writer_->AddRecordGetId(id, sql, fields, values);
}

bool DbSession::WriteBinary(const QString& sql, const QStringList& fields,
                            const QList<QByteArray>& data) {
    return writer_->WriteBinary(sql, fields, data);
}

bool DbSession::ReadBinary(const QString& sql, const QStringList& fields, QList<QByteArray>& data) {
    auto rs = OpenRecordset(sql);
    if (!rs || rs->RecordCount() == 0)
        return false;
    QList<int> indexes;
    if (!ColumnIndexes(*rs, sql, fields, indexes))
        return false;
    for (; !rs->IsEof(); rs->MoveNext())
        for (int index : indexes) {
            const QVariant v = rs->Value(index);
            data.append(v.typeId() == QMetaType::QByteArray ? v.toByteArray()
                                                            : v.toString().toUtf8());
        }
    return true;
}

#include "AccountSetInit.h"

#include "app/Login.h"

#include "data/CfgScramble.h"
#include "data/ConnectionText.h"
#include "data/DbSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUuid>

QString ResourceText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString ResourceScript(const QString& path) {
    QStringList lines;
    for (const QString& line : ResourceText(path).split(QLatin1Char('\n')))
        if (!line.trimmed().startsWith(QLatin1String("--")))
            lines.append(line);
    return lines.join(QLatin1Char('\n'));
}

QString SessionError(const DbSession& session) {
    QString text = session.Message().trimmed();
    const QString detail = session.Detail().trimmed();
    if (!detail.isEmpty())
        text += QStringLiteral(" (") +
                QString(detail).replace(QLatin1Char('\n'), QLatin1Char(' ')) + QLatin1Char(')');
    return text;
}

QString AccountSetOpenError(const DbSession& session) {
    // The session's own texts point at the login dialog's settings button too.
    const QString settings = QStringLiteral("用 vemo-admin cfg set-connection ");
    return OpenFailureMessage(session, settings)
        .replace(QStringLiteral("点击“设置”"), settings)
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
}

namespace {

bool CreateTablesAndRows(DbSession& session, const QString& script, QString& error,
                         const AccountSetContent& more = {}) {
    if (!session.BeginTrans()) {
        error = SessionError(session);
        return false;
    }
    auto fail = [&] {
        error = SessionError(session);
        session.RollbackTrans();
        return false;
    };
    if (!session.Execute(script))
        return fail();
    const QString none = QStringLiteral("SELECT * FROM c_app WHERE uid_0<0");
    if (session.AddRecord(none,
                          {QStringLiteral("ver_0"), QStringLiteral("ver_1"),
                           QStringLiteral("app_0"), QStringLiteral("company_0")},
                          {QString(), QString(), QUuid::createUuid().toString(QUuid::WithoutBraces),
                           QString()}) != 1)
        return fail();
    if (session.AddRecord(none, {QStringLiteral("ver_0")}, {QString()}) != 1)
        return fail();
    if (session.AddRecord(QStringLiteral("SELECT * FROM c_user_group WHERE uid_0<0"),
                          {QStringLiteral("name_0"), QStringLiteral("remark_0")},
                          {QStringLiteral("系统管理员"), QStringLiteral("可查看全部功能")}) != 1)
        return fail();
    if (session.AddRecord(QStringLiteral("SELECT * FROM c_user WHERE uid_0<0"),
                          {QStringLiteral("id_0"), QStringLiteral("name_0"),
                           QStringLiteral("pass_0"), QStringLiteral("state_0"),
                           QStringLiteral("user_group_uid_0")},
                          {QStringLiteral("admin"), QStringLiteral("系统管理员"),
                           ScrambleCfgText(QString::fromLatin1(kDefaultAdminPassword), 1),
                           QStringLiteral("正常"), QStringLiteral("1")}) != 1)
        return fail();
    if (more && !more(session, error)) {
        session.RollbackTrans();
        return false;
    }
    if (session.CommitTrans())
        return true;
    error = SessionError(session);
    return false;
}

} // namespace

bool InitSqliteAccountSet(const QString& filePath, QString& error, const AccountSetContent& more) {
    const QFileInfo target(filePath);
    if (target.exists()) {
        error = QStringLiteral("文件已存在，不会覆盖：%1").arg(target.absoluteFilePath());
        return false;
    }
    if (!target.absoluteDir().exists()) {
        error = QStringLiteral("文件夹不存在：%1").arg(target.absolutePath());
        return false;
    }
    // Built beside the target under another name and renamed at the end, so a failure never
    // leaves a half-made account set where the client would find it. The name is new each time
    // and created exclusively: whatever already lies beside the target is not ours to replace.
    QString building;
    QString why;
    for (int attempt = 0; attempt < 16 && building.isEmpty(); ++attempt) {
        const QString name =
            target.absoluteFilePath() + QStringLiteral(".building-") +
            QString::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, u'0');
        QFile create(name);
        if (create.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            building = name;
        else
            why = create.errorString();
    }
    if (building.isEmpty()) {
        error = QStringLiteral("不能在 %1 中创建文件（%2）").arg(target.absolutePath(), why);
        return false;
    }
    bool ok = false;
    {
        DbSession session;
        session.SetConnectionString(AccessConnectionText(building));
        if (!session.Open())
            error = SessionError(session);
        else
            ok = CreateTablesAndRows(session, ResourceScript(QStringLiteral(":/sql/sqlite.sql")),
                                     error, more);
        session.Close();
    }
    if (ok && !QFile::rename(building, target.absoluteFilePath())) {
        error = QStringLiteral("不能改名为：%1").arg(target.absoluteFilePath());
        ok = false;
    }
    if (!ok)
        QFile::remove(building);
    return ok;
}

bool InitPostgresAccountSet(const QString& connInfo, QString& error,
                            const AccountSetContent& more) {
    DbSession session;
    session.SetConnectionString(PostgresConnectionTextFromConnInfo(connInfo));
    if (!session.Open()) {
        error = SessionError(session);
        return false;
    }
    const bool ok = CreateTablesAndRows(
        session, ResourceScript(QStringLiteral(":/sql/postgres.sql")), error, more);
    session.Close();
    return ok;
}

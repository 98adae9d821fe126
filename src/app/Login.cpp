#include "app/Login.h"

#include "app/Application.h"
#include "app/VersionCompare.h"
#include "data/AccountSetDefaults.h"
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/ConnectionText.h"
#include "data/DbSession.h"
#include "data/EngineProfile.h"
#include "platform/HostInfo.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDatabase>

namespace {

struct HostFacts {
    QString name, ip, mac;
};

HostFacts CollectHostFacts() {
    return {platform::HostName(), platform::HostIpv4Address(), platform::FirstAdapterMacAddress()};
}

// SQL Server (the engine that takes its own dialect) logs with the form its version supports;
// nothing is logged when the version is unknown. The other kinds use the NOW() form.
enum class LogForm { None, SqlServer8, SqlServer9, Now };

LogForm ChooseLogForm(DbSession& session, bool ownDialect) {
    if (!ownDialect)
        return LogForm::Now;
    QString version;
    if (!session.QueryValue(
            QStringLiteral("SELECT CONVERT(varchar(100),serverproperty(N'productversion'))"),
            version) ||
        version.isEmpty())
        return LogForm::None;
    return CompareVersions(version, QStringLiteral("9.0.0.0")) < 0 ? LogForm::SqlServer8
                                                                   : LogForm::SqlServer9;
}

// Values go to the "?" markers; cpt_name_0 of a login is "host - version".
QString SuccessLogStatement(LogForm form) {
    switch (form) {
    case LogForm::SqlServer8:
        return QStringLiteral(
            "INSERT INTO log_client_login(user_uid_0,name_0,ip_0,time_0,cpt_name_0,mac_0) "
            "\t\t\t\t\t\t\t\tselect top 1 ? as user_uid_0,? as name_0,? as ip_0,getdate() "
            "as  time_0,? as cpt_name_0,? as mac_0 ");
    case LogForm::SqlServer9:
        return QStringLiteral(
            "INSERT INTO log_client_login(user_uid_0,name_0,ip_0,time_0,cpt_name_0,mac_0,ip_1) "
            "\t\t\t\t\t\t\tselect top 1 ? as user_uid_0,? as name_0,? as ip_0,getdate() "
            "as  time_0,? as cpt_name_0,? as mac_0 \t\t\t\t\t\t\t,client_net_address "
            "as ip_1 from  sys.dm_exec_connections where session_id=@@SPID");
    case LogForm::Now:
        return QStringLiteral(
            "INSERT INTO log_client_login(user_uid_0,name_0,ip_0,time_0,cpt_name_0,mac_0) "
            "\t\t\t\t\t\t\t\tselect top 1 ? as user_uid_0,? as name_0,? as ip_0,now() as "
            " time_0,? as cpt_name_0,? as mac_0 ");
    case LogForm::None:
        break;
    }
    return {};
}

QString FailureLogStatement(LogForm form) {
    switch (form) {
    case LogForm::SqlServer8:
        return QStringLiteral(
            "INSERT INTO log_client_login(user_uid_0,name_0,ip_0,time_0,cpt_name_0,mac_0) "
            "\t\t\t\t\t\t\t\tselect top 1 0 as user_uid_0,? as name_0,? as ip_0,getdate() "
            "as  time_0,? as cpt_name_0,? as mac_0 ");
    case LogForm::SqlServer9:
        return QStringLiteral(
            "INSERT INTO log_client_login(user_uid_0,name_0,ip_0,time_0,cpt_name_0,mac_0,ip_1) "
            "\t\t\t\t\t\tselect top 1 0 as user_uid_0,? as name_0,? as ip_0,getdate() as  "
            "time_0,? as cpt_name_0,? as mac_0 \t\t\t\t\t\t,client_net_address as ip_1 "
            "from  sys.dm_exec_connections where session_id=@@SPID");
    case LogForm::Now:
        return QStringLiteral(
            "INSERT INTO log_client_login(user_uid_0,name_0,ip_0,time_0,cpt_name_0,mac_0) "
            "\t\t\t\t\t\t\t\tselect top 1 0 as user_uid_0,? as name_0,? as ip_0,now() as  "
            "time_0,? as cpt_name_0,? as mac_0 ");
    case LogForm::None:
        break;
    }
    return {};
}

// First line of the reason the session recorded (its detail is "step\nreason\nsystem\n").
QString ReasonOf(const DbSession& session) {
    const QStringList lines = session.Detail().split(QLatin1Char('\n'));
    const QString reason = lines.value(1).trimmed();
    return reason.isEmpty() ? session.Message().trimmed() : reason;
}

QString ServerOf(const QString& connectionText, DbKindCode kind) {
    if (kind == DbKindCode::SqlServer) {
        const QRegularExpression server(QStringLiteral("Server=([^;]*)"),
                                        QRegularExpression::CaseInsensitiveOption);
        return server.match(connectionText).captured(1).trimmed();
    }
    const DriverConnection target = MapToDriver(connectionText);
    return target.port > 0 ? QStringLiteral("%1:%2").arg(target.host).arg(target.port)
                           : target.host;
}

} // namespace

QString OpenFailureMessage(const DbSession& session, const QString& settings) {
    const QString text = session.ConnectionString();
    if (text.trimmed().isEmpty())
        return QStringLiteral("没有设置账套：cfg.ini 中没有账套的连接设置。\n请%1设置账套。")
            .arg(settings);
    const DbKindCode kind = KindOfConnection(text);
    const DriverConnection target = MapToDriver(text);
    // Qt's SQL drivers are packages of their own; without one nothing can be opened.
    if (!target.driver.isEmpty() && !QSqlDatabase::isDriverAvailable(target.driver)) {
        static const QHash<QString, QString> packages = {{"QSQLITE", "libqt6sql6-sqlite"},
                                                         {"QPSQL", "libqt6sql6-psql"},
                                                         {"QODBC", "libqt6sql6-odbc"}};
        return QStringLiteral("缺少数据库驱动 %1：请安装软件包 %2。")
            .arg(target.driver, packages.value(target.driver, target.driver));
    }
    if (EngineProfile::Of(kind).IsLocalFile()) {
        const QString path = target.databaseName;
        if (!QFileInfo(path).isFile())
            return session.Message().trimmed();
        return QStringLiteral("无法打开账套文件：%1\n（%2）\n请确认它是本系统的账套文件，或%3"
                              "重新选择账套文件。")
            .arg(path, ReasonOf(session), settings);
    }
    const QString server = ServerOf(text, kind);
    // A damaged NAME unscrambles to a text of no known form, which reads as a server without
    // an address.
    if (server.isEmpty())
        return QStringLiteral("cfg.ini 中的账套连接设置无法识别（可能已损坏）。\n请%1设置账套。")
            .arg(settings);
    const QString reason = ReasonOf(session);
    const QString what = reason.contains(QLatin1String("timeout expired"), Qt::CaseInsensitive) ||
                                 reason.contains(QLatin1String("timed out"), Qt::CaseInsensitive)
                             ? QStringLiteral("连接账套服务器 %1 超时：%2 秒内没有应答。")
                                   .arg(server)
                                   .arg(DbSession::ConnectTimeoutSeconds())
                             : QStringLiteral("无法连接账套服务器 %1（%2）。").arg(server, reason);
    return what +
           QStringLiteral("\n请确认服务器已启动、网络正常，或%1重新设置账套。").arg(settings);
}

namespace {

// Stamps the login time and writes the log row in one transaction. The stamp is what later
// actions compare to find a second login of the same user, so a login is granted only when
// both are written. "" when they are, else why not.
QString RecordLogin(DbSession& session, const QString& stampSql, qlonglong uid,
                    const QString& logSql, const QVariantList& logValues) {
    if (session.BeginTrans() && session.Execute(stampSql, {uid}) &&
        (logSql.isEmpty() || session.Execute(logSql, logValues)) && session.CommitTrans())
        return {};
    const QString reason = session.Message().trimmed();
    if (session.InTransaction())
        session.RollbackTrans();
    return reason.isEmpty() ? ReasonOf(session) : reason;
}

LoginOutcome Refused(LoginResult result, QString message = {}) {
    LoginOutcome outcome;
    outcome.result = result;
    outcome.message = message.isEmpty() ? LoginMessage(result) : std::move(message);
    return outcome;
}

} // namespace

QString DefaultPassword() {
    return QString::fromLatin1(kDefaultAdminPassword);
}

QString LoginMessage(LoginResult result) {
    switch (result) {
    case LoginResult::EmptyLoginId:
        return QStringLiteral("请输入或者选择用户名");
    case LoginResult::EmptyPassword:
        return QStringLiteral("请输入密码（新账套的初始密码是 %1）").arg(DefaultPassword());
    case LoginResult::VersionTooLow:
        return QStringLiteral("客户端版本太低，请升级客户端，如果疑问，请联系管理员！");
    case LoginResult::WrongCredentials:
        return QStringLiteral("用户名或者密码错误！（新账套的初始密码是 %1）")
            .arg(DefaultPassword());
    case LoginResult::NoConnection:
        return QStringLiteral("无法连接账套。\n请点击“设置”设置账套。");
    case LoginResult::NotRecorded:
        return QStringLiteral("登录未能记录，没有登录，请稍后再试。");
    case LoginResult::Damaged:
        return QStringLiteral("账套文件已损坏，没有登录。");
    case LoginResult::LoggedIn:
        break;
    }
    return {};
}

LoginResult CheckLoginInput(const QString& loginId, const QString& password) {
    if (loginId.isEmpty())
        return LoginResult::EmptyLoginId;
    if (password.isEmpty())
        return LoginResult::EmptyPassword;
    return LoginResult::LoggedIn;
}

LoginOutcome RunLogin(DbSession& session, const LoginRequest& request,
                      const std::function<void(LoginStage)>& progress) {
    auto report = [&](LoginStage stage) {
        if (progress)
            progress(stage);
    };
    if (const LoginResult input = CheckLoginInput(request.loginId, request.password);
        input != LoginResult::LoggedIn)
        return Refused(input);
    const QString scrambled = ScrambleCfgText(request.password, 1);

    report(LoginStage::Connecting);
    if (!session.Open())
        return Refused(LoginResult::NoConnection, OpenFailureMessage(session));
    const QString kind = session.KindText();
    LoginOutcome outcome;
    outcome.dbKind = kind;
    auto finish = [&](LoginResult result, QString message = {}) {
        session.Close();
        outcome.result = result;
        outcome.message = message.isEmpty() ? LoginMessage(result) : std::move(message);
        return outcome;
    };

    // A damaged file, known before or found by the login's own reads and writes, gets neither
    // the login stamp nor a log row; the message names the backup to restore.
    const auto damaged = [&] {
        return finish(LoginResult::Damaged, session.DamagedFileMessage().trimmed());
    };
    if (session.FileDamaged())
        return damaged();

    report(LoginStage::CheckingUser);
    QString minimum;
    session.QueryValue(QStringLiteral("SELECT TOP 1 ver_0 FROM c_app WHERE uid_0=1"), minimum);
    if (session.FileDamaged())
        return damaged();
    if (CompareVersions(minimum, request.exeVersion) > 0)
        return finish(LoginResult::VersionTooLow);

    QStringList user;
    const bool found =
        // Login ids compare without regard to case, as the account sets' original engines
        // did; an exact match comes first.
        session.QueryColumns(QStringLiteral("SELECT uid_0,auth_0,name_0,pass_0,id_0 FROM "
                                            "view_c_user WHERE  state_0='正常' AND  "
                                            "LOWER(id_0)=LOWER(?) AND pass_0=? ORDER BY CASE WHEN "
                                            "id_0=? THEN 0 ELSE 1 END"),
                             {request.loginId, scrambled, request.loginId},
                             {QStringLiteral("uid_0"), QStringLiteral("auth_0"),
                              QStringLiteral("name_0"), QStringLiteral("pass_0"),
                              QStringLiteral("id_0")},
                             user);
    if (session.FileDamaged())
        return damaged();
    // A failed read is not a wrong password: the account set is damaged or went away.
    if (!found && session.ResultCode() != 0)
        return finish(LoginResult::NoConnection,
                      QStringLiteral("读取账套的用户失败：%1\n请确认账套正确、网络正常，或点击"
                                     "“设置”重新设置账套。")
                          .arg(ReasonOf(session)));
    const HostFacts host = CollectHostFacts();
    // The statements below are written for SQL Server's own dialect or as Access SQL.
    const bool ownDialect = session.Engine().TakesOwnDialect();
    const LogForm form = ChooseLogForm(session, ownDialect);
    if (user.size() < 5) {
        report(LoginStage::Recording);
        const QString log = FailureLogStatement(form);
        if (!log.isEmpty())
            session.Execute(log, {request.loginId, host.ip, host.name, host.mac});
        return finish(LoginResult::WrongCredentials);
    }

    report(LoginStage::Recording);
    const qlonglong uid = user[0].toLongLong();
    const QString notRecorded = RecordLogin(
        session,
        ownDialect ? QStringLiteral("UPDATE c_user SET loginTime_0=getdate() WHERE uid_0=?")
                   : QStringLiteral("UPDATE c_user SET loginTime_0=NOW() WHERE uid_0=?"),
        uid, SuccessLogStatement(form),
        {uid, request.loginId, host.ip,
         QStringLiteral("%1 - %2").arg(host.name, request.exeVersion), host.mac});
    if (session.FileDamaged())
        return damaged();
    if (!notRecorded.isEmpty())
        return finish(LoginResult::NotRecorded,
                      QStringLiteral("登录未能记录，没有登录：%1\n账套可能正被其他用户占用，请稍后"
                                     "再试。")
                          .arg(notRecorded));
    QString loginTime;
    session.QueryValue(QStringLiteral("SELECT loginTime_0 FROM c_user WHERE uid_0=?"), {uid},
                       loginTime);
    outcome.userUid = user[0];
    outcome.rights = user[1];
    outcome.userName = user[2];
    outcome.loginId = user[4];
    outcome.loginTime = loginTime;
    return finish(LoginResult::LoggedIn);
}

void ApplyLikeRewriteSetting(Application& app) {
    const EngineProfile* engine = EngineProfile::OfKindText(app.session.dbKind.Get());
    if (ReadCfg(app.CfgPath(), QStringLiteral("SERVER"), QStringLiteral("LANG")) ==
            QLatin1String("3") &&
        engine && engine->IsLocalFile())
        app.session.SetLikeRewrite(true);
}

void ApplyLogin(Application& app, const LoginRequest& request, const LoginOutcome& outcome) {
    if (!outcome.dbKind.isEmpty())
        app.session.SetAccountSetKind(outcome.dbKind);
    if (outcome.result != LoginResult::LoggedIn)
        return;
    SessionContext::User user;
    // The id as stored, whatever case it was typed in.
    user.loginId = outcome.loginId.isEmpty() ? request.loginId : outcome.loginId;
    user.userUid = outcome.userUid;
    user.rights = outcome.rights;
    user.userName = outcome.userName;
    user.password = request.password;
    user.loginTime = outcome.loginTime;
    app.session.ApplyLogin(user);
    WriteCfg(app.CfgPath(), QStringLiteral("SERVER"), QStringLiteral("USER"), app.session.loginId);
}

LoginResult AttemptLogin(DbSession& session, Application& app, const QString& loginId,
                         const QString& password, QString* message) {
    const LoginRequest request{loginId, password, app.session.exeVersion};
    const LoginOutcome outcome = RunLogin(session, request);
    ApplyLogin(app, request, outcome);
    if (message)
        *message = outcome.message;
    return outcome.result;
}

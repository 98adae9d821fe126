#include "app/Login.h"

#include "app/MainApp.h"
#include "app/VersionCompare.h"
#include "data/AccountSetDefaults.h"
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/DbSession.h"
#include "platform/HostInfo.h"

namespace {

struct HostFacts {
    QString name, ip, mac;
};

HostFacts CollectHostFacts() {
    return {platform::HostName(), platform::HostIpv4Address(), platform::FirstAdapterMacAddress()};
}

// SQL Server logs with the form its version supports; nothing is logged when the version is
// unknown. The other kinds use the NOW() form.
enum class LogForm { None, SqlServer8, SqlServer9, Now };

LogForm ChooseLogForm(CDbSession& session, const QString& kind) {
    if (kind != QLatin1String("1"))
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
    case LoginResult::LoggedIn:
    case LoginResult::NoConnection:
        break;
    }
    return {};
}

LoginResult AttemptLogin(CDbSession& session, CMainApp& app, const QString& loginId,
                         const QString& password) {
    if (loginId.isEmpty())
        return LoginResult::EmptyLoginId;
    if (password.isEmpty())
        return LoginResult::EmptyPassword;
    const QString scrambled = ScrambleCfgText(password, 1);

    if (!session.Open())
        return LoginResult::NoConnection;
    const QString kind = session.KindText();
    app.dbKind.Set(kind);

    QString minimum;
    session.QueryValue(QStringLiteral("SELECT TOP 1 ver_0 FROM c_app WHERE uid_0=1"), minimum);
    if (CompareVersions(minimum, app.exeVersion) > 0) {
        session.Close();
        return LoginResult::VersionTooLow;
    }

    QStringList user;
    session.QueryColumns(QStringLiteral("SELECT uid_0,auth_0,name_0,pass_0 FROM view_c_user WHERE  "
                                        "state_0='正常' AND  id_0=? AND pass_0=?"),
                         {loginId, scrambled},
                         {QStringLiteral("uid_0"), QStringLiteral("auth_0"),
                          QStringLiteral("name_0"), QStringLiteral("pass_0")},
                         user);
    const HostFacts host = CollectHostFacts();
    if (user.size() < 4) {
        if (!session.IsOpen())
            session.Open();
        const QString log = FailureLogStatement(ChooseLogForm(session, kind));
        if (!log.isEmpty())
            session.Execute(log, {loginId, host.ip, host.name, host.mac});
        session.Close();
        return LoginResult::WrongCredentials;
    }

    app.loginId = loginId;
    app.userUid = user[0];
    app.rights = user[1];
    app.userName = user[2];
    app.password = password;

    // Errors of the stamp and the log row do not stop the login.
    const qlonglong uid = app.userUid.toLongLong();
    session.Execute(kind == QLatin1String("1")
                        ? QStringLiteral("UPDATE c_user SET loginTime_0=getdate() WHERE uid_0=?")
                        : QStringLiteral("UPDATE c_user SET loginTime_0=NOW() WHERE uid_0=?"),
                    {uid});
    const QString log = SuccessLogStatement(ChooseLogForm(session, kind));
    if (!log.isEmpty())
        session.Execute(log, {uid, loginId, host.ip,
                              QStringLiteral("%1 - %2").arg(host.name, app.exeVersion), host.mac});
    if (!session.IsOpen())
        session.Open();
    QString loginTime;
    session.QueryValue(QStringLiteral("SELECT loginTime_0 FROM c_user WHERE uid_0=?"), {uid},
                       loginTime);
    app.loginTime = loginTime;
    session.Close();
    WriteCfg(app.CfgPath(), QStringLiteral("SERVER"), QStringLiteral("USER"), loginId);
    return LoginResult::LoggedIn;
}

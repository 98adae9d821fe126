#pragma once
// Checking a user against the account set and recording the login.
//
// The database work (RunLogin) touches nothing but its own session, so the login dialog runs it
// on a worker thread; what it found is applied to the application object on the interface
// thread (ApplyLogin).
#include <QString>

#include <functional>

class DbSession;
class Application;

enum class LoginResult {
    LoggedIn,
    EmptyLoginId,
    EmptyPassword,
    NoConnection,  // the account set could not be opened or read: the message says why
    VersionTooLow, // the account set asks for a newer client
    WrongCredentials,
    NotRecorded, // the login time or the log row could not be written: no login
    Damaged,     // the account-set file is known damaged: nothing is written to it, no login
};

// What the database work needs, taken on the interface thread.
struct LoginRequest {
    QString loginId;
    QString password;
    QString exeVersion;
};

// What the database work found.
struct LoginOutcome {
    LoginResult result = LoginResult::NoConnection;
    QString message; // shown to the user; "" when nothing is shown
    QString dbKind;  // the session's kind once it opened, else ""
    QString userUid, rights, userName, loginTime;
    QString loginId; // as stored in the account set
};

// Steps of the database work, reported as they begin.
enum class LoginStage { Connecting, CheckingUser, Recording };

// The default password of a new account set, as the messages state it.
QString DefaultPassword();
// The message shown for a result that needs no detail ("" for the others).
QString LoginMessage(LoginResult result);

// Why `session` could not be opened, and what to do about it; `settings` names how the user
// changes the account-set settings (the login dialog's settings button by default).
QString OpenFailureMessage(const DbSession& session,
                           const QString& settings = QStringLiteral("点击“设置”"));

// The checks made before any database work: EmptyLoginId, EmptyPassword or LoggedIn (go on).
LoginResult CheckLoginInput(const QString& loginId, const QString& password);

// Runs one login attempt on `session` (opened and closed here, on the calling thread). Every
// attempt against a reachable account set writes a log_client_login row; a successful one
// stamps loginTime_0 and writes its row in one transaction, or is refused (NotRecorded).
LoginOutcome RunLogin(DbSession& session, const LoginRequest& request,
                      const std::function<void(LoginStage)>& progress = {});

// What the login box does as it opens: with cfg.ini [SERVER] LANG=3 on a local-file account set,
// LIKE patterns are rewritten from then on.
void ApplyLikeRewriteSetting(Application& app);

// Interface thread: sets DbKind and, after a successful login, the user fields, and writes
// cfg.ini USER.
void ApplyLogin(Application& app, const LoginRequest& request, const LoginOutcome& outcome);

// RunLogin then ApplyLogin on the calling thread (tools, tests, benchmarks); shows nothing.
// `message`, when given, receives the text the dialog would show.
LoginResult AttemptLogin(DbSession& session, Application& app, const QString& loginId,
                         const QString& password, QString* message = nullptr);

// "SELECT ..." of the users the login box lists.
inline constexpr char kLoginUserListSql[] =
    "SELECT id_0 FROM c_user WHERE state_0='正常' ORDER BY id_0";

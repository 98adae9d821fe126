#pragma once
// Checking a user against the account set and recording the login.
#include <QString>

class CDbSession;
class CMainApp;

enum class LoginResult {
    LoggedIn,
    EmptyLoginId,
    EmptyPassword,
    NoConnection,  // the session could not be opened: nothing is shown
    VersionTooLow, // the account set asks for a newer client
    WrongCredentials,
};

// The default password of a new account set, as the messages state it.
QString DefaultPassword();
// The message shown for a result ("" when nothing is shown).
QString LoginMessage(LoginResult result);

// Runs one login attempt on the session (opened and closed here). On success the user fields
// and DbKind of `app` are set, the login time is stamped and read back and cfg.ini USER is
// written. Every attempt against a reachable account set writes a log_client_login row.
LoginResult AttemptLogin(CDbSession& session, CMainApp& app, const QString& loginId,
                         const QString& password);

// "SELECT ..." of the users the login box lists.
inline constexpr char kLoginUserListSql[] =
    "SELECT id_0 FROM c_user WHERE state_0='正常' ORDER BY id_0";

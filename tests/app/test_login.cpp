// The login and change-password dialogs driven as a user drives them, on real account sets.
#include "app/Application.h"
#include "app/ChangePasswordDialog.h"
#include "app/Login.h"
#include "app/LoginDialog.h"
#include "app/VersionCompare.h"
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/ConnectionText.h"
#include "data/DbSession.h"
#include "platform/AppMessage.h"
#include "support/SessionFacts.h"
#include "support/TestAccountSet.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>

namespace {

TEST(VersionCompare, ComparesPartByPartAsNumbers) {
    EXPECT_GT(CompareVersions("1.2.10.0", "1.2.9.0"), 0);
    EXPECT_GT(CompareVersions("1.3", "1.2.99.0"), 0);
    EXPECT_EQ(CompareVersions("", "0.0.0.0"), 0);
    EXPECT_EQ(CompareVersions("1.2", "1.2.0.0"), 0);
    EXPECT_LT(CompareVersions("8.0.2039", "9.0.0.0"), 0);
    EXPECT_GT(CompareVersions("10.50.1600.1", "9.0.0.0"), 0);
    EXPECT_EQ(CompareVersions("1.x.3", "1.0.3"), 0);
}

void Press(LoginDialog& dialog, const QString& user, const QString& password) {
    dialog.findChild<QComboBox*>("userBox")->setEditText(user);
    dialog.findChild<QLineEdit*>("passwordEdit")->setText(password);
    dialog.findChild<QPushButton*>("loginButton")->click();
}

// Runs the event loop until `done`, at most `limitMs`; `tick` runs between rounds.
void RunEventsUntil(const std::function<bool()>& done, int limitMs = 30000,
                    const std::function<void()>& tick = {}) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (tick)
            tick();
    }
}

void WaitForLogin(const LoginDialog& dialog) {
    RunEventsUntil([&] { return !dialog.LoginRunning(); });
}

void WaitForLoader(const LoginDialog& dialog) {
    RunEventsUntil([&] { return dialog.LoaderFinished(); });
}

class LoginTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        QString why;
        set_ = TestAccountSet::Create(GetParam(), why);
        if (!set_)
            GTEST_SKIP() << qPrintable(why);
        Application& app = Application::Instance();
        ChangeStartUp(app.session, [&](SessionContext::StartUp& facts) {
            facts.exeFolder = set_->folder();
            facts.exeVersion = QStringLiteral("1.2.10.0");
        });
        app.session.SetStoredConnectionText(QString());
        ChangeUser(app.session, [](SessionContext::User& user) {
            user.password.clear();
            user.userUid.clear();
        });
        WriteCfg(app.CfgPath(), "SERVER", "NAME", ScrambleCfgText(set_->connectionText(), 1));
        previousSink_ = SetMessageSink([this](const AppMessageRequest& request) {
            messages_.append(request.text);
            owners_.append(request.owner);
            return MessageAnswer::Ok;
        });
        session_.SetConnectionString(set_->connectionText());
        ASSERT_TRUE(session_.Open());
    }
    void TearDown() override {
        if (set_)
            SetMessageSink(previousSink_);
        Application::Instance().session.SetStoredConnectionText(QString());
    }

    // Types into the dialog and presses the login button; the dialog's result once the login
    // has finished.
    int Login(LoginDialog& dialog, const QString& user, const QString& password) {
        Press(dialog, user, password);
        WaitForLogin(dialog);
        return dialog.result();
    }
    QStringList LogRows() {
        QStringList rows;
        session_.QueryList("SELECT user_uid_0, name_0, ip_0, cpt_name_0, mac_0 FROM "
                           "log_client_login ORDER BY uid_0",
                           rows);
        return rows;
    }

    std::unique_ptr<TestAccountSet> set_;
    DbSession session_;
    QStringList messages_;
    QList<QWidget*> owners_;
    MessageSink previousSink_;
};

TEST_P(LoginTest, WrongPasswordIsLoggedAndRefused) {
    LoginDialog dialog;
    EXPECT_EQ(Login(dialog, "admin", "9"), QDialog::Rejected);
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].startsWith(QStringLiteral("用户名或者密码错误！")));
    EXPECT_TRUE(messages_[0].contains("1"));
    const QStringList rows = LogRows();
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0], "0");
    EXPECT_EQ(rows[1], "admin");

    messages_.clear();
    Login(dialog, "", "1");
    Login(dialog, "admin", "");
    EXPECT_EQ(messages_, (QStringList{QStringLiteral("请输入或者选择用户名"),
                                      QStringLiteral("请输入密码（新账套的初始密码是 1）")}));
    EXPECT_EQ(LogRows().size(), 5);
}

TEST_P(LoginTest, RightPasswordLogsInStampsAndRemembersTheUser) {
    LoginDialog dialog;
    EXPECT_EQ(Login(dialog, "admin", "1"), QDialog::Accepted);
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('|'));
    Application& app = Application::Instance();
    EXPECT_EQ(app.session.userUid, "1");
    EXPECT_EQ(app.session.loginId, "admin");
    EXPECT_EQ(app.session.password, "1");
    EXPECT_EQ(app.session.dbKind.Get(), GetParam() == Engine::Sqlite ? "2" : "3");
    QString stamped;
    ASSERT_TRUE(session_.QueryValue("SELECT loginTime_0 FROM c_user WHERE uid_0=1", stamped));
    EXPECT_FALSE(stamped.isEmpty());
    EXPECT_EQ(app.session.loginTime, stamped);
    EXPECT_EQ(ReadCfg(app.CfgPath(), "SERVER", "USER"), "admin");

    const QStringList rows = LogRows();
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0], "1");
    EXPECT_TRUE(QRegularExpression("^(\\d{1,3}\\.){3}\\d{1,3}$|^$").match(rows[2]).hasMatch())
        << qPrintable(rows[2]);
    EXPECT_TRUE(rows[3].endsWith(" - 1.2.10.0")) << qPrintable(rows[3]);
    EXPECT_TRUE(QRegularExpression("^([0-9A-F]{2}-){5}[0-9A-F]{2}$|^$").match(rows[4]).hasMatch())
        << qPrintable(rows[4]);
}

TEST_P(LoginTest, QuotesInTheLoginIdAndTheVersionRule) {
    ASSERT_TRUE(
        session_.Execute(QStringLiteral("INSERT INTO c_user (id_0, name_0, pass_0, "
                                        "user_group_uid_0) VALUES ('o''neil', '欧尼', '%1', 1)")
                             .arg(ScrambleCfgText("pa'ss", 1).replace("'", "''"))));
    {
        LoginDialog dialog;
        EXPECT_EQ(Login(dialog, "o'neil", "pa'ss"), QDialog::Accepted)
            << qPrintable(messages_.join('|'));
        EXPECT_EQ(Application::Instance().session.userName, QStringLiteral("欧尼"));
    }
    ASSERT_TRUE(session_.Execute("UPDATE c_app SET ver_0='1.3' WHERE uid_0=1"));
    {
        LoginDialog dialog;
        EXPECT_EQ(Login(dialog, "admin", "1"), QDialog::Rejected);
        EXPECT_EQ(messages_.value(0),
                  QStringLiteral("客户端版本太低，请升级客户端，如果疑问，请联系管理员！"));
    }
    ASSERT_TRUE(session_.Execute("UPDATE c_app SET ver_0='1.2.9.0' WHERE uid_0=1"));
    {
        LoginDialog dialog;
        EXPECT_EQ(Login(dialog, "admin", "1"), QDialog::Accepted);
    }
}

// Login ids compare without regard to case; the id kept is the stored one.
TEST_P(LoginTest, LoginIdsCompareWithoutCase) {
    DbSession login(DbSession::FromConfig);
    Application& app = Application::Instance();
    EXPECT_EQ(AttemptLogin(login, app, "ADMIN", "1"), LoginResult::LoggedIn);
    EXPECT_EQ(app.session.loginId, "admin");
    EXPECT_EQ(ReadCfg(app.CfgPath(), "SERVER", "USER"), "admin");
    EXPECT_EQ(AttemptLogin(login, app, "ADMIN", "2"), LoginResult::WrongCredentials);
}

TEST_P(LoginTest, UserListFillsInTheBackgroundAndPreselectsTheLastUser) {
    ASSERT_TRUE(session_.Execute("INSERT INTO c_user (id_0, state_0) VALUES ('zhang', '正常');"
                                 "INSERT INTO c_user (id_0, state_0) VALUES ('Bao', '正常');"
                                 "INSERT INTO c_user (id_0, state_0) VALUES ('li', '停用')"));
    WriteCfg(Application::Instance().CfgPath(), "SERVER", "USER", "zhang");
    LoginDialog dialog;
    WaitForLoader(dialog);
    ASSERT_TRUE(dialog.LoaderFinished());
    auto* box = dialog.findChild<QComboBox*>("userBox");
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    // Sorted without regard to case.
    EXPECT_EQ(items, (QStringList{"", "admin", "Bao", "zhang"}));
    EXPECT_EQ(box->currentText(), "zhang");
}

TEST_P(LoginTest, ChangePasswordOutcomes) {
    {
        LoginDialog dialog;
        ASSERT_EQ(Login(dialog, "admin", "1"), QDialog::Accepted);
    }
    struct Case {
        const char *old, *fresh, *repeat;
        QString message;
    };
    const Case cases[] = {
        {"2", "x", "x", QStringLiteral("原密码错误！")},
        {"1", "", "", QStringLiteral("密码不能设置为空！")},
        {"1", "new'1", "new'2", QStringLiteral("新密码两次输入不相同，请重新输入！")},
        {"1", "new'1", "new'1", QStringLiteral("修改成功")},
    };
    for (const Case& c : cases) {
        messages_.clear();
        owners_.clear();
        ChangePasswordDialog dialog;
        dialog.findChild<QLineEdit*>("oldPassword")->setText(c.old);
        dialog.findChild<QLineEdit*>("newPassword")->setText(c.fresh);
        dialog.findChild<QLineEdit*>("repeatPassword")->setText(c.repeat);
        dialog.findChild<QPushButton*>("changeButton")->click();
        EXPECT_EQ(messages_, QStringList{c.message});
        // Shown over the dialog, where the user is typing.
        EXPECT_EQ(owners_, QList<QWidget*>{&dialog});
    }
    EXPECT_EQ(Application::Instance().session.password, "new'1");
    LoginDialog again;
    EXPECT_EQ(Login(again, "admin", "1"), QDialog::Rejected);
    EXPECT_EQ(Login(again, "admin", "new'1"), QDialog::Accepted);
}

TEST(ChangePasswordDialog, EachFieldHasItsOwnLabel) {
    ChangePasswordDialog dialog;
    auto* form = dialog.findChild<QFormLayout*>();
    ASSERT_NE(form, nullptr);
    const struct {
        const char* field;
        QString label;
    } cases[] = {
        {"oldPassword", QStringLiteral("旧密码:")},
        {"newPassword", QStringLiteral("新密码:")},
        {"repeatPassword", QStringLiteral("确认新密码:")},
    };
    for (const auto& c : cases) {
        auto* label =
            qobject_cast<QLabel*>(form->labelForField(dialog.findChild<QLineEdit*>(c.field)));
        ASSERT_NE(label, nullptr) << c.field;
        EXPECT_EQ(label->text(), c.label) << c.field;
    }
}

// Quotes and statement text in a login id or password are values: a user so named logs in, a
// text that would rewrite the statement finds nobody, and the log row keeps what was typed.
TEST_P(LoginTest, LoginIdsWithQuotesAreValuesNotStatementText) {
    struct Case {
        QString id, password;
        bool userExists;
        LoginResult expected;
    };
    const Case cases[] = {
        {"O'Brien", "pa'ss", true, LoginResult::LoggedIn},
        {"semi';--", "x;'--", true, LoginResult::LoggedIn},
        {"%1?'", "?", true, LoginResult::LoggedIn},
        {":name \\'", ":pw\\", true, LoginResult::LoggedIn},
        {"x' OR '1'='1", "x' OR '1'='1", false, LoginResult::WrongCredentials},
        {"admin'--", "9", false, LoginResult::WrongCredentials},
    };
    Application& app = Application::Instance();
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.id));
        if (c.userExists) {
            ASSERT_TRUE(
                session_.Execute("INSERT INTO c_user (id_0, name_0, pass_0, "
                                 "user_group_uid_0) VALUES (?, ?, ?, 1)",
                                 {c.id, QStringLiteral("引号"), ScrambleCfgText(c.password, 1)}))
                << qPrintable(session_.Detail());
        }
        ChangeUser(app.session, [](SessionContext::User& user) { user.userUid.clear(); });
        DbSession login(DbSession::FromConfig);
        EXPECT_EQ(AttemptLogin(login, app, c.id, c.password), c.expected);
        QStringList last;
        ASSERT_TRUE(session_.QueryColumns(
            "SELECT user_uid_0, name_0 FROM log_client_login ORDER BY uid_0 DESC",
            {"user_uid_0", "name_0"}, last));
        EXPECT_EQ(last.value(1), c.id);
        if (c.expected == LoginResult::LoggedIn) {
            EXPECT_EQ(app.session.loginId, c.id);
            EXPECT_EQ(last.value(0), app.session.userUid);
            QString stamped;
            EXPECT_TRUE(session_.QueryValue("SELECT loginTime_0 FROM c_user WHERE id_0=?", {c.id},
                                            stamped));
            EXPECT_FALSE(stamped.isEmpty());
        } else {
            EXPECT_EQ(last.value(0), "0");
            EXPECT_TRUE(app.session.userUid.isEmpty());
        }
    }
}

TEST_P(LoginTest, TypedUserNameOutlivesTheUserList) {
    ASSERT_TRUE(session_.Execute("INSERT INTO c_user (id_0, state_0) VALUES ('zhang', '正常')"));
    WriteCfg(Application::Instance().CfgPath(), "SERVER", "USER", "zhang");
    LoginDialog dialog;
    auto* box = dialog.findChild<QComboBox*>("userBox");
    // Typed before the loader's list arrives (it is handed over by the event loop).
    box->setEditText("adm");
    WaitForLoader(dialog);
    ASSERT_TRUE(dialog.LoaderFinished());
    EXPECT_EQ(box->currentText(), "adm");
    EXPECT_EQ(box->count(), 3);
}

// Another client holds a write lock while the user logs in: the dialog keeps running and says
// that it waits; the login is recorded once the lock goes, or refused when the lock outlasts
// TIMEOUT, and never granted without its stamp and log row.
TEST_P(LoginTest, LoginUnderAWriteLockIsRecordedOrRefused) {
    const int previousLimit = DbSession::LockWaitLimitSeconds();
    DbSession::SetLockWaitLimitSeconds(3);
    const DriverConnection target = MapToDriver(set_->connectionText());
    struct Case {
        const char* what;
        bool releasedWhileWaiting; // else held until the login has ended
    };
    const Case cases[] = {{"released in time", true}, {"held past TIMEOUT", false}};
    Application& app = Application::Instance();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString stampBefore, rowsBefore, stampAfter, rowsAfter;
        session_.QueryValue("SELECT loginTime_0 FROM c_user WHERE uid_0=1", stampBefore);
        ASSERT_TRUE(session_.QueryValue("SELECT count(*) FROM log_client_login WHERE user_uid_0=1",
                                        rowsBefore));
        ChangeUser(app.session, [](SessionContext::User& user) { user.userUid.clear(); });
        {
            QSqlDatabase locker = QSqlDatabase::addDatabase(target.driver, "locker");
            locker.setDatabaseName(target.databaseName);
            locker.setHostName(target.host);
            locker.setPort(target.port);
            locker.setUserName(target.user);
            locker.setPassword(target.password);
            ASSERT_TRUE(locker.open());
            QSqlQuery hold(locker);
            if (GetParam() == Engine::Sqlite) {
                ASSERT_TRUE(hold.exec("BEGIN IMMEDIATE"));
            } else {
                ASSERT_TRUE(hold.exec("BEGIN"));
                ASSERT_TRUE(hold.exec("SELECT uid_0 FROM c_user WHERE uid_0=1 FOR UPDATE"));
            }
            bool held = true;
            auto release = [&] {
                if (held)
                    QSqlQuery(locker).exec("COMMIT");
                held = false;
            };

            LoginDialog dialog;
            Press(dialog, "admin", "1");
            EXPECT_TRUE(dialog.LoginRunning());
            EXPECT_FALSE(dialog.findChild<QPushButton*>("loginButton")->isEnabled());
            bool sawWaiting = false;
            RunEventsUntil([&] { return !dialog.LoginRunning(); }, 30000,
                           [&] {
                               sawWaiting = sawWaiting || dialog.findChild<QLabel*>("statusLabel")
                                                              ->text()
                                                              .contains(QStringLiteral("等待"));
                               if (sawWaiting && c.releasedWhileWaiting)
                                   release();
                           });
            release();
            EXPECT_TRUE(sawWaiting);
            EXPECT_TRUE(dialog.findChild<QPushButton*>("loginButton")->isEnabled());
            EXPECT_EQ(dialog.result() == QDialog::Accepted, c.releasedWhileWaiting);
            WaitForLoader(dialog);
        }
        QSqlDatabase::removeDatabase("locker");

        session_.QueryValue("SELECT loginTime_0 FROM c_user WHERE uid_0=1", stampAfter);
        ASSERT_TRUE(session_.QueryValue("SELECT count(*) FROM log_client_login WHERE user_uid_0=1",
                                        rowsAfter));
        if (c.releasedWhileWaiting) {
            EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('|'));
            EXPECT_FALSE(stampAfter.isEmpty());
            EXPECT_EQ(app.session.loginTime, stampAfter);
            EXPECT_EQ(rowsAfter.toInt(), rowsBefore.toInt() + 1);
        } else {
            ASSERT_EQ(messages_.size(), 1);
            EXPECT_TRUE(messages_[0].startsWith(QStringLiteral("登录未能记录")))
                << qPrintable(messages_[0]);
            EXPECT_EQ(stampAfter, stampBefore);
            EXPECT_EQ(rowsAfter, rowsBefore);
            EXPECT_TRUE(app.session.userUid.isEmpty());
        }
        messages_.clear();
    }
    DbSession::SetLockWaitLimitSeconds(previousLimit);
}

INSTANTIATE_TEST_SUITE_P(Engines, LoginTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(EngineName(info.param)); });

} // namespace

namespace {

// A SQLite account set with a damaged page: once anything has reported it, in this window or in
// the login itself, the login writes nothing into the file and says what to do.
TEST(DamagedAccountSetLogin, NothingIsRecordedAndTheBackupIsNamed) {
    const struct {
        const char* what;
        const char* damagedTable;
        bool reportedBefore; // another window's read found the damage first
    } cases[] = {
        {"the login's read finds it", "c_user", false},
        {"the login's write finds it", "log_client_login", false},
        {"another window found it", "log_client_login", true},
    };
    Application& app = Application::Instance();
    QStringList messages;
    const MessageSink previous = SetMessageSink([&](const AppMessageRequest& request) {
        messages.append(request.text);
        return MessageAnswer::Ok;
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QString why;
        const std::unique_ptr<TestAccountSet> set = TestAccountSet::Create(Engine::Sqlite, why);
        ASSERT_TRUE(set) << qPrintable(why);
        ChangeStartUp(app.session, [&](SessionContext::StartUp& facts) {
            facts.exeFolder = set->folder();
            facts.exeVersion = QStringLiteral("1.2.10.0");
        });
        app.session.SetStoredConnectionText(QString());
        ChangeUser(app.session, [](SessionContext::User& user) { user.userUid.clear(); });
        WriteCfg(app.CfgPath(), "SERVER", "NAME", ScrambleCfgText(set->connectionText(), 1));
        ASSERT_TRUE(DamageTablePage(set->sqliteFile(), QString::fromLatin1(c.damagedTable), why))
            << qPrintable(why);
        if (c.reportedBefore) {
            DbSession window;
            window.SetConnectionString(set->connectionText());
            ASSERT_TRUE(window.Open());
            QStringList rows;
            window.QueryList(QStringLiteral("SELECT * FROM log_client_login"), rows);
            ASSERT_TRUE(window.FileDamaged());
        }
        QFile file(set->sqliteFile());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        messages.clear();
        LoginDialog dialog;
        Press(dialog, "admin", "1");
        WaitForLogin(dialog);
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_TRUE(app.session.userUid.isEmpty());
        const QString expected =
            QStringLiteral("账套文件已损坏：%1，不能再写入。请用备份 %2AutoBackup/"
                           "account.dat.%3.bak 恢复后再使用。")
                .arg(set->sqliteFile(), set->folder(), QDate::currentDate().toString("yyyy-MM-dd"));
        EXPECT_TRUE(messages == QStringList{expected}) << qPrintable(messages.join('|'));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), before);
    }
    SetMessageSink(previous);
    app.session.SetStoredConnectionText(QString());
}

} // namespace

namespace {

// No account set can be reached: pressing the login button says what failed and how to fix it,
// within the connect time-out, while the dialog keeps running.
class UnreachableAccountSet : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        Application& app = Application::Instance();
        ChangeStartUp(app.session, [&](SessionContext::StartUp& facts) {
            facts.exeFolder = dir_.path() + QLatin1Char('/');
        });
        app.session.SetStoredConnectionText(QString());
        previousSink_ = SetMessageSink([this](const AppMessageRequest& request) {
            messages_.append(request.text);
            return MessageAnswer::Ok;
        });
        DbSession::SetConnectTimeoutSeconds(2);
    }
    void TearDown() override {
        SetMessageSink(previousSink_);
        DbSession::SetConnectTimeoutSeconds(15);
        Application::Instance().session.SetStoredConnectionText(QString());
    }
    // Makes cfg.ini hold only this [SERVER] NAME ("" leaves the file empty).
    void UseStoredName(const QString& name) {
        Application& app = Application::Instance();
        QFile cfg(app.CfgPath());
        ASSERT_TRUE(cfg.open(QIODevice::WriteOnly | QIODevice::Truncate));
        cfg.close();
        if (!name.isEmpty())
            WriteCfg(app.CfgPath(), "SERVER", "NAME", name);
        app.session.SetStoredConnectionText(QString());
    }

    QTemporaryDir dir_;
    QStringList messages_;
    MessageSink previousSink_;
};

TEST_F(UnreachableAccountSet, EachCauseIsNamedWithTheWayOut) {
    QTcpServer silent; // accepts connections and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    const QString missing = dir_.path() + "/gone.dat";
    auto server = [](quint16 port) {
        return ScrambleCfgText(
            PostgresConnectionText("127.0.0.1", QString::number(port), "vemo", "u", "p"), 1);
    };
    struct Case {
        const char* what;
        QString storedName;
        QString names; // the message names what failed
    };
    const Case cases[] = {
        {"empty cfg.ini", "", "cfg.ini"},
        {"damaged cfg.ini", "#(garbage)#", QStringLiteral("无法识别")},
        {"missing file", ScrambleCfgText(AccessConnectionText(missing), 1),
         QStringLiteral("账套文件不存在：") + missing},
        {"stopped server", server(closedPort), QStringLiteral("127.0.0.1:%1").arg(closedPort)},
        {"silent server", server(silent.serverPort()), QStringLiteral("超时")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UseStoredName(c.storedName);
        messages_.clear();
        LoginDialog dialog;
        QElapsedTimer elapsed;
        elapsed.start();
        Press(dialog, "admin", "1");
        // The press returns at once: the attempt runs beside the event loop.
        EXPECT_TRUE(dialog.LoginRunning());
        EXPECT_FALSE(dialog.findChild<QPushButton*>("loginButton")->isEnabled());
        EXPECT_EQ(dialog.findChild<QLabel*>("statusLabel")->text(),
                  QStringLiteral("正在连接账套…"));
        WaitForLogin(dialog);
        EXPECT_LT(elapsed.elapsed(), 10000);
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        ASSERT_EQ(messages_.size(), 1);
        EXPECT_TRUE(messages_[0].contains(c.names)) << qPrintable(messages_[0]);
        EXPECT_TRUE(messages_[0].contains(QStringLiteral("“设置”"))) << qPrintable(messages_[0]);
        WaitForLoader(dialog);
    }
}

TEST_F(UnreachableAccountSet, TypedUserNameOutlivesAFailedLoader) {
    UseStoredName(ScrambleCfgText(AccessConnectionText(dir_.path() + "/gone.dat"), 1));
    WriteCfg(Application::Instance().CfgPath(), "SERVER", "USER", "zhang");
    LoginDialog dialog;
    auto* box = dialog.findChild<QComboBox*>("userBox");
    EXPECT_EQ(box->currentText(), "zhang");
    box->setEditText("wang");
    WaitForLoader(dialog);
    ASSERT_TRUE(dialog.LoaderFinished());
    EXPECT_EQ(box->currentText(), "wang");
}

} // namespace

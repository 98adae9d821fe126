// A fair start-up reference for the client's login dialog: the same kinds of widgets in plain
// Qt (labels with Chinese text, an editable drop-down list, a password box, four buttons), the
// user list read from the same account set through QSQLITE with the client's query, on a worker
// thread started before the dialog shows, as the client does. With VEMO_EXIT_WHEN_SHOWN set it
// ends once the event loop runs with the dialog shown.
//
//   bench_login_reference ACCOUNT_SET                 the dialog
//   bench_login_reference ACCOUNT_SET --list-users    prints the users it would list (a check)
#include "ExitWhenShown.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QVBoxLayout>

#include <cstdio>

namespace {

// The client's user-list query (kLoginUserListSql).
const char kUserListSql[] = "SELECT id_0 FROM c_user WHERE state_0='正常' ORDER BY id_0";

bool LoadUsers(const QString& file, QStringList& users) {
    const QString name = QStringLiteral("users");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery query(db);
            query.setForwardOnly(true);
            ok = query.exec(QString::fromUtf8(kUserListSql));
            while (ok && query.next())
                users.append(query.value(0).toString());
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_login_reference ACCOUNT_SET [--list-users]\n");
        return 2;
    }
    const QString accountSet = args.at(1);
    if (args.contains(QStringLiteral("--list-users"))) {
        QStringList users;
        if (!LoadUsers(accountSet, users))
            return 1;
        for (const QString& user : users)
            std::printf("%s\n", user.toUtf8().constData());
        return 0;
    }

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Vemo软件"));
    dialog.setFixedSize(420, 300);
    auto* userBox = new QComboBox(&dialog);
    userBox->setEditable(true);
    auto* passwordEdit = new QLineEdit(&dialog);
    passwordEdit->setEchoMode(QLineEdit::Password);
    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("用户名："), &dialog), 0, 0, Qt::AlignRight);
    fields->addWidget(userBox, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("密　码："), &dialog), 1, 0, Qt::AlignRight);
    fields->addWidget(passwordEdit, 1, 1);
    auto* buttons = new QHBoxLayout;
    for (const char16_t* caption : {u"设 置", u"帮 助", u"登 录", u"关 闭"})
        buttons->addWidget(new QPushButton(QString::fromUtf16(caption), &dialog));
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(48, 120, 48, 22);
    layout->addLayout(fields);
    layout->addStretch();
    layout->addLayout(buttons);
    userBox->setFocus();

    QThread* loader = QThread::create([&dialog, userBox, accountSet] {
        QStringList users;
        if (LoadUsers(accountSet, users))
            QMetaObject::invokeMethod(
                &dialog,
                [userBox, users] {
                    userBox->addItem(QString());
                    userBox->addItems(users);
                },
                Qt::QueuedConnection);
    });
    loader->start();
    if (qEnvironmentVariableIsSet("VEMO_EXIT_WHEN_SHOWN"))
        dialog.installEventFilter(new bench::ExitWhenShown(&dialog));
    const int result = dialog.exec();
    loader->wait();
    delete loader;
    return result == QDialog::Accepted ? 0 : 1;
}

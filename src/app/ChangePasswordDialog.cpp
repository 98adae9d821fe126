#include "app/ChangePasswordDialog.h"

#include "app/Application.h"
#include "data/CfgScramble.h"
#include "platform/AppMessage.h"
#include "widgets/DrawnButton.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

ChangePasswordDialog::ChangePasswordDialog(QWidget* parent)
    : QDialog(parent), session_(DbSession::FromConfig) {
    setWindowTitle(QStringLiteral("修改登录密码"));
    auto password = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setEchoMode(QLineEdit::Password);
        edit->setMinimumWidth(200);
        return edit;
    };
    oldPassword_ = password("oldPassword");
    newPassword_ = password("newPassword");
    repeatPassword_ = password("repeatPassword");

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("旧密码:"), oldPassword_);
    fields->addRow(QStringLiteral("新密码:"), newPassword_);
    fields->addRow(QStringLiteral("确认新密码:"), repeatPassword_);
    auto* change = new DrawnButton(QStringLiteral("修改密码"), this);
    change->setObjectName(QStringLiteral("changeButton"));
    change->setDefault(true);
    auto* cancel = new DrawnButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(change);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(14);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(change, &QPushButton::clicked, this, &ChangePasswordDialog::OnChange);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ChangePasswordDialog::OnChange() {
    Application& app = Application::Instance();
    // Over this dialog, not at the screen's centre: the user is looking here.
    auto tell = [this](const QString& text) {
        ShowAppMessage(text, QStringLiteral("修改登录密码"), MessageButtons::Ok, this);
    };
    if (oldPassword_->text() != app.session.password) {
        tell(QStringLiteral("原密码错误！"));
        return;
    }
    const QString fresh = newPassword_->text();
    if (fresh.isEmpty()) {
        tell(QStringLiteral("密码不能设置为空！"));
        return;
    }
    if (fresh != repeatPassword_->text()) {
        tell(QStringLiteral("新密码两次输入不相同，请重新输入！"));
        return;
    }
    if (!session_.Open())
        return;
    const bool ok = session_.Execute(QStringLiteral("UPDATE c_user SET pass_0=? WHERE uid_0=?"),
                                     {ScrambleCfgText(fresh, 1), app.session.userUid.toLongLong()});
    session_.Close();
    if (!ok) {
        tell(QStringLiteral("修改失败"));
        return;
    }
    app.session.SetPassword(fresh);
    tell(QStringLiteral("修改成功"));
    accept();
}

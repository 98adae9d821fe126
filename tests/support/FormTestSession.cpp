#include "support/FormTestSession.h"
#include "app/CommandFamilies.h"

#include "app/Application.h"
#include "app/Login.h"
#include "commands/CommandTable.h"
#include "data/DbSession.h"

#include <QDialog>
#include <QPointer>

#include <gtest/gtest.h>

bool FormTestSession::Start(Engine engine, QString& why) {
    set_ = TestAccountSet::Create(engine, why);
    if (!set_)
        return false;
    Application& app = Application::Instance();
    UseAccountSetAsConfigured(*set_, app);
    previousSink_ = SetMessageSink([this](const AppMessageRequest& r) {
        messages.append(r.text);
        if (r.buttons == MessageButtons::Ok || answers.isEmpty())
            return MessageAnswer::Ok;
        return answers.takeFirst();
    });
    DbSession login(DbSession::FromConfig);
    const LoginResult result = AttemptLogin(login, app, "admin", "1");
    if (result != LoginResult::LoggedIn) {
        ADD_FAILURE() << "the administrator could not log in";
        why = QStringLiteral("login failed");
        return false;
    }
    RegisterAllCommands();
    return true;
}

void FormTestSession::Stop() {
    if (!set_)
        return;
    SetMessageSink(previousSink_);
    Application& app = Application::Instance();
    // A pop-up goes with the form that owns it, so each is deleted only while it still exists.
    QList<QPointer<QDialog>> forms;
    for (QDialog* form : app.forms.openForms.keys())
        forms.append(form);
    for (const QPointer<QDialog>& form : forms)
        delete form.data();
    app.forms.openForms.clear();
    set_.reset();
}

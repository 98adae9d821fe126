#pragma once
// What a test of forms and their commands starts from: a new account set the application is
// configured for, the administrator logged in, every command family registered, and the
// messages the forms show collected instead of shown. Stopping restores the message sink and
// deletes the forms opened meanwhile.
#include "platform/AppMessage.h"
#include "support/TestAccountSet.h"

#include <QList>
#include <QStringList>

#include <memory>

class FormTestSession {
public:
    ~FormTestSession() { Stop(); }

    // False, with `why`, when the engine is not available here (the test then skips); a login
    // that fails is also a test failure.
    bool Start(Engine engine, QString& why);
    void Stop();

    const TestAccountSet* Set() const { return set_.get(); }
    // The texts of the messages shown since the start, in order.
    QStringList messages;
    // How the user answers the next questions, in order; Ok once none is left.
    QList<MessageAnswer> answers;

private:
    std::unique_ptr<TestAccountSet> set_;
    MessageSink previousSink_;
};

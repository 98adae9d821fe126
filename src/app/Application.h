#pragma once
// The application object: the start-up and exit sequences of the client.
#include "data/SessionContext.h"
#include "form/FormRegistry.h"

// The client's start-up and exit. It also names the session's facts and the form registry, which
// live in the layers that use them (SessionContext, FormRegistry), so that the client's own code
// reaches them from one object.
class Application {
public:
    Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    static Application& Instance();

    SessionContext& session;
    FormRegistry& forms;

    QString CfgPath() const { return session.CfgPath(); }

    // Start-up: returns false when the process must end without running further.
    bool InitInstance();
    // Exit: closes open forms, empties the work folders.
    void ExitInstance();
};

// Exact file names the client may run under.
bool IsAcceptedExecutableName(const QString& fileName);
QString WrongExecutableNameMessage(const QString& fileName);

// Starts `program` (the running client's own file, whatever its accepted name) again in the exe
// folder and ends this process at once, without the exit sequence (used after new account-set
// settings were saved). When it cannot be started, says so and returns: the user is not left
// without a client.
void RestartProcess(const QString& program, const QString& exeFolder);

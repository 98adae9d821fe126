#pragma once
// The update worker: once per process, on a thread of its own, never awaited. It backs up a
// local-file account set once a day, reports the installation to the update server, installs a
// newer client (from the server, or one published into the account set) through the updater
// program, and merges newer function definitions into the account set.
#include "data/SessionContext.h"

#include <QString>

#include <functional>

struct UpdateRun {
    QString exeFolder;  // with a trailing "/"
    QString ownVersion; // "%d.%d.%d.%d"
    // One line per step taken (the admin tool prints them).
    std::function<void(const QString&)> log = [](const QString&) {};
    // What the worker found out about the session, as it finds it; the caller applies it to the
    // session's facts on its user-interface thread (the worker never writes them).
    std::function<void(const SessionContext::UpdateFindings&)> report =
        [](const SessionContext::UpdateFindings&) {};
};

// Runs every step in the calling thread; the client calls it on a worker thread.
void RunUpdateWorker(const SessionContext& app, const UpdateRun& run);

// Starts it on a thread of its own at start-up; nothing waits for it while the client runs. Its
// findings reach `app` through the user-interface thread's event loop.
void StartUpdateWorker(SessionContext& app);
// At exit: a worker still busy is waited for, so that it never runs into a closing process, and
// the findings it reported that the event loop has not applied yet are applied.
void FinishUpdateWorker();

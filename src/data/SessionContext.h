#pragma once
// The facts of the running client's session that every layer reads: the exe folder and version,
// the account set and its kind, the logged-in user, the globals A0..A9 and a few switches. One
// process-wide context (Current) is set by start-up, login and the update worker; code that
// works on facts of its own (a test, a fuzz target) may make a context of its own.
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

// A text that the update worker writes while the user-interface thread reads it.
class SharedText {
public:
    QString Get() const {
        std::lock_guard lock(mutex_);
        return value_;
    }
    void Set(const QString& value) {
        std::lock_guard lock(mutex_);
        value_ = value;
    }

private:
    mutable std::mutex mutex_;
    QString value_;
};

class SessionContext {
public:
    SessionContext();
    SessionContext(const SessionContext&) = delete;
    SessionContext& operator=(const SessionContext&) = delete;
    static SessionContext& Current();

    // --- Set at start-up ---
    QString exeFolder;  // with a trailing "/"
    QString exeVersion; // "%d.%d.%d.%d"
    bool closeForReal = false;
    std::int64_t startMinute = 0;

    // --- Written by the update worker and read everywhere ---
    SharedText exeName;
    SharedText dbKind; // "1" SQL Server, "2" local file, "3" other
    SharedText updateServer;
    SharedText appId;
    SharedText definitionsVersion;
    SharedText companyName;
    SharedText storedConnectionText; // scrambled, as read from cfg.ini NAME
    std::atomic<bool> updatePending{false};

    // --- The logged-in user ---
    QString userUid;
    QString loginId;
    QString userName;
    QString password;
    QString rights;
    QString loginTime;

    QString accountSetPath;
    std::array<QString, 10> globals; // A0 .. A9
    bool likeRewrite = false;

    QString CfgPath() const { return exeFolder + QStringLiteral("cfg.ini"); }
};

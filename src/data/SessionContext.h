#pragma once
// The facts of the running client's session that every layer reads: the exe folder and version,
// the account set and its kind, the logged-in user, the globals A0..A9 and a few switches. One
// process-wide context (Current) holds them; code that works on facts of its own (a test, a fuzz
// target) may make a context of its own.
//
// Each group of facts has one writer, named beside the method that writes it; everyone else reads
// them through the read-only views.
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

// A text that the update worker reads while the user-interface thread may write it.
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

    // --- Start-up: written by the client's start-up, or by a tool that runs as the client ---
    struct StartUp {
        QString exeFolder;  // with a trailing "/"
        QString exeVersion; // "%d.%d.%d.%d"
        bool closeForReal = false;
        QString exeName; // the program's name, when a start-up names it
    };
    // The start-up facts of a client in `exeFolder` (with its trailing "/"): its cfg.ini says
    // whether closing its forms closes them for real.
    static StartUp StartUpIn(const QString& exeFolder, const QString& exeVersion);
    void ApplyStartUp(const StartUp& facts);
    StartUp StartUpFacts() const {
        return {exeFolder_, exeVersion_, closeForReal_, exeName_.Get()};
    }
    // The minute the session started, for the time a form's log records (set at construction).
    void SetStartMinute(std::int64_t minute) { startMinute_ = minute; }
    const QString& exeFolder{exeFolder_};
    const QString& exeVersion{exeVersion_};
    const bool& closeForReal{closeForReal_};
    const std::int64_t& startMinute{startMinute_};
    const SharedText& exeName{exeName_};

    // --- The account set: written by the resolution of the connection text and the login ---
    void SetAccountSetKind(const QString& kind) { dbKind_.Set(kind); }
    void SetStoredConnectionText(const QString& text) { storedConnectionText_.Set(text); }
    void SetAccountSetPath(const QString& path) { accountSetPath_ = path; }
    // A local-file account set whose LIKE patterns are rewritten (set by the login).
    void SetLikeRewrite(bool on) { likeRewrite_ = on; }
    const SharedText& dbKind{dbKind_}; // "1" SQL Server, "2" local file, "3" other
    const SharedText& storedConnectionText{storedConnectionText_}; // scrambled, as in cfg.ini NAME
    const QString& accountSetPath{accountSetPath_};
    const bool& likeRewrite{likeRewrite_};

    // --- The update worker's findings: applied on the user-interface thread ---
    struct UpdateFindings {
        std::optional<QString> dbKind;
        std::optional<QString> appId;
        std::optional<QString> definitionsVersion;
        std::optional<QString> companyName;
        std::optional<QString> updateServer;
        bool updatePending = false; // new definitions wait in update/
    };
    void ApplyUpdateFindings(const UpdateFindings& findings);
    // The company's name as the main window's header query found it.
    void SetCompanyName(const QString& name) { companyName_.Set(name); }
    const SharedText& appId{appId_};
    const SharedText& definitionsVersion{definitionsVersion_};
    const SharedText& companyName{companyName_};
    const SharedText& updateServer{updateServer_};
    const std::atomic<bool>& updatePending{updatePending_};

    // --- The logged-in user: written by the login ---
    struct User {
        QString userUid;
        QString loginId;
        QString userName;
        QString password;
        QString rights;
        QString loginTime;
    };
    void ApplyLogin(const User& user) { user_ = user; }
    const User& LoggedInUser() const { return user_; }
    // The password the user changed to.
    void SetPassword(const QString& password) { user_.password = password; }
    const QString& userUid{user_.userUid};
    const QString& loginId{user_.loginId};
    const QString& userName{user_.userName};
    const QString& password{user_.password};
    const QString& rights{user_.rights};
    const QString& loginTime{user_.loginTime};

    // --- The globals A0..A9: written by the commands, through their form ---
    void SetGlobal(int slot, const QString& value);
    const std::array<QString, 10>& globals{globals_};

    QString CfgPath() const { return exeFolder_ + QStringLiteral("cfg.ini"); }

private:
    QString exeFolder_;
    QString exeVersion_;
    bool closeForReal_ = false;
    std::int64_t startMinute_ = 0;
    SharedText dbKind_;
    SharedText storedConnectionText_;
    QString accountSetPath_;
    bool likeRewrite_ = false;
    SharedText exeName_;
    SharedText appId_;
    SharedText definitionsVersion_;
    SharedText companyName_;
    SharedText updateServer_;
    std::atomic<bool> updatePending_{false};
    User user_;
    std::array<QString, 10> globals_;
};

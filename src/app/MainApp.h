#pragma once
// The application object: process-wide session data that every part of the client reads, the
// form-definition cache and the open-form registry, and the start-up and exit sequences.
#include <QDialog>
#include <QHash>
#include <QPointer>
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

// What the opener of a form window hands to it.
struct FormOpenHandOff {
    QString definition;
    QString disabledControls; // first opener value
    QString hiddenControls;   // second opener value
    QString menuUid;
    QString menuName;
    QString formType;
};

// Registry entry of an open (or hidden, re-usable) form window.
struct _ZvDlgData {
    QString menuUid;
    bool active = false;
    QPointer<QDialog> parentForm;
};

class CMainApp {
public:
    CMainApp();
    static CMainApp& Instance();

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
    FormOpenHandOff handOff;
    bool likeRewrite = false;

    // Form definitions by menu uid, flushed by the main window after some hours.
    QHash<QString, QString> formCache;
    std::int64_t formCacheFlushTick = 0;

    // Open form windows, hidden ones included, for re-use and for closing at exit.
    QHash<QDialog*, _ZvDlgData> openForms;
    // The main window while it exists; forms bring it to the front on a right click.
    QPointer<QWidget> mainWindow;

    QString CfgPath() const { return exeFolder + QStringLiteral("cfg.ini"); }

    // Start-up: returns false when the process must end without running further.
    bool InitInstance();
    // Exit: closes open forms, empties the work folders.
    void ExitInstance();
};

// Exact file names the client may run under.
bool IsAcceptedExecutableName(const QString& fileName);
QString WrongExecutableNameMessage(const QString& fileName);

// Starts the client again from the exe folder and ends this process at once, without the exit
// sequence (used after new account-set settings were saved).
[[noreturn]] void RestartProcess(const QString& exeFolder);

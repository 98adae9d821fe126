#pragma once
// The login dialog: the user list fills from the account set in the background while the user
// types; a login runs on a worker thread with its own session while the dialog shows how far it
// got; OK ends the dialog only after a successful login.
#include "app/Login.h"

#include <QDialog>
#include <QThread>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;
class DrawnButton;

class LoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoginDialog(QWidget* parent = nullptr);
    ~LoginDialog() override;

    // Opens the account-set settings; replaceable so tests need no nested modal dialog.
    void SetSettingsOpener(std::function<void(QWidget*)> opener) {
        settingsOpener_ = std::move(opener);
    }
    // True once the background loader has finished (the list is filled or left alone).
    bool LoaderFinished() const { return loaderFinished_; }
    // True while a login attempt's database work runs.
    bool LoginRunning() const { return loginThread_ != nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void StartLoader();
    void ApplyUserList(bool loaded, const QStringList& users);
    void OnLogin();
    void ShowStage(LoginStage stage);
    void FinishLogin(const LoginRequest& request, const LoginOutcome& outcome);
    void OnHelp();

    QString connection_; // resolved once from cfg.ini, as every window's session is
    QComboBox* userBox_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    DrawnButton* loginButton_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* waitHint_ = nullptr; // a login record that takes long is waiting on a lock
    QThread* loader_ = nullptr;
    QThread* loginThread_ = nullptr;
    bool loaderFinished_ = false;
    std::function<void(QWidget*)> settingsOpener_;
};

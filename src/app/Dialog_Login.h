#pragma once
// The login dialog: the user list fills from the account set in the background while the user
// types; OK ends the dialog only after a successful login.
#include "data/DbSession.h"

#include <QDialog>
#include <QThread>
#include <functional>

class QComboBox;
class QLineEdit;
class CZvButton;

class Dialog_Login : public QDialog {
    Q_OBJECT
public:
    explicit Dialog_Login(QWidget* parent = nullptr);
    ~Dialog_Login() override;

    // Opens the account-set settings; replaceable so tests need no nested modal dialog.
    void SetSettingsOpener(std::function<void(QWidget*)> opener) {
        settingsOpener_ = std::move(opener);
    }
    // True once the background loader has finished (the list is filled or left alone).
    bool LoaderFinished() const { return loaderFinished_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void StartLoader();
    void ApplyUserList(bool loaded, const QStringList& users);
    void OnLogin();
    void OnHelp();

    CDbSession session_;
    QComboBox* userBox_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    QThread* loader_ = nullptr;
    bool loaderFinished_ = false;
    std::function<void(QWidget*)> settingsOpener_;
};

#pragma once
// Changing the logged-in user's password.
#include "data/DbSession.h"

#include <QDialog>

class QLineEdit;

class ChangePasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit ChangePasswordDialog(QWidget* parent = nullptr);

private:
    void OnChange();

    DbSession session_;
    QLineEdit* oldPassword_ = nullptr;
    QLineEdit* newPassword_ = nullptr;
    QLineEdit* repeatPassword_ = nullptr;
};

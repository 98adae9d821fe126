#pragma once
// Changing the logged-in user's password.
#include "data/DbSession.h"

#include <QDialog>

class QLineEdit;

class Dialog_Change_Pass : public QDialog {
    Q_OBJECT
public:
    explicit Dialog_Change_Pass(QWidget* parent = nullptr);

private:
    void OnChange();

    CDbSession session_;
    QLineEdit* oldPassword_ = nullptr;
    QLineEdit* newPassword_ = nullptr;
    QLineEdit* repeatPassword_ = nullptr;
};

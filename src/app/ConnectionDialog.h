#pragma once
// The account-set settings dialog: shows the connection stored in cfg.ini [SERVER] and, after a
// successful test connection, stores a new one and restarts the client so that every session
// picks it up.
//
// The connection kind comes from DTYPE when the dialog opens: "1" SQL Server and "3" PostgreSQL
// show the server fields, "2" the account-set file. Anything else starts as SQL Server while
// showing the account-set file controls, as on a fresh install; choosing the file radio
// switches to the file kind.
#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class ConnectionDialog : public QDialog {
    Q_OBJECT
public:
    // Connection kinds as written to DTYPE.
    enum Mode { SqlServer = 1, AccountFile = 2, Postgres = 3 };

    // `cfgPath` empty: the client's own cfg.ini.
    explicit ConnectionDialog(QWidget* parent = nullptr, const QString& cfgPath = QString());

    // Replaces the file-open dialog of the browse button; returns the chosen path or "".
    void SetFileChooser(std::function<QString()> chooser) { chooser_ = std::move(chooser); }
    // Replaces the restart after a successful save (by default the process restarts and this
    // never returns).
    void SetRestart(std::function<void()> restart) { restart_ = std::move(restart); }

    int CurrentMode() const { return mode_; }
    const QString& CfgFilePath() const { return cfgPath_; }

    // "测试并保存": tests the entered connection and, when it opens, stores it and restarts.
    // Returns true when the settings were stored.
    bool TestAndSave();

private:
    void BuildWidgets();
    void LoadFromCfg();
    void ShowServerConnection(const QString& text);
    void UseServerKind(int mode);
    void UseAccountFileKind();
    void Browse();
    // The texts to test and to store for the current mode; false after telling the user what
    // is missing.
    bool ComposeTexts(QString& toTest, QString& toStore);
    // False with `why` set to what the user is told.
    bool CanOpen(const QString& connectionText, QString& why);
    void Notify(const QString& text);

    QString cfgPath_;
    int mode_ = SqlServer;
    std::function<QString()> chooser_;
    std::function<void()> restart_;

    QRadioButton* serverRadio_ = nullptr;
    QRadioButton* pgRadio_ = nullptr;
    QRadioButton* fileRadio_ = nullptr;
    QWidget* serverPanel_ = nullptr; // labels and fields of the server kinds
    QLineEdit* address_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* database_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QWidget* filePanel_ = nullptr; // path label, path field and browse button
    QLabel* pathLabel_ = nullptr;
    QLineEdit* path_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* close_ = nullptr;
};

#include "app/ConnectionDialog.h"

#include "app/Application.h"
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/ConnectionText.h"
#include "data/DbSession.h"
#include "data/EngineProfile.h"
#include "net/HttpClient.h"
#include "platform/AppMessage.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString kSection = QStringLiteral("SERVER");
const QString kSqlServerPrefix = QStringLiteral("driver={SQL Server};Server=");
const QString kPostgresMarker = QStringLiteral("DRIVER={PostgreSQL};DATABASE=");
const QString kAccessPrefix = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=");
const QString kJetPassword = QStringLiteral(";Jet OLEDB:Database Password=");

// Reads the pieces of a connection text in the order they are written in it.
class TextCursor {
public:
    explicit TextCursor(const QString& text) : text_(text) {}
    // Moves past the next `marker`; at the end when there is none.
    void SkipPast(const QString& marker) { Until(marker); }
    // The text up to the next `marker` (the rest when there is none), moving past it.
    QString Until(const QString& marker) {
        const qsizetype at = text_.indexOf(marker, pos_);
        const qsizetype end = at < 0 ? text_.size() : at;
        const QString piece = text_.mid(pos_, end - pos_);
        pos_ = at < 0 ? text_.size() : at + marker.size();
        return piece;
    }

private:
    const QString& text_;
    qsizetype pos_ = 0;
};

// The file path of a stored account-set file text: the prefix and the password clauses that
// any client version may have written are removed.
QString AccountFilePathOf(QString text) {
    text.remove(kAccessPrefix);
    for (const QString& password : {AccountSetFilePassword(QStringLiteral("a.db")),
                                    AccountSetFilePassword(QStringLiteral("a.dat")), QString()})
        text.remove(kJetPassword + password + QLatin1Char(';'));
    return text;
}

// The connection test and the HTTP look-ups block the window; say so with the cursor.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QLineEdit* NewField(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMinimumWidth(240);
    return edit;
}

} // namespace

ConnectionDialog::ConnectionDialog(QWidget* parent, const QString& cfgPath)
    : QDialog(parent), cfgPath_(cfgPath.isEmpty() ? Application::Instance().CfgPath() : cfgPath) {
    setObjectName(QStringLiteral("ConnectionDialog"));
    setWindowTitle(QStringLiteral("账套设置"));
    chooser_ = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("选择账套文件"),
                                            QFileInfo(path_->text()).absolutePath(),
                                            QStringLiteral("账套文件 (*.*)"));
    };
    restart_ = [] {
        RestartProcess(QCoreApplication::applicationFilePath(),
                       Application::Instance().session.exeFolder);
    };

    BuildWidgets();
    LoadFromCfg();

    // Connected after loading: the initial checks must not act as the user's choice.
    connect(serverRadio_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            UseServerKind(SqlServer);
    });
    connect(pgRadio_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            UseServerKind(Postgres);
    });
    connect(fileRadio_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            UseAccountFileKind();
    });
    connect(browse_, &QPushButton::clicked, this, &ConnectionDialog::Browse);
    connect(save_, &QPushButton::clicked, this, &ConnectionDialog::TestAndSave);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
}

void ConnectionDialog::BuildWidgets() {
    serverRadio_ = new QRadioButton(QStringLiteral("SQL Server数据库"), this);
    serverRadio_->setObjectName(QStringLiteral("serverRadio"));
    pgRadio_ = new QRadioButton(QStringLiteral("PostgreSQL数据库"), this);
    pgRadio_->setObjectName(QStringLiteral("pgRadio"));
    fileRadio_ = new QRadioButton(QStringLiteral("本地账套文件"), this);
    fileRadio_->setObjectName(QStringLiteral("fileRadio"));
    auto* kinds = new QButtonGroup(this);
    for (QRadioButton* radio : {serverRadio_, pgRadio_, fileRadio_})
        kinds->addButton(radio);

    address_ = NewField(this, "addressEdit");
    port_ = NewField(this, "portEdit");
    database_ = NewField(this, "databaseEdit");
    user_ = NewField(this, "userEdit");
    password_ = NewField(this, "passwordEdit");
    password_->setEchoMode(QLineEdit::Password);

    serverPanel_ = new QWidget(this);
    serverPanel_->setObjectName(QStringLiteral("serverPanel"));
    auto* grid = new QGridLayout(serverPanel_);
    grid->setContentsMargins(24, 4, 0, 4);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    const std::pair<const char*, QLineEdit*> rows[] = {
        {"服务器地址", address_}, {"端口", port_},     {"数据库", database_},
        {"用户", user_},          {"密码", password_},
    };
    int row = 0;
    for (const auto& [caption, field] : rows) {
        auto* label = new QLabel(QString::fromUtf8(caption) + QStringLiteral("："), serverPanel_);
        label->setBuddy(field);
        grid->addWidget(label, row, 0, Qt::AlignRight);
        field->setParent(serverPanel_);
        grid->addWidget(field, row, 1);
        ++row;
    }

    filePanel_ = new QWidget(this);
    filePanel_->setObjectName(QStringLiteral("filePanel"));
    pathLabel_ = new QLabel(QStringLiteral("账套文件："), filePanel_);
    pathLabel_->setObjectName(QStringLiteral("pathLabel"));
    path_ = NewField(filePanel_, "pathEdit");
    path_->setMinimumWidth(300);
    pathLabel_->setBuddy(path_);
    browse_ = new QPushButton(QStringLiteral("..."), filePanel_);
    browse_->setObjectName(QStringLiteral("browseButton"));
    browse_->setFixedWidth(36);
    auto* fileRow = new QHBoxLayout(filePanel_);
    fileRow->setContentsMargins(24, 4, 0, 4);
    fileRow->setSpacing(6);
    fileRow->addWidget(pathLabel_);
    fileRow->addWidget(path_, 1);
    fileRow->addWidget(browse_);

    save_ = new QPushButton(QStringLiteral("测试并保存"), this);
    save_->setObjectName(QStringLiteral("saveButton"));
    save_->setDefault(true);
    close_ = new QPushButton(QStringLiteral("取消"), this);
    close_->setObjectName(QStringLiteral("closeButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 14);
    layout->setSpacing(6);
    layout->addWidget(serverRadio_);
    layout->addWidget(pgRadio_);
    layout->addWidget(serverPanel_);
    layout->addWidget(fileRadio_);
    layout->addWidget(filePanel_);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    // The dialog fits whichever controls the kind shows.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // As on a fresh install: only the account-set file controls; the stored kind shows the
    // server ones instead.
    serverRadio_->hide();
    pgRadio_->hide();
    serverPanel_->hide();
}

void ConnectionDialog::LoadFromCfg() {
    const QString kind = ReadCfg(cfgPath_, kSection, QStringLiteral("DTYPE"));
    const QString text = UnscrambleCfgText(ReadCfg(cfgPath_, kSection, QStringLiteral("NAME")), 1);

    if (kind == QLatin1String("1") || kind == QLatin1String("3")) {
        mode_ = kind.toInt();
        serverRadio_->setText(QStringLiteral("填写相关参数"));
        port_->setText(QStringLiteral("80"));
        serverRadio_->setChecked(true);
        path_->setReadOnly(true);
        fileRadio_->hide();
        filePanel_->hide();
        serverRadio_->show();
        serverPanel_->show();
        ShowServerConnection(text);
        return;
    }
    if (kind == QLatin1String("2")) {
        mode_ = AccountFile;
        fileRadio_->setChecked(true);
        for (QLineEdit* field : {address_, port_, database_, user_, password_})
            field->setReadOnly(true);
        if (text.contains(kAccessPrefix))
            path_->setText(AccountFilePathOf(text));
        return;
    }
    // Missing, empty, "0" or an unknown kind: SQL Server until the file radio is chosen.
    mode_ = SqlServer;
    serverRadio_->setChecked(true);
}

// Fills address, port and database from the stored text; user and password are never shown.
// Addresses handed out by the update server's site are not shown either.
void ConnectionDialog::ShowServerConnection(const QString& text) {
    const QString service = ConnectionServiceAddress();
    QString address;
    if (text.contains(kSqlServerPrefix) && !text.contains(service)) {
        TextCursor cursor(text);
        cursor.SkipPast(kSqlServerPrefix);
        address = cursor.Until(QStringLiteral(","));
        port_->setText(cursor.Until(QStringLiteral(";DATABASE=")));
        database_->setText(cursor.Until(QStringLiteral(";UID=")));
    } else if (text.contains(kPostgresMarker) && !text.contains(service)) {
        TextCursor cursor(text);
        cursor.SkipPast(kPostgresMarker);
        database_->setText(cursor.Until(QStringLiteral(";SERVER=")));
        address = cursor.Until(QStringLiteral(";"));
        cursor.SkipPast(QStringLiteral("PORT="));
        port_->setText(cursor.Until(QStringLiteral(";")));
    }
    if (address == AddressLookupUrl() || text.contains(service)) {
        address = QStringLiteral("实例");
        port_->clear();
    }
    address_->setText(address);
}

void ConnectionDialog::UseServerKind(int mode) {
    mode_ = mode;
    for (QLineEdit* field : {address_, port_, database_, user_, password_})
        field->setReadOnly(false);
    path_->setReadOnly(true);
    browse_->hide();
}

void ConnectionDialog::UseAccountFileKind() {
    mode_ = AccountFile;
    for (QLineEdit* field : {address_, port_, database_, user_, password_})
        field->setReadOnly(true);
    path_->setReadOnly(false);
    browse_->show();
}

void ConnectionDialog::Browse() {
    const QString chosen = chooser_ ? chooser_() : QString();
    if (!chosen.isEmpty())
        path_->setText(chosen);
}

bool ConnectionDialog::ComposeTexts(QString& toTest, QString& toStore) {
    if (mode_ == AccountFile) {
        QString path = path_->text();
        if (path.isEmpty()) {
            Notify(QStringLiteral("请输入Access文件完整路径"));
            return false;
        }
        // The restarted client runs in its own folder; keep the file that was tested.
        if (QFileInfo(path).isRelative())
            path = QFileInfo(path).absoluteFilePath();
        toTest = toStore = AccessConnectionText(path);
        return true;
    }

    const QString address = address_->text();
    const QString port = port_->text();
    const QString database = database_->text();
    const QString user = user_->text();
    const QString password = password_->text();
    if (address.isEmpty() || port.isEmpty() || database.isEmpty() || user.isEmpty() ||
        password.isEmpty()) {
        Notify(QStringLiteral("请输入完整配置信息"));
        return false;
    }

    WaitCursor busy;
    if (address.contains(ConnectionServiceAddress())) {
        // Every start fetches the connection text from the service; the address is stored.
        toStore = address;
        toTest = UnscrambleCfgText(HttpGetText(address), 1);
        return true;
    }
    const bool lookedUp = address.indexOf(QLatin1Char('/'), 1) > 0;
    const QString testAddress = lookedUp ? HttpGetText(address) : address;
    const auto compose = mode_ == Postgres ? PostgresConnectionText : SqlServerConnectionText;
    toStore = compose(address, port, database, user, password);
    // A failed look-up must fail the test: an empty host would reach a local server instead.
    toTest =
        testAddress.isEmpty() ? QString() : compose(testAddress, port, database, user, password);
    return true;
}

bool ConnectionDialog::CanOpen(const QString& connectionText, QString& why) {
    why = QStringLiteral("不能连接服务器，请检查配置文件，修改正确后保存");
    // An empty text would make the session fall back to the connection the client runs on.
    if (connectionText.trimmed().isEmpty())
        return false;
    WaitCursor busy;
    DbSession session;
    session.SetConnectionString(connectionText);
    const bool opened = session.Open();
    session.Close();
    // A local file that is not there has nothing to do with a server: name it.
    const DriverConnection target = MapToDriver(connectionText);
    if (!opened && EngineProfile::Of(KindOfConnection(connectionText)).FileMissing(target))
        why = QStringLiteral("账套文件不存在：%1，请检查路径，修改正确后保存")
                  .arg(QDir::toNativeSeparators(target.databaseName));
    return opened;
}

bool ConnectionDialog::TestAndSave() {
    QString toTest;
    QString toStore;
    if (!ComposeTexts(toTest, toStore))
        return false;
    if (QString why; !CanOpen(toTest, why)) {
        Notify(why);
        return false;
    }

    const QString kindKey = QStringLiteral("DTYPE");
    const QString nameKey = QStringLiteral("NAME");
    const QString appKey = QStringLiteral("APPNAME");
    const QString oldKind = ReadCfg(cfgPath_, kSection, kindKey);
    const QString oldName = ReadCfg(cfgPath_, kSection, nameKey);
    const QString oldApp = ReadCfg(cfgPath_, kSection, appKey);

    const QString scrambled = ScrambleCfgText(toStore, 1);
    WriteCfg(cfgPath_, kSection, kindKey, QString::number(mode_));
    WriteCfg(cfgPath_, kSection, nameKey, scrambled);
    WriteCfg(cfgPath_, kSection, appKey, QString());

    // A text the file cannot hold (too long, not representable in the file's encoding, or a
    // file that cannot be written) would leave the client without a working connection after
    // the restart: put the previous settings back instead.
    if (ReadCfg(cfgPath_, kSection, nameKey) != scrambled) {
        WriteCfg(cfgPath_, kSection, kindKey, oldKind);
        WriteCfg(cfgPath_, kSection, nameKey, oldName);
        WriteCfg(cfgPath_, kSection, appKey, oldApp);
        Notify(QStringLiteral("保存失败，配置文件不能写入新的设置：%1").arg(cfgPath_));
        return false;
    }

    Notify(QStringLiteral("保存成功！软件将重新启动！"));
    if (restart_)
        restart_();
    accept();
    return true;
}

void ConnectionDialog::Notify(const QString& text) {
    ShowAppMessage(text, windowTitle());
}

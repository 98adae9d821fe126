#include "app/LoginDialog.h"

#include "app/Application.h"
#include "app/ConnectionDialog.h"
#include "app/HelpPage.h"
#include "data/CfgFile.h"
#include "data/ConnectionText.h"
#include "data/DbSession.h"
#include "net/UpdateSites.h"
#include "platform/AppMessage.h"
#include "platform/Clock.h"
#include "widgets/BackgroundDrag.h"
#include "widgets/DrawnButton.h"

#include <QCollator>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kBannerHeight = 96;

// Start-up measurement (VEMO_EXIT_WHEN_SHOWN set): the process ends with code 0 once the event
// loop runs with the dialog shown, so a benchmark times start-up from exec to exit.
class ExitWhenShown : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            QTimer::singleShot(0, [] {
                std::fflush(nullptr);
                std::_Exit(0);
            });
        return QObject::eventFilter(watched, event);
    }
};

// Loads the active users on its own session, retrying each step once after 500 ms.
bool LoadUsers(const QString& connectionText, QStringList& users) {
    DbSession session;
    auto open = [&] {
        session.SetConnectionString(connectionText);
        return session.Open();
    };
    if (!open()) {
        platform::SleepMs(500);
        if (!open())
            return false;
    }
    const QString sql = QString::fromUtf8(kLoginUserListSql);
    bool ok = session.QueryColumns(sql, {QStringLiteral("id_0")}, users);
    if (!ok && session.ResultCode() != 0) {
        platform::SleepMs(500);
        if (!session.IsOpen())
            open();
        ok = session.QueryColumns(sql, {QStringLiteral("id_0")}, users);
    }
    session.Close();
    return ok || session.ResultCode() == 0;
}

} // namespace

LoginDialog::LoginDialog(QWidget* parent)
    : QDialog(parent), connection_(ResolveSessionConnection(Application::Instance().CfgPath())) {
    Application& app = Application::Instance();
    setWindowTitle(QStringLiteral("Vemo软件"));
    setObjectName(QStringLiteral("LoginDialog"));
    setFixedSize(420, 300);
    // Dragging the body moves the window, as grabbing its caption would.
    new BackgroundDrag(this);

    userBox_ = new QComboBox(this);
    userBox_->setObjectName(QStringLiteral("userBox"));
    userBox_->setEditable(true);
    passwordEdit_ = new QLineEdit(this);
    passwordEdit_->setObjectName(QStringLiteral("passwordEdit"));
    passwordEdit_->setEchoMode(QLineEdit::Password);

    auto* settings = new DrawnButton(QStringLiteral("设 置"), this);
    settings->setObjectName(QStringLiteral("settingsButton"));
    settings->setToolTip(QStringLiteral("选择设置数据库"));
    auto* help = new DrawnButton(QStringLiteral("帮 助"), this);
    help->setObjectName(QStringLiteral("helpButton"));
    help->setToolTip(QStringLiteral("在线帮助：http://%1/help").arg(UpdateSiteHost()));
    auto* login = new DrawnButton(QStringLiteral("登 录"), this);
    login->setObjectName(QStringLiteral("loginButton"));
    login->setToolTip(QStringLiteral("用户登录系统"));
    login->setDefault(true);
    loginButton_ = login;
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusLabel"));
    status_->setAlignment(Qt::AlignCenter);
    waitHint_ = new QTimer(this);
    waitHint_->setSingleShot(true);
    waitHint_->setInterval(1000);
    connect(waitHint_, &QTimer::timeout, this, [this] {
        status_->setText(QStringLiteral("账套正被其他用户占用，正在等待（最多 %1 秒）…")
                             .arg(DbSession::LockWaitLimitSeconds()));
    });
    auto* close = new DrawnButton(QStringLiteral("关 闭"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setToolTip(QStringLiteral("关闭系统"));

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(12);
    fields->setVerticalSpacing(12);
    fields->addWidget(new QLabel(QStringLiteral("用户名："), this), 0, 0, Qt::AlignRight);
    fields->addWidget(userBox_, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("密　码："), this), 1, 0, Qt::AlignRight);
    fields->addWidget(passwordEdit_, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    for (DrawnButton* b : {settings, help, login, close})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(48, kBannerHeight + 24, 48, 22);
    layout->addLayout(fields);
    layout->addStretch();
    layout->addWidget(status_);
    layout->addLayout(buttons);

    connect(login, &QPushButton::clicked, this, &LoginDialog::OnLogin);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, &LoginDialog::OnHelp);
    settingsOpener_ = [](QWidget* owner) {
        ConnectionDialog settingsDialog(owner);
        settingsDialog.exec(); // a successful save restarts the client from inside
    };
    connect(settings, &QPushButton::clicked, this, [this] {
        if (settingsOpener_)
            settingsOpener_(this);
    });

    const QString cfg = app.CfgPath();
    ApplyLikeRewriteSetting(app);
    // The last user shows at once; the loader only adds the list beside it.
    userBox_->setEditText(ReadCfg(cfg, QStringLiteral("SERVER"), QStringLiteral("USER")));
    if (qEnvironmentVariableIsSet("VEMO_EXIT_WHEN_SHOWN"))
        installEventFilter(new ExitWhenShown(this));
    StartLoader();
}

LoginDialog::~LoginDialog() {
    // Both workers end on their own: connecting and lock waits are bounded.
    for (QThread* worker : {loader_, loginThread_}) {
        if (worker) {
            worker->wait();
            delete worker;
        }
    }
}

void LoginDialog::StartLoader() {
    // The connection is resolved here, on the interface thread, because it also sets the
    // application's account-set path.
    const QString connection = ResolveLoginConnection(Application::Instance().CfgPath());
    loader_ = QThread::create([this, connection] {
        QStringList users;
        const bool loaded = LoadUsers(connection, users);
        QMetaObject::invokeMethod(
            this, [this, loaded, users] { ApplyUserList(loaded, users); }, Qt::QueuedConnection);
    });
    loader_->start();
}

void LoginDialog::ApplyUserList(bool loaded, const QStringList& users) {
    loaderFinished_ = true;
    // Only a box that does not hold a list yet is filled, and what the user typed or chose
    // meanwhile stays as it is.
    if (!loaded || userBox_->count() >= 2)
        return;
    QLineEdit* edit = userBox_->lineEdit();
    const QString typed = edit->text();
    const int cursor = edit->cursorPosition();
    {
        const QSignalBlocker quiet(userBox_);
        userBox_->clear();
        userBox_->addItem(QString());
        // A sorted list in the user's order of names, capitals or not.
        QStringList sorted = users;
        QCollator order;
        order.setCaseSensitivity(Qt::CaseInsensitive);
        std::sort(sorted.begin(), sorted.end(), order);
        userBox_->addItems(sorted);
        userBox_->setCurrentIndex(std::max(0, userBox_->findText(typed, Qt::MatchExactly)));
        userBox_->setEditText(typed);
    }
    edit->setCursorPosition(cursor);
}

void LoginDialog::OnLogin() {
    if (loginThread_)
        return;
    const LoginRequest request{userBox_->currentText(), passwordEdit_->text(),
                               Application::Instance().session.exeVersion};
    if (const LoginResult input = CheckLoginInput(request.loginId, request.password);
        input != LoginResult::LoggedIn) {
        LoginOutcome refused;
        refused.result = input;
        refused.message = LoginMessage(input);
        FinishLogin(request, refused);
        return;
    }
    loginButton_->setEnabled(false);
    ShowStage(LoginStage::Connecting);
    // A Qt SQL connection belongs to the thread that opened it, so the worker has its own
    // session; results come back as queued calls and are applied here.
    const QString connection = connection_;
    loginThread_ = QThread::create([this, request, connection] {
        DbSession session;
        session.SetConnectionString(connection);
        const LoginOutcome outcome = RunLogin(session, request, [this](LoginStage stage) {
            QMetaObject::invokeMethod(
                this, [this, stage] { ShowStage(stage); }, Qt::QueuedConnection);
        });
        QMetaObject::invokeMethod(
            this, [this, request, outcome] { FinishLogin(request, outcome); },
            Qt::QueuedConnection);
    });
    loginThread_->start();
}

void LoginDialog::ShowStage(LoginStage stage) {
    waitHint_->stop();
    switch (stage) {
    case LoginStage::Connecting:
        status_->setText(QStringLiteral("正在连接账套…"));
        break;
    case LoginStage::CheckingUser:
        status_->setText(QStringLiteral("正在核对用户…"));
        break;
    case LoginStage::Recording:
        status_->setText(QStringLiteral("正在记录登录…"));
        waitHint_->start();
        break;
    }
}

void LoginDialog::FinishLogin(const LoginRequest& request, const LoginOutcome& outcome) {
    if (loginThread_) {
        loginThread_->wait();
        delete loginThread_;
        loginThread_ = nullptr;
    }
    waitHint_->stop();
    status_->clear();
    loginButton_->setEnabled(true);
    ApplyLogin(Application::Instance(), request, outcome);
    if (outcome.result == LoginResult::LoggedIn) {
        accept();
        return;
    }
    if (!outcome.message.isEmpty())
        ShowAppMessage(outcome.message, QStringLiteral("Vemo软件"));
    if (outcome.result == LoginResult::WrongCredentials ||
        outcome.result == LoginResult::EmptyPassword)
        passwordEdit_->setFocus();
}

void LoginDialog::OnHelp() {
    OpenHelpPage(QStringLiteral("login"), this);
}

void LoginDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0xF0, 0xF0, 0xF0));

    // Our own banner: a deep-blue band with the product's name and a light arc.
    const QRect banner(0, 0, width(), kBannerHeight);
    QLinearGradient band(banner.topLeft(), banner.bottomRight());
    band.setColorAt(0, QColor(0x0B, 0x4F, 0x9C));
    band.setColorAt(1, QColor(0x1C, 0x8C, 0xD8));
    p.fillRect(banner, band);
    QPainterPath arc;
    arc.moveTo(width() * 0.45, kBannerHeight);
    arc.cubicTo(width() * 0.65, kBannerHeight * 0.3, width() * 0.85, kBannerHeight * 0.2, width(),
                kBannerHeight * 0.35);
    arc.lineTo(width(), kBannerHeight);
    arc.closeSubpath();
    p.fillPath(arc, QColor(255, 255, 255, 38));
    QFont title = font();
    title.setPixelSize(30);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(28, 14, width() - 56, 42), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Vemo"));
    QFont subtitle = font();
    subtitle.setPixelSize(15);
    p.setFont(subtitle);
    p.setPen(QColor(0xDC, 0xEE, 0xFF));
    p.drawText(QRect(30, 56, width() - 60, 26), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("企业管理系统 · 用户登录"));

    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(0x00, 0xCC, 0xFF));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

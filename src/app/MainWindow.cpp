#include "app/MainWindow.h"

#include "app/Application.h"
#include "app/ChangePasswordDialog.h"
#include "app/ClientUpdate.h"
#include "app/Favourites.h"
#include "app/HelpPage.h"
#include "app/NavigationTree.h"
#include "app/OpenBusinessFunction.h"
#include "data/CfgFile.h"
#include "platform/AppMessage.h"
#include "platform/GlobalHotKey.h"
#include "widgets/BackgroundDrag.h"
#include "widgets/ImageButton.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTreeWidget>

#include <cmath>
#include <functional>
#include <thread>

namespace {

// Calls `act` on every left double click in a tree's viewport, on an item or not.
class TreeDoubleClick : public QObject {
public:
    TreeDoubleClick(QObject* parent, std::function<void()> act)
        : QObject(parent), act_(std::move(act)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            act_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> act_;
};

const QColor kHeadColour(0xF0, 0xF0, 0xF0);
const QColor kBandColour(0xFF, 0xEA, 0xD6);
constexpr int kHeadHeight = 50;
constexpr int kBandBottom = 76;
constexpr int kTreeTop = 80;
constexpr int kFooterHeight = 30;

// --- The window's images, drawn here rather than shipped as files ---

template <typename Draw> QPixmap DrawnImage(int side, Draw draw) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return pixmap;
}

QPixmap RefreshImage() {
    return DrawnImage(24, [](QPainter& p) {
        const QColor ink(0x2E, 0x8B, 0x57);
        p.setPen(QPen(ink, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(4, 4, 16, 16), 60 * 16, 290 * 16);
        // Arrow head at the arc's open end, pointing along the turn.
        QPainterPath head;
        head.moveTo(13.5, 1.0);
        head.lineTo(19.5, 4.6);
        head.lineTo(13.2, 8.4);
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPath(head);
    });
}

QPixmap PasswordImage() {
    return DrawnImage(24, [](QPainter& p) {
        const QColor ink(0xB8, 0x86, 0x0B);
        p.setPen(QPen(ink, 1.4));
        p.setBrush(QColor(0xF4, 0xC4, 0x30));
        p.drawEllipse(QRectF(2.5, 2.5, 10, 10));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(5.5, 5.5, 3.2, 3.2));
        p.setPen(QPen(ink, 3.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11.5, 11.5), QPointF(20.5, 20.5));
        p.setPen(QPen(ink, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(16.5, 16.5), QPointF(19.0, 14.0));
        p.drawLine(QPointF(19.5, 19.5), QPointF(22.0, 17.0));
    });
}

QPixmap UpdateImage() {
    return DrawnImage(24, [](QPainter& p) {
        const QColor ink(0x2B, 0x6C, 0xC4);
        p.setPen(QPen(ink, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(12, 3), QPointF(12, 14));
        p.drawPolyline(QPolygonF({QPointF(7, 10), QPointF(12, 15), QPointF(17, 10)}));
        p.drawPolyline(
            QPolygonF({QPointF(4, 15), QPointF(4, 20.5), QPointF(20, 20.5), QPointF(20, 15)}));
    });
}

QPixmap HelpImage() {
    return DrawnImage(24, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x3C, 0x7C, 0xC8));
        p.drawEllipse(QRectF(2, 2, 20, 20));
        QFont mark;
        mark.setPixelSize(15);
        mark.setBold(true);
        p.setFont(mark);
        p.setPen(Qt::white);
        p.drawText(QRectF(2, 2, 20, 20), Qt::AlignCenter, QStringLiteral("?"));
    });
}

QPixmap NavigationImage(bool active) {
    return DrawnImage(16, [active](QPainter& p) {
        const QColor ink = active ? QColor(0xC0, 0x56, 0x1A) : QColor(0x8A, 0x8A, 0x8A);
        p.setPen(QPen(ink, 1.2));
        p.drawLine(QPointF(4, 5), QPointF(4, 12.5));
        p.drawLine(QPointF(4, 8.5), QPointF(8, 8.5));
        p.drawLine(QPointF(4, 12.5), QPointF(8, 12.5));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRect(QRectF(1.5, 1.5, 6, 3.5));
        p.drawRect(QRectF(8, 7, 6.5, 3));
        p.drawRect(QRectF(8, 11, 6.5, 3));
    });
}

QPixmap FavouritesImage(bool active) {
    return DrawnImage(16, [active](QPainter& p) {
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const double radius = i % 2 ? 3.0 : 7.0;
            const double angle = (-90.0 + i * 36.0) * 3.14159265358979 / 180.0;
            star << QPointF(8 + radius * std::cos(angle), 8.5 + radius * std::sin(angle));
        }
        p.setPen(QPen(active ? QColor(0xC0, 0x7A, 0x00) : QColor(0x8A, 0x8A, 0x8A), 1.0));
        p.setBrush(active ? QColor(0xF5, 0xB3, 0x1B) : Qt::white);
        p.drawPolygon(star);
    });
}

// One of the two view buttons on the band: the active one stands out as a white tab.
class ViewButton : public ImageButton {
public:
    ViewButton(const QString& text, QPixmap active, QPixmap inactive, QWidget* parent)
        : ImageButton(text, parent), active_(std::move(active)), inactive_(std::move(inactive)) {
        setCheckable(true);
        SetPicture(inactive_);
    }
    void SetActive(bool active) {
        setChecked(active);
        SetPicture(active ? active_ : inactive_);
        SetTextColor(active ? QColor(0x7A, 0x33, 0x0A) : QColor(0x55, 0x55, 0x55));
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (isChecked()) {
            QPainter p(this);
            p.setRenderHint(QPainter::Antialiasing);
            QPainterPath tab;
            tab.addRoundedRect(QRectF(rect()).adjusted(0.5, 3.5, -0.5, 4), 4, 4);
            p.fillPath(tab, Qt::white);
            p.setPen(QColor(0xE8, 0xC2, 0x9E));
            p.drawPath(tab);
        }
        ImageButton::paintEvent(event);
    }

private:
    QPixmap active_;
    QPixmap inactive_;
};

QTreeWidgetItem* SelectedEntry(const QTreeWidget* tree) {
    const QList<QTreeWidgetItem*> selected = tree->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

// The view chosen last is kept for each user of the machine: a clerk who logs in after another
// user opens on their own view, not on the other user's.
QString ViewKey() {
    return QStringLiteral("DHBTN_") + Application::Instance().session.userUid;
}

} // namespace

QIcon ApplicationIcon() {
    QIcon icon;
    for (int side : {16, 32, 64}) {
        icon.addPixmap(DrawnImage(side, [side](QPainter& p) {
            p.scale(side / 64.0, side / 64.0);
            QLinearGradient face(0, 0, 64, 64);
            face.setColorAt(0, QColor(0x0B, 0x4F, 0x9C));
            face.setColorAt(1, QColor(0x1C, 0x8C, 0xD8));
            p.setPen(Qt::NoPen);
            p.setBrush(face);
            p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
            p.setPen(QPen(Qt::white, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(16, 16), QPointF(32, 48), QPointF(48, 16)}));
        }));
    }
    return icon;
}

MainWindow::MainWindow(QWidget* parent) : QDialog(parent), session_(DbSession::FromConfig) {
    Application& app = Application::Instance();
    app.forms.mainWindow = this;
    setObjectName(QStringLiteral("MainWindow"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Vemo软件"));
    setWindowIcon(ApplicationIcon());
    // Dragging the body moves the window, as grabbing its caption would.
    new BackgroundDrag(this);
    footer_ = QStringLiteral("当前用户：") + app.session.userName;

    hotKey_ = new platform::GlobalHotKey(this);
    if (hotKey_->Register(Qt::ControlModifier | Qt::AltModifier, Qt::Key_F11))
        connect(hotKey_, &platform::GlobalHotKey::Activated, this, &MainWindow::BringToFront);

    PlaceOnScreen();
    CreateButtons();

    auto menu = [this](const char* name, std::initializer_list<std::pair<QString, int>> items) {
        auto* built = new QMenu(this);
        built->setObjectName(QLatin1String(name));
        for (const auto& [text, command] : items) {
            QAction* action = built->addAction(text);
            action->setData(command);
            connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
        }
        return built;
    };
    navigationMenu_ = menu("navigationMenu", {{QStringLiteral("打开"), kOpenNavigationEntry},
                                              {QStringLiteral("添加到收藏夹"), kAddFavourite}});
    favouritesMenu_ =
        menu("favouritesMenu", {{QStringLiteral("打开"), kOpenFavourite},
                                {QStringLiteral("从收藏夹中删除"), kRemoveFavourite}});
    navigation_ = CreateTree("navigationTree", navigationMenu_, kOpenNavigationEntry);
    favourites_ = CreateTree("favouritesTree", favouritesMenu_, kOpenFavourite);

    RefreshNavigation();
    LayOut();
    StartHeaderWorker();
    ShowView(ReadCfg(app.CfgPath(), QStringLiteral("SERVER"), ViewKey()) == QLatin1String("2"));
}

MainWindow::~MainWindow() {
    if (headerWorker_) {
        headerWorker_->wait();
        delete headerWorker_;
    }
}

void MainWindow::PlaceOnScreen() {
    setMinimumSize(260, 400);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    move(area.x() + area.width() - 325, area.y() + 50);
    resize(305, area.height() - 250);
}

void MainWindow::CreateButtons() {
    const Application& app = Application::Instance();
    struct Tool {
        int command;
        const char* name;
        QPixmap image;
        QString tip;
    };
    const QString updateTip =
        app.session.userUid == QLatin1String(kAdministratorUid)
            ? QStringLiteral("下载新版本,并发布新版本,\n用于其它用户更新到该版本！")
            : QStringLiteral("下载升级最新版客户端！");
    const Tool tools[] = {
        {kRefresh, "refreshButton", RefreshImage(), QStringLiteral("刷新功能导航")},
        {kChangePassword, "passwordButton", PasswordImage(), QStringLiteral("修改登录密码")},
        {kClientUpdate, "updateButton", UpdateImage(), updateTip},
        {kHelp, "helpButton", HelpImage(), QStringLiteral("在线帮助")},
    };
    int x = 10;
    for (const Tool& tool : tools) {
        auto* button = new ImageButton(QString(), this);
        button->setObjectName(QLatin1String(tool.name));
        button->SetPicture(tool.image);
        button->setToolTip(tool.tip);
        // Tool buttons leave the keyboard to the trees, as a tool bar does.
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        button->setGeometry(x, 6, 40, 36);
        const int command = tool.command;
        connect(button, &QPushButton::clicked, this, [this, command] { OnCommand(command); });
        x += 45;
    }

    auto view = [this](const char* name, const QString& text, QPixmap active, QPixmap inactive,
                       const QString& tip, int left, int command) {
        auto* button = new ViewButton(text, std::move(active), std::move(inactive), this);
        button->setObjectName(QLatin1String(name));
        button->setToolTip(tip);
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        button->setGeometry(left, kHeadHeight, 120, kBandBottom - kHeadHeight);
        connect(button, &QPushButton::clicked, this, [this, command] { OnCommand(command); });
        return button;
    };
    navigationButton_ =
        view("navigationViewButton", QStringLiteral("我的导航"), NavigationImage(true),
             NavigationImage(false), QStringLiteral("显示树形导航"), 0, kNavigationView);
    favouritesButton_ =
        view("favouritesViewButton", QStringLiteral("我的收藏夹"), FavouritesImage(true),
             FavouritesImage(false), QStringLiteral("显示我的收藏夹"), 125, kFavouritesView);
}

QTreeWidget* MainWindow::CreateTree(const char* name, QMenu* menu, int openCommand) {
    auto* tree = new QTreeWidget(this);
    tree->setObjectName(QLatin1String(name));
    PrepareMenuTree(tree);
    tree->setFrameShape(QFrame::NoFrame);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree, &QWidget::customContextMenuRequested, this,
            [this, tree, menu](const QPoint& position) { ShowContextMenu(tree, menu, position); });
    // A double click anywhere in the tree opens the selected entry. Opening is posted, so the
    // tree finishes its own double-click handling first.
    tree->viewport()->installEventFilter(new TreeDoubleClick(tree->viewport(), [this, openCommand] {
        QMetaObject::invokeMethod(
            this, [this, openCommand] { OnCommand(openCommand); }, Qt::QueuedConnection);
    }));
    return tree;
}

void MainWindow::LayOut() {
    if (!navigation_ || !favourites_)
        return;
    const QRect place(0, kTreeTop, width(), qMax(0, height() - kTreeTop - kFooterHeight));
    navigation_->setGeometry(place);
    favourites_->setGeometry(place);
}

void MainWindow::OnCommand(int command) {
    switch (command) {
    case kRefresh:
        RefreshNavigation();
        break;
    case kChangePassword: {
        ChangePasswordDialog dialog(this);
        dialog.exec();
        break;
    }
    case kClientUpdate: {
        Application& app = Application::Instance();
        // A large client on a slow link takes its time: the window stays painted meanwhile and
        // takes no input.
        int started = 0;
        QString problem;
        setEnabled(false);
        QEventLoop loop;
        std::thread download([&] {
            started = DownloadClient(app.CfgPath(), app.session.exeFolder, app.session.exeVersion,
                                     problem);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        download.join();
        setEnabled(true);
        if (started != 0)
            break;
        if (!problem.isEmpty()) {
            ShowAppMessage(problem);
            break;
        }
        if (app.session.userUid == QLatin1String(kAdministratorUid))
            PublishClient(app.session.exeFolder, QCoreApplication::applicationFilePath(),
                          app.session.exeVersion);
        else
            ShowAppMessage(QStringLiteral("已经是最新版。"));
        break;
    }
    case kNavigationView:
    case kFavouritesView: {
        const bool favourites = command == kFavouritesView;
        WriteCfg(Application::Instance().CfgPath(), QStringLiteral("SERVER"), ViewKey(),
                 favourites ? QStringLiteral("2") : QStringLiteral("1"));
        ShowView(favourites);
        break;
    }
    case kHelp:
        OpenHelpPage(QStringLiteral("dh"), this);
        break;
    case kOpenNavigationEntry:
        OpenSelected(navigation_);
        break;
    case kOpenFavourite:
        OpenSelected(favourites_);
        break;
    case kAddFavourite:
        ChangeFavourites(true);
        break;
    case kRemoveFavourite:
        ChangeFavourites(false);
        break;
    default:
        break;
    }
}

void MainWindow::RefreshNavigation() {
    Application& app = Application::Instance();
    if (!session_.Open())
        return;
    const QString kind = app.session.dbKind.Get();
    LoadMenuTree(session_, navigation_, MenuTree::Navigation, kind, app.session.userUid);
    if (navigation_->topLevelItemCount() > 0)
        navigation_->setCurrentItem(navigation_->topLevelItem(0));
    LoadMenuTree(session_, favourites_, MenuTree::Favourites, kind, app.session.userUid);
    session_.Close();
    favourites_->expandAll();
}

void MainWindow::ShowView(bool favourites) {
    favouritesShown_ = favourites;
    navigation_->setVisible(!favourites);
    favourites_->setVisible(favourites);
    static_cast<ViewButton*>(navigationButton_)->SetActive(!favourites);
    static_cast<ViewButton*>(favouritesButton_)->SetActive(favourites);
    (favourites ? favourites_ : navigation_)->setFocus();
}

void MainWindow::OpenSelected(QTreeWidget* tree) {
    const QTreeWidgetItem* entry = SelectedEntry(tree);
    // Only business functions open; a folder, even one whose entries the group may not see,
    // has no form.
    if (!entry || entry->childCount() > 0 || !entry->data(0, kMenuLeafRole).toBool())
        return;
    OpenBusinessFunction(Application::Instance(),
                         QString::number(entry->data(0, kMenuUidRole).toInt()), entry->text(0));
}

void MainWindow::ChangeFavourites(bool add) {
    const QTreeWidgetItem* entry = SelectedEntry(add ? navigation_ : favourites_);
    if (!entry)
        return;
    const QString uid = QString::number(entry->data(0, kMenuUidRole).toInt());
    Application& app = Application::Instance();
    if (!session_.Open())
        return;
    QString stored;
    // Without the stored list nothing is written: a list rebuilt from nothing would drop the
    // user's other favourites.
    if (!session_.QueryValue(QStringLiteral("SELECT auth1_0 FROM c_user WHERE uid_0=?"),
                             {app.session.userUid.toLongLong()}, stored)) {
        session_.Close();
        return;
    }
    const QString updated = add ? AddFavourite(stored, uid) : RemoveFavourite(stored, uid);
    if (!session_.Execute(QStringLiteral("UPDATE c_user SET auth1_0=? WHERE uid_0=?"),
                          {updated, app.session.userUid.toLongLong()})) {
        const QString message = session_.Message();
        session_.Close();
        ShowAppMessage(message);
        return;
    }
    LoadMenuTree(session_, favourites_, MenuTree::Favourites, app.session.dbKind.Get(),
                 app.session.userUid);
    session_.Close();
    favourites_->expandAll();
}

void MainWindow::ShowContextMenu(QTreeWidget* tree, QMenu* menu, const QPoint& position) {
    // The item under the pointer becomes the selected one; on blank space the menu still comes
    // and acts on the selection there is.
    if (QTreeWidgetItem* item = tree->itemAt(position))
        tree->setCurrentItem(item);
    menu->popup(tree->viewport()->mapToGlobal(position));
}

void MainWindow::BringToFront() {
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::StartHeaderWorker() {
    headerWorker_ = QThread::create([this] {
        QThread::msleep(100);
        bool found = false;
        QString company;
        {
            // A connection belongs to the thread that opened it: this one is the worker's own.
            DbSession session;
            if (session.Open())
                found = session.QueryValue(
                    QStringLiteral("SELECT company_0 FROM c_app WHERE uid_0=1"), company);
            session.Close();
        }
        QMetaObject::invokeMethod(
            this, [this, found, company] { ApplyHeader(found, company); }, Qt::QueuedConnection);
    });
    headerWorker_->start();
}

void MainWindow::ApplyHeader(bool found, const QString& company) {
    headerLoaded_ = true;
    if (!found)
        return;
    Application::Instance().session.SetCompanyName(company);
    const QString name = company.trimmed();
    if (!name.isEmpty())
        setWindowTitle(QStringLiteral("Vemo软件 - ") + name);
}

int MainWindow::RunUntilClosed() {
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::DialogExec);
    return result();
}

void MainWindow::reject() {
    const QString caption = QStringLiteral("当前用户：") + Application::Instance().session.userName;
    if (ShowAppMessage(QStringLiteral("是否确认退出系统？"), caption, MessageButtons::YesNo) ==
        MessageAnswer::Yes)
        QDialog::reject();
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.fillRect(0, 0, width(), kHeadHeight, kHeadColour);
    p.fillRect(0, kHeadHeight, width(), kBandBottom - kHeadHeight, kBandColour);
    p.setPen(QColor(0xDD, 0xDD, 0xDD));
    p.drawLine(0, height() - kFooterHeight, width(), height() - kFooterHeight);
    p.setPen(QColor(0x66, 0x66, 0x66));
    const QRect footer(10, height() - kFooterHeight, width() - 20, kFooterHeight);
    p.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter,
               fontMetrics().elidedText(footer_, Qt::ElideRight, footer.width()));
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayOut();
}

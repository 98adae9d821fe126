// The main window on real account sets: which entries each user sees and where, favourites kept
// in c_user.auth1_0, the view remembered in cfg.ini, opening business functions, the help page
// and leaving.
#include "app/Application.h"
#include "app/Favourites.h"
#include "app/HelpPage.h"
#include "app/Login.h"
#include "app/LoginDialog.h"
#include "app/MainWindow.h"
#include "app/NavigationTree.h"
#include "data/CfgFile.h"
#include "form/DefinitionCodec.h"
#include "platform/AppMessage.h"
#include "platform/GlobalHotKey.h"
#include "platform/ShellOpen.h"
#include "support/SessionFacts.h"
#include "support/TestAccountSet.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>

#include <gtest/gtest.h>

// Failures show the texts, not their bytes.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
static void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << '[' << texts.join(QStringLiteral(" | ")).toStdString() << ']';
}

namespace {

// Menu entries: two folders with functions, and a function whose parent (99) does not exist.
// The clerk's group may see 10, 11 and 20.
const char kMenus[] =
    "INSERT INTO c_menu_dh (uid_0, pUid_0, leaf_0, name_0, level_0, order_0) VALUES "
    "(10, 0, 0, '采购管理', 1, 1), (11, 10, 1, '采购合同', 2, 1), (12, 10, 1, '采购入库', 2, 2),"
    "(20, 0, 0, '库存管理', 1, 2), (21, 20, 1, '库存查询', 2, 1), (30, 99, 1, '盘点', 2, 3)";
const char kClerk[] = "INSERT INTO c_user_group (uid_0, name_0, auth_0) VALUES (2, '店员', "
                      "'10,11,20');"
                      "INSERT INTO c_user (uid_0, id_0, name_0, user_group_uid_0) VALUES (2, "
                      "'clerk', '店员甲', 2)";

// The tree as text: entries in order, children in brackets.
QString Shape(const QTreeWidgetItem* item) {
    QString text = item->text(0);
    if (item->childCount() == 0)
        return text;
    QStringList children;
    for (int i = 0; i < item->childCount(); ++i)
        children.append(Shape(item->child(i)));
    return text + QLatin1Char('(') + children.join(QLatin1Char(',')) + QLatin1Char(')');
}
QString Shape(const QTreeWidget* tree) {
    QStringList entries;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        entries.append(Shape(tree->topLevelItem(i)));
    return entries.join(QLatin1Char(','));
}

QTreeWidgetItem* Entry(const QTreeWidget* tree, const QString& name) {
    const QList<QTreeWidgetItem*> found =
        tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

void SendMouse(QWidget* target, QEvent::Type type, const QPoint& at) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease
                                      ? Qt::MouseButtons(Qt::NoButton)
                                      : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Double-clicks the entry as a user does, then lets the posted open command run.
void DoubleClick(QTreeWidget* tree, QTreeWidgetItem* item) {
    QWidget* viewport = tree->viewport();
    const QPoint at = tree->visualItemRect(item).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
        SendMouse(viewport, type, at);
    QApplication::processEvents();
}

class MainWindowBase : public ::testing::Test {
protected:
    void Prepare(Engine engine) {
        QString why;
        set_ = TestAccountSet::Create(engine, why);
        if (!set_)
            GTEST_SKIP() << qPrintable(why);
        Application& app = Application::Instance();
        UseAccountSetAsConfigured(*set_, app);
        previousSink_ = SetMessageSink([this](const AppMessageRequest& request) {
            messages_.append(request.caption + QLatin1Char('|') + request.text);
            return answer_;
        });
        DbSession login(DbSession::FromConfig);
        ASSERT_EQ(AttemptLogin(login, app, "admin", "1"), LoginResult::LoggedIn);
        session_.SetConnectionString(set_->connectionText());
        ASSERT_TRUE(session_.Open());
        ASSERT_TRUE(session_.Execute(kMenus));
        ASSERT_TRUE(session_.ExecuteScript(kClerk));
    }
    void TearDown() override {
        if (!set_)
            return;
        SetMessageSink(previousSink_);
        Application& app = Application::Instance();
        for (QDialog* form : app.forms.openForms.keys())
            delete form;
        app.forms.openForms.clear();
        app.session.SetStoredConnectionText(QString());
    }
    void ActAs(const char* uid) {
        ChangeUser(Application::Instance().session,
                   [&](SessionContext::User& user) { user.userUid = QLatin1String(uid); });
    }
    QString StoredFavourites(const char* uid) {
        QString value;
        session_.QueryValue(QStringLiteral("SELECT auth1_0 FROM c_user WHERE uid_0=") + uid, value);
        return value;
    }

    std::unique_ptr<TestAccountSet> set_;
    DbSession session_;
    QStringList messages_;
    MessageAnswer answer_ = MessageAnswer::No;
    MessageSink previousSink_;
};

class MenuTrees : public MainWindowBase, public ::testing::WithParamInterface<Engine> {
protected:
    void SetUp() override { Prepare(GetParam()); }
};

class MainWindowOnScreen : public MainWindowBase {
protected:
    void SetUp() override { Prepare(Engine::Sqlite); }
};

TEST_P(MenuTrees, AdministratorSeesEveryEntryOthersTheirGroupsEntries) {
    MainWindow window;
    QTreeWidget* navigation = window.NavigationTree();
    // The orphan goes to the top level.
    EXPECT_EQ(Shape(navigation),
              QStringLiteral("采购管理(采购合同,采购入库),库存管理(库存查询),盘点"));
    EXPECT_EQ(navigation->currentItem(), navigation->topLevelItem(0));
    EXPECT_TRUE(Entry(navigation, "采购合同")->data(0, kMenuLeafRole).toBool());
    EXPECT_EQ(Entry(navigation, "采购合同")->data(0, kMenuUidRole).toInt(), 11);

    ActAs("2");
    window.OnCommand(MainWindow::kRefresh);
    EXPECT_EQ(Shape(navigation), QStringLiteral("采购管理(采购合同),库存管理"));

    // A rights text edited badly by hand (a stray quote) still matches its entries.
    ASSERT_TRUE(session_.Execute("UPDATE c_user_group SET auth_0='10,11,''20' WHERE uid_0=2"));
    window.OnCommand(MainWindow::kRefresh);
    EXPECT_EQ(Shape(navigation), QStringLiteral("采购管理(采购合同)"));
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));
}

TEST_P(MenuTrees, FavouritesAreKeptInTheUsersRowInTheOrderAdded) {
    ActAs("2");
    MainWindow window;
    QTreeWidget* navigation = window.NavigationTree();
    QTreeWidget* favourites = window.FavouritesTree();
    auto add = [&](const char* name) {
        navigation->setCurrentItem(Entry(navigation, name));
        window.OnCommand(MainWindow::kAddFavourite);
    };
    auto remove = [&](const char* name) {
        favourites->setCurrentItem(Entry(favourites, name));
        window.OnCommand(MainWindow::kRemoveFavourite);
    };
    add("采购合同");
    add("库存管理");
    EXPECT_EQ(StoredFavourites("2"), "11,20");
    add("采购合同");
    EXPECT_EQ(StoredFavourites("2"), "20,11");
    // The tree follows the menu order, not the order added; a favourite whose folder is not a
    // favourite stands at the top level.
    EXPECT_EQ(Shape(favourites), QStringLiteral("库存管理,采购合同"));

    remove("库存管理");
    EXPECT_EQ(StoredFavourites("2"), "11");
    remove("采购合同");
    EXPECT_EQ(StoredFavourites("2"), "");
    EXPECT_EQ(favourites->topLevelItemCount(), 0);
    window.OnCommand(MainWindow::kRemoveFavourite); // nothing selected any more
    EXPECT_EQ(StoredFavourites("2"), "");

    // Favourites outside the group's rights stay hidden, except for the administrator, whose
    // navigation is not limited by rights either.
    ASSERT_TRUE(session_.Execute("UPDATE c_user SET auth1_0='12,30' WHERE uid_0 IN (1,2)"));
    window.OnCommand(MainWindow::kRefresh);
    EXPECT_EQ(favourites->topLevelItemCount(), 0);
    ActAs("1");
    window.OnCommand(MainWindow::kRefresh);
    EXPECT_EQ(Shape(favourites), QStringLiteral("采购入库,盘点"));
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));
}

INSTANTIATE_TEST_SUITE_P(Engines, MenuTrees, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(EngineName(info.param)); });

TEST(Favourites, AddingMovesToTheEndRemovingLeavesTheRest) {
    struct Case {
        const char* stored;
        bool add;
        const char* uid;
        const char* expected;
    };
    const Case cases[] = {
        {"12,15", true, "15", "12,15"},
        {"12,15", true, "40", "12,15,40"},
        {"12,15,40", false, "12", "15,40"},
        {"", true, "40", "40"},
        {"7", true, "40", "7,40"}, // one stored uid is kept
        {",", true, "40", "40"},
        {"40", false, "40", ""},
        {",", false, "40", ""},
        {"", false, "40", ""},
        {"12,15,12", false, "12", "15"},
        {"12, 15,,", true, "12", "15,12"},
        {"112,12,120", false, "12", "112,120"},
    };
    for (const Case& c : cases) {
        const QString result =
            c.add ? AddFavourite(c.stored, c.uid) : RemoveFavourite(c.stored, c.uid);
        EXPECT_EQ(result, QLatin1String(c.expected))
            << c.stored << (c.add ? " + " : " - ") << c.uid;
    }
}

TEST_F(MainWindowOnScreen, StandsAtTheRightEdgeWithTheToolsOfItsUser) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    MainWindow window;
    EXPECT_EQ(window.pos(), QPoint(area.right() + 1 - 325, area.top() + 50));
    EXPECT_EQ(window.size(), QSize(305, area.height() - 250));
    EXPECT_EQ(window.minimumSize(), QSize(260, 400));
    EXPECT_TRUE(window.findChild<QPushButton*>("updateButton")
                    ->toolTip()
                    .startsWith(QStringLiteral("下载新版本,并发布新版本")));
    ActAs("2");
    MainWindow clerks;
    EXPECT_EQ(clerks.findChild<QPushButton*>("updateButton")->toolTip(),
              QStringLiteral("下载升级最新版客户端！"));

    // The header data arrive from the worker thread.
    ASSERT_TRUE(session_.Execute("UPDATE c_app SET company_0='华北五金' WHERE uid_0=1"));
    MainWindow third;
    QElapsedTimer waited;
    waited.start();
    while (!third.HeaderLoaded() && waited.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(third.windowTitle(), QStringLiteral("Vemo软件 - 华北五金"));
    EXPECT_EQ(Application::Instance().session.companyName.Get(), QStringLiteral("华北五金"));

    // Without an X11 display there is no key to grab, and saying so is all that happens.
    platform::GlobalHotKey key;
    EXPECT_FALSE(key.Register(Qt::ControlModifier | Qt::AltModifier, Qt::Key_F11));
    EXPECT_FALSE(key.IsRegistered());
}

TEST_F(MainWindowOnScreen, OpensOnTheViewCfgNamesAndRemembersTheChoice) {
    const QString cfg = Application::Instance().CfgPath();
    const QString key = "DHBTN_" + Application::Instance().session.userUid;
    for (const char* value : {"2", "1", "", "02"}) {
        WriteCfg(cfg, "SERVER", key, value);
        MainWindow window;
        const bool favourites = QLatin1String(value) == QLatin1String("2");
        EXPECT_EQ(window.FavouritesShown(), favourites) << value;
        EXPECT_EQ(window.FavouritesTree()->isVisibleTo(&window), favourites) << value;
        EXPECT_EQ(window.NavigationTree()->isVisibleTo(&window), !favourites) << value;
        EXPECT_EQ(window.findChild<QPushButton*>("favouritesViewButton")->isChecked(), favourites);
    }
    MainWindow window;
    window.findChild<QPushButton*>("favouritesViewButton")->click();
    EXPECT_TRUE(window.FavouritesShown());
    EXPECT_EQ(ReadCfg(cfg, "SERVER", key), "2");
    window.findChild<QPushButton*>("navigationViewButton")->click();
    EXPECT_FALSE(window.FavouritesShown());
    EXPECT_EQ(ReadCfg(cfg, "SERVER", key), "1");
}

// Each user of the machine opens on the view they chose last, whatever the user before chose.
TEST_F(MainWindowOnScreen, EachUserOpensOnTheirOwnLastView) {
    const struct {
        const char* user;
        const char* press; // the view button pressed once the window is open, if any
        bool opensOnFavourites;
    } logins[] = {
        {"1", "favouritesViewButton", false},
        {"2", nullptr, false}, // the clerk never chose: the navigation view
        {"2", "favouritesViewButton", false},
        {"1", "navigationViewButton", true},
        {"2", nullptr, true},
        {"1", nullptr, false},
    };
    for (const auto& login : logins) {
        ActAs(login.user);
        MainWindow window;
        EXPECT_EQ(window.FavouritesShown(), login.opensOnFavourites) << login.user;
        if (login.press)
            window.findChild<QPushButton*>(login.press)->click();
    }
}

TEST_F(MainWindowOnScreen, OnlyBusinessFunctionsOpenAndRightClickOffersTheMenu) {
    ASSERT_TRUE(session_.WriteBinary(
        "SELECT * FROM c_menu_dh WHERE uid_0=11", {"form_0"},
        {PackDefinition(
            "<html version='1.0' id='0'><head title='采购合同' pos='0,0,300,200'/>"
            "<body><dialog><textbox id='3' pos='1,1,50,20'/></dialog></body></html>")}));
    ActAs("2");
    MainWindow window;
    window.show();
    QTreeWidget* navigation = window.NavigationTree();
    Application& app = Application::Instance();

    DoubleClick(navigation, Entry(navigation, "采购管理"));
    // The clerk may see none of this folder's entries: it has no children and still no form.
    DoubleClick(navigation, Entry(navigation, "库存管理"));
    EXPECT_TRUE(app.forms.openForms.isEmpty());
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));

    navigation->expandAll();
    DoubleClick(navigation, Entry(navigation, "采购合同"));
    ASSERT_EQ(app.forms.openForms.size(), 1);
    EXPECT_EQ(app.forms.openForms.cbegin().value().menuUid, "11");
    EXPECT_EQ(app.forms.openForms.cbegin().key()->windowTitle(), QStringLiteral("采购合同"));

    // A right press on the form's background brings the hidden-away main window back.
    window.showMinimized();
    QDialog* form = app.forms.openForms.cbegin().key();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(150, 150),
                      form->mapToGlobal(QPointF(150, 150)), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(form, &press);
    EXPECT_FALSE(window.isMinimized());
    // A maximised main window comes to the front as it is.
    window.showMaximized();
    QApplication::sendEvent(form, &press);
    EXPECT_TRUE(window.isMaximized());

    // A double click on blank space opens the selected entry, as on the entry itself.
    delete form;
    ASSERT_TRUE(app.forms.openForms.isEmpty());
    navigation->setCurrentItem(Entry(navigation, "采购合同"));
    const QPoint blank(5, navigation->viewport()->height() - 5);
    ASSERT_FALSE(navigation->itemAt(blank));
    SendMouse(navigation->viewport(), QEvent::MouseButtonDblClick, blank);
    QApplication::processEvents();
    EXPECT_EQ(app.forms.openForms.size(), 1);
    // A right click on blank space still offers the menu, for the selected entry.
    QContextMenuEvent onBlank(QContextMenuEvent::Mouse, blank,
                              navigation->viewport()->mapToGlobal(blank));
    QApplication::sendEvent(navigation->viewport(), &onBlank);
    EXPECT_TRUE(window.NavigationMenu()->isVisible());
    window.NavigationMenu()->hide();

    QTreeWidgetItem* folder = Entry(navigation, "库存管理");
    const QPoint at = navigation->visualItemRect(folder).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, navigation->viewport()->mapToGlobal(at));
    QApplication::sendEvent(navigation->viewport(), &click);
    EXPECT_EQ(navigation->currentItem(), folder);
    EXPECT_TRUE(folder->isSelected());
    QMenu* menu = window.NavigationMenu();
    EXPECT_TRUE(menu->isVisible());
    QStringList offered;
    for (const QAction* action : menu->actions())
        offered.append(action->text());
    EXPECT_EQ(offered, (QStringList{QStringLiteral("打开"), QStringLiteral("添加到收藏夹")}));
    menu->close();
}

TEST_F(MainWindowOnScreen, LeavingAsksAndOnlyYesCloses) {
    MainWindow window;
    window.show();
    bool finished = false;
    QObject::connect(&window, &QDialog::finished, [&] { finished = true; });
    answer_ = MessageAnswer::No;
    window.close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(finished);
    EXPECT_EQ(messages_, QStringList{QStringLiteral("当前用户：系统管理员|是否确认退出系统？")});

    answer_ = MessageAnswer::Yes;
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(finished);
    EXPECT_EQ(messages_.size(), 2);
}

// 帮助 of the main window and of the login dialog opens its page in the browser; where no
// browser opens it, the message names the address.
TEST_F(MainWindowOnScreen, HelpOpensItsPageOrNamesItsAddress) {
    MainWindow window;
    LoginDialog login;
    const std::pair<QWidget*, QString> windows[] = {{&window, "dh"}, {&login, "login"}};
    for (const auto& [owner, section] : windows) {
        const QString address = HelpPageAddress(section);
        EXPECT_TRUE(address.contains("help.aspx?s=" + section + "&appid=")) << qPrintable(address);
        for (const bool browser : {true, false}) {
            QStringList opened;
            platform::SetDesktopOpener([&](const QString& link) {
                opened.append(link);
                return browser;
            });
            messages_.clear();
            owner->findChild<QPushButton*>("helpButton")->click();
            EXPECT_EQ(opened, QStringList{address});
            EXPECT_EQ(messages_, browser ? QStringList()
                                         : QStringList{"在线帮助|没有找到可以打开网页的浏览器。"
                                                       "请在浏览器中打开帮助页面：\n" +
                                                       address});
        }
    }
    platform::SetDesktopOpener({});
}

} // namespace

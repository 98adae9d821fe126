#pragma once
// The main window: a narrow panel near the right edge of the screen with the tool buttons, the
// navigation tree of the business functions the user's group may open and the user's
// favourites. It stays until the user confirms leaving the client.
#include "data/DbSession.h"

#include <QDialog>
#include <QIcon>
#include <QThread>

class ImageButton;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
namespace platform {
class GlobalHotKey;
}

// The client's own icon, for the main window and every other window of the process.
QIcon ApplicationIcon();

class MainWindow : public QDialog {
    Q_OBJECT
public:
    // Commands of the tool buttons, view buttons and pop-up menus.
    enum Command {
        kRefresh = 1169,
        kChangePassword = 1170,
        kNavigationView = 1171,
        kFavouritesView = 1172,
        kClientUpdate = 1174,
        kHelp = 1176,
        kAddFavourite = 33072,
        kRemoveFavourite = 33073,
        kOpenNavigationEntry = 33078,
        kOpenFavourite = 33079,
    };

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Shows the window and returns when the user has left it. Form windows opened from it stay
    // usable meanwhile, which a modal loop would prevent.
    int RunUntilClosed();

    void OnCommand(int command);

    QTreeWidget* NavigationTree() const { return navigation_; }
    QTreeWidget* FavouritesTree() const { return favourites_; }
    bool FavouritesShown() const { return favouritesShown_; }
    // True once the start-up worker has handed its data back.
    bool HeaderLoaded() const { return headerLoaded_; }
    QMenu* NavigationMenu() const { return navigationMenu_; }
    QMenu* FavouritesMenu() const { return favouritesMenu_; }

    // A close request: only a confirmed one closes the window.
    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceOnScreen();
    void CreateButtons();
    QTreeWidget* CreateTree(const char* name, QMenu* menu, int openCommand);
    void LayOut();
    void RefreshNavigation();
    void ReloadFavourites();
    void ShowView(bool favourites);
    void OpenSelected(QTreeWidget* tree);
    void ChangeFavourites(bool add);
    void ShowContextMenu(QTreeWidget* tree, QMenu* menu, const QPoint& position);
    void BringToFront();
    void StartHeaderWorker();
    void ApplyHeader(bool found, const QString& company);

    DbSession session_;
    ImageButton* navigationButton_ = nullptr;
    ImageButton* favouritesButton_ = nullptr;
    QTreeWidget* navigation_ = nullptr;
    QTreeWidget* favourites_ = nullptr;
    QMenu* navigationMenu_ = nullptr;
    QMenu* favouritesMenu_ = nullptr;
    platform::GlobalHotKey* hotKey_ = nullptr;
    QThread* headerWorker_ = nullptr;
    bool favouritesShown_ = false;
    bool headerLoaded_ = false;
    QString footer_;
};

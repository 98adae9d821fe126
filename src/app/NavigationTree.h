#pragma once
// The navigation entries of c_menu_dh as a tree: which rows a user may see (the group's rights
// text view_c_user.auth_0, the favourites c_user.auth1_0), the query per database kind, and
// the placing of each row under its parent.
#include <QIcon>
#include <QString>
#include <QStringList>

class DbSession;
class EngineProfile;
class QTreeWidget;
class QTreeWidgetItem;

enum class MenuTree { Navigation, Favourites };

// Item data: the entry's uid_0 as an int, and whether it is a business function (leaf_0 "1").
inline constexpr int kMenuUidRole = Qt::UserRole;
inline constexpr int kMenuLeafRole = Qt::UserRole + 1;

// The administrator sees every entry whatever his group's rights.
inline constexpr char kAdministratorUid[] = "1";

// The menu-row query (pUid_0, leaf_0, name_0, uid_0). On an engine that takes its own dialect
// the lists are read inside the query; otherwise (`engine` null too) `rights` and `favourites`
// are the texts read beforehand.
QString MenuTreeQuery(MenuTree tree, const EngineProfile* engine, const QString& userUid,
                      const QString& rights, const QString& favourites);

// Empties the tree, then adds the rows (four values each: pUid_0, leaf_0, name_0, uid_0) in
// order, each as the last child of the entry whose uid is its pUid_0, or at the top level when
// no such entry is in the tree yet.
void FillMenuTree(QTreeWidget* tree, const QStringList& values);

// Empties the tree and loads it on the open session; `dbKind` is the session kind's text as the
// session's facts keep it. False when the rows could not be read (the
// tree then stays empty).
bool LoadMenuTree(DbSession& session, QTreeWidget* tree, MenuTree which, const QString& dbKind,
                  const QString& userUid);

// Depth-first search of the whole tree for the entry with this uid; none when missing.
QTreeWidgetItem* FindMenuItem(const QTreeWidget* tree, int uid);

// Look of a navigation tree: no header, taller rows, the entry images.
void PrepareMenuTree(QTreeWidget* tree);

// Images of the entries: folders, and business functions (a second look while selected).
QIcon MenuFolderIcon();
QIcon MenuFunctionIcon();

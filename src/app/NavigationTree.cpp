#include "app/NavigationTree.h"

#include "data/DbSession.h"
#include "data/EngineProfile.h"

#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTreeWidget>

namespace {

const char kColumns[] = "SELECT pUid_0,leaf_0,name_0,uid_0 FROM c_menu_dh ";
const char kOrder[] = "order by level_0,pUid_0,order_0,uid_0";

// A list read from the account set, wrapped in commas and made safe to stand inside a quoted
// SQL text (the rights text is edited by people, a stray quote must not break the query).
QString WrappedList(const QString& list) {
    QString wrapped = QLatin1Char(',') + list + QLatin1Char(',');
    return wrapped.replace(QLatin1Char('\''), QStringLiteral("''"));
}

// The first value of a one-column query, or empty when there is none.
QString ReadList(DbSession& session, const char* column, const QString& userUid) {
    QStringList values;
    if (session.QueryList(QStringLiteral("select %1 from view_c_user where uid_0=%2")
                              .arg(QLatin1String(column), userUid),
                          values) != 1 ||
        values.isEmpty())
        return {};
    return values.first();
}

QTreeWidgetItem* FindIn(QTreeWidgetItem* item, int uid) {
    if (item->data(0, kMenuUidRole).toInt() == uid)
        return item;
    for (int i = 0; i < item->childCount(); ++i)
        if (QTreeWidgetItem* found = FindIn(item->child(i), uid))
            return found;
    return nullptr;
}

// Rows 1.1 times the style's own height: the entries are easier to hit with the mouse.
class TallerRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(qRound(size.height() * 1.1));
        return size;
    }
};

// Draws a 16 x 16 image at twice the resolution, so it stays crisp on high-density screens.
template <typename Draw> QPixmap EntryImage(Draw draw) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(2, 2);
        draw(p);
    }
    pixmap.setDevicePixelRatio(2);
    return pixmap;
}

QPixmap FolderImage() {
    return EntryImage([](QPainter& p) {
        QPainterPath back;
        back.moveTo(1.5, 3.5);
        back.lineTo(6, 3.5);
        back.lineTo(7.5, 5);
        back.lineTo(14.5, 5);
        back.lineTo(14.5, 13.5);
        back.lineTo(1.5, 13.5);
        back.closeSubpath();
        p.setPen(QPen(QColor(0xB7, 0x86, 0x1F), 1));
        p.setBrush(QColor(0xE9, 0xB6, 0x3B));
        p.drawPath(back);
        p.setBrush(QColor(0xFC, 0xD5, 0x6B));
        p.drawRect(QRectF(1.5, 6.5, 13, 7));
    });
}

QPixmap FunctionImage(bool selected) {
    return EntryImage([selected](QPainter& p) {
        const QColor ink = selected ? QColor(0x0B, 0x57, 0xB8) : QColor(0x3C, 0x7C, 0xC8);
        QPainterPath page;
        page.moveTo(3.5, 1.5);
        page.lineTo(10, 1.5);
        page.lineTo(13.5, 5);
        page.lineTo(13.5, 14.5);
        page.lineTo(3.5, 14.5);
        page.closeSubpath();
        p.setPen(QPen(ink, 1));
        p.setBrush(selected ? QColor(0xD6, 0xE8, 0xFF) : Qt::white);
        p.drawPath(page);
        p.drawLine(QPointF(10, 1.5), QPointF(10, 5));
        p.drawLine(QPointF(10, 5), QPointF(13.5, 5));
        for (double y : {7.5, 9.5, 11.5})
            p.drawLine(QPointF(5.5, y), QPointF(11.5, y));
    });
}

} // namespace

QString MenuTreeQuery(MenuTree tree, const EngineProfile* engine, const QString& userUid,
                      const QString& rights, const QString& favourites) {
    const QString columns = QLatin1String(kColumns);
    const QString order = QLatin1String(kOrder);
    const bool administrator = userUid == QLatin1String(kAdministratorUid);
    if (administrator && tree == MenuTree::Navigation)
        return columns + order;

    // In the engine's own dialect the query reads the user's lists itself; in Access SQL they
    // are read first and written into it.
    if (engine && engine->TakesOwnDialect()) {
        const QString rightsTest =
            QStringLiteral("CHARINDEX(','+rtrim(uid_0)+',' ,(select N','+auth_0+N','  from "
                           "view_c_user where uid_0=%1))>0 \t\t")
                .arg(userUid);
        const QString favouritesTest =
            QStringLiteral("CHARINDEX(','+rtrim(uid_0)+',' ,(select N','+auth1_0+N','  from "
                           "view_c_user where uid_0=%1))>0 \t\t")
                .arg(userUid);
        if (tree == MenuTree::Navigation)
            return columns + QStringLiteral("\t\twhere ") + rightsTest + order;
        // The administrator's favourites are not limited by his group's rights, as his
        // navigation is not: otherwise entries he added could never show.
        if (administrator)
            return columns + QStringLiteral("\t\twhere ") + favouritesTest + order;
        return columns + QStringLiteral("\t\twhere ") + rightsTest + QStringLiteral("AND ") +
               favouritesTest + order;
    }

    const QString wrappedRights = WrappedList(rights);
    const QString wrappedFavourites = WrappedList(favourites);
    if (tree == MenuTree::Navigation)
        return columns + QStringLiteral("\t\t\twhere InStr((' ") + wrappedRights +
               QStringLiteral("'),(','+CStr(uid_0)+','))>0 \t\t\t") + order;
    const QString favouritesTest = QStringLiteral("InStr(('") + wrappedFavourites +
                                   QStringLiteral("'),(','+CStr(uid_0)+','))>0 \t\t\t");
    if (administrator)
        return columns + QStringLiteral("\t\t\twhere ") + favouritesTest + order;
    return columns + QStringLiteral("\t\t\twhere InStr(('") + wrappedRights +
           QStringLiteral("'),(','+CStr(uid_0)+','))>0 \t\t\tAND ") + favouritesTest + order;
}

void FillMenuTree(QTreeWidget* tree, const QStringList& values) {
    tree->clear();
    const QIcon folder = MenuFolderIcon();
    const QIcon function = MenuFunctionIcon();
    QTreeWidgetItem* parent = nullptr;
    QString previousParent;
    bool first = true;
    for (qsizetype i = 0; i + 3 < values.size(); i += 4) {
        const QString& parentUid = values[i];
        // Rows come ordered by parent, so the search runs once per group of siblings.
        if (first || parentUid != previousParent) {
            bool numeric = false;
            const int wanted = parentUid.toInt(&numeric);
            parent = numeric ? FindMenuItem(tree, wanted) : nullptr;
            previousParent = parentUid;
            first = false;
        }
        const bool leaf = values[i + 1] == QLatin1String("1");
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, values[i + 2]);
        item->setIcon(0, leaf ? function : folder);
        item->setData(0, kMenuUidRole, values[i + 3].toInt());
        item->setData(0, kMenuLeafRole, leaf);
    }
}

bool LoadMenuTree(DbSession& session, QTreeWidget* tree, MenuTree which, const QString& dbKind,
                  const QString& userUid) {
    const EngineProfile* engine = EngineProfile::OfKindText(dbKind);
    tree->clear();
    QString rights;
    QString favourites;
    const bool administrator = userUid == QLatin1String(kAdministratorUid);
    if (!engine || !engine->TakesOwnDialect()) {
        // A list that cannot be read matches nothing: the tree stays empty.
        if (!administrator)
            rights = ReadList(session, "auth_0", userUid);
        if (which == MenuTree::Favourites)
            favourites = ReadList(session, "auth1_0", userUid);
    }
    QStringList values;
    if (session.QueryList(MenuTreeQuery(which, engine, userUid, rights, favourites), values) != 1)
        return false;
    FillMenuTree(tree, values);
    return true;
}

QTreeWidgetItem* FindMenuItem(const QTreeWidget* tree, int uid) {
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        if (QTreeWidgetItem* found = FindIn(tree->topLevelItem(i), uid))
            return found;
    return nullptr;
}

void PrepareMenuTree(QTreeWidget* tree) {
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setIconSize(QSize(16, 16));
    tree->setUniformRowHeights(true);
    tree->setItemDelegate(new TallerRowDelegate(tree));
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

QIcon MenuFolderIcon() {
    return QIcon(FolderImage());
}

QIcon MenuFunctionIcon() {
    QIcon icon(FunctionImage(false));
    icon.addPixmap(FunctionImage(true), QIcon::Selected);
    return icon;
}

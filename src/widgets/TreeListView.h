#pragma once
// The tree-list control of forms: an owner-drawn table whose header is a tree of column groups
// and whose body is a tree of rows. The leaf columns, left to right, are the row numbers, the
// tree column and then one column per further cell of a row. The control starts in display
// mode 1, in which it draws nothing; filling its body switches it to the tree-list mode 4.
#include "widgets/TreeListNode.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <vector>

class QPainter;
class QScrollBar;

class TreeListView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTreeListMode = 4;
    static constexpr int kIndent = 15;       // pixels per depth level of the tree column
    static constexpr int kExpanderZone = 11; // hit zone on either side of a row's expander x
    static constexpr int kGrip = 2;          // boundary hit distance

    // A column group of the header as the form describes it.
    struct HeaderColumn {
        QString title;
        int width = 0;
        int height = 0;
        int type = 0;
        QString menuId;
        QList<HeaderColumn> children;
    };

    explicit TreeListView(QWidget* parent = nullptr);
    ~TreeListView() override;

    void SetText(const QString& text) { text_ = text; }
    QString Text() const { return text_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool IsReadOnly() const { return readOnly_; }

    int DisplayMode() const { return mode_; }
    void SetDisplayMode(int mode);

    // --- Header ---
    // Replaces the header by `columns` (each a first-level group with its subtree).
    void BuildHeader(const QList<HeaderColumn>& columns);
    // Gives the header nodes of depth `depth`, in depth-first order, the values as titles while
    // they last.
    void SetHeaderTitles(int depth, const QStringList& values);
    const TreeListNode& HeaderRoot() const { return *header_; }
    // The leaf columns left to right.
    QList<const TreeListNode*> LeafColumns() const;

    // --- Body ---
    // Empties the body: rows, key map and selection.
    void ClearBody();
    // Adds rows of `columnCount` values each (parent key, key, title, cells...); colours are
    // consumed one per row and one per further cell while they last; tips, three per row, only
    // when there are exactly as many tip values as values.
    void AddRows(const QStringList& values, const QStringList& colors, const QStringList& tips,
                 int columnCount, int rowHeight);
    const TreeListNode& BodyRoot() const { return *body_; }
    // The rows as shown, top to bottom (children of collapsed rows left out).
    const std::vector<TreeListNode*>& ShownRows() const { return shown_; }
    const TreeListNode* SelectedNode() const { return selected_; }
    void SelectNode(const TreeListNode* node);
    // The body area of shown row `index` in widget coordinates (empty when out of range).
    QRect RowRect(int index) const;
    // Scrolls the body so that shown row `index` is in view.
    void ScrollToRow(int index);

    // Draws the control as it is shown into an image of its size.
    QImage RenderImage() const;
    // Rows the last drawing visited (the drawing paints only what is in view).
    int LastPaintedRowCount() const { return lastPaintedRows_; }

Q_SIGNALS:
    // A right click on a row asks the form to press its button `controlId`.
    void buttonRequested(int controlId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    enum class Drag { None, Column, Row };

    void Draw(QPainter& painter) const;
    void DrawHeader(QPainter& painter) const;
    void DrawRow(QPainter& painter, const TreeListNode& row, int number, int top) const;
    void DrawCell(QPainter& painter, const TreeListNode& row, const TreeListNode::Cell& cell,
                  int type, const QRect& rect) const;
    void DrawConnectorsThrough(QPainter& painter, const TreeListNode& lastDrawn) const;

    // Lays the body out again: row positions, expander x and the shown list.
    void LayoutBody();
    void UpdateScrollBars();
    int HeaderBottom() const { return headerBottom_; }
    int ContentWidth() const;
    int ContentHeight() const;
    // The row whose area holds the widget point's y, or -1.
    int RowIndexAt(int y) const;
    // The leaf column under the widget point's x, or -1.
    int ColumnIndexAt(int x) const;
    int ColumnBoundaryAt(int x) const;
    int RowBoundaryAt(const QPoint& pos) const;
    // Widget y of content y.
    int BodyY(int contentY) const;
    int ButtonForRightClick(const TreeListNode& column, const TreeListNode& row) const;
    void ApplyColumnDrag(int delta);

    QString text_;
    bool readOnly_ = false;
    int mode_ = 1;
    std::unique_ptr<TreeListNode> header_;
    std::unique_ptr<TreeListNode> body_;
    QHash<QString, TreeListNode*> keyMap_;
    const TreeListNode* selected_ = nullptr;
    std::vector<TreeListNode*> shown_;
    std::vector<TreeListNode*> leaves_;
    int headerBottom_ = 0;
    QScrollBar* horizontal_ = nullptr;
    QScrollBar* vertical_ = nullptr;

    Drag drag_ = Drag::None;
    int dragIndex_ = -1; // leaf column or shown row being resized
    int dragOrigin_ = 0; // its boundary when the drag started (content coordinates)
    int dragPos_ = 0;    // where the guide line is (content coordinates)
    mutable int lastPaintedRows_ = 0;
};

#include "widgets/TreeListView.h"

#include "platform/ValueGrammars.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

const QColor kFrame = QColor(0, 0, 0, 100);
const QColor kLine = QColor(0, 0, 0, 50);
const QColor kSelected = QColor(0, 0, 0, 100);
const QColor kDefaultBar = QColor(255, 0, 0, 100);
constexpr int kMinutesPerDay = 1440;
constexpr int kConnector = 19; // length of a row's horizontal connector
constexpr int kMark = 11;      // side of the expand / collapse mark
constexpr int kWheelStep = 30;

QFont ChartFont() {
    QFont font(QStringLiteral("微软雅黑"));
    font.setPointSize(9);
    return font;
}

// Every node under `root` in depth-first order, the root left out. No recursion: a header or a
// body can be as deep as its data.
template <typename Visit> void ForEachNode(const TreeListNode& root, Visit visit) {
    std::vector<const TreeListNode*> stack;
    for (auto it = root.children.rbegin(); it != root.children.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        const TreeListNode* node = stack.back();
        stack.pop_back();
        if (!visit(*node))
            continue; // the visitor skips this node's children
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            stack.push_back(it->get());
    }
}

int RowMiddle(const TreeListNode& row) {
    return row.y + row.height / 2;
}

// Minutes of a 1,440-minute day as pixels of a cell `width` wide.
int MinutesToPixels(double minutes, int width) {
    return int(std::lround(minutes * width / kMinutesPerDay));
}

QColor BarColor(const TreeListNode& row) {
    if (row.style.color.isEmpty())
        return kDefaultBar;
    return QColor::fromRgba(ParseArgbText(row.style.color));
}

void AddHeaderNode(TreeListNode& parent, const TreeListView::HeaderColumn& column) {
    auto node = std::make_unique<TreeListNode>();
    node->title = column.title;
    node->height = column.height;
    node->width = column.width;
    node->menuId = column.menuId.isEmpty() ? parent.menuId : column.menuId;
    node->style.type = std::max(parent.style.type, column.type);
    TreeListNode* added = parent.AddChild(std::move(node));
    for (const TreeListView::HeaderColumn& child : column.children)
        AddHeaderNode(*added, child);
}

} // namespace

TreeListView::TreeListView(QWidget* parent)
    : QWidget(parent), header_(std::make_unique<TreeListNode>()),
      body_(std::make_unique<TreeListNode>()) {
    body_->keyMap = &keyMap_;
    horizontal_ = new QScrollBar(Qt::Horizontal, this);
    vertical_ = new QScrollBar(Qt::Vertical, this);
    for (QScrollBar* bar : {horizontal_, vertical_}) {
        bar->setSingleStep(1);
        bar->hide();
        connect(bar, &QScrollBar::valueChanged, this, [this] { update(); });
    }
    // Clicks beside the horizontal thumb do nothing; only line steps and the thumb move it.
    connect(horizontal_, &QScrollBar::actionTriggered, this, [this](int action) {
        if (action == QAbstractSlider::SliderPageStepAdd ||
            action == QAbstractSlider::SliderPageStepSub)
            horizontal_->setSliderPosition(horizontal_->value());
    });
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setFont(ChartFont());
}

TreeListView::~TreeListView() = default;

void TreeListView::SetDisplayMode(int mode) {
    mode_ = mode;
    UpdateScrollBars();
    update();
}

// ---- Header ----

void TreeListView::BuildHeader(const QList<HeaderColumn>& columns) {
    header_ = std::make_unique<TreeListNode>();
    for (const HeaderColumn& column : columns)
        AddHeaderNode(*header_, column);
    leaves_.clear();
    headerBottom_ = 0;
    ForEachNode(*header_, [this](const TreeListNode& node) {
        headerBottom_ = std::max(headerBottom_, node.bottom);
        if (!node.HasChildren())
            leaves_.push_back(const_cast<TreeListNode*>(&node));
        return true;
    });
    LayoutBody();
}

void TreeListView::SetHeaderTitles(int depth, const QStringList& values) {
    qsizetype next = 0;
    ForEachNode(*header_, [&](const TreeListNode& node) {
        if (next >= values.size())
            return false;
        if (node.depth == depth)
            const_cast<TreeListNode&>(node).title = values[next++];
        return node.depth < depth;
    });
    update();
}

QList<const TreeListNode*> TreeListView::LeafColumns() const {
    return QList<const TreeListNode*>(leaves_.begin(), leaves_.end());
}

// ---- Body ----

void TreeListView::ClearBody() {
    selected_ = nullptr;
    keyMap_.clear();
    body_ = std::make_unique<TreeListNode>();
    body_->keyMap = &keyMap_;
    LayoutBody();
}

void TreeListView::AddRows(const QStringList& values, const QStringList& colors,
                           const QStringList& tips, int columnCount, int rowHeight) {
    if (columnCount < 3)
        return;
    const bool useTips = tips.size() == values.size();
    qsizetype color = 0;
    qsizetype tip = 0;
    for (qsizetype at = 0; at + columnCount <= values.size(); at += columnCount) {
        auto row = std::make_unique<TreeListNode>();
        row->key = values[at + 1];
        row->title = values[at + 2];
        row->height = rowHeight;
        if (color < colors.size())
            row->style.color = colors[color++];
        if (useTips) {
            row->tip1 = tips[tip];
            row->tip2 = tips[tip + 1];
            row->tip3 = tips[tip + 2];
            tip += 3;
        }
        row->cells.reserve(size_t(columnCount - 3));
        for (int c = 3; c < columnCount; ++c)
            row->cells.push_back(
                {values[at + c], color < colors.size() ? colors[color++] : QString()});
        TreeListNode* parent = keyMap_.value(values[at], body_.get());
        parent->AddChild(std::move(row));
    }
    LayoutBody();
}

void TreeListView::SelectNode(const TreeListNode* node) {
    selected_ = node;
    update();
}

void TreeListView::LayoutBody() {
    // Rows or columns replaced under a drag (a timer's refill) end it: its index would point
    // at another row.
    drag_ = Drag::None;
    dragIndex_ = -1;
    shown_.clear();
    const int treeLeft = leaves_.size() > 1 ? leaves_[1]->x : 0;
    int y = 0;
    ForEachNode(*body_, [&](const TreeListNode& node) {
        auto& row = const_cast<TreeListNode&>(node);
        row.y = y;
        row.bottom = y + row.height;
        row.expanderX = row.depth <= 1 ? treeLeft + kIndent : row.parent->expanderX + kIndent;
        y = row.bottom;
        shown_.push_back(&row);
        return row.expanded; // a collapsed row's descendants take no room and are not shown
    });
    UpdateScrollBars();
    update();
}

// ---- Geometry ----

int TreeListView::ContentWidth() const {
    return leaves_.empty() ? 0 : leaves_.back()->right;
}

int TreeListView::ContentHeight() const {
    return headerBottom_ + (shown_.empty() ? 0 : shown_.back()->bottom);
}

void TreeListView::UpdateScrollBars() {
    const bool active = mode_ == kTreeListMode;
    const int barWidth = vertical_->sizeHint().width();
    const int barHeight = horizontal_->sizeHint().height();
    bool needVertical = false;
    bool needHorizontal = false;
    // Showing one bar narrows the room for the other, so decide twice.
    for (int pass = 0; pass < 2 && active; ++pass) {
        needVertical = ContentHeight() > height() - (needHorizontal ? barHeight : 0);
        needHorizontal = ContentWidth() > width() - (needVertical ? barWidth : 0);
    }
    const int clientWidth = width() - (needVertical ? barWidth : 0);
    const int clientHeight = height() - (needHorizontal ? barHeight : 0);
    vertical_->setGeometry(clientWidth, 0, barWidth, clientHeight);
    horizontal_->setGeometry(0, clientHeight, clientWidth, barHeight);
    vertical_->setRange(0, needVertical ? ContentHeight() - clientHeight : 0);
    vertical_->setPageStep(std::max(1, clientHeight - headerBottom_));
    horizontal_->setRange(0, needHorizontal ? ContentWidth() - clientWidth : 0);
    horizontal_->setPageStep(std::max(1, clientWidth));
    vertical_->setVisible(needVertical);
    horizontal_->setVisible(needHorizontal);
}

int TreeListView::BodyY(int contentY) const {
    return headerBottom_ + contentY - vertical_->value();
}

int TreeListView::RowIndexAt(int y) const {
    if (y < headerBottom_ || shown_.empty())
        return -1;
    const int contentY = y - headerBottom_ + vertical_->value();
    auto it =
        std::upper_bound(shown_.begin(), shown_.end(), contentY,
                         [](int value, const TreeListNode* row) { return value < row->bottom; });
    if (it == shown_.end() || (*it)->y > contentY)
        return -1;
    return int(it - shown_.begin());
}

int TreeListView::ColumnIndexAt(int x) const {
    const int contentX = x + horizontal_->value();
    for (size_t i = 0; i < leaves_.size(); ++i)
        if (contentX >= leaves_[i]->x && contentX < leaves_[i]->right)
            return int(i);
    return -1;
}

int TreeListView::ColumnBoundaryAt(int x) const {
    const int contentX = x + horizontal_->value();
    // From the right: where a column was dragged to zero width, its boundary is the one taken,
    // so that it can be widened again.
    for (size_t i = leaves_.size(); i-- > 0;)
        if (std::abs(contentX - leaves_[i]->right) <= kGrip)
            return int(i);
    return -1;
}

int TreeListView::RowBoundaryAt(const QPoint& pos) const {
    if (pos.y() < headerBottom_ || shown_.empty())
        return -1;
    const int contentY = pos.y() - headerBottom_ + vertical_->value();
    // The rows whose bottom may lie within reach: the one under the point and its neighbours.
    auto it =
        std::lower_bound(shown_.begin(), shown_.end(), contentY - kGrip,
                         [](const TreeListNode* row, int value) { return row->bottom < value; });
    for (; it != shown_.end() && (*it)->bottom <= contentY + kGrip; ++it)
        if (std::abs((*it)->bottom - contentY) <= kGrip)
            return int(it - shown_.begin());
    return -1;
}

QRect TreeListView::RowRect(int index) const {
    if (index < 0 || size_t(index) >= shown_.size())
        return {};
    const TreeListNode& row = *shown_[size_t(index)];
    const int left = leaves_.empty() ? 0 : leaves_.front()->x;
    return {left - horizontal_->value(), BodyY(row.y), ContentWidth() - left, row.height};
}

void TreeListView::ScrollToRow(int index) {
    if (index < 0 || size_t(index) >= shown_.size())
        return;
    const TreeListNode& row = *shown_[size_t(index)];
    const int room = vertical_->pageStep();
    if (row.y < vertical_->value())
        vertical_->setValue(row.y);
    else if (row.bottom > vertical_->value() + room)
        vertical_->setValue(row.bottom - room);
}

// ---- Drawing ----

QImage TreeListView::RenderImage() const {
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font());
    Draw(painter);
    return image;
}

void TreeListView::paintEvent(QPaintEvent*) {
    if (mode_ != kTreeListMode)
        return;
    // Drawn off-screen and shown in one step, so a redraw never flickers.
    const QImage image = RenderImage();
    QPainter painter(this);
    painter.drawImage(0, 0, image);
}

void TreeListView::Draw(QPainter& painter) const {
    lastPaintedRows_ = 0;
    if (mode_ != kTreeListMode)
        return;
    const int clientWidth = vertical_->isVisible() ? vertical_->x() : width();
    const int clientHeight = horizontal_->isVisible() ? horizontal_->y() : height();
    painter.setClipRect(0, 0, clientWidth, clientHeight);
    DrawHeader(painter);

    painter.save();
    painter.setClipRect(0, headerBottom_, clientWidth, clientHeight - headerBottom_);
    const int offset = vertical_->value();
    auto first =
        std::upper_bound(shown_.begin(), shown_.end(), offset,
                         [](int value, const TreeListNode* row) { return value < row->bottom; });
    const TreeListNode* last = nullptr;
    for (auto it = first; it != shown_.end(); ++it) {
        const int top = BodyY((*it)->y);
        if (top >= clientHeight)
            break;
        DrawRow(painter, **it, int(it - shown_.begin()) + 1, top);
        last = *it;
        ++lastPaintedRows_;
    }
    if (last)
        DrawConnectorsThrough(painter, *last);
    painter.restore();

    painter.setPen(Qt::black);
    if (drag_ == Drag::Column) {
        const int x = dragPos_ - horizontal_->value();
        painter.drawLine(x, 0, x, clientHeight);
    } else if (drag_ == Drag::Row) {
        const int y = BodyY(dragPos_);
        painter.drawLine(0, y, clientWidth, y);
    }
}

void TreeListView::DrawHeader(QPainter& painter) const {
    const int shift = horizontal_->value();
    const int bottom = height();
    ForEachNode(*header_, [&](const TreeListNode& node) {
        const QRect rect(node.x - shift, node.y, node.width, node.height);
        painter.setPen(kFrame);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        painter.setPen(Qt::black);
        painter.drawText(rect, Qt::AlignCenter, node.title);
        return true;
    });
    painter.setPen(kLine);
    for (const TreeListNode* leaf : leaves_) {
        const int left = leaf->x - shift;
        const int right = leaf->right - shift;
        painter.drawLine(left, leaf->bottom, right, leaf->bottom);
        painter.drawLine(left, leaf->bottom, left, bottom);
        painter.drawLine(right, leaf->bottom, right, bottom);
    }
}

void TreeListView::DrawRow(QPainter& painter, const TreeListNode& row, int number, int top) const {
    const int shift = horizontal_->value();
    const int left = (leaves_.empty() ? 0 : leaves_.front()->x) - shift;
    const int right = ContentWidth() - shift;
    const int middle = top + row.height / 2;
    if (&row == selected_)
        painter.fillRect(QRect(left, top, right - left, row.height), kSelected);

    if (!leaves_.empty()) {
        const QRect numberCell(leaves_[0]->x - shift, top, leaves_[0]->width, row.height);
        painter.setPen(kFrame);
        painter.drawRect(numberCell.adjusted(0, 0, -1, -1));
        painter.setPen(Qt::black);
        painter.drawText(numberCell, Qt::AlignCenter, QString::number(number));
    }
    painter.setPen(kLine);
    painter.drawLine(left, top + row.height - 1, right, top + row.height - 1);

    // Tree column: connectors, mark and title.
    const int ex = row.expanderX - shift;
    painter.setPen(Qt::black);
    painter.drawLine(ex, middle, ex + kConnector, middle);
    const TreeListNode* above =
        row.previous ? row.previous : (row.depth > 1 ? row.parent : nullptr);
    if (above)
        painter.drawLine(ex, middle, ex, BodyY(RowMiddle(*above)));
    if (row.HasChildren()) {
        const QRect mark(ex - 5, middle - kMark / 2, kMark, kMark);
        painter.fillRect(mark, Qt::white);
        painter.setPen(QColor(120, 120, 120));
        painter.drawRect(mark.adjusted(0, 0, -1, -1));
        painter.setPen(Qt::black);
        painter.drawLine(mark.left() + 2, mark.center().y(), mark.right() - 2, mark.center().y());
        if (!row.expanded)
            painter.drawLine(mark.center().x(), mark.top() + 2, mark.center().x(),
                             mark.bottom() - 2);
    }
    if (leaves_.size() > 1) {
        const int titleLeft = ex + kConnector + 2;
        const int titleRight = leaves_[1]->right - shift;
        const QRect titleRect(titleLeft, top, std::max(0, titleRight - titleLeft), row.height);
        painter.drawText(
            titleRect, Qt::AlignLeft | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(row.title, Qt::ElideRight, titleRect.width()));
    }

    for (size_t i = 0; i < row.cells.size() && i + 2 < leaves_.size(); ++i) {
        const TreeListNode& column = *leaves_[i + 2];
        DrawCell(painter, row, row.cells[i], column.style.type,
                 QRect(column.x - shift, top, column.width, row.height));
    }
}

void TreeListView::DrawCell(QPainter& painter, const TreeListNode& row,
                            const TreeListNode::Cell& cell, int type, const QRect& rect) const {
    const int barTop = rect.top() + rect.height() / 4;
    const int barHeight = rect.height() / 2;
    const int right = rect.left() + rect.width();
    auto bar = [&](int from, int to) {
        if (to > from)
            painter.fillRect(QRect(from, barTop, to - from, barHeight), BarColor(row));
    };
    painter.setPen(Qt::black);
    if (type == 1) {
        if (cell.text == QLatin1String("0"))
            return;
        bool ok = false;
        const qlonglong v = cell.text.toLongLong(&ok);
        if (ok && v >= 1 && v <= kMinutesPerDay) {
            bar(rect.left(), rect.left() + MinutesToPixels(double(v), rect.width()));
        } else if (ok && v >= -kMinutesPerDay && v <= -1) {
            bar(right - MinutesToPixels(double(-v), rect.width()), right);
        } else if (ok && v >= 10000) {
            const int from = rect.left() + MinutesToPixels(double(v / 10000), rect.width());
            const int to = right - MinutesToPixels(double(v % 10000), rect.width());
            bar(from, std::max(to, from + 1));
        } else {
            bar(rect.left(), right);
        }
        return;
    }
    if (type == 2) {
        if (!row.tip1.isEmpty()) {
            painter.drawText(QRect(rect.left(), rect.top(), rect.width(), rect.height() / 2),
                             Qt::AlignCenter, cell.color);
            return;
        }
        if (cell.text == QLatin1String("0") || cell.color.isEmpty())
            return;
        const int length = MinutesToPixels(cell.text.toDouble() * 60, rect.width());
        const int from = rect.left() + (rect.width() - length) / 2;
        bar(from, from + length);
        return;
    }
    painter.drawText(
        rect.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter,
        painter.fontMetrics().elidedText(cell.text, Qt::ElideRight, std::max(0, rect.width() - 6)));
}

// The vertical connectors from the last drawn row and its ancestors down to their next siblings,
// which lie below the drawn part and so do not draw them themselves.
void TreeListView::DrawConnectorsThrough(QPainter& painter, const TreeListNode& lastDrawn) const {
    painter.setPen(Qt::black);
    const int shift = horizontal_->value();
    for (const TreeListNode* node = &lastDrawn; node && node->depth >= 1; node = node->parent)
        if (node->next)
            painter.drawLine(node->expanderX - shift, BodyY(RowMiddle(*node)),
                             node->expanderX - shift, height());
}

// ---- Mouse ----

void TreeListView::resizeEvent(QResizeEvent*) {
    UpdateScrollBars();
}

int TreeListView::ButtonForRightClick(const TreeListNode& column, const TreeListNode& row) const {
    const QString& menu = column.menuId;
    if (!menu.contains(QLatin1Char(',')))
        return ParseIntegerText(menu);
    // A list of depth entries, "1:12,2:15": the depth digit, a separator, then the control id.
    for (const QString& entry : menu.split(QLatin1Char(','))) {
        if (!entry.isEmpty() && entry[0].isDigit() && entry[0].digitValue() == row.depth)
            return ParseIntegerText(entry.mid(2));
    }
    return 0;
}

void TreeListView::ApplyColumnDrag(int delta) {
    const TreeListNode* dragged = leaves_[size_t(dragIndex_)];
    const int boundary = dragOrigin_;
    // The column and the groups holding it widen; whatever starts at or right of its boundary
    // moves along (a column of zero width starts there too, but it is the one widening).
    ForEachNode(*header_, [&](const TreeListNode& node) {
        auto& column = const_cast<TreeListNode&>(node);
        bool holdsDragged = false;
        for (const TreeListNode* n = dragged; n && !holdsDragged; n = n->parent)
            holdsDragged = n == &column;
        if (holdsDragged)
            column.width += delta;
        else if (column.x >= boundary)
            column.x += delta;
        column.right = column.x + column.width;
        return true;
    });
}

void TreeListView::mousePressEvent(QMouseEvent* event) {
    if (mode_ != kTreeListMode)
        return;
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        const int index = RowIndexAt(pos.y());
        if (index < 0)
            return;
        const TreeListNode& row = *shown_[size_t(index)];
        selected_ = &row;
        repaint();
        const int column = ColumnIndexAt(pos.x());
        if (column < 0)
            return;
        if (const int id = ButtonForRightClick(*leaves_[size_t(column)], row); id > 0)
            Q_EMIT buttonRequested(id);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    if (const int column = ColumnBoundaryAt(pos.x()); column >= 0) {
        drag_ = Drag::Column;
        dragIndex_ = column;
        dragOrigin_ = dragPos_ = leaves_[size_t(column)]->right;
        update();
        return;
    }
    if (const int row = RowBoundaryAt(pos); row >= 0) {
        drag_ = Drag::Row;
        dragIndex_ = row;
        dragOrigin_ = dragPos_ = shown_[size_t(row)]->bottom;
        update();
        return;
    }
    const int index = RowIndexAt(pos.y());
    selected_ = index >= 0 ? shown_[size_t(index)] : nullptr;
    if (index >= 0 && ColumnIndexAt(pos.x()) == 1) {
        TreeListNode& row = *shown_[size_t(index)];
        if (std::abs(pos.x() + horizontal_->value() - row.expanderX) <= kExpanderZone) {
            row.expanded = !row.expanded;
            LayoutBody();
        }
    }
    update();
}

void TreeListView::mouseMoveEvent(QMouseEvent* event) {
    if (mode_ != kTreeListMode)
        return;
    const QPoint pos = event->position().toPoint();
    if (drag_ == Drag::Column) {
        const int left = leaves_[size_t(dragIndex_)]->x;
        dragPos_ = std::max(left, pos.x() + horizontal_->value());
        update();
        return;
    }
    if (drag_ == Drag::Row) {
        const int top = shown_[size_t(dragIndex_)]->y;
        dragPos_ = std::max(top, pos.y() - headerBottom_ + vertical_->value());
        update();
        return;
    }
    if (ColumnBoundaryAt(pos.x()) >= 0)
        setCursor(Qt::SizeHorCursor);
    else if (RowBoundaryAt(pos) >= 0)
        setCursor(Qt::SizeVerCursor);
    else
        setCursor(Qt::ArrowCursor);
}

void TreeListView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || drag_ == Drag::None)
        return;
    const int delta = dragPos_ - dragOrigin_;
    if (drag_ == Drag::Column) {
        ApplyColumnDrag(delta);
    } else {
        TreeListNode& row = *shown_[size_t(dragIndex_)];
        row.height += delta;
    }
    drag_ = Drag::None;
    dragIndex_ = -1;
    LayoutBody();
}

void TreeListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (mode_ != kTreeListMode || event->button() != Qt::LeftButton)
        return;
    const int index = RowIndexAt(event->position().toPoint().y());
    if (index < 0)
        return;
    TreeListNode& row = *shown_[size_t(index)];
    row.expanded = !row.expanded;
    LayoutBody();
}

void TreeListView::wheelEvent(QWheelEvent* event) {
    if (mode_ != kTreeListMode || !vertical_->isVisible())
        return;
    const int notches = event->angleDelta().y() / 120;
    vertical_->setValue(vertical_->value() - notches * kWheelStep);
}

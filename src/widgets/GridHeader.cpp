#include "widgets/GridHeader.h"

#include <QMouseEvent>

GridHeader::GridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

bool GridHeader::OnFixedColumn(const QPoint& pos) const {
    if (!isFixed_)
        return false;
    const int section = logicalIndexAt(pos);
    return section >= 0 && isFixed_(section);
}

void GridHeader::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && OnFixedColumn(event->position().toPoint())) {
        event->accept();
        return;
    }
    QHeaderView::mousePressEvent(event);
}

void GridHeader::mouseReleaseEvent(QMouseEvent* event) {
    QHeaderView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT mouseReleased();
}

void GridHeader::mouseDoubleClickEvent(QMouseEvent* event) {
    if (OnFixedColumn(event->position().toPoint())) {
        event->accept();
        return;
    }
    QHeaderView::mouseDoubleClickEvent(event);
}

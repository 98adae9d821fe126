#include "widgets/CHeaderCtrlZv.h"

#include <QMouseEvent>

CHeaderCtrlZv::CHeaderCtrlZv(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

bool CHeaderCtrlZv::OnFixedColumn(const QPoint& pos) const {
    if (!isFixed_)
        return false;
    const int section = logicalIndexAt(pos);
    return section >= 0 && isFixed_(section);
}

void CHeaderCtrlZv::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && OnFixedColumn(event->position().toPoint())) {
        event->accept();
        return;
    }
    QHeaderView::mousePressEvent(event);
}

void CHeaderCtrlZv::mouseReleaseEvent(QMouseEvent* event) {
    QHeaderView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT mouseReleased();
}

void CHeaderCtrlZv::mouseDoubleClickEvent(QMouseEvent* event) {
    if (OnFixedColumn(event->position().toPoint())) {
        event->accept();
        return;
    }
    QHeaderView::mouseDoubleClickEvent(event);
}

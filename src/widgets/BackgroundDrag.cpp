#include "widgets/BackgroundDrag.h"

#include <QMouseEvent>
#include <QWidget>

BackgroundDrag::BackgroundDrag(QWidget* window, std::function<bool()> allowed)
    : QObject(window), window_(window), allowed_(std::move(allowed)) {
    window->installEventFilter(this);
}

bool BackgroundDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        Press(*static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseMove:
        Move(*static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            End();
        break;
    case QEvent::Hide:
        End();
        break;
    default:
        break;
    }
    return false;
}

void BackgroundDrag::Press(const QMouseEvent& event) {
    if (event.button() != Qt::LeftButton || !window_->isWindow() ||
        (window_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) ||
        (allowed_ && !allowed_()))
        return;
    if (!offset_)
        trackedBefore_ = window_->hasMouseTracking();
    offset_ = event.globalPosition().toPoint() - window_->pos();
    window_->setMouseTracking(true);
}

void BackgroundDrag::Move(const QMouseEvent& event) {
    if (!offset_)
        return;
    if (event.buttons() & Qt::LeftButton)
        window_->move(event.globalPosition().toPoint() - *offset_);
    else
        End();
}

void BackgroundDrag::End() {
    if (!offset_)
        return;
    offset_.reset();
    window_->setMouseTracking(trackedBefore_);
}

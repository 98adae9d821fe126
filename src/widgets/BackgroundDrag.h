#pragma once
// Moving a window by its background: a left press on the window itself (or one its children
// let through) starts a drag, the window follows the pointer while the button is held, and the
// release ends it. A move that comes without the button held ends it too, so a release that
// went elsewhere never leaves the window following a free pointer.
//
// The window is moved here rather than by the window manager's move: a release that reached
// the pointer before the manager's move began left that move running until the next click.
#include <QObject>
#include <QPoint>

#include <functional>
#include <optional>

class QMouseEvent;
class QWidget;

class BackgroundDrag : public QObject {
public:
    // Watches `window`'s mouse events; `allowed`, when given, may refuse a drag as it starts.
    explicit BackgroundDrag(QWidget* window, std::function<bool()> allowed = {});

    bool Dragging() const { return offset_.has_value(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Press(const QMouseEvent& event);
    void Move(const QMouseEvent& event);
    void End();

    QWidget* window_;
    std::function<bool()> allowed_;
    // Where the pointer holds the window, from its top left corner.
    std::optional<QPoint> offset_;
    // While a drag is on the window tracks the pointer, so that a move without the button
    // reaches it.
    bool trackedBefore_ = false;
};

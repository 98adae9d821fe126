#pragma once
// The grid's header. Fixed columns refuse every header action: presses on them (a click, the
// start of a divider drag, a divider double-click) are swallowed before the header sees them.
#include <QHeaderView>

#include <functional>

class GridHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit GridHeader(QWidget* parent = nullptr);

    void SetFixedTest(std::function<bool(int column)> isFixed) { isFixed_ = std::move(isFixed); }

Q_SIGNALS:
    // The left button went up: a divider drag, if any, is over.
    void mouseReleased();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool OnFixedColumn(const QPoint& pos) const;

    std::function<bool(int)> isFixed_;
};

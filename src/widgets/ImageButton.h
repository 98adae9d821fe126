#pragma once
// The image button of forms: an optional picture beside the caption on a flat face, or on a
// gradient face when shaded. Its caption turns dark blue while it has the focus and green
// while the pointer is over it.
#include <QColor>
#include <QPixmap>
#include <QPushButton>

class ImageButton : public QPushButton {
    Q_OBJECT
public:
    enum class Shade { None, Normal, Alternative };

    explicit ImageButton(const QString& text, QWidget* parent = nullptr);

    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const { return picture_; }
    // The caption's colour when neither focused nor under the pointer.
    void SetTextColor(const QColor& colour);
    QColor TextColor() const { return textColor_; }
    void SetShade(Shade shade);
    Shade GetShade() const { return shade_; }

    // The caption colour for the current state.
    QColor CurrentTextColor() const;

    static QColor FocusedTextColor() { return QColor(0, 0, 128); }
    static QColor HoverTextColor() { return QColor(0, 128, 0); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintFace(QPainter& painter) const;

    QPixmap picture_;
    QColor textColor_{Qt::black};
    Shade shade_ = Shade::None;
};

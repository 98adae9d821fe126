#pragma once
// The owner-drawn label of forms: text on a transparent background in the label's own colour,
// aligned by its style bits, and optionally one drawn item (a line, a frame, a picture...)
// described like a form background item, placed relative to the label.
#include "platform/ValueGrammars.h"

#include <QColor>
#include <QPainter>
#include <QWidget>

#include <optional>

// One drawn item inside a label.
struct LabelItem {
    QString type;         // img, line, rect, rect1, rect2, rect3, arrow, text
    RectValue pos;        // relative to the label
    int style = 0;        // tens digit horizontal, units digit vertical placement; rect: dash style
    int width = 1;        // pen width; for text, 0 means a transparent text background
    int color = 0xF0F0F0; // packed r + g*256 + b*65536
    QString text;         // picture file or drawn text
    QString font;         // text font grammar
};

class DrawnLabel : public QWidget {
    Q_OBJECT
public:
    explicit DrawnLabel(const QString& text, QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const { return text_; }
    void SetTextColor(const QColor& colour);
    std::optional<QColor> TextColor() const { return textColor_; }
    void SetStyleBits(int bits);
    Qt::Alignment TextAlignment() const { return alignment_; }
    // `drawMode` is the platform raster mode the item is drawn with (13 plain copy).
    void SetItem(const LabelItem& item, int drawMode);
    // The folder an "img" item's file is named relative to, with its trailing "/"; pictures named
    // by an http address are downloaded into its "temp/" folder.
    void SetPictureFolder(const QString& folder) { pictureFolder_ = folder; }
    const std::optional<LabelItem>& Item() const { return item_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    std::optional<QColor> textColor_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignTop;
    bool sunken_ = false;
    bool border_ = false;
    bool ellipsis_ = false;
    std::optional<LabelItem> item_;
    int drawMode_ = 13;
    QString pictureFolder_;
    bool watchingDownloads_ = false;
};

// Draws `item` inside `area` the way a form background item is drawn in its client area; an "img"
// file is named relative to `pictureFolder`.
void DrawLabelItem(QPainter& painter, const LabelItem& item, const QRect& area,
                   const QString& pictureFolder);
// A packed r + g*256 + b*65536 colour.
QColor PackedColor(int packed);

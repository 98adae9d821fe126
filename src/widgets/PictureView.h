#pragma once
// The picture control of forms. It shows a picture scaled to fit its area or, once a report
// command has made it one, a chart drawn from a grid of the form at every paint. The chart
// itself lives in a higher layer and is handed in as a PictureChart.
#include <QColor>
#include <QImage>
#include <QWidget>

#include <memory>

// What draws the control when it shows a chart.
class PictureChart {
public:
    virtual ~PictureChart() = default;
    // Draws the whole chart on a white W x H area.
    virtual void Draw(QPainter& painter, const QSize& size) const = 0;
};

class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent = nullptr);
    ~PictureView() override;

    // Replaces the held picture (whatever the kind: a chart keeps showing until kind 1).
    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }
    void SetText(const QString& text) { text_ = text; }
    QString Text() const { return text_; }
    void SetColor(const QColor& colour) { colour_ = colour; }
    QColor Color() const { return colour_; }

    // The chart this control shows instead of its picture; none shows the picture again.
    void SetChart(std::unique_ptr<PictureChart> chart);
    PictureChart* Chart() const { return chart_.get(); }
    // What the control shows, drawn into an image of its size (a chart on white; a picture
    // letter-boxed on white; nothing at all, transparent, for no picture).
    QImage Render() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawPicture(QPainter& painter) const;

    QImage picture_;
    QString text_;
    QColor colour_;
    std::unique_ptr<PictureChart> chart_;
};

#pragma once
// A chart drawn from the rows of a grid into a picture control: its state (kind, texts, series)
// and its drawing. The control draws it at every paint, so the chart follows the grid.
#include "widgets/PictureView.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

class GridView;

// The four labels of a bar chart's grid lines for a left sign of `leftSign`: M - k*(M/4),
// "%.2f" without trailing zeros.
QStringList ChartScaleLabels(int leftSign);

struct ChartSeries {
    int chartType = 1;
    int chartZx = 0;
    int col = 2;
    int colText = 0;
    int startX = 0;
    int currentX = 0;
    double pos = 0;
    double max = 0;
    double move = 0;
    int posWidth = 1;
    int width = 50;
    std::uint32_t colour = 0xFF000000u;
};

struct ChartState {
    int kind = 1;
    QString title = QStringLiteral("标题");
    QPointer<GridView> grid;
    int rowBegin = 0;
    int rowCount = 0;
    int labelColumn = 0;
    QString leftSign;
    QString leftTitle;
    QString rightSign;
    QString rightTitle;
    std::uint32_t axisColour = 0xFF000000u;
    int seriesCount = 0;
    int rowSpacing = 0;
    int totalWidth = 0;
    std::array<ChartSeries, 20> series;
    int lastLabelledRow = -1;
};

class GridChart : public PictureChart {
public:
    // The chart of `picture`, created (and handed to the picture) when it has none yet.
    static GridChart& Of(PictureView& picture);

    ChartState& State() { return state_; }
    // Follows the grid: the picture repaints when the grid's rows or cells change.
    void SetGrid(GridView* grid, PictureView& picture);

    void Draw(QPainter& painter, const QSize& size) const override;

private:
    void DrawBars(QPainter& painter, const QSize& size) const;
    void DrawBands(QPainter& painter, const QSize& size, int first, int last, bool window) const;

    // Drawing fills in the computed fields (x positions, the last labelled row, a default max).
    mutable ChartState state_;
};

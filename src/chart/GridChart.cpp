#include "chart/GridChart.h"

#include "chart/ChartPrimitives.h"
#include "widgets/GridModel.h"
#include "widgets/GridView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

using namespace chart;

QString Cell(const GridView& grid, int row, int column) {
    return column >= 0 && column < grid.ColumnCount() ? grid.CellText(row, column) : QString();
}

QString Header(const GridView& grid, int column) {
    const ColumnInfo* info = grid.Model()->Column(column);
    return info ? info->title : QString();
}

// The number a cell starts with: kind 2 reads whole numbers, the band charts decimals; text
// that is no number reads as 0.
double LeadingNumber(const QString& text, bool whole) {
    qsizetype end = 0;
    const QString t = text.trimmed();
    if (end < t.size() && (t[end] == u'-' || t[end] == u'+'))
        ++end;
    while (end < t.size() && t[end].isDigit())
        ++end;
    if (!whole && end < t.size() && t[end] == u'.') {
        ++end;
        while (end < t.size() && t[end].isDigit())
            ++end;
    }
    return t.left(end).toDouble();
}

// "%.2f" without its trailing zeros (and without a lone point).
QString TrimDecimalZeros(double value) {
    QString text = QString::asprintf("%.2f", value);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

} // namespace

QStringList ChartScaleLabels(int leftSign) {
    QStringList labels;
    for (int k = 0; k < 4; ++k)
        labels.append(TrimDecimalZeros(leftSign - k * (leftSign / 4.0)));
    return labels;
}

GridChart& GridChart::Of(PictureView& picture) {
    if (auto* chart = dynamic_cast<GridChart*>(picture.Chart()))
        return *chart;
    auto chart = std::make_unique<GridChart>();
    GridChart& held = *chart;
    picture.SetChart(std::move(chart));
    return held;
}

void GridChart::SetGrid(GridView* grid, PictureView& picture) {
    if (state_.grid != grid && grid) {
        const auto repaint = [target = QPointer<PictureView>(&picture)] {
            if (target)
                target->update();
        };
        QObject::connect(grid->Model(), &QAbstractItemModel::modelReset, &picture, repaint);
        QObject::connect(grid->Model(), &QAbstractItemModel::dataChanged, &picture, repaint);
        QObject::connect(grid->Model(), &QAbstractItemModel::rowsInserted, &picture, repaint);
        QObject::connect(grid->Model(), &QAbstractItemModel::rowsRemoved, &picture, repaint);
    }
    state_.grid = grid;
}

void GridChart::Draw(QPainter& painter, const QSize& size) const {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (!state_.grid)
        return;
    const int rows = state_.grid->RowCount();
    switch (state_.kind) {
    case 2:
        DrawBars(painter, size);
        break;
    case 3:
    case 31:
        DrawBands(painter, size, 0, rows, false);
        break;
    case 5:
        DrawBands(painter, size, std::max(0, state_.rowBegin),
                  std::min(state_.rowBegin + state_.rowCount, rows), true);
        break;
    default:
        break;
    }
}

void GridChart::DrawBars(QPainter& painter, const QSize& size) const {
    const GridView& grid = *state_.grid;
    const int W = size.width();
    const int H = size.height();
    const int n = grid.RowCount();
    const int s = std::max(1, state_.seriesCount);
    const int S = state_.rowSpacing;
    const int T = state_.totalWidth;
    const int w0 = state_.series[0].width;
    const int L = state_.labelColumn;
    const QColor axis = Argb(state_.axisColour);

    Arrow(painter, QPoint(50, H - 30), QPoint(W - 50, H - 30), 2, axis);
    TextIn(painter, QRect(W - 150, H - 25, 115, 20), Qt::AlignRight | Qt::AlignVCenter,
           Header(grid, L - 1), 9, axis);
    Arrow(painter, QPoint(50, H - 30), QPoint(50, 100), 2, axis);
    TextAt(painter, QPoint(36, 75), state_.leftTitle, 9, axis);
    TextIn(painter, QRect(0, 10, W, 100), Qt::AlignHCenter | Qt::AlignTop, state_.title, 18,
           kTextRed);

    const int M = int(LeadingNumber(state_.leftSign, true));
    const int A = H - 150;
    const QStringList labels = ChartScaleLabels(M);
    for (int k = 0; k < 4; ++k) {
        const int y = 120 + k * (A / 4);
        Line(painter, QPoint(50, y), QPoint(W - 50, y), 1, kGridRed);
        TextIn(painter, QRect(0, y - 20, 50, 40), Qt::AlignRight | Qt::AlignVCenter, labels[k], 9,
               kTextRed);
    }

    const int count = std::min(state_.seriesCount, int(state_.series.size()));
    for (int i = 0; i < count; ++i) {
        ChartSeries& series = state_.series[size_t(i)];
        series.startX = i == 0 ? 50
                               : state_.series[size_t(i - 1)].startX +
                                     state_.series[size_t(i - 1)].width / 2 + series.width / 2;
        series.currentX = series.startX;
        // No scale (a left sign of 0): the axes and texts without bars or points.
        if (M == 0)
            continue;
        const QColor colour = Argb(series.colour);
        QList<QPoint> points;
        for (int r = 0; r < n; ++r) {
            series.currentX += r == 0 ? S / s : S;
            const int x = series.currentX;
            const QString text = Cell(grid, r, series.col - 1);
            const double v = LeadingNumber(text, true);
            const int y = int((H - 30) - v * (double(A) / M));
            if (series.chartType >= 1)
                Line(painter, QPoint(x, H - 30), QPoint(x, y), series.width, colour, Qt::FlatCap);
            points.append(QPoint(x, y));
            if (i == 0)
                TextIn(painter,
                       QRect(S / s + S * r + T / 2 - w0 / 2 - S / 2 - 150, H - 28, S + 400, 100),
                       Qt::AlignHCenter | Qt::AlignTop, Cell(grid, r, L - 1), 9, kTextRed);
            TextIn(painter, QRect(x - 50 * S - 200, y - 100, 100 * S + 400, 100),
                   Qt::AlignHCenter | Qt::AlignBottom, text, 9, kTextRed);
        }
        if (series.chartZx >= 1) {
            Circles(painter, points, 4, colour);
            Curve(painter, points, 2, colour);
        }
    }

    // The legend, from the right.
    int c = W - 50;
    for (int i = count - 1; i >= 0; --i) {
        const ChartSeries& series = state_.series[size_t(i)];
        const QString name = Header(grid, series.col - 1);
        const int a = c - 14 * int(name.size());
        Line(painter, QPoint(a - 42, 60), QPoint(a - 30, 60), 12, Argb(series.colour), Qt::FlatCap);
        TextAt(painter, QPoint(a - 28, 52), name, 9, kTextRed);
        c = a - 28;
    }
}

void GridChart::DrawBands(QPainter& painter, const QSize& size, int first, int last,
                          bool window) const {
    const GridView& grid = *state_.grid;
    const int W = size.width();
    const int H = size.height();
    const int s = std::max(1, state_.seriesCount);
    const int S = state_.rowSpacing;
    const int T = state_.totalWidth;
    const int w0 = state_.series[0].width;
    const int L = state_.labelColumn;
    const QColor axis = Argb(state_.axisColour);

    TextIn(painter, QRect(0, 10, W, 50), Qt::AlignHCenter | Qt::AlignTop, state_.title, 12,
           kTextRed);
    TextAt(painter, QPoint(W - int(LeadingNumber(state_.rightSign, true)), 20), state_.rightTitle,
           9, kCaptionBlue);
    TextAt(painter, QPoint(int(LeadingNumber(state_.leftSign, true)), 20), state_.leftTitle, 9,
           kCaptionBlue);
    const double D = LeadingNumber(state_.leftSign, false);
    const int F = H - 20;
    const int P = F - 20;

    const int count = std::min(state_.seriesCount, int(state_.series.size()));
    for (int i = 0; i < count; ++i) {
        ChartSeries& series = state_.series[size_t(i)];
        series.currentX = 10;
        if (series.max == 0)
            series.max = D;
        const QColor colour = Argb(series.colour);
        const int y0 = int(F - series.pos * F);
        Arrow(painter, QPoint(0, y0), QPoint(W - 5, y0), 1, axis);
        // No scale (no maximum anywhere): the baseline without points.
        if (series.max == 0)
            continue;
        const double k = P / series.max;
        state_.lastLabelledRow = -1;
        QList<QPoint> points;
        for (int r = first; r < last; ++r) {
            const int index = r - first; // the window's first row stands where row 0 would
            const double v = LeadingNumber(Cell(grid, r, series.col - 1), false);
            series.currentX += index == 0 ? S / s : S;
            const int x = series.currentX;
            const int y = int(y0 - v * k - series.move * k);
            const QString label =
                series.colText >= 1 ? Cell(grid, r, series.colText - 1) : QString();
            if (!label.isEmpty())
                state_.lastLabelledRow = index;
            if (index == 0)
                TextAt(painter, QPoint(x, y + 2), Header(grid, series.col - 1), 9, colour);
            if (series.chartType == 1)
                Line(painter, QPoint(x, y0), QPoint(x, y), series.width, colour, Qt::FlatCap);
            points.append(QPoint(x, y));
            if (i == 0 && L >= 1)
                TextIn(painter, QRect(S / s + S * index + T / 2 - w0 / 2 - S / 2, y0 + 2, S, 100),
                       Qt::AlignHCenter | Qt::AlignTop, Cell(grid, r, L - 1), 9, kTextRed);
            if (!label.isEmpty())
                TextIn(painter,
                       QRect(x - 50 * S - 100, y <= y0 ? y - 100 : y - 80, 100 * S + 200, 100),
                       Qt::AlignHCenter | Qt::AlignBottom, label, 9, kTextRed);
        }
        const int labelled = state_.lastLabelledRow;
        const int n = int(points.size());
        switch (series.chartZx) {
        case 1:
            Circles(painter, points, series.posWidth, colour);
            Curve(painter, points, series.posWidth, colour);
            break;
        case 2:
            Circles(painter, points, series.posWidth, colour);
            break;
        case 3:
            Curve(painter, points, series.posWidth, colour);
            break;
        case 4:
            // The moving window draws only the first three choices.
            if (window)
                break;
            Circles(painter, points, series.posWidth, colour);
            Curve(painter, labelled > 0 && labelled < n - 1 ? points.mid(0, labelled + 1) : points,
                  series.posWidth, colour);
            break;
        default:
            break;
        }
        if (series.chartType == 2)
            TrendLines(painter, points, W, colour);
        if (!points.isEmpty())
            LevelLine(painter, points.last(), points.last() + QPoint(1, 0), W, colour);
    }
}

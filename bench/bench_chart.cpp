// A bar chart of 1,000 rows and 4 series drawn from a grid, against the same primitives (axes,
// grid lines, one bar and one value label per cell, row labels, legend) drawn by a bare QPainter
// loop from values read beforehand.
#include "BenchSupport.h"
#include "chart/GridChart.h"
#include "widgets/GridView.h"
#include "widgets/PictureView.h"

#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

constexpr int kSeries = 4;
const QSize kSize(1600, 600);

struct Chart {
    GridView grid;
    PictureView picture;
    int rows = bench::Scaled(1000, 50);
    Chart() {
        grid.InsertColumn(0, QStringLiteral("月份"), 0, 60);
        for (int c = 1; c <= kSeries; ++c)
            grid.InsertColumn(c, QStringLiteral("系列%1").arg(c), 0, 60);
        for (int r = 0; r < rows; ++r) {
            const int row = grid.InsertRow(r, QStringLiteral("%1").arg(r));
            for (int c = 1; c <= kSeries; ++c)
                grid.SetCellText(row, c, QString::number((r * 7 + c * 13) % 100));
        }
        picture.resize(kSize);
        GridChart& chart = GridChart::Of(picture);
        chart.SetGrid(&grid, picture);
        ChartState& state = chart.State();
        state.kind = 2;
        state.leftSign = QStringLiteral("100");
        state.labelColumn = 1;
        state.rowSpacing = 1;
        state.seriesCount = kSeries;
        for (int i = 0; i < kSeries; ++i) {
            state.series[size_t(i)].col = i + 2;
            state.series[size_t(i)].width = 1;
            state.series[size_t(i)].colour = 0xFF000000u | (0x3F << (8 * (i % 3)));
        }
        state.totalWidth = kSeries;
    }
};

Chart& Shared() {
    static Chart chart;
    return chart;
}

void BM_BarChart(benchmark::State& state) {
    Chart& chart = Shared();
    for (auto _ : state)
        benchmark::DoNotOptimize(chart.picture.Render());
}

void BM_BarChart_Reference(benchmark::State& state) {
    Chart& chart = Shared();
    QList<QList<int>> values;
    QStringList texts;
    for (int r = 0; r < chart.rows; ++r) {
        QList<int> row;
        for (int c = 1; c <= kSeries; ++c) {
            row.append(chart.grid.CellText(r, c).toInt());
            texts.append(chart.grid.CellText(r, c));
        }
        values.append(row);
    }
    QFont font;
    font.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPointSize(9);
    const int W = kSize.width();
    const int H = kSize.height();
    for (auto _ : state) {
        QImage image(kSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setFont(font);
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(50, H - 30, W - 50, H - 30);
        p.drawLine(50, H - 30, 50, 100);
        for (int k = 0; k < 4; ++k)
            p.drawLine(50, 120 + k * 100, W - 50, 120 + k * 100);
        for (int i = 0; i < kSeries; ++i) {
            int x = 50 + i;
            for (int r = 0; r < chart.rows; ++r) {
                x += 1;
                const int y = (H - 30) - values[r][i] * 4;
                p.setPen(QPen(Qt::blue, 1));
                p.drawLine(x, H - 30, x, y);
                p.setPen(QColor(255, 0, 0, 100));
                p.drawText(QRect(x - 250, y - 100, 500, 100), Qt::AlignHCenter | Qt::AlignBottom,
                           texts[r * kSeries + i]);
                if (i == 0)
                    p.drawText(QRect(x - 150, H - 28, 401, 100), Qt::AlignHCenter | Qt::AlignTop,
                               QString::number(r));
            }
        }
        benchmark::DoNotOptimize(image);
    }
}

BENCHMARK(BM_BarChart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BarChart_Reference)->Unit(benchmark::kMillisecond);

} // namespace

// Drawing a tree-list of 10,000 rows and 20 columns, scrolled to its middle, as a repaint after
// a scroll step draws it. Reference: the same control with 100 rows. Drawing paints only the
// rows in view, so the two should cost about the same.
#include "BenchSupport.h"
#include "widgets/TreeListView.h"

#include <QImage>

#include <benchmark/benchmark.h>

namespace {

constexpr int kCellColumns = 18; // after the row numbers and the tree column

// Row numbers, the tree column, then day columns (time bars), hour totals and texts.
QList<TreeListView::HeaderColumn> Header() {
    TreeListView::HeaderColumn days{"交货时段", 0, 22, 1, "3:40,", {}};
    for (int d = 0; d < 12; ++d) {
        days.children.append({QStringLiteral("%1日").arg(d + 1), 60, 22, 0, {}, {}});
        days.width += 60;
    }
    QList<TreeListView::HeaderColumn> header{
        {"序号", 50, 44, 0, {}, {}}, {"客户 / 合同 / 物料", 240, 44, 0, {}, {}}, days};
    for (int c = 0; c < 6; ++c)
        header.append({QStringLiteral("列%1").arg(c + 1), 70, 44, c < 2 ? 2 : 0, {}, {}});
    return header;
}

// `rows` rows: every tenth a parent of the nine after it.
QStringList Rows(int rows) {
    QStringList values;
    values.reserve(rows * (3 + kCellColumns));
    QString parent;
    for (int r = 0; r < rows; ++r) {
        const QString key = QString::number(r);
        values << (r % 10 == 0 ? QString() : parent) << key << QStringLiteral("第 %1 行").arg(r);
        if (r % 10 == 0)
            parent = key;
        for (int c = 0; c < kCellColumns; ++c) {
            if (c < 12)
                values << QString::number((r + c) % 3 == 0 ? 0 : (480 + c * 10) * 10000 + 600);
            else if (c < 14)
                values << QStringLiteral("%1.5").arg(c - 11);
            else
                values << QStringLiteral("文字 %1-%2").arg(r).arg(c);
        }
    }
    return values;
}

QStringList Colors(int rows) {
    QStringList colors;
    for (int r = 0; r < rows; ++r) {
        colors << QStringLiteral("150,0,140,80");
        for (int c = 0; c < kCellColumns; ++c)
            colors << (c == 12 || c == 13 ? QStringLiteral("x") : QString());
    }
    return colors;
}

void DrawTreeList(benchmark::State& state, int rows) {
    TreeListView chart;
    chart.resize(1400, 800);
    chart.BuildHeader(Header());
    chart.SetDisplayMode(TreeListView::kTreeListMode);
    chart.AddRows(Rows(rows), Colors(rows), {}, 3 + kCellColumns, 24);
    if (int(chart.ShownRows().size()) != rows) {
        state.SkipWithError("not every row was added");
        return;
    }
    chart.ScrollToRow(rows / 2);
    for (auto _ : state) {
        const QImage image = chart.RenderImage();
        benchmark::DoNotOptimize(image.constBits());
    }
    if (chart.LastPaintedRowCount() < 20 || chart.LastPaintedRowCount() > 40)
        state.SkipWithError("the drawing did not paint one screenful of rows");
    state.counters["painted_rows"] = chart.LastPaintedRowCount();
}

void BM_TreeListDraw(benchmark::State& state) {
    DrawTreeList(state, bench::Scaled(10000, 1000));
}

void BM_TreeListDraw_Reference(benchmark::State& state) {
    DrawTreeList(state, 100);
}

} // namespace

BENCHMARK(BM_TreeListDraw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TreeListDraw_Reference)->Unit(benchmark::kMillisecond);

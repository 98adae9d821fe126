// A grid of 1,000 rows of 6 columns printed to PDF through a form's page layout, 40 rows a page
// with a header row, grid lines and page numbers. Reference: a bare QPainter loop over a PDF
// writer drawing the same texts in the same boxes and the same lines on the same pages.
#include "BenchSupport.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "print/PrintLayout.h"
#include "widgets/GridView.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kColumns = 6;
constexpr int kPerPage = 40;
constexpr int kHeadHeight = 70;
constexpr int kRowHeight = 60;
const int kWidths[kColumns] = {150, 300, 350, 200, 400, 400}; // sum 1800, no scaling rest
const char16_t* const kTitles[kColumns] = {u"序号", u"编码", u"名称", u"数量", u"单价", u"金额"};

const char* const kForm = R"xml(<html version='1.0' id='0'>
<head title='打印' pos='0,0,800,600'/>
<body><dialog>
  <table id='9' pos='10,10,790,590'><PARA><col_info>
    <col id='1' title='序号' width='40'/><col id='2' title='编码' width='80'/>
    <col id='3' title='名称' width='80'/><col id='4' title='数量' width='60'/>
    <col id='5' title='单价' width='60'/><col id='6' title='金额' width='60'/>
  </col_info></PARA></table>
</dialog></body></html>)xml";

const char* const kLayout = R"xml(<print_para head_width='2100'>
  <table_print pos='150,200,1950,2800' value='9' align='1'>
    <head_info_print row_height='70'>
      <h row_id='1' width='150' id='1'/><h row_id='1' width='300' id='2'/>
      <h row_id='1' width='350' id='3'/><h row_id='1' width='200' id='4'/>
      <h row_id='1' width='400' id='5'/><h row_id='1' width='400' id='6'/>
    </head_info_print>
    <col_info_print row_height='60' count_in_page='40'>
      <c col_id='1' width='150' align='37'/><c col_id='2' width='300' align='36'/>
      <c col_id='3' width='350' align='36'/><c col_id='4' width='200' align='38'/>
      <c col_id='5' width='400' align='38'/><c col_id='6' width='400' align='38'/>
    </col_info_print>
  </table_print>
</print_para>)xml";

struct Fixture {
    std::unique_ptr<bench::AccountSet> set;
    FormWindow* form = nullptr;
    GridView* grid = nullptr;
    FormXml::XmlDocument layout;
    QTemporaryDir dir;
    QString error;
};

Fixture& TheFixture() {
    static Fixture* fixture = [] {
        auto* f = new Fixture;
        f->set = bench::AccountSet::CreateSqlite(f->error);
        if (!f->set || !f->set->UseAndLogIn(f->error))
            return f;
        f->form =
            FormWindow::OpenForm(QString::fromUtf8(kForm), QString(), QString(), "1", "打印", "");
        if (!f->form) {
            f->error = QStringLiteral("the form does not open");
            return f;
        }
        f->grid = qobject_cast<GridView*>(f->form->ControlByWindowId(WindowIdOfDocumentId(9)));
        const int rows = bench::Scaled(1'000, 100);
        for (int r = 1; r <= rows; ++r)
            f->grid->AppendRow(
                {QString::number(r), QStringLiteral("M%1").arg(r, 6, 10, QLatin1Char('0')),
                 QStringLiteral("六角螺栓 M%1").arg(6 + r % 10), QString::number(r % 97 + 1),
                 QString::number(1.25 * (r % 40 + 1), 'f', 2),
                 QString::number(1.25 * (r % 40 + 1) * (r % 97 + 1), 'f', 2)});
        f->layout.LoadXml(QString::fromUtf8(kLayout));
        return f;
    }();
    return *fixture;
}

void BM_PrintGrid(benchmark::State& state) {
    Fixture& f = TheFixture();
    if (!f.grid) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    const QString path = f.dir.filePath("grid.pdf");
    int pages = 0;
    for (auto _ : state) {
        PrintLayout layout(*f.form, f.layout.GetRoot());
        pages = WritePdf(layout, path, QPageSize(QPageSize::A4));
    }
    const int expected = (f.grid->RowCount() + kPerPage - 1) / kPerPage;
    if (pages != expected)
        state.SkipWithError("wrong page count");
    state.counters["pages/s"] =
        benchmark::Counter(double(pages) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PrintGrid)->Unit(benchmark::kMillisecond);

// The same pages drawn directly: same device, units, font, texts, boxes and lines.
void BM_PrintGrid_Reference(benchmark::State& state) {
    Fixture& f = TheFixture();
    if (!f.grid) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    const QString path = f.dir.filePath("reference.pdf");
    const int rows = f.grid->RowCount();
    const int pages = (rows + kPerPage - 1) / kPerPage;
    for (auto _ : state) {
        QPdfWriter writer(path);
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        writer.setResolution(600);
        QPainter painter(&writer);
        QFont font(QStringLiteral("宋体"));
        font.setPixelSize(40);
        const QPen thin(Qt::black, 1);
        const QPen thick(Qt::black, 2, Qt::SolidLine, Qt::SquareCap);
        for (int page = 1; page <= pages; ++page) {
            if (page > 1)
                writer.newPage();
            painter.save();
            painter.scale(writer.logicalDpiX() / 254.0, writer.logicalDpiY() / 254.0);
            painter.setFont(font);
            const int left = 150;
            const int right = 1950;
            int y = 200;
            painter.drawText(QRect(left + 3, y - 50 + 3, 1800 - 6, 45),
                             Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                             QStringLiteral("第 %1/%2 页").arg(page).arg(pages));
            painter.setPen(thick);
            painter.drawLine(left, y, right, y);
            int x = left;
            for (int c = 0; c < kColumns; ++c) {
                painter.setPen(Qt::black);
                painter.drawText(QRect(x + 3, y + 3, kWidths[c] - 6, kHeadHeight - 5),
                                 Qt::AlignCenter | Qt::TextSingleLine,
                                 QString::fromUtf16(kTitles[c]));
                painter.setPen(thin);
                painter.drawLine(x, y, x, y + kHeadHeight);
                x += kWidths[c];
            }
            painter.drawLine(right, y, right, y + kHeadHeight);
            y += kHeadHeight;
            painter.drawLine(left, y, right, y);
            const int top = y;
            const int first = (page - 1) * kPerPage;
            const int last = std::min(rows, page * kPerPage);
            for (int r = first; r < last; ++r) {
                x = left;
                painter.setPen(Qt::black);
                for (int c = 0; c < kColumns; ++c) {
                    const int align =
                        c == 0 ? Qt::AlignCenter
                               : (c < 3 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
                    painter.drawText(QRect(x + 3, y + 3, kWidths[c] - 6, kRowHeight - 5),
                                     align | Qt::TextSingleLine, f.grid->CellText(r, c));
                    x += kWidths[c];
                }
                y += kRowHeight;
                painter.setPen(r == last - 1 ? thick : thin);
                painter.drawLine(left, y, right, y);
            }
            painter.setPen(thin);
            x = left;
            for (int c = 0; c <= kColumns; ++c) {
                painter.drawLine(x, top, x, y);
                if (c < kColumns)
                    x += kWidths[c];
            }
            painter.setPen(thick);
            painter.drawLine(left, 200, left, y);
            painter.drawLine(right, 200, right, y);
            painter.restore();
        }
    }
    state.counters["pages/s"] =
        benchmark::Counter(double(pages) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PrintGrid_Reference)->Unit(benchmark::kMillisecond);

} // namespace

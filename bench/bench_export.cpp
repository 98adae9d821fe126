// Exporting 100,000 rows of 10 cells into the demo's stored spreadsheet template, against
// libxlsxwriter writing the same cells (numbers as numbers, texts as texts) into a new workbook
// from scratch. Both sides end with a complete .xlsx file on disk.
#include "BenchSupport.h"
#include "platform/TemplateWorkbook.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

namespace {

QList<QStringList> Rows() {
    const int count = bench::Scaled(100000, 500);
    QList<QStringList> rows;
    rows.reserve(count);
    for (int r = 0; r < count; ++r)
        rows.append({QString::number(r + 1), QStringLiteral("M%1").arg(r, 7, 10, QLatin1Char('0')),
                     QStringLiteral("物料%1").arg(r % 977),
                     QStringLiteral("规格 %1×%2").arg(r % 13).arg(r % 7), QStringLiteral("个"),
                     QString::number(r % 1000), QString::number((r % 100) + 0.5, 'f', 2),
                     QString::number((r % 1000) * ((r % 100) + 0.5), 'f', 2),
                     QStringLiteral("00%1").arg(r % 50), QStringLiteral("备注")});
    return rows;
}

struct Data {
    QTemporaryDir dir;
    QString templatePath = dir.filePath(QStringLiteral("stock.xlsx"));
    QList<QStringList> rows = Rows();
    Data() { QFile::copy(QStringLiteral(":/demo/templates/stock.xlsx"), templatePath); }
};

Data& Shared() {
    static Data data;
    return data;
}

// The number test both sides use: what the export writes as a number.
bool IsNumber(const QString& text) {
    bool ok = false;
    text.toDouble(&ok);
    return ok && !(text.size() > 1 && text.startsWith(QLatin1Char('0')) && text[1] != u'.');
}

void BM_Export(benchmark::State& state) {
    Data& data = Shared();
    if (!QFile::exists(data.templatePath)) {
        state.SkipWithError("the demo template is missing");
        return;
    }
    platform::WorkbookFill fill;
    fill.templatePath = data.templatePath;
    fill.outputPath = data.dir.filePath(QStringLiteral("ours.xlsx"));
    fill.startRow = 4;
    fill.rows = data.rows;
    for (auto _ : state) {
        const platform::WorkbookResult result = platform::FillTemplateWorkbook(fill);
        if (!result.ok) {
            state.SkipWithError(result.error.toStdString().c_str());
            return;
        }
    }
    state.counters["bytes"] = double(QFile(fill.outputPath).size());
}

void BM_Export_Reference(benchmark::State& state) {
    Data& data = Shared();
    const QByteArray path = data.dir.filePath(QStringLiteral("reference.xlsx")).toUtf8();
    for (auto _ : state) {
        lxw_workbook* workbook = workbook_new(path.constData());
        lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Sheet1");
        for (qsizetype r = 0; r < data.rows.size(); ++r) {
            const QStringList& row = data.rows[r];
            for (qsizetype c = 0; c < row.size(); ++c) {
                if (IsNumber(row[c]))
                    worksheet_write_number(sheet, lxw_row_t(r + 3), lxw_col_t(c), row[c].toDouble(),
                                           nullptr);
                else
                    worksheet_write_string(sheet, lxw_row_t(r + 3), lxw_col_t(c),
                                           row[c].toUtf8().constData(), nullptr);
            }
        }
        if (workbook_close(workbook) != LXW_NO_ERROR) {
            state.SkipWithError("libxlsxwriter could not write");
            return;
        }
    }
    state.counters["bytes"] = double(QFile(QString::fromUtf8(path)).size());
}

BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Export_Reference)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

// Editing one cell of a grid as a user does: the column's text box opens over the cell, takes a
// new text and the edit ends, running the form's end step. The same edit on a grid of 30 rows
// is the reference for a grid of 30,000: opening and ending an edit must not grow with the
// rows. The counters also say how many times the grid's model was reset while the user typed
// (it must be never: a reset would repaint and re-measure every row).
#include "BenchSupport.h"
#include "form/FormWindow.h"
#include "widgets/GridView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <benchmark/benchmark.h>

namespace {

constexpr int kColumns = 6;

// Column 2 is typed in text box 61.
const char* const kForm = R"xml(<html version='1.0' id='0'>
<head title='明细录入' pos='0,0,900,600'/>
<body><dialog>
  <textbox id='61' pos='0,0,60,20' hidden='1'/>
  <table id='9' pos='10,10,890,590'><PARA><col_info>
    <col id='1' title='编码' width='80'/><col id='2' title='数量' width='80' hidden_wnd='61'/>
    <col id='3' title='名称' width='120'/><col id='4' title='规格' width='120'/>
    <col id='5' title='单价' width='80'/><col id='6' title='备注' width='200'/>
  </col_info></PARA></table>
</dialog></body></html>)xml";

struct Fixture {
    std::unique_ptr<bench::AccountSet> set;
    FormWindow* form = nullptr;
    QString error;
};

Fixture& TheFixture() {
    static Fixture* fixture = [] {
        auto* f = new Fixture;
        f->set = bench::AccountSet::CreateSqlite(f->error);
        if (!f->set || !f->set->UseAndLogIn(f->error))
            return f;
        f->form = FormWindow::OpenForm(QString::fromUtf8(kForm), QString(), QString(), "902",
                                       QStringLiteral("明细录入"), QString());
        if (!f->form)
            f->error = QStringLiteral("the form did not open");
        QCoreApplication::processEvents();
        return f;
    }();
    return *fixture;
}

GridView* Grid(const Fixture& f) {
    return qobject_cast<GridView*>(f.form->ControlByWindowId(9 + 1024));
}

void Fill(GridView* grid, int rows) {
    QStringList values;
    values.reserve(qsizetype(rows) * kColumns);
    for (int r = 0; r < rows; ++r)
        values << QStringLiteral("M%1").arg(r, 6, 10, QLatin1Char('0')) << QStringLiteral("1")
               << QStringLiteral("六角螺栓") << QStringLiteral("M6×20") << QStringLiteral("9.50")
               << QString();
    grid->DeleteAllRows();
    grid->AppendRows(values, kColumns);
    QCoreApplication::processEvents();
}

void Type(QWidget* target, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, c.unicode(), Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, c.unicode(), Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &release);
    }
}

// One edit in the middle of the grid: open, type two digits, end.
void BM_CellEdit(benchmark::State& state) {
    Fixture& f = TheFixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    GridView* grid = Grid(f);
    const int rows = int(state.range(0));
    Fill(grid, rows);
    int resets = 0;
    const QMetaObject::Connection counting =
        QObject::connect(grid->Model(), &QAbstractItemModel::modelReset, [&resets] { ++resets; });
    const int row = rows / 2;
    int n = 0;
    for (auto _ : state) {
        if (!grid->BeginEdit(row, 1)) {
            state.SkipWithError("no editor opened");
            break;
        }
        auto* box = qobject_cast<QLineEdit*>(grid->EditorWindow());
        box->selectAll();
        Type(box, QString::number(10 + n++ % 80));
        grid->EndEdit(1);
    }
    QObject::disconnect(counting);
    state.counters["rows"] = rows;
    state.counters["model_resets"] = resets;
}
BENCHMARK(BM_CellEdit)->Arg(30)->Arg(30'000)->Unit(benchmark::kMicrosecond);

} // namespace

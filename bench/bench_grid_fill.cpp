// A search button whose CLICK runs select_info_table without paging fills a grid with 100,000
// rows of 10 columns from SQLite. References: the same query stepped through the bare sqlite3
// API, and through a bare QSqlQuery, the texts copied out in both. The memory row reports the
// resident memory the fill takes against the bytes of the texts the grid holds.
#include "BenchSupport.h"
#include "app/Application.h"
#include "data/ConnectionText.h"
#include "form/FormWindow.h"
#include "widgets/GridView.h"

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <random>

namespace {

constexpr int kColumns = 10;
const char* const kQuery = "SELECT uid_0,code_0,name_0,size_0,unit_0,qty_0,price_0,sum_0,date_0,"
                           "state_0,memo_0 FROM b_bench_rows ORDER BY uid_0";

// The search form: button 10 fills grid 9; the first field is the row key.
const char* const kForm = R"xml(<html version='1.0' id='0'>
<head title='大表查询' pos='0,0,1000,700'/>
<body><dialog>
  <button id='10' value='查询' pos='10,10,90,35'>
    <ACTION><CLICK><select_info_table><para_info
        select='SELECT uid_0,code_0,name_0,size_0,unit_0,qty_0,price_0,sum_0,date_0,state_0,memo_0 FROM b_bench_rows'
        where='' order=' ORDER BY uid_0' contain_head='1' table_id='9'/>
    </select_info_table></CLICK></ACTION></button>
  <table id='9' pos='10,40,990,690'><PARA><col_info>
    <col id='1' title='编码' width='80'/><col id='2' title='名称' width='120'/>
    <col id='3' title='规格' width='80'/><col id='4' title='单位' width='40'/>
    <col id='5' title='数量' width='60'/><col id='6' title='单价' width='60'/>
    <col id='7' title='金额' width='80'/><col id='8' title='日期' width='80'/>
    <col id='9' title='状态' width='50'/><col id='10' title='备注' width='160'/>
  </col_info></PARA></table>
</dialog></body></html>)xml";

const char16_t* const kNames[] = {u"螺栓", u"垫圈", u"轴承", u"齿轮", u"弹簧", u"法兰",
                                  u"阀门", u"电机", u"皮带", u"链条", u"滤芯", u"密封圈"};
const char16_t* const kMemos[] = {u"",         u"加急",           u"月底结算", u"质检合格",
                                  u"客户自提", u"含税价格",       u"",         u"部分到货",
                                  u"",         u"按合同约定交货", u"样品",     u""};

struct Fixture {
    std::unique_ptr<bench::AccountSet> set;
    QString file;
    FormWindow* form = nullptr;
    int rows = 0;
    qint64 textBytes = 0; // UTF-16 bytes of the shown cells
    QString error;
};

// Rows are written straight through sqlite3: the fill is what is measured, not the set-up.
bool Populate(const QString& file, int rows, qint64& textBytes, QString& error) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file.toUtf8().constData(), &db) != SQLITE_OK) {
        error = QStringLiteral("cannot open the account set");
        sqlite3_close(db);
        return false;
    }
    sqlite3_exec(db,
                 "CREATE TABLE b_bench_rows (uid_0 INTEGER PRIMARY KEY, code_0 TEXT, name_0 TEXT,"
                 " size_0 TEXT, unit_0 TEXT, qty_0 TEXT, price_0 TEXT, sum_0 TEXT, date_0 TEXT,"
                 " state_0 TEXT, memo_0 TEXT); BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO b_bench_rows VALUES (?,?,?,?,?,?,?,?,?,?,?)", -1, &insert,
                       nullptr);
    std::mt19937 random(42);
    std::uniform_int_distribution<int> pick(0, 11);
    std::uniform_int_distribution<int> amount(1, 5000);
    textBytes = 0;
    for (int r = 1; r <= rows; ++r) {
        const int qty = amount(random);
        const int cents = amount(random) * 7;
        const QString cells[kColumns] = {
            QStringLiteral("M%1").arg(r, 6, 10, QLatin1Char('0')),
            QString::fromUtf16(kNames[pick(random)]) + QString::fromUtf16(kNames[pick(random)]),
            QStringLiteral("%1x%2mm").arg(amount(random) % 400).arg(amount(random) % 900),
            QStringLiteral("个"),
            QString::number(qty),
            QString::number(cents / 100.0, 'f', 2),
            QString::number(qty * cents / 100.0, 'f', 2),
            QStringLiteral("2024-%1-%2")
                .arg(1 + r % 12, 2, 10, QLatin1Char('0'))
                .arg(1 + r % 28, 2, 10, QLatin1Char('0')),
            QStringLiteral("正常"),
            QString::fromUtf16(kMemos[pick(random)])};
        sqlite3_bind_int(insert, 1, r);
        for (int c = 0; c < kColumns; ++c) {
            const QByteArray utf8 = cells[c].toUtf8();
            sqlite3_bind_text(insert, c + 2, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            textBytes += cells[c].size() * 2;
        }
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    const bool ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok)
        error = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_close(db);
    return ok;
}

Fixture& TheFixture() {
    static Fixture* fixture = [] {
        auto* f = new Fixture;
        f->rows = bench::Scaled(100'000, 1'000);
        f->set = bench::AccountSet::CreateSqlite(f->error);
        if (!f->set || !f->set->UseAndLogIn(f->error))
            return f;
        f->file = AccountSetPathOf(f->set->ConnectionText());
        if (!Populate(f->file, f->rows, f->textBytes, f->error))
            return f;
        f->form = FormWindow::OpenForm(QString::fromUtf8(kForm), QString(), QString(), "901",
                                       QStringLiteral("大表查询"), QString());
        if (!f->form)
            f->error = QStringLiteral("the search form did not open");
        QCoreApplication::processEvents();
        return f;
    }();
    return *fixture;
}

GridView* Grid(Fixture& f) {
    return qobject_cast<GridView*>(f.form->ControlByWindowId(9 + 1024));
}

// One search, as the user's click runs it, until the view has taken the new rows.
bool Search(Fixture& f) {
    f.form->RunEvent(10 + 1024, QStringLiteral("CLICK"));
    QCoreApplication::processEvents();
    return Grid(f)->RowCount() == f.rows;
}

void Describe(benchmark::State& state, const Fixture& f) {
    state.counters["rows"] = f.rows;
    state.counters["cells"] = double(f.rows) * kColumns;
}

void BM_GridFill(benchmark::State& state) {
    Fixture& f = TheFixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    for (auto _ : state) {
        if (!Search(f)) {
            state.SkipWithError("the grid was not filled");
            break;
        }
        // The next search starts from an empty grid, as the reference starts from nothing.
        state.PauseTiming();
        Grid(f)->DeleteAllRows();
        state.ResumeTiming();
    }
    Describe(state, f);
}

void BM_GridFill_Reference(benchmark::State& state) {
    Fixture& f = TheFixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    sqlite3* db = nullptr;
    sqlite3_open_v2(f.file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (auto _ : state) {
        QStringList values;
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, kQuery, -1, &statement, nullptr);
        const int columns = sqlite3_column_count(statement);
        while (sqlite3_step(statement) == SQLITE_ROW)
            for (int c = 0; c < columns; ++c)
                values.append(
                    QString(reinterpret_cast<const QChar*>(sqlite3_column_text16(statement, c)),
                            sqlite3_column_bytes16(statement, c) / 2));
        sqlite3_finalize(statement);
        if (values.size() != qsizetype(f.rows) * (kColumns + 1))
            state.SkipWithError("wrong number of values");
        state.PauseTiming();
        values = QStringList();
        state.ResumeTiming();
    }
    sqlite3_close(db);
    Describe(state, f);
}

void BM_GridFill_QtQueryReference(benchmark::State& state) {
    Fixture& f = TheFixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "bench_reference");
        db.setDatabaseName(f.file);
        db.open();
        for (auto _ : state) {
            QStringList values;
            QSqlQuery query(db);
            query.setForwardOnly(true);
            query.exec(QString::fromLatin1(kQuery));
            const int columns = query.record().count();
            while (query.next())
                for (int c = 0; c < columns; ++c)
                    values.append(query.value(c).toString());
            if (values.size() != qsizetype(f.rows) * (kColumns + 1))
                state.SkipWithError("wrong number of values");
            state.PauseTiming();
            values = QStringList();
            query = QSqlQuery();
            state.ResumeTiming();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("bench_reference");
    Describe(state, f);
}

// One fill in a clean heap: the peak resident memory it takes, the memory the filled grid keeps,
// and the bytes of the texts it shows. Run it in a process of its own.
void BM_GridFill_Memory(benchmark::State& state) {
    Fixture& f = TheFixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    std::int64_t peak = 0;
    std::int64_t held = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Grid(f)->DeleteAllRows();
        malloc_trim(0);
        const bool peakReset = bench::ResetPeak();
        const std::int64_t before = bench::ResidentBytes();
        state.ResumeTiming();
        if (!Search(f) || !peakReset) {
            state.SkipWithError("the grid was not filled, or the peak cannot be measured");
            break;
        }
        state.PauseTiming();
        peak = bench::PeakResidentBytes() - before;
        malloc_trim(0);
        held = bench::ResidentBytes() - before;
        state.ResumeTiming();
    }
    const double cells = double(f.rows) * kColumns;
    Describe(state, f);
    state.counters["peak_bytes"] = double(peak);
    state.counters["held_bytes"] = double(held);
    state.counters["text_bytes"] = double(f.textBytes);
    state.counters["peak_bytes_per_cell"] = double(peak) / cells;
    state.counters["held_bytes_per_cell"] = double(held) / cells;
    state.counters["text_bytes_per_cell"] = double(f.textBytes) / cells;
}

} // namespace

BENCHMARK(BM_GridFill_Memory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridFill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridFill_Reference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridFill_QtQueryReference)->Unit(benchmark::kMillisecond);

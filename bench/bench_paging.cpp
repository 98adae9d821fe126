// QueryPage of page 1, a middle page and the last page of 1,000,000 rows, on SQLite and on
// PostgreSQL, against the same page read with LIMIT/OFFSET on the indexed order column. Both
// sides give what the paged search shows: the page's rows and the total row count.
#include "BenchSupport.h"
#include "data/DbSession.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <benchmark/benchmark.h>

namespace {

constexpr int kPageSize = 20;
const QString kSelect = QStringLiteral("SELECT uid_0,code_0,name_0,qty_0 FROM b_bench_page");
const QString kOrder = QStringLiteral("uid_0 ASC");

struct Engine {
    std::unique_ptr<bench::AccountSet> set;
    std::unique_ptr<DbSession> session;
    int rows = 0;
    QString error;
};

bool Populate(DbSession& session, bool postgres, int rows, QString& error) {
    bool ok = session.Execute(QStringLiteral("CREATE TABLE b_bench_page (uid_0 INTEGER PRIMARY "
                                             "KEY, code_0 VARCHAR(20), name_0 VARCHAR(40), "
                                             "qty_0 INTEGER)"));
    // Generated on the server: the paging is measured, not the loading.
    if (postgres)
        ok = ok &&
             session.Execute(
                 QStringLiteral("INSERT INTO b_bench_page SELECT g, 'M' || lpad(g::text, 7, '0'), "
                                "'物料' || (g % 977), g % 1000 FROM generate_series(1, %1) g")
                     .arg(rows)) &&
             session.Execute(QStringLiteral("ANALYZE b_bench_page"));
    else
        ok = ok &&
             session.Execute(
                 QStringLiteral("WITH RECURSIVE g(n) AS (SELECT 1 UNION ALL SELECT n + 1 "
                                "FROM g WHERE n < %1) INSERT INTO b_bench_page SELECT n, "
                                "'M' || substr('0000000' || n, -7), '物料' || (n % 977), "
                                "n % 1000 FROM g")
                     .arg(rows)) &&
             session.Execute(QStringLiteral("ANALYZE"));
    if (!ok)
        error = session.Message() + session.Detail();
    return ok;
}

// The page as the nested TOP form gives it, written out here as the oracle of what QueryPage
// must return.
bool NestedPage(DbSession& session, int total, int pageSize, int pageNumber, const QString& order,
                QStringList& names, QStringList& values) {
    const int page = total > pageSize ? pageNumber : 1;
    int upper = pageSize * page;
    int rows = pageSize;
    if (upper > total) {
        rows = total - upper + pageSize;
        upper = total;
    }
    QString reversed = order;
    reversed.replace(QLatin1String(" ASC"), QLatin1String(" ASC_DESC"));
    reversed.replace(QLatin1String(" DESC"), QLatin1String(" DESC_ASC"));
    reversed.replace(QLatin1String(" ASC_DESC"), QLatin1String(" DESC"));
    reversed.replace(QLatin1String(" DESC_ASC"), QLatin1String(" ASC"));
    return session.QueryWithNames(
        QStringLiteral("SELECT * FROM ( SELECT Top %1 * FROM (SELECT Top %2 * FROM (%3 ) AS "
                       "TABLE_A ORDER By %4 ) DERIVEDTBL Order By %5 ) DERIVEDTBL Order By %4")
            .arg(rows)
            .arg(upper)
            .arg(kSelect, order, reversed),
        names, values);
}

// A benchmark of a wrong page measures nothing: QueryPage must give the nested form's rows.
bool CheckPages(DbSession& session, int total, QString& error) {
    const int pages = (total + kPageSize - 1) / kPageSize;
    for (const QString& order :
         {QStringLiteral("uid_0 ASC"), QStringLiteral("qty_0 DESC, uid_0 ASC")})
        for (const int number : {1, pages / 2, pages}) {
            QStringList names, values, nestedNames, nestedValues;
            int count = 0;
            int pageCount = 0;
            session.QueryPage(kSelect, QString(), kPageSize, number, order, names, values, count,
                              pageCount);
            NestedPage(session, total, kPageSize, number, order, nestedNames, nestedValues);
            if (values.isEmpty() || names != nestedNames || values != nestedValues ||
                count != total || pageCount != pages) {
                error = QStringLiteral("QueryPage differs from the nested form: page %1 of %2")
                            .arg(number)
                            .arg(order);
                return false;
            }
        }
    return true;
}

Engine* MakeEngine(bool postgres) {
    auto* e = new Engine;
    e->rows = bench::Scaled(1'000'000, 1'000);
    e->set = postgres ? bench::AccountSet::CreatePostgres(e->error)
                      : bench::AccountSet::CreateSqlite(e->error);
    if (!e->set)
        return e;
    e->session = std::make_unique<DbSession>();
    e->session->SetConnectionString(e->set->ConnectionText());
    if (!e->session->Open()) {
        e->error = e->session->Message() + e->session->Detail();
        return e;
    }
    if (Populate(*e->session, postgres, e->rows, e->error))
        CheckPages(*e->session, e->rows, e->error);
    return e;
}

Engine& TheEngine(bool postgres) {
    static Engine* sqlite = nullptr;
    static Engine* pg = nullptr;
    Engine*& e = postgres ? pg : sqlite;
    if (!e)
        e = MakeEngine(postgres);
    return *e;
}

enum Page { First = 0, Middle = 1, Last = 2 };

int PageNumber(const Engine& e, int page) {
    const int pages = (e.rows + kPageSize - 1) / kPageSize;
    return page == First ? 1 : page == Middle ? pages / 2 : pages;
}

// The first key the page must start with.
int FirstKey(const Engine& e, int page) {
    return (PageNumber(e, page) - 1) * kPageSize + 1;
}

void Run(benchmark::State& state, bool postgres, bool reference) {
    Engine& e = TheEngine(postgres);
    if (!e.error.isEmpty()) {
        state.SkipWithError(qPrintable(e.error));
        return;
    }
    const int page = int(state.range(0));
    const int number = PageNumber(e, page);
    for (auto _ : state) {
        QStringList names;
        QStringList values;
        int total = 0;
        int pageCount = 0;
        bool ok = false;
        if (reference) {
            QString count;
            ok =
                e.session->QueryValue(QStringLiteral("SELECT count(*) FROM b_bench_page"), count) &&
                e.session->QueryWithNames(QStringLiteral("%1 ORDER BY uid_0 LIMIT %2 OFFSET %3")
                                              .arg(kSelect)
                                              .arg(kPageSize)
                                              .arg(qint64(number - 1) * kPageSize),
                                          names, values);
            total = count.toInt();
        } else {
            ok = e.session->QueryPage(kSelect, QString(), kPageSize, number, kOrder, names, values,
                                      total, pageCount);
        }
        if (!ok || total != e.rows || values.size() != qsizetype(kPageSize) * 4 ||
            values.first().toInt() != FirstKey(e, page)) {
            state.SkipWithError("wrong page");
            break;
        }
    }
    state.counters["rows"] = e.rows;
    state.counters["page"] = number;
}

void BM_Paging_Sqlite(benchmark::State& state) {
    Run(state, false, false);
}
void BM_Paging_Sqlite_Reference(benchmark::State& state) {
    Run(state, false, true);
}
void BM_Paging_Postgres(benchmark::State& state) {
    Run(state, true, false);
}
void BM_Paging_Postgres_Reference(benchmark::State& state) {
    Run(state, true, true);
}

} // namespace

// Wall-clock time: on PostgreSQL most of the work is the server's.
BENCHMARK(BM_Paging_Sqlite)->DenseRange(First, Last)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paging_Sqlite_Reference)
    ->DenseRange(First, Last)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paging_Postgres)
    ->DenseRange(First, Last)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paging_Postgres_Reference)
    ->DenseRange(First, Last)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// A page of the materials search as the local-file kind runs it: the client's statement in Access
// SQL, translated and run, against the same statement translated beforehand and run. The
// difference is what the translation adds to a paged search.
#include "BenchSupport.h"
#include "data/SqlTranslator.h"
#include "data/SqliteFunctions.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

// The materials search of the demo, one page of 24 rows in the middle of the result, in the
// nested TOP form the paged search sends.
const QString kPage = QStringLiteral(
    "SELECT * FROM ( SELECT Top 24 * FROM (SELECT Top 2400 * FROM (SELECT m.uid_0, m.code_0, "
    "m.name_0, m.spec_0, m.unit_0, m.category_0, Format(m.price_0, '0.00') AS price_0, "
    "Format(m.sale_price_0, '0.00') AS sale_price_0, Nz(s.qty_0, 0) AS stock_0 FROM c_material "
    "m LEFT JOIN p_sto s ON s.material_uid_0 = m.uid_0 WHERE 1=1 AND m.name_0 LIKE '%料%' AND "
    "m.category_0 = '五金' ) AS TABLE_A ORDER By code_0 ASC ) DERIVEDTBL Order By code_0 DESC ) "
    "DERIVEDTBL Order By code_0 ASC");

class Materials {
public:
    Materials() {
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench_tr"));
        db_.setDatabaseName(dir_.filePath(QStringLiteral("materials.dat")));
        if (!db_.open()) {
            error_ = QStringLiteral("cannot open the database");
            return;
        }
        auto* native = *static_cast<sqlite3* const*>(db_.driver()->handle().data());
        RegisterAccessFunctions(native);
        const int rows = bench::Scaled(20000, 500);
        QSqlQuery q(db_);
        const bool ok =
            q.exec(QStringLiteral("CREATE TABLE c_material (uid_0 INTEGER PRIMARY KEY, code_0 "
                                  "VARCHAR(20), name_0 VARCHAR(40), spec_0 VARCHAR(40), unit_0 "
                                  "VARCHAR(10), category_0 VARCHAR(20), price_0 REAL, "
                                  "sale_price_0 REAL)")) &&
            q.exec(QStringLiteral("CREATE TABLE p_sto (material_uid_0 INTEGER, qty_0 REAL)")) &&
            q.exec(QStringLiteral(
                       "WITH RECURSIVE g(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM g WHERE n < "
                       "%1) INSERT INTO c_material SELECT n, 'M' || substr('0000000' || n, -7), "
                       "'物料' || (n % 977), '规格' || (n % 13), '个', CASE n % 3 WHEN 0 THEN "
                       "'五金' WHEN 1 THEN '电工' ELSE '劳保' END, n % 100 + 0.5, n % 100 + 1.25 "
                       "FROM g")
                       .arg(rows)) &&
            q.exec(QStringLiteral("INSERT INTO p_sto SELECT uid_0, uid_0 % 50 FROM c_material "
                                  "WHERE uid_0 % 2 = 0")) &&
            q.exec(QStringLiteral("CREATE INDEX i_code ON c_material (code_0)")) &&
            q.exec(QStringLiteral("CREATE INDEX i_sto ON p_sto (material_uid_0)"));
        if (!ok)
            error_ = q.lastError().text();
        translated_ = TranslateAccessSql(kPage, SqlDialect::Sqlite);
    }
    ~Materials() {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("bench_tr"));
    }

    const QString& error() const { return error_; }
    const QString& translated() const { return translated_; }

    // The page's cells, read as the grid reads them.
    int Run(const QString& sql) {
        QSqlQuery q(db_);
        q.setForwardOnly(true);
        if (!q.exec(sql))
            return -1;
        int cells = 0;
        while (q.next())
            for (int i = 0; i < 9; ++i)
                cells += q.value(i).toString().isEmpty() ? 0 : 1;
        return cells;
    }

private:
    QTemporaryDir dir_;
    QSqlDatabase db_;
    QString error_;
    QString translated_;
};

Materials& Data() {
    static Materials data;
    return data;
}

// Both sides must read the same full page, or the row measures nothing.
bool Check(benchmark::State& state) {
    Materials& data = Data();
    if (!data.error().isEmpty()) {
        state.SkipWithError(data.error().toStdString().c_str());
        return false;
    }
    if (data.Run(data.translated()) != 24 * 9) {
        state.SkipWithError("the page is not 24 full rows");
        return false;
    }
    return true;
}

void BM_TranslatedPage(benchmark::State& state) {
    if (!Check(state))
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(Data().Run(TranslateAccessSql(kPage, SqlDialect::Sqlite)));
}

void BM_TranslatedPage_Reference(benchmark::State& state) {
    if (!Check(state))
        return;
    const QString sql = Data().translated();
    for (auto _ : state)
        benchmark::DoNotOptimize(Data().Run(sql));
}

BENCHMARK(BM_TranslatedPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TranslatedPage_Reference)->Unit(benchmark::kMillisecond);

} // namespace

#pragma once
// What the benchmark programs share: the Qt application they run in, real account sets (an
// SQLite file, or a database on a PostgreSQL server), the application configured for one, and
// resident-memory readings.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

class DbSession;

namespace bench {

// Small inputs for smoke runs (VEMO_BENCH_SMALL=1): every program finishes in a second or two.
bool SmallRun();
// n, or a small fraction of it in a smoke run.
int Scaled(int n, int small);

// An account set created the way the administrator's tool creates one.
class AccountSet {
public:
    // SQLite file in a temporary folder; with `demo`, the demo account set (`init --demo`).
    static std::unique_ptr<AccountSet> CreateSqlite(QString& why, bool demo = false);
    // New database on the server that VEMO_BENCH_PG names (a libpq conninfo); null with `why`
    // set when it is not given or not reachable.
    static std::unique_ptr<AccountSet> CreatePostgres(QString& why);
    ~AccountSet();

    bool IsPostgres() const { return !pgDatabase_.isEmpty(); }
    // Unscrambled connection text, as a session opens it.
    const QString& ConnectionText() const { return connectionText_; }
    // Folder that serves as the exe folder (cfg.ini).
    QString Folder() const { return dir_.path() + QLatin1Char('/'); }
    // Makes this the account set the application is configured for and logs in as admin.
    bool UseAndLogIn(QString& why) const;

private:
    AccountSet() = default;
    QTemporaryDir dir_;
    QString connectionText_;
    QString pgDatabase_;
};

// The update server of tools/update-server serving `folder` on a loopback port of its own until
// the process ends. Its port, or 0 with `error` set.
int StartUpdateServer(QProcess& server, const QString& folder, QString& error);

// Resident memory of this process in bytes: now, and the peak since the last ResetPeak.
std::int64_t ResidentBytes();
std::int64_t PeakResidentBytes();
// Starts a new peak measurement (Linux: clear_refs 5); false when the kernel refuses.
bool ResetPeak();

} // namespace bench

// Defined by bench/BenchMain.cpp: runs the registered benchmarks inside a QApplication.

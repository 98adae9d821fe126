// The updater program `up`, run for real in a folder of its own: it puts the waiting client in
// place, keeps the old one until the new one reports a healthy start, and brings the old one back
// when the new one cannot start, ends or crashes first, or never reports.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace {

class Updater : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::copy(QStringLiteral(VEMO_BINARY_DIR "/src/main/up"), Path("up")));
        QFile(Path("up")).setPermissions(QFile(Path("up")).permissions() | QFileDevice::ExeOwner);
        QDir(dir_.path()).mkpath("update");
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    void Write(const QString& name, const QByteArray& text, bool executable = true) {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        if (executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }
    QByteArray Read(const QString& name) const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Runs "up -d" and waits for the started client's mark.
    QByteArray Run(int startLimitSeconds = 0) {
        QProcess up;
        up.setWorkingDirectory(dir_.path());
        if (startLimitSeconds > 0) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("VEMO_UP_START_SECONDS", QString::number(startLimitSeconds));
            up.setProcessEnvironment(environment);
        }
        up.start(Path("up"), {"-d"});
        EXPECT_TRUE(up.waitForFinished(30000));
        QElapsedTimer waited;
        waited.start();
        while (!QFile::exists(Path("started")) && waited.elapsed() < 10000)
            QThread::msleep(20);
        QThread::msleep(50);
        return Read("started").trimmed();
    }

    QTemporaryDir dir_;
};

// The new client reports its start as the client does once its login shows; only then does the
// old one go, and the signature that came with the new one takes its place beside it.
TEST_F(Updater, PutsTheNewClientInPlaceAndStartsIt) {
    const QByteArray fresh = "#!/bin/sh\necho $$ > vemo.started\nnice > niceness\n"
                             "echo new > started\n";
    Write("vemo", "#!/bin/sh\necho old > started\n");
    Write("vemo.sig", "old signature");
    Write("update/vemo", fresh, false);
    Write("update/vemo.sig", "new signature", false);
    EXPECT_EQ(Run(), "new");
    EXPECT_EQ(Read("vemo"), fresh);
    EXPECT_FALSE(QFile::exists(Path("vemo.previous")));
    EXPECT_FALSE(QFile::exists(Path("vemo.started")));
    EXPECT_EQ(Read("vemo.sig"), "new signature");
    EXPECT_FALSE(QFile::exists(Path("update/vemo")));
    EXPECT_TRUE(QFile(Path("vemo")).permissions() & QFileDevice::ExeOwner);
    // It runs at the priority `up` was started with, not at an idle one.
    EXPECT_EQ(Read("niceness").trimmed().toInt(), getpriority(PRIO_PROCESS, 0));
}

TEST_F(Updater, KeepsTheOldClientUntilTheNewOneReportsItsStart) {
    QFile real(QStringLiteral(VEMO_BINARY_DIR "/src/main/vemo"));
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    const struct {
        const char* what;
        QByteArray client;
        int startLimitSeconds;
    } cases[] = {
        {"ends without reporting", "#!/bin/sh\nexit 3\n", 0},
        {"crashes before reporting", "#!/bin/sh\nkill -SEGV $$\n", 0},
        {"the real client cut short", real.read(1000000), 0},
        {"never reports", "#!/bin/sh\nexec sleep 60\n", 1},
    };
    const QByteArray old = "#!/bin/sh\necho old > started\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(Path("started"));
        Write("vemo", old);
        Write("vemo.sig", "old signature");
        Write("update/vemo", c.client, false);
        Write("update/vemo.sig", "new signature", false);
        QElapsedTimer elapsed;
        elapsed.start();
        EXPECT_EQ(Run(c.startLimitSeconds), "old");
        EXPECT_LT(elapsed.elapsed(), 20000);
        EXPECT_EQ(Read("vemo"), old);
        EXPECT_EQ(Read("vemo.sig"), "old signature");
        EXPECT_FALSE(QFile::exists(Path("vemo.previous")));
        EXPECT_FALSE(QFile::exists(Path("update/vemo.sig")));
    }
}

TEST_F(Updater, TakesBackANewClientThatCannotStart) {
    Write("vemo", "#!/bin/sh\necho old > started\n");
    Write("update/vemo",
          QByteArray("\x7f"
                     "ELF broken",
                     10),
          false);
    EXPECT_EQ(Run(), "old");
    EXPECT_EQ(Read("vemo"), "#!/bin/sh\necho old > started\n");
}

} // namespace

// The updater program `up`, run for real in a folder of its own: it puts the waiting client in
// place, keeps the old one, starts the new one, and brings the old one back when the new one
// cannot start.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

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
    QByteArray Run() {
        QProcess up;
        up.setWorkingDirectory(dir_.path());
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

TEST_F(Updater, PutsTheNewClientInPlaceAndStartsIt) {
    Write("vemo", "#!/bin/sh\necho old > started\n");
    Write("update/vemo", "#!/bin/sh\necho new > started\n", false);
    EXPECT_EQ(Run(), "new");
    EXPECT_EQ(Read("vemo"), "#!/bin/sh\necho new > started\n");
    EXPECT_EQ(Read("vemo.previous"), "#!/bin/sh\necho old > started\n");
    EXPECT_FALSE(QFile::exists(Path("update/vemo")));
    EXPECT_TRUE(QFile(Path("vemo")).permissions() & QFileDevice::ExeOwner);
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

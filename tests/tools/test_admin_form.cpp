// vemo-admin form: packing, unpacking and storing definitions, run as form authors run it.
#include "data/ConnectionText.h"
#include "data/DbSession.h"
#include "form/DefinitionCodec.h"
#include "support/TestAccountSet.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct AdminRun {
    int exitCode;
    QString err;
};

AdminRun RunAdmin(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(VEMO_BINARY_DIR "/tools/vemo-admin/vemo-admin"), arguments);
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

const QByteArray kForm =
    "<html version='1.0' id='0'>\n  <head title=\"物料档案\" pos=\"0,0,600,400\"/>\n"
    "  <body><dialog><button id=\"5\" value=\"保存 &amp; 关闭\"/></dialog></body>\n"
    "</html>\n";

class AdminForm : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    void Write(const QString& name, const QByteArray& bytes) {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray Read(const QString& name) const {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // A SQLite account set whose menu has entry 1, for forms to be imported into.
    void CreateAccountSetWithOneEntry() {
        QString why;
        set_ = TestAccountSet::Create(Engine::Sqlite, why);
        ASSERT_TRUE(set_) << qPrintable(why);
        accountSetFile_ = set_->folder() + "account.dat";
        DbSession session;
        session.SetConnectionString(set_->connectionText());
        ASSERT_TRUE(session.Open());
        ASSERT_TRUE(session.Execute(
            "INSERT INTO c_menu_dh (pUid_0, leaf_0, name_0) VALUES (0, 1, '物料')"));
    }
    QTemporaryDir dir_;
    std::unique_ptr<TestAccountSet> set_;
    QString accountSetFile_;
};

TEST_F(AdminForm, PackThenUnpackGivesTheFileBackByteForByte) {
    Write("form.xml", kForm);
    for (const char* bits : {"9", "12", "25"}) {
        ASSERT_EQ(
            RunAdmin({"form", "pack", Path("form.xml"), Path("form.bin"), "--bits", bits}).exitCode,
            0);
        const AdminRun unpack = RunAdmin({"form", "unpack", Path("form.bin"), Path("out.xml")});
        ASSERT_EQ(unpack.exitCode, 0) << qPrintable(unpack.err);
        EXPECT_EQ(Read("out.xml"), kForm) << "bits " << bits;
    }
    EXPECT_EQ(RunAdmin({"form", "pack", Path("form.xml"), Path("x.bin"), "--bits", "26"}).exitCode,
              1);
    EXPECT_FALSE(QFile::exists(Path("x.bin")));
}

TEST_F(AdminForm, DamagedInputsFailWithOneLineAndNoOutput) {
    const QByteArray good = PackDefinition(QString::fromUtf8(kForm), 12);
    QByteArray wrongWidth = good;
    wrongWidth[4] = char(30);
    QByteArray absurd = good;
    absurd[3] = char(0x7F);
    QByteArray random(4096, Qt::Uninitialized);
    QRandomGenerator generator(11);
    for (char& c : random)
        c = char(generator.bounded(256));
    const QList<QPair<const char*, QByteArray>> cases = {
        {"empty", QByteArray()},     {"truncated", good.left(good.size() / 2)},
        {"wrong width", wrongWidth}, {"absurd length", absurd},
        {"random bytes", random},
    };
    for (const auto& [name, bytes] : cases) {
        Write("bad.bin", bytes);
        QFile::remove(Path("bad.xml"));
        const AdminRun run = RunAdmin({"form", "unpack", Path("bad.bin"), Path("bad.xml")});
        EXPECT_EQ(run.exitCode, 1) << name;
        EXPECT_EQ(run.err.count('\n'), 1) << name << ": " << qPrintable(run.err);
        EXPECT_FALSE(QFile::exists(Path("bad.xml"))) << name;
    }
}

// The client refuses to open a definition its XML parse rejects ("Load失败"), so the tool must
// not store one from a hand-written file. A stored one is unpacked all the same, since reading
// it is how it gets repaired; each says where the XML breaks and fails.
TEST_F(AdminForm, DefinitionsThatDoNotParseAreNotStoredButAreUnpackedForRepair) {
    ASSERT_NO_FATAL_FAILURE(CreateAccountSetWithOneEntry());
    const QString file = accountSetFile_;
    Write("form.xml", kForm);
    ASSERT_EQ(
        RunAdmin({"form", "import", "--sqlite", file, "--uid", "1", Path("form.xml")}).exitCode, 0);

    const struct {
        const char* name;
        QByteArray xml;
        const char* where; // line and column named in the message
    } cases[] = {
        {"unclosed elements", "<html><head title=\"x\"><body>", "第 1 行第 28 列"},
        {"wrong end tag", "<html>\n  <head/>\n  <body></dialog>\n</html>", "第 3 行第 11 列"},
        {"two document elements", "<html id='0'/>\n<html id='1'/>", "第 2 行第 1 列"},
        {"text after the form", kForm + "保存", "第 5 行第 1 列"},
        {"nothing but blanks", " \n", ""},
    };
    for (const auto& c : cases) {
        Write("bad.xml", c.xml);
        Write("out.xml", "keep");
        Write("bad.bin", PackDefinition(QString::fromUtf8(c.xml), 12));
        const QList<QPair<QStringList, QString>> runs = {
            {{"form", "pack", Path("bad.xml"), Path("bad.out")}, Path("bad.xml")},
            {{"form", "import", "--sqlite", file, "--uid", "1", Path("bad.xml")}, Path("bad.xml")},
            {{"form", "unpack", Path("bad.bin"), Path("out.xml")}, Path("bad.bin")},
        };
        for (const auto& [arguments, named] : runs) {
            const AdminRun run = RunAdmin(arguments);
            EXPECT_EQ(run.exitCode, 1) << c.name << " " << qPrintable(arguments[1]);
            EXPECT_EQ(run.err.count('\n'), 1) << c.name << ": " << qPrintable(run.err);
            EXPECT_TRUE(run.err.contains(named)) << c.name << ": " << qPrintable(run.err);
            EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.where)))
                << c.name << ": " << qPrintable(run.err);
        }
        EXPECT_FALSE(QFile::exists(Path("bad.out"))) << c.name;
        EXPECT_EQ(Read("out.xml"), c.xml) << c.name;
        ASSERT_EQ(
            RunAdmin({"form", "export", "--sqlite", file, "--uid", "1", Path("back.xml")}).exitCode,
            0);
        EXPECT_EQ(Read("back.xml"), kForm) << c.name;
    }
}

TEST_F(AdminForm, ImportAndExportThroughTheAccountSet) {
    ASSERT_NO_FATAL_FAILURE(CreateAccountSetWithOneEntry());
    const QString file = accountSetFile_;
    Write("form.xml", kForm);
    const AdminRun import =
        RunAdmin({"form", "import", "--sqlite", file, "--uid", "1", Path("form.xml")});
    ASSERT_EQ(import.exitCode, 0) << qPrintable(import.err);
    ASSERT_EQ(
        RunAdmin({"cfg", "set-connection", "--dir", set_->folder(), "--sqlite", file}).exitCode, 0);
    const AdminRun exported =
        RunAdmin({"form", "export", "--dir", set_->folder(), "--uid", "1", Path("back.xml")});
    ASSERT_EQ(exported.exitCode, 0) << qPrintable(exported.err);
    EXPECT_EQ(Read("back.xml"), kForm);

    const AdminRun missing =
        RunAdmin({"form", "import", "--sqlite", file, "--uid", "9", Path("form.xml")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("uid_0=9")) << qPrintable(missing.err);
    EXPECT_EQ(
        RunAdmin({"form", "export", "--sqlite", file, "--uid", "1 OR 1=1", Path("x.xml")}).exitCode,
        2);
}

} // namespace

// Start-up checks and the exit sequence, in-process and on the real client executable.
#include "AdminCommands.h"
#include "app/Application.h"
#include "data/CfgFile.h"
#include "platform/AppMessage.h"
#include "support/SessionFacts.h"
#include "support/TestAccountSet.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kClient = QStringLiteral(VEMO_BINARY_DIR "/src/main/vemo");

void Touch(const QString& path, bool readOnly = false) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    if (readOnly)
        f.setPermissions(QFileDevice::ReadOwner);
}

struct RunResult {
    int exitCode;
    QString stderrText;
};

// Runs a copy of the client under the given file name in `folder`, without a display, its
// messages going to standard error.
RunResult RunClientAs(const QString& folder, const QString& fileName) {
    const QString target = folder + fileName;
    QFile::remove(target);
    QFile::copy(kClient, target);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VEMO_HEADLESS_MESSAGES", "1");
    process.setProcessEnvironment(env);
    process.start(target, {});
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

TEST(Startup, OnlyTheDefaultFileNamesAreAccepted) {
    for (const char* name : {"vemo", "Vemo"})
        EXPECT_TRUE(IsAcceptedExecutableName(name)) << name;
    for (const char* name : {"VEMO", "vemo (2)", "vemo.exe", "vemo2", "VeMo"})
        EXPECT_FALSE(IsAcceptedExecutableName(name)) << name;
}

TEST(Startup, ClientUnderAnotherNameRefusesWithTheName) {
    QTemporaryDir dir;
    const RunResult result = RunClientAs(dir.path() + "/", "VEMO");
    EXPECT_NE(result.stderrText.indexOf(QStringLiteral("主程序名不能改为 VEMO 须是默认的 vemo")),
              -1)
        << qPrintable(result.stderrText);
    EXPECT_EQ(result.stderrText.indexOf(QStringLiteral("已启动")), -1);
}

TEST(Startup, ClientUnderItsOwnNameWaitsAtTheLoginDialog) {
    QString why;
    auto set = TestAccountSet::Create(Engine::Sqlite, why);
    ASSERT_TRUE(set) << qPrintable(why);
    const QString folder = set->folder();
    ASSERT_EQ(RunAdminCommand(
                  {"cfg", "set-connection", "--dir", folder, "--sqlite", folder + "account.dat"}),
              0);
    QFile::copy(kClient, folder + "vemo");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VEMO_HEADLESS_MESSAGES", "1");
    process.setProcessEnvironment(env);
    process.start(folder + "vemo", {});
    ASSERT_TRUE(process.waitForStarted());
    // Past every start-up check, the modal login dialog keeps the client running.
    EXPECT_FALSE(process.waitForFinished(3000)) << qPrintable(process.readAllStandardError());
    process.kill();
    process.waitForFinished();
}

// A restart that cannot start the client says so and leaves this one running.
TEST(Startup, ARestartThatCannotStartSaysSoAndGoesOn) {
    QTemporaryDir folder;
    QStringList shown;
    const MessageSink previous = SetMessageSink([&](const AppMessageRequest& request) {
        shown.append(request.text);
        return MessageAnswer::Ok;
    });
    RestartProcess(folder.path() + "/Vemo", folder.path() + "/");
    SetMessageSink(previous);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("软件未能重新启动"))) << qPrintable(shown[0]);
}

TEST(Startup, CloseForRealOnlyForExactlyOne) {
    QTemporaryDir dir;
    const QString cfg = dir.filePath("cfg.ini");
    struct Case {
        const char* value;
        bool expected;
    };
    for (const Case& c :
         {Case{"1", true}, Case{"1 ", false}, Case{"true", false}, Case{"", false}}) {
        WriteCfg(cfg, "SERVER", "CLOSE", c.value);
        EXPECT_EQ(ReadCfg(cfg, "SERVER", "CLOSE") == QLatin1String("1"), c.expected) << c.value;
    }
}

class ExitSequence : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = QDir::currentPath();
        folder_ = dir_.path() + "/";
        ChangeStartUp(app_.session,
                      [&](SessionContext::StartUp& facts) { facts.exeFolder = folder_; });
        QDir::setCurrent(folder_);
        QDir(folder_).mkpath("temp");
        QDir(folder_).mkpath("update");
        Touch(folder_ + "temp/a.tmp");
        Touch(folder_ + "temp/locked.tmp", true);
        Touch(folder_ + "update/vemo.new");
    }
    void TearDown() override { QDir::setCurrent(previous_); }

    QTemporaryDir dir_;
    QString folder_;
    QString previous_;
    Application app_;
};

TEST_F(ExitSequence, NormalExitRemovesTempAndLeavesUpdate) {
    app_.forms.formCache.insert("12", "<html/>");
    app_.ExitInstance();
    EXPECT_FALSE(QDir(folder_ + "temp").exists());
    EXPECT_TRUE(QFile::exists(folder_ + "update/vemo.new"));
    EXPECT_TRUE(app_.forms.formCache.isEmpty());
}

TEST_F(ExitSequence, StagedUpdateIsRemovedAndSubFoldersAreNotDescended) {
    QDir(folder_).mkpath("temp/keep");
    Touch(folder_ + "temp/keep/inner.tmp");
    SessionContext::UpdateFindings pending;
    pending.updatePending = true;
    app_.session.ApplyUpdateFindings(pending);
    app_.ExitInstance();
    EXPECT_FALSE(QDir(folder_ + "update").exists());
    EXPECT_FALSE(QFile::exists(folder_ + "temp/a.tmp"));
    EXPECT_FALSE(QFile::exists(folder_ + "temp/locked.tmp"));
    EXPECT_TRUE(QFile::exists(folder_ + "temp/keep/inner.tmp"));
}

TEST_F(ExitSequence, TopLevelFormsAreClosedForReal) {
    QDialog top;
    QDialog child;
    top.show();
    child.show();
    app_.forms.openForms.insert(&top, OpenFormEntry{"5", true, nullptr});
    app_.forms.openForms.insert(&child, OpenFormEntry{"6", true, &top});
    app_.ExitInstance();
    EXPECT_TRUE(top.property("closeForReal").toBool());
    EXPECT_FALSE(top.isVisible());
    EXPECT_FALSE(child.property("closeForReal").toBool());
    EXPECT_TRUE(app_.forms.openForms.isEmpty());
}

} // namespace

// Replacing the client: the updater kept at its recorded size, the size below which a
// downloaded client is never started, and publishing the running client into the account set,
// with and without the publisher's key.
#include "app/Application.h"
#include "app/ClientUpdate.h"
#include "app/UpdateTrust.h"
#include "data/CfgFile.h"
#include "data/DbSession.h"
#include "platform/AppMessage.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestAccountSet.h"
#include "support/TestPublisher.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

class ClientUpdate : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        QString why;
        set_ = TestAccountSet::Create(GetParam(), why);
        if (!set_)
            GTEST_SKIP() << qPrintable(why);
        UseAccountSetAsConfigured(*set_, Application::Instance());
        folder_ = set_->folder();
        previousSink_ = SetMessageSink([this](const AppMessageRequest& request) {
            messages_.append(request.text);
            return MessageAnswer::Yes;
        });
        WriteCfg(folder_ + "cfg.ini", "UPDATE", "DISCOVER1", server_.baseUrl() + "/readip.aspx");
        WriteCfg(folder_ + "cfg.ini", "UPDATE", "PUBLIC_KEY", publisher_.PublicKey());
        server_.setRoute("/readip.aspx", 200, server_.baseUrl().mid(7).toUtf8());
        publisher_.ServeAnswer(server_, "/version/v.txt", "client-version.txt", "9.0.0.0");
        // An updater that only says it was started.
        Write("up", "#!/bin/sh\necho started > \"$(dirname \"$0\")/up-started\"\n", true);
        Write("up.size", QByteArray::number(QFile(folder_ + "up").size()));
    }
    void TearDown() override {
        if (set_)
            SetMessageSink(previousSink_);
    }
    void Write(const QString& name, const QByteArray& bytes, bool executable = false) {
        QFile file(folder_ + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        if (executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }
    bool UpdaterStarted() {
        QElapsedTimer waited;
        waited.start();
        while (!QFile::exists(folder_ + "up-started") && waited.elapsed() < 3000)
            QThread::msleep(20);
        return QFile::exists(folder_ + "up-started");
    }
    int UpdaterDownloads() const {
        int count = 0;
        for (const auto& request : server_.requests())
            count += request.target.endsWith("id=up") ? 1 : 0;
        return count;
    }
    int Download(const QString& ownVersion) {
        QString problem;
        return DownloadClient(folder_ + "cfg.ini", folder_, ownVersion, problem);
    }
    QByteArray Read(const QString& name) const {
        QFile file(folder_ + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool Install(const QString& ownVersion, QStringList* log = nullptr) {
        return InstallFromAccountSet(folder_, ownVersion, UpdateTrust(folder_),
                                     [log](const QString& line) {
                                         if (log)
                                             log->append(line);
                                     });
    }

    std::unique_ptr<TestAccountSet> set_;
    LoopbackHttpServer server_;
    TestPublisher publisher_;
    QString folder_;
    QStringList messages_;
    MessageSink previousSink_;
};

TEST_P(ClientUpdate, ANewClientStartsOnlyAboveTheSizeLimit) {
    // Exactly 500,000 bytes: not started; the updater at its recorded size is not fetched again.
    publisher_.Serve(server_, "/service/dl.aspx?id=vemo", "vemo", "9.0.0.0",
                     QByteArray(500000, '#'));
    EXPECT_EQ(Download("1.0.0.0"), 0);
    EXPECT_FALSE(UpdaterStarted());
    EXPECT_EQ(UpdaterDownloads(), 0);

    publisher_.Serve(server_, "/service/dl.aspx?id=vemo", "vemo", "9.0.0.0",
                     QByteArray(500001, '#'));
    EXPECT_EQ(Download("1.0.0.0"), 1);
    EXPECT_TRUE(UpdaterStarted());
    EXPECT_EQ(QFile(folder_ + "update/vemo").size(), 500001);

    // Not newer: nothing downloaded.
    QFile::remove(folder_ + "update/vemo");
    EXPECT_EQ(Download("9.0.0.0"), 0);
    EXPECT_FALSE(QFile::exists(folder_ + "update/vemo"));
}

TEST_P(ClientUpdate, AnUpdaterOfAnotherSizeIsFetchedAgain) {
    publisher_.Serve(server_, "/service/dl.aspx?id=up", "up", "9.0.0.0", "#!/bin/sh\n");
    Write("up.size", "1");
    Download("9.0.0.0");
    EXPECT_EQ(UpdaterDownloads(), 1);
    EXPECT_EQ(Read("up"), "#!/bin/sh\n");
    // One that is not the publisher's does not take the place of the one there.
    Write("up.size", "2");
    server_.setRoute("/service/dl.aspx?id=up", 200, "#!/bin/sh\nrm -rf ~\n");
    Download("9.0.0.0");
    EXPECT_EQ(UpdaterDownloads(), 2);
    EXPECT_EQ(Read("up"), "#!/bin/sh\n");
}

// Without a key the command downloads nothing and says why; with one, a client that is not
// the publisher's is not installed, and the user is told.
TEST_P(ClientUpdate, TheCommandSaysWhyANewerClientIsNotInstalled) {
    publisher_.Serve(server_, "/service/dl.aspx?id=vemo", "vemo", "9.0.0.0",
                     QByteArray(600000, '#'));
    server_.setRoute("/service/dl.aspx?id=vemo", 200, QByteArray(600000, '!'));
    QString problem;
    EXPECT_EQ(DownloadClient(folder_ + "cfg.ini", folder_, "1.0.0.0", problem), 0);
    EXPECT_TRUE(problem.startsWith("新版本 9.0.0.0 未能安装：内容与签名不符"))
        << qPrintable(problem);

    WriteCfg(folder_ + "cfg.ini", "UPDATE", "PUBLIC_KEY", "");
    server_.clearRequests();
    EXPECT_EQ(DownloadClient(folder_ + "cfg.ini", folder_, "1.0.0.0", problem), 0);
    EXPECT_TRUE(problem.contains("PUBLIC_KEY")) << qPrintable(problem);
    for (const auto& request : server_.requests())
        EXPECT_FALSE(request.target.startsWith("/service/dl.aspx")) << request.target.data();
    EXPECT_FALSE(QFile::exists(folder_ + "update/vemo"));
    EXPECT_FALSE(UpdaterStarted());
}

TEST_P(ClientUpdate, PublishingStoresTheClientOnceItIsNewer) {
    // Without a publisher key, as before signatures.
    WriteCfg(folder_ + "cfg.ini", "UPDATE", "PUBLIC_KEY", "");
    DbSession db;
    db.SetConnectionString(set_->connectionText());
    ASSERT_TRUE(db.Open());
    ASSERT_TRUE(db.Execute("UPDATE c_app SET ver_0 = '2.0.0.0' WHERE uid_0 = 1"));
    Write("vemo", QByteArray(1000, 'v'));

    // The same version: nothing to publish, nothing written.
    EXPECT_TRUE(PublishClient(folder_, folder_ + "vemo", "2.0.0.0"));
    EXPECT_EQ(messages_, QStringList{"无更新版本需要发布。"});
    QList<QByteArray> stored;
    ASSERT_TRUE(db.ReadBinary("SELECT exe_0 FROM c_app WHERE uid_0=1", {"exe_0"}, stored));
    EXPECT_TRUE(stored.value(0).isEmpty());

    messages_.clear();
    EXPECT_TRUE(PublishClient(folder_, folder_ + "vemo", "2.1.0.0"));
    EXPECT_EQ(messages_, QStringList({"确定发布本新版本软件，供其他用户升级吗？", "发布成功"}));
    QList<QByteArray> client;
    QList<QByteArray> updater;
    ASSERT_TRUE(db.ReadBinary("SELECT exe_0 FROM c_app WHERE uid_0=1", {"exe_0"}, client));
    ASSERT_TRUE(db.ReadBinary("SELECT exe_0 FROM c_app WHERE uid_0=2", {"exe_0"}, updater));
    EXPECT_EQ(client.value(0), QByteArray(1000, 'v'));
    EXPECT_EQ(updater.value(0).left(9), "#!/bin/sh");
    QString version;
    ASSERT_TRUE(db.QueryValue("SELECT ver_0 FROM c_app WHERE uid_0=1", version));
    EXPECT_EQ(version, "2.1.0.0");

    // Another installation of an older version takes it from the account set.
    EXPECT_FALSE(Install("2.1.0.0"));
    EXPECT_TRUE(Install("2.0.0.0"));
    QFile installed(folder_ + "update/vemo");
    ASSERT_TRUE(installed.open(QIODevice::ReadOnly));
    EXPECT_EQ(installed.readAll(), QByteArray(1000, 'v'));
    EXPECT_TRUE(UpdaterStarted());
}

// With a publisher key, a client is published only with the publisher's signatures of it and of
// its updater, and another installation takes it only when the account set's bytes still match.
TEST_P(ClientUpdate, WithAKeyPublishingCarriesTheSignatures) {
    DbSession db;
    db.SetConnectionString(set_->connectionText());
    ASSERT_TRUE(db.Open());
    ASSERT_TRUE(db.Execute("UPDATE c_app SET ver_0 = '2.0.0.0' WHERE uid_0 = 1"));
    const QByteArray client(1000, 'v');
    Write("vemo", client);

    EXPECT_FALSE(PublishClient(folder_, folder_ + "vemo", "2.1.0.0"));
    EXPECT_EQ(messages_.last(), "未发布：vemo 旁没有发布者的签名 vemo.sig，其他电脑不会安装它。");
    QString version;
    ASSERT_TRUE(db.QueryValue("SELECT ver_0 FROM c_app WHERE uid_0=1", version));
    EXPECT_EQ(version, "2.0.0.0");

    Write("vemo.sig", publisher_.Sign("vemo", "2.1.0.0", client));
    Write("up.sig", publisher_.Sign("up", "2.1.0.0", Read("up")));
    messages_.clear();
    EXPECT_TRUE(PublishClient(folder_, folder_ + "vemo", "2.1.0.0"));
    EXPECT_EQ(messages_.last(), "发布成功");
    QList<QByteArray> signatures;
    ASSERT_TRUE(db.ReadBinary("SELECT exe_0 FROM c_app WHERE uid_0>=3 ORDER BY uid_0", {"exe_0"},
                              signatures));
    EXPECT_EQ(signatures, QList<QByteArray>({Read("vemo.sig"), Read("up.sig")}));

    // Taken as stored, with the signature for `up` to put beside it.
    QStringList log;
    EXPECT_TRUE(Install("2.0.0.0", &log)) << qPrintable(log.join('\n'));
    EXPECT_EQ(Read("update/vemo"), client);
    EXPECT_EQ(Read("update/vemo.sig"), Read("vemo.sig"));
    EXPECT_TRUE(UpdaterStarted());

    // An updater changed in the account set is left there; the client still comes.
    const QByteArray updater = Read("up");
    QDir(folder_ + "update").removeRecursively();
    QFile::remove(folder_ + "up-started");
    ASSERT_TRUE(db.WriteBinary("SELECT uid_0, exe_0 FROM c_app WHERE uid_0=2", {"exe_0"},
                               {"#!/bin/sh\n# not the publisher's\n"}));
    log.clear();
    EXPECT_TRUE(Install("2.0.0.0", &log));
    EXPECT_TRUE(log.value(0).startsWith("updater: published one not installed: 内容与签名不符"))
        << qPrintable(log.join('\n'));
    EXPECT_EQ(Read("up"), updater);
    EXPECT_EQ(Read("update/vemo"), client);
    EXPECT_TRUE(UpdaterStarted());

    // A client changed in the account set: refused, nothing handed to `up`.
    QDir(folder_ + "update").removeRecursively();
    QFile::remove(folder_ + "up-started");
    ASSERT_TRUE(db.WriteBinary("SELECT uid_0, exe_0 FROM c_app WHERE uid_0=1", {"exe_0"},
                               {QByteArray(1000, 'w')}));
    log.clear();
    EXPECT_FALSE(Install("2.0.0.0", &log));
    EXPECT_TRUE(log.value(0).startsWith("client: published 2.1.0.0 refused: 内容与签名不符"))
        << qPrintable(log.join('\n'));
    EXPECT_FALSE(QFile::exists(folder_ + "update/vemo"));
    EXPECT_FALSE(UpdaterStarted());
}

INSTANTIATE_TEST_SUITE_P(Engines, ClientUpdate, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                             return std::string(EngineName(info.param));
                         });

TEST(FileDate, HourAndMinuteUnpadded) {
    QTemporaryDir dir;
    QFile file(dir.filePath("f"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.setFileTime(QDateTime(QDate(2015, 3, 7), QTime(9, 5)), QFileDevice::FileModificationTime);
    file.close();
    EXPECT_EQ(FileDateText(dir.filePath("f")), "2015-03-07 9:5");
}

} // namespace

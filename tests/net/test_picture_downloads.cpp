#include "net/PictureDownloads.h"
#include "support/LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Waits for the downloads in flight and delivers their signals.
QStringList Settle(QObject& context) {
    QStringList arrived;
    QObject::connect(&PictureDownloads::Instance(), &PictureDownloads::arrived, &context,
                     [&arrived](const QString& url) { arrived.append(url); });
    PictureDownloads::Instance().WaitForDownloads();
    QCoreApplication::processEvents();
    QObject::disconnect(&PictureDownloads::Instance(), nullptr, &context, nullptr);
    return arrived;
}

TEST(PictureDownloads, EachAddressIsFetchedOnceWhetherItArrivesOrFails) {
    QTemporaryDir dir;
    LoopbackHttpServer server;
    server.setRoute("/logo.png", 200, "PNGDATA", "image/png");
    server.setRoute("/gone.png", 404, "missing");
    const QString temp = dir.path() + "/temp/";
    const QString logo = server.baseUrl() + "/logo.png?v=1";
    const QString gone = server.baseUrl() + "/gone.png";
    QObject context;

    EXPECT_TRUE(PictureDownloads::Instance().LocalFile(logo, temp).isEmpty());
    EXPECT_TRUE(PictureDownloads::Instance().LocalFile(gone, temp).isEmpty());
    // Asking again while in flight starts nothing new.
    EXPECT_TRUE(PictureDownloads::Instance().LocalFile(logo, temp).isEmpty());
    EXPECT_EQ(Settle(context), QStringList{logo});

    const QString path = PictureDownloads::Instance().LocalFile(logo, temp);
    EXPECT_EQ(path, PictureDownloads::CachePath(logo, temp));
    EXPECT_TRUE(path.endsWith(".png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("PNGDATA"));
    // A failed address is neither kept as a file nor asked for again.
    EXPECT_TRUE(PictureDownloads::Instance().LocalFile(gone, temp).isEmpty());
    EXPECT_FALSE(QFile::exists(PictureDownloads::CachePath(gone, temp)));
    Settle(context);
    EXPECT_EQ(server.requests().size(), 2);
}

TEST(PictureDownloads, AFileFromAnEarlierSessionIsUsedWithoutAsking) {
    QTemporaryDir dir;
    LoopbackHttpServer server;
    const QString temp = dir.path() + "/";
    const QString url = server.baseUrl() + "/kept.jpg";
    QFile file(PictureDownloads::CachePath(url, temp));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("JPEG");
    file.close();
    EXPECT_EQ(PictureDownloads::Instance().LocalFile(url, temp), file.fileName());
    EXPECT_TRUE(server.requests().isEmpty());
}

} // namespace

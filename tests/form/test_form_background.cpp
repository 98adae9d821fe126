// The drawn form background, rendered into 400×300 images: the fill, item places and colours,
// the alignment digits, dash and corner shapes, text, pictures with their cache, and the
// messages of malformed values.
#include "form/FormBackground.h"
#include "form/XmlDocument.h"
#include "net/PictureDownloads.h"
#include "platform/AppMessage.h"
#include "support/LoopbackHttpServer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

const QSize kClient(400, 300);

class CapturedMessages {
public:
    CapturedMessages()
        : m_previous(SetMessageSink([this](const AppMessageRequest& request) {
              texts.push_back(request.text);
              return MessageAnswer::Ok;
          })) {}
    ~CapturedMessages() { SetMessageSink(m_previous); }

    std::vector<QString> texts;

private:
    MessageSink m_previous;
};

// Draws a head whose `bg` holds `items` over a black image, so that an unpainted pixel shows.
QImage Render(const QString& items, int bg = 0, const QString& exeFolder = {}) {
    FormXml::XmlDocument document;
    EXPECT_TRUE(
        document.LoadXml(QStringLiteral("<head bg='%1'><bg>%2</bg></head>").arg(bg).arg(items)));
    QImage image(kClient, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    DrawFormBackground(painter, document.GetRoot(), kClient, QFont(), exeFolder);
    return image;
}

QColor At(const QImage& image, QPoint point) {
    return image.pixelColor(point);
}

// The bounding box of the pixels that differ from the fill colour.
QRect InkBox(const QImage& image, QColor fill) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != fill)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

const QColor kWhite(Qt::white);

TEST(FormBackground, FillFollowsTheHeadBg) {
    EXPECT_EQ(At(Render({}, 0), {0, 0}), kWhite);
    EXPECT_EQ(At(Render({}, -128), {399, 299}), kWhite);
    EXPECT_EQ(At(Render({}, 1), {200, 150}), QGuiApplication::palette().color(QPalette::Button));
}

TEST(FormBackground, FilledRectangleTakesItsPlaceAndPackedColour) {
    // Red is the low byte: 10,20,200 must not come out with red and blue exchanged.
    const QImage image =
        Render(QStringLiteral("<i type='rect1' pos='50,60,150,100' color='10,20,200'/>"));
    EXPECT_EQ(InkBox(image, kWhite), QRect(50, 60, 100, 40));
    EXPECT_EQ(At(image, {100, 80}), QColor(10, 20, 200));
    // Missing colour: the light grey default.
    EXPECT_EQ(At(Render(QStringLiteral("<i type='rect1' pos='0,0,10,10'/>")), {5, 5}),
              QColor(240, 240, 240));
    // Unknown types draw nothing.
    EXPECT_TRUE(
        InkBox(Render(QStringLiteral("<i type='circle' pos='0,0,10,10' color='0,0,0'/>")), kWhite)
            .isNull());
}

struct LineCase {
    const char* style;
    const char* pos;
    QRect expected; // the ink's extent, the 4-pixel pen included
};

TEST(FormBackground, LineAlignmentCentresAndMirrors) {
    const LineCase cases[] = {
        {"0", "10,50,110,50", QRect(10, 48, 100, 4)},
        {"11", "10,50,110,50", QRect(10, 48, 100, 4)},
        {"20", "10,50,110,50", QRect(150, 48, 100, 4)}, // (400 − 100) ÷ 2
        {"30", "10,50,110,50", QRect(290, 48, 100, 4)}, // 400 − 110 to 400 − 10
        {"2", "50,10,50,70", QRect(48, 120, 4, 60)},    // (300 − 60) ÷ 2
        {"3", "50,10,50,70", QRect(48, 230, 4, 60)},    // 300 − 70 to 300 − 10
        {"33", "10,10,30,40", QRect(370, 260, 20, 30)}, // both axes mirrored
    };
    for (const LineCase& c : cases) {
        const QImage image =
            Render(QStringLiteral("<i type='line' pos='%1' style='%2' width='4' color='0,0,0'/>")
                       .arg(QLatin1String(c.pos), QLatin1String(c.style)));
        const QRect ink = InkBox(image, kWhite);
        if (c.expected.width() == 4 || c.expected.height() == 4) {
            EXPECT_EQ(ink, c.expected) << c.style << ' ' << c.pos;
        } else {
            // A diagonal's anti-aliased ends reach a little past its points.
            EXPECT_NEAR(ink.center().x(), c.expected.center().x(), 2) << c.style;
            EXPECT_NEAR(ink.center().y(), c.expected.center().y(), 2) << c.style;
        }
    }
}

TEST(FormBackground, OutlinesFollowDashStyleAndCorners) {
    // Along the top edge of a solid outline every pixel is inked; a dashed one has gaps.
    const auto gapsOnTopEdge = [](const QImage& image) {
        int gaps = 0;
        for (int x = 60; x < 340; ++x)
            gaps += At(image, {x, 50}) == kWhite;
        return gaps;
    };
    const QString rect =
        QStringLiteral("<i type='rect' pos='50,50,350,250' style='%1' width='1' color='0,0,0'/>");
    EXPECT_EQ(gapsOnTopEdge(Render(rect.arg(0))), 0);
    for (int dashed = 1; dashed <= 4; ++dashed)
        EXPECT_GT(gapsOnTopEdge(Render(rect.arg(dashed))), 20) << dashed;

    // Rounded ones leave their corners; the square fill does not.
    const QString shape =
        QStringLiteral("<i type='%1' pos='50,50,350,250' width='3' color='0,0,200'/>");
    EXPECT_EQ(At(Render(shape.arg(QLatin1String("rect1"))), {51, 51}), QColor(0, 0, 200));
    const QImage filled = Render(shape.arg(QLatin1String("rect3")));
    EXPECT_EQ(At(filled, {51, 51}), kWhite);
    EXPECT_EQ(At(filled, {200, 150}), QColor(0, 0, 200));
    const QImage outlined = Render(shape.arg(QLatin1String("rect2")));
    EXPECT_EQ(At(outlined, {50, 50}), kWhite);
    EXPECT_EQ(At(outlined, {200, 50}), QColor(0, 0, 200));
    EXPECT_EQ(At(outlined, {200, 150}), kWhite);
}

TEST(FormBackground, ArrowEndsInAFilledHead) {
    const QImage image =
        Render(QStringLiteral("<i type='arrow' pos='50,150,250,150' width='2' color='200,0,0'/>"));
    const QRect ink = InkBox(image, kWhite);
    EXPECT_EQ(ink.left(), 50);
    EXPECT_NEAR(ink.right(), 249, 1);
    // The shaft is 2 pixels thick; just before the tip the head is much wider.
    EXPECT_EQ(At(image, {100, 146}), kWhite);
    EXPECT_EQ(At(image, {100, 150}), QColor(200, 0, 0));
    EXPECT_EQ(At(image, {242, 147}), QColor(200, 0, 0));
    EXPECT_EQ(At(image, {242, 152}), QColor(200, 0, 0));
}

TEST(FormBackground, TextIsDrawnInItsColourAndPlace) {
    const QString text =
        QStringLiteral("<i type='text' pos='20,30,0,0' text='销售 Sales' font='40,20' "
                       "color='0,0,255' style='%1' width='%2'/>");
    const QImage plain = Render(text.arg(0).arg(0));
    const QRect ink = InkBox(plain, kWhite);
    ASSERT_FALSE(ink.isNull());
    EXPECT_NEAR(ink.left(), 20, 4);
    EXPECT_GE(ink.top(), 30);
    EXPECT_LT(ink.bottom(), 30 + 45);
    int blue = 0;
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        for (int x = ink.left(); x <= ink.right(); ++x)
            blue += At(plain, {x, y}) == QColor(0, 0, 255);
    }
    EXPECT_GT(blue, 50);

    // Centred both ways: the same ink lands around the client's centre.
    const QRect centred = InkBox(Render(text.arg(22).arg(0)), kWhite);
    EXPECT_EQ(centred.size(), ink.size());
    EXPECT_NEAR(centred.center().x(), 200, 4);
    EXPECT_NEAR(centred.center().y(), 150, 8);
    // From the far edges: the text's right edge at 400 − 20, its bottom at 300 − 30.
    const QRect far = InkBox(Render(text.arg(33).arg(0)), kWhite);
    EXPECT_LE(far.right(), 380);
    EXPECT_GT(far.right(), 370);
    EXPECT_LE(far.bottom(), 270);

    // Over the button face, width 0 leaves the face around the glyphs; any other width lays
    // a white box behind them.
    const QColor face = QGuiApplication::palette().color(QPalette::Button);
    ASSERT_NE(face, kWhite);
    const auto whitePixels = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y) == kWhite;
        }
        return count;
    };
    EXPECT_EQ(whitePixels(Render(text.arg(0).arg(0), 1)), 0);
    EXPECT_GT(whitePixels(Render(text.arg(0).arg(1), 1)), 100);
}

TEST(FormBackground, PicturesAreAlignedAndLoadedOnce) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("img")));
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(QColor(0, 160, 0));
    const QString file = folder.filePath(QStringLiteral("img/bg.png"));
    ASSERT_TRUE(picture.save(file));
    const QString exeFolder = folder.path() + u'/';
    const QString item =
        QStringLiteral("<i type='img' pos='10,10,30,20' style='%1' text='img\\bg.png'/>");

    EXPECT_EQ(InkBox(Render(item.arg(0), 0, exeFolder), kWhite), QRect(10, 10, 20, 10));
    EXPECT_EQ(InkBox(Render(item.arg(22), 0, exeFolder), kWhite), QRect(190, 145, 20, 10));
    // left + client width − right − picture width: 10 + 400 − 30 − 20.
    EXPECT_EQ(InkBox(Render(item.arg(33), 0, exeFolder), kWhite), QRect(360, 280, 20, 10));

    // Repaints draw the picture already loaded, without the file.
    ASSERT_TRUE(QFile::remove(file));
    EXPECT_EQ(At(Render(item.arg(0), 0, exeFolder), {15, 15}), QColor(0, 160, 0));
    // A missing file draws nothing.
    EXPECT_TRUE(InkBox(Render(QStringLiteral("<i type='img' pos='0,0,0,0' text='none.png'/>"), 0,
                              exeFolder),
                       kWhite)
                    .isNull());
}

TEST(FormBackground, WebPicturesAreDrawnOnceDownloaded) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    LoopbackHttpServer server;
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 160));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    server.setRoute(QStringLiteral("/bg.png"), 200, png, "image/png", 200);
    const QString item =
        QStringLiteral("<i type='img' pos='10,10,30,20' text='%1/bg.png'/>").arg(server.baseUrl());
    const QString exeFolder = folder.path() + u'/';

    QStringList arrived;
    QObject context;
    QObject::connect(&PictureDownloads::Instance(), &PictureDownloads::arrived, &context,
                     [&arrived](const QString& url) { arrived.append(url); });
    // The first paint only starts the download; painting never waits on the server.
    EXPECT_TRUE(InkBox(Render(item, 0, exeFolder), kWhite).isNull());
    PictureDownloads::Instance().WaitForDownloads();
    QCoreApplication::processEvents();
    EXPECT_EQ(arrived, QStringList{server.baseUrl() + QStringLiteral("/bg.png")});
    EXPECT_EQ(InkBox(Render(item, 0, exeFolder), kWhite), QRect(10, 10, 20, 10));
    EXPECT_TRUE(QFileInfo::exists(folder.filePath(QStringLiteral("temp"))));
    EXPECT_EQ(server.requests().size(), 1);
}

TEST(FormBackground, MalformedValuesAreReportedOnEveryPaint) {
    CapturedMessages messages;
    const QString items = QStringLiteral("<i type='rect1' pos='50,60,150,100' color='10,20'/>"
                                         "<i type='line' pos='1,2,3' color='0,0,0'/>"
                                         "<i type='other'/>");
    const QImage image = Render(items);
    EXPECT_EQ(At(image, {100, 80}), QColor(255, 0, 0));
    const std::vector<QString> once = {
        QStringLiteral("RGB颜色格式错误(x,y,z)"), QStringLiteral("矩形数据格式错误"),
        QStringLiteral("矩形数据格式错误"), // every attribute is read, whatever the type
    };
    EXPECT_EQ(messages.texts, once);
    Render(items);
    EXPECT_EQ(messages.texts.size(), 2 * once.size());
}

} // namespace

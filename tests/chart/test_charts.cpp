// Charts drawn from a real form's grid by the report commands, checked by the pixels they draw:
// scales, bar positions, band baselines, curves, the moving window and the saved file.
#include "chart/ChartCommands.h"
#include "chart/GridChart.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "support/FormTestSession.h"
#include "widgets/GridView.h"
#include "widgets/PictureView.h"

#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// 600 x 400 chart; 1 the left sign, 2 and 3 the moving window's begin and count, 4 a save path.
const char* kForm = R"xml(<html version='1.0' id='0'>
<head title='图表' pos='0,0,900,700'/>
<body><dialog>
  <table id='9' pos='620,10,890,600'><PARA><col_info>
    <col id='1' title='月份' width='60'/><col id='2' title='销售' width='60'/>
    <col id='3' title='回款' width='60'/><col id='4' title='备注' width='60'/>
  </col_info></PARA></table>
  <pic id='5' pos='0,0,600,400'/>
  <textbox id='1' value='100' pos='0,420,100,440'/>
  <textbox id='2' value='5' pos='110,420,200,440'/>
  <textbox id='3' value='10' pos='210,420,300,440'/>
  <textbox id='4' pos='310,420,600,440'/>
</dialog></body></html>)xml";

const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kGreen = qRgb(0, 160, 0);

class Charts : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        if (!session_.Start(Engine::Sqlite, why))
            GTEST_SKIP() << qPrintable(why);
        RegisterChartCommands();
        form_ =
            FormWindow::OpenForm(QString::fromUtf8(kForm), QString(), QString(), "5", "图表", "");
        ASSERT_TRUE(form_);
        grid_ = qobject_cast<GridView*>(Control(9));
        picture_ = qobject_cast<PictureView*>(Control(5));
        ASSERT_TRUE(grid_ && picture_);
        ASSERT_EQ(picture_->size(), QSize(600, 400));
    }
    void TearDown() override { session_.Stop(); }

    QWidget* Control(int id) { return form_->ControlByWindowId(id + FormControls::kWindowIdBase); }
    void Fill(const QList<QStringList>& rows) {
        grid_->DeleteAllRows();
        for (const QStringList& row : rows) {
            const int r = grid_->InsertRow(grid_->RowCount(), row[0]);
            for (int c = 1; c < row.size(); ++c)
                grid_->SetCellText(r, c, row[c]);
        }
    }
    bool Command(const QString& xml) {
        FormXml::XmlDocument doc;
        EXPECT_TRUE(doc.LoadXml(xml)) << qPrintable(xml);
        return form_->RunCommand(doc.GetRoot(), 0, "CLICK");
    }
    // The smallest y at column x whose pixel is (nearly) `colour`; -1 when there is none.
    static int TopOf(const QImage& image, int x, QRgb colour) {
        for (int y = 0; y < image.height(); ++y)
            if (Near(image.pixel(x, y), colour))
                return y;
        return -1;
    }
    static bool Near(QRgb a, QRgb b) {
        return qAbs(qRed(a) - qRed(b)) < 40 && qAbs(qGreen(a) - qGreen(b)) < 40 &&
               qAbs(qBlue(a) - qBlue(b)) < 40 && qAlpha(a) > 200;
    }

    FormTestSession session_;
    FormWindow* form_ = nullptr;
    GridView* grid_ = nullptr;
    PictureView* picture_ = nullptr;
};

TEST(ChartScale, GridLineLabels) {
    EXPECT_EQ(ChartScaleLabels(100), QStringList({"100", "75", "50", "25"}));
    EXPECT_EQ(ChartScaleLabels(10), QStringList({"10", "7.5", "5", "2.5"}));
    EXPECT_EQ(ChartScaleLabels(0), QStringList({"0", "0", "0", "0"}));
}

TEST_F(Charts, BarsScaleByTheLeftSignAndStandSideBySide) {
    Fill({{"1月", "50", "12.7"}, {"2月", "100", "0"}});
    ASSERT_TRUE(Command("<show_report target='5' table_id='9' left_sign_id='1' split_width='100' "
                        "sign_col='1'><cols><c col='2' width='20' color='255,0,0,255'/>"
                        "<c col='3' width='30' color='255,0,160,0'/></cols></show_report>"));
    const QImage image = picture_->Render();
    // H = 400: the axis at y = 370, the scale's top at 120, a value of 50 half-way (245). The
    // first bar stands at 50 + ⌊100/2⌋ (two series share a row's spacing).
    EXPECT_NEAR(TopOf(image, 100, kBlue), 245, 1);
    // The second series stands ⌊20/2⌋ + ⌊30/2⌋ = 25 pixels right of the first; 12.7 is read as
    // 12 (y = 370 - 12 * 2.5 = 340).
    EXPECT_NEAR(TopOf(image, 125, kGreen), 340, 1);
    EXPECT_EQ(TopOf(image, 125, kBlue), -1);
    // The second row, 100 pixels on: the full height.
    EXPECT_NEAR(TopOf(image, 200, kBlue), 120, 1);
}

TEST_F(Charts, NoScaleDrawsAxesWithoutBars) {
    Fill({{"1月", "50"}});
    qobject_cast<QLineEdit*>(Control(1))->clear();
    ASSERT_TRUE(Command("<show_report target='5' table_id='9' left_sign_id='1' split_width='100'>"
                        "<cols><c col='2' width='20' color='255,0,0,255'/></cols></show_report>"));
    EXPECT_EQ(TopOf(picture_->Render(), 150, kBlue), -1);
}

TEST_F(Charts, BandsHaveTheirOwnBaselinesAndPlotDecimals) {
    Fill({{"1月", "12.7", "10"}, {"2月", "20", "30"}});
    const QString report = QStringLiteral(
        "<%1 target='5' table_id='9' left_sign_id='1' split_width='100' sign_col='1'><cols>"
        "<c col='2' width='6' color='255,0,0,255' pos='0.5'/>"
        "<c col='3' width='6' color='255,0,160,0' pos='0.2'/></cols></%1>");
    ASSERT_TRUE(Command(report.arg("show_report3")));
    const QImage bands = picture_->Render();
    // F = H - 20 = 380: baselines at 380 - 0.5 * 380 = 190 and 380 - 0.2 * 380 = 304 (a thin
    // smoothed line: the darkest of the rows around it).
    auto dark = [&bands](int y) {
        int darkest = 255;
        for (int row = y - 1; row <= y + 1; ++row)
            darkest = std::min(darkest, qGray(bands.pixel(300, row)));
        return darkest < 140;
    };
    EXPECT_TRUE(dark(190));
    EXPECT_TRUE(dark(304));
    EXPECT_FALSE(dark(250));
    // k = (F - 20) / 100 = 3.6: 12.7 stands 45 pixels above its baseline (y = 144), not 43.
    EXPECT_NEAR(TopOf(bands, 60, kBlue), 144, 1);

    // show_report31 draws exactly the same.
    ASSERT_TRUE(Command(report.arg("show_report31")));
    EXPECT_EQ(picture_->Render(), bands);
}

TEST_F(Charts, LabelledPointsBoundTheCurveOfChoice4) {
    QList<QStringList> rows;
    for (int r = 0; r < 10; ++r)
        rows.append({QString::number(r), QString::number(r % 2 ? 60 : 20), QString(),
                     r <= 4 ? QStringLiteral("点%1").arg(r) : QString()});
    Fill(rows);
    ASSERT_TRUE(Command("<show_report3 target='5' table_id='9' left_sign_id='1' split_width='50'>"
                        "<cols><c col='2' col_text='4' chart_type='0' chart_zx='4' pos_width='3' "
                        "color='255,0,0,255' pos='0'/></cols></show_report3>"));
    const QImage image = picture_->Render();
    // Points at x = 10 + 50 + 50 r; y = 380 - v * 3.6.
    auto point = [](int r) { return QPoint(60 + 50 * r, 380 - int((r % 2 ? 60 : 20) * 3.6)); };
    for (int r = 0; r < 10; ++r)
        EXPECT_TRUE(Near(image.pixel(point(r)), kBlue)) << "circle " << r;
    // The curve joins points 1 and 2, not 6 and 7.
    const QPoint inside = (point(1) + point(2)) / 2;
    const QPoint outside = (point(6) + point(7)) / 2;
    EXPECT_TRUE(Near(image.pixel(inside), kBlue) ||
                Near(image.pixel(inside + QPoint(0, 1)), kBlue));
    EXPECT_FALSE(Near(image.pixel(outside), kBlue));
}

TEST_F(Charts, TheMovingWindowStartsAtTheLeft) {
    QList<QStringList> rows;
    for (int r = 0; r < 12; ++r)
        rows.append({QString::number(r), QString::number(10 + r)});
    Fill(rows);
    ASSERT_TRUE(Command("<show_report5 target='5' table_id='9' left_sign_id='1' split_width='40' "
                        "row_begin_id='2' rows_count_id='3'><cols><c col='2' width='6' "
                        "color='255,0,0,255' pos='0'/></cols></show_report5>"));
    const QImage image = picture_->Render();
    // Rows 5 to 11: seven sticks from x = 10 + 40, 40 apart; the first is row 5's (15).
    for (int i = 0; i < 7; ++i)
        EXPECT_GE(TopOf(image, 50 + 40 * i, kBlue), 0) << i;
    EXPECT_EQ(TopOf(image, 50 + 40 * 7, kBlue), -1);
    EXPECT_NEAR(TopOf(image, 50, kBlue), 380 - int(15 * 3.6), 1);
}

TEST_F(Charts, TheSavedFileIsWhatTheControlShows) {
    Fill({{"1月", "50"}, {"2月", "80"}});
    QTemporaryDir dir;
    const QString path = dir.filePath("chart.bmp");
    qobject_cast<QLineEdit*>(Control(4))->setText(path);
    ASSERT_TRUE(Command("<show_report target='5' table_id='9' left_sign_id='1' split_width='100' "
                        "save_path_id='4'><cols><c col='2' width='20' color='255,0,0,255'/></cols>"
                        "</show_report>"));
    const QImage saved(path);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32),
              picture_->Render().convertToFormat(QImage::Format_RGB32));
}

TEST_F(Charts, APictureControlWithoutAPictureDrawsNothing) {
    const QImage image = picture_->Render();
    for (const QPoint& p : {QPoint(0, 0), QPoint(300, 200), QPoint(599, 399)})
        EXPECT_EQ(qAlpha(image.pixel(p)), 0);
    EXPECT_TRUE(Command("<show_report6 type='1'/>"));
    EXPECT_FALSE(Command("<show_report target='' table_id='9'/>"));
}

} // namespace

// The page engine on a real form, written to real PDF files and read back with poppler
// (pdftotext, pdftoppm) and zbar (zbarimg): page counts, the rows of each page, the footer
// pulled up under a short table, alignment on wider paper, boxed amounts, barcodes and QR codes.
#include "app/Application.h"
#include "app/Login.h"
#include "commands/CommandTable.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/AppMessage.h"
#include "print/Barcodes.h"
#include "print/PrintLayout.h"
#include "support/FormTestSession.h"
#include "support/TestAccountSet.h"
#include "widgets/GridView.h"

#include <QDir>
#include <QLineEdit>
#include <QPageSize>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const char* kForm = R"xml(<html version='1.0' id='0'>
<head title='打印' pos='0,0,800,600'/>
<body><dialog>
  <textbox id='1' pos='10,10,100,30'/>
  <textbox id='2' pos='110,10,200,30'/>
  <textbox id='3' pos='210,10,300,30'/>
  <table id='9' pos='10,100,700,400'><PARA>
    <col_info>
      <col id='1' title='序号' width='40'/><col id='2' title='品名' width='80'/>
      <col id='3' title='数量' width='60'/>
    </col_info></PARA></table>
</dialog></body></html>)xml";

// Runs a tool and gives its standard output.
QString RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return QStringLiteral("<%1 did not finish>").arg(program);
    return QString::fromUtf8(process.readAllStandardOutput());
}

class PrintLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        if (!session_.Start(Engine::Sqlite, why))
            GTEST_SKIP() << qPrintable(why);
        form_ =
            FormWindow::OpenForm(QString::fromUtf8(kForm), QString(), QString(), "5", "打印", "");
        ASSERT_TRUE(form_);
        grid_ = qobject_cast<GridView*>(form_->ControlByWindowId(WindowIdOfDocumentId(9)));
        ASSERT_TRUE(grid_);
        ASSERT_TRUE(dir_.isValid());
    }
    void TearDown() override { session_.Stop(); }

    void Rows(int count) {
        grid_->DeleteAllRows();
        for (int i = 1; i <= count; ++i)
            grid_->AppendRow(
                {QString::number(i), QStringLiteral("品%1").arg(i), QString::number(i * 10)});
    }
    void SetText(int id, const QString& text) {
        auto* box = qobject_cast<QLineEdit*>(form_->ControlByWindowId(WindowIdOfDocumentId(id)));
        ASSERT_TRUE(box);
        box->setText(text);
    }
    // Prints the layout to a PDF; the number of pages, and the path in `path`.
    int Print(const QString& layoutXml, QString& path,
              const QPageSize& size = QPageSize(QPageSize::A4)) {
        EXPECT_TRUE(doc_.LoadXml(layoutXml)) << qPrintable(layoutXml);
        PrintLayout layout(*form_, doc_.GetRoot());
        path = dir_.filePath(QStringLiteral("job%1.pdf").arg(++jobs_));
        return WritePdf(layout, path, size);
    }
    // The text of one page laid out as it stands on paper.
    static QString PageText(const QString& path, int page) {
        return RunTool("pdftotext", {"-layout", "-f", QString::number(page), "-l",
                                     QString::number(page), path, "-"});
    }
    // Text in a box of the page, in layout units (tenths of a millimetre) on A4.
    static QString TextAt(const QString& path, int page, const QRect& box) {
        // pdftotext -x/-y/-W/-H take points at -r 72: one unit is 72 / 254 points.
        const auto pt = [](int units) { return QString::number(units * 72 / 254); };
        return RunTool("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), "-x",
                                     pt(box.x()), "-y", pt(box.y()), "-W", pt(box.width()), "-H",
                                     pt(box.height()), path, "-"})
            .simplified();
    }
    // What zbarimg reads from the page rendered at 300 dpi.
    QString Scan(const QString& path) {
        const QString png = dir_.filePath(QStringLiteral("scan%1").arg(jobs_));
        RunTool("pdftoppm", {"-r", "300", "-gray", "-png", "-singlefile", path, png});
        // Raw bytes: zbar otherwise guesses a legacy encoding for the UTF-8 of a QR code.
        return RunTool("zbarimg", {"--raw", "-q", "-Sbinary", png + ".png"}).trimmed();
    }

    FormTestSession session_;
    QStringList& messages_ = session_.messages;
    FormWindow* form_ = nullptr;
    GridView* grid_ = nullptr;
    FormXml::XmlDocument doc_;
    QTemporaryDir dir_;
    int jobs_ = 0;
};

// A table at 300 with a header row 60 high and rows 50 high; a footer 60 high at `footer`.
QString TableLayout(int countInPage, int footer) {
    return QStringLiteral("<print_para left='0' top='0' head_height='300' head_width='2100'>"
                          "<t pos='100,100,1000,200' value='送货单'/>"
                          "<table_print pos='100,300,1900,800' value='9'>"
                          "<head_info_print row_height='60'>"
                          "<c row_id='1' width='20' title='序号'/><c row_id='1' width='80' id='2'/>"
                          "</head_info_print>"
                          "<col_info_print row_height='50' count_in_page='%1'>"
                          "<c col_id='1' width='20'/><c col_id='2' width='80'/></col_info_print>"
                          "</table_print>"
                          "<f pos='100,%2,1000,%3' value='FOOTER'/></print_para>")
        .arg(countInPage)
        .arg(footer)
        .arg(footer + 60);
}

TEST_F(PrintLayoutTest, TablePagesRowsAndFooterShift) {
    Rows(25);
    QString path;
    // The footer is laid out 10 under a full page of 10 rows.
    ASSERT_EQ(Print(TableLayout(10, 300 + 60 + 500 + 10), path), 3);
    const QString page1 = PageText(path, 1);
    EXPECT_TRUE(page1.contains(QStringLiteral("品1\n"))) << qPrintable(page1);
    EXPECT_TRUE(page1.contains("品10")) << qPrintable(page1);
    EXPECT_FALSE(page1.contains("品11")) << qPrintable(page1);
    EXPECT_TRUE(page1.contains(QStringLiteral("第 1/3 页")));
    // The header cell without a title shows the grid's own column title.
    EXPECT_TRUE(page1.contains(QStringLiteral("品名")));
    const QString page3 = PageText(path, 3);
    for (int row = 21; row <= 25; ++row)
        EXPECT_TRUE(page3.contains(QStringLiteral("品%1").arg(row))) << row;
    EXPECT_FALSE(page3.contains(QStringLiteral("品20")));
    EXPECT_TRUE(page3.contains(QStringLiteral("第 3/3 页")));
    // The footer sits under the last row: 5 rows of 50 higher than on a full page.
    const QRect fullFooter(100, 870, 900, 60);
    EXPECT_EQ(TextAt(path, 1, fullFooter), "FOOTER");
    EXPECT_EQ(TextAt(path, 3, fullFooter), "");
    EXPECT_EQ(TextAt(path, 3, fullFooter.translated(0, -250)), "FOOTER");
}

TEST_F(PrintLayoutTest, NegativeCountFillsThePageHeight) {
    // A4 is 2970 high: (2970 - 60 - 300) / 50 = 52 rows a page.
    Rows(60);
    QString path;
    // The footer is laid out 10 under 2 rows, the header not counted.
    ASSERT_EQ(Print(TableLayout(-2, 300 + 100 + 10), path), 2);
    EXPECT_TRUE(PageText(path, 1).contains(QStringLiteral("品52")));
    EXPECT_FALSE(PageText(path, 1).contains(QStringLiteral("品53")));
    // Page 2 holds 8 rows; the footer lands 10 under them, below the header.
    EXPECT_EQ(TextAt(path, 2, QRect(100, 300 + 60 + 400 + 10, 900, 60)), "FOOTER");
    EXPECT_EQ(TextAt(path, 2, QRect(100, 300, 900, 400 + 60)).contains("FOOTER"), false);
}

TEST_F(PrintLayoutTest, EmptyGridPrintsNoPage) {
    Rows(0);
    QString path;
    EXPECT_EQ(Print(TableLayout(10, 900), path), 0);
    EXPECT_FALSE(QFileInfo::exists(path) && QFileInfo(path).size() > 0 &&
                 PageText(path, 1).contains("FOOTER"));
}

TEST_F(PrintLayoutTest, TableWithoutAGridPrintsTheRestOnOnePage) {
    Rows(25);
    QString path;
    ASSERT_EQ(Print(TableLayout(10, 870).replace("value='9'", "value='99'"), path), 1);
    const QString page = PageText(path, 1);
    EXPECT_TRUE(page.contains("FOOTER")) << qPrintable(page);
    EXPECT_FALSE(page.contains(QStringLiteral("品1"))) << qPrintable(page);
    EXPECT_EQ(TextAt(path, 1, QRect(100, 870, 900, 60)), "FOOTER");
}

TEST_F(PrintLayoutTest, AlignMovesAndWidensOnWiderPaper) {
    // Designed for A4 (2100), printed on A3 (2970): 870 units of free width.
    SetText(1, "MOVED");
    SetText(2, "WIDE RIGHT");
    QString path;
    ASSERT_EQ(Print("<print_para head_width='2100'>"
                    "<a pos='0,100,400,200' wnd='1' align='2'/>"
                    "<b pos='0,300,400,400' wnd='2' align='4' format='2'/>"
                    "<c pos='0,500,400,600' value='STAY'/></print_para>",
                    path, QPageSize(QPageSize::A3)),
              1);
    EXPECT_EQ(TextAt(path, 1, QRect(0, 100, 430, 100)), "");
    EXPECT_EQ(TextAt(path, 1, QRect(435, 100, 400, 100)), "MOVED");
    // Right-aligned in a box reaching 870 further: the text ends near 1270.
    EXPECT_EQ(TextAt(path, 1, QRect(0, 300, 600, 100)), "");
    EXPECT_EQ(TextAt(path, 1, QRect(900, 300, 380, 100)), "WIDE RIGHT");
    EXPECT_EQ(TextAt(path, 1, QRect(0, 500, 420, 100)), "STAY");
}

TEST_F(PrintLayoutTest, BoxedAmountsAndThousands) {
    SetText(1, "1234.5");
    SetText(2, "1234567.891");
    QString path;
    ASSERT_EQ(Print(QStringLiteral("<print_para>"
                                   "<a pos='100,100,900,200' wnd='1' wnd_type='CNY' "
                                   "split_size='100' value_ahead='¥'/>"
                                   "<b pos='100,300,900,400' wnd='2' wnd_type='thousandth'/>"
                                   "<c pos='100,500,900,600' wnd='1' wnd_type='unknown'/>"
                                   "</print_para>"),
                    path),
              1);
    // Seven boxes of 100 from the right edge (900): ¥ in 200..300, then 1 2 3 4 5 0.
    const QString boxes[] = {"¥", "1", "2", "3", "4", "5", "0"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(TextAt(path, 1, QRect(200 + 100 * i + 5, 100, 90, 100)), boxes[i]) << i;
    EXPECT_EQ(TextAt(path, 1, QRect(100, 100, 95, 100)), "");
    EXPECT_EQ(TextAt(path, 1, QRect(100, 300, 800, 100)), "1,234,567.89");
    EXPECT_EQ(TextAt(path, 1, QRect(100, 500, 800, 100)), "");
}

TEST_F(PrintLayoutTest, MalformedRectangleIsReportedAndDrawnAtZero) {
    QString path;
    ASSERT_EQ(Print("<print_para><a pos='100,100,900' value='ZERO'/></print_para>", path), 1);
    EXPECT_TRUE(messages_.contains(QStringLiteral("矩形数据格式错误")));
    EXPECT_EQ(TextAt(path, 1, QRect(0, 0, 2000, 2900)), "");
}

TEST_F(PrintLayoutTest, LongTextsShrinkIntoTheirBoxes) {
    const QString line = QStringLiteral("一段很长的说明文字必须缩小字号才能放进这个格子");
    QString path;
    ASSERT_EQ(Print(QStringLiteral("<print_para>"
                                   "<a pos='100,100,500,200' value='%1' format='37'/>"
                                   "<b pos='100,300,500,500' value='%1%1%1' format='2069'/>"
                                   "</print_para>")
                        .arg(line),
                    path),
              1);
    // Every glyph box, in points, lies inside its item's box.
    const QString boxes = RunTool("pdftotext", {"-bbox", path, "-"});
    const QRegularExpression word(
        R"re(xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)<)re");
    const auto pt = [](int units) { return units * 72.0 / 254.0; };
    QString first;
    QString second;
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const auto m = it.next();
        const double x0 = m.captured(1).toDouble(), y0 = m.captured(2).toDouble();
        const double x1 = m.captured(3).toDouble(), y1 = m.captured(4).toDouble();
        const bool inFirst = y0 < pt(250);
        (inFirst ? first : second) += m.captured(5);
        const QRect box = inFirst ? QRect(100, 100, 400, 100) : QRect(100, 300, 400, 200);
        EXPECT_GE(x0, pt(box.left()) - 0.5) << qPrintable(m.captured(5));
        EXPECT_LE(x1, pt(box.right()) + 0.5) << qPrintable(m.captured(5));
        EXPECT_GE(y0, pt(box.top()) - 0.5) << qPrintable(m.captured(5));
        EXPECT_LE(y1, pt(box.bottom()) + 0.5) << qPrintable(m.captured(5));
    }
    EXPECT_EQ(first, line);
    EXPECT_EQ(second, line + line + line);
}

TEST(ThousandsText, Formats) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "0.00"},          {"", "0.00"},    {"abc", "0.00"},         {"999.995", "1,000.00"},
        {"-1234", "-1,234.00"}, {"12", "12.00"}, {"1,234.5", "1,234.50"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(ThousandsText(in), out) << in;
}

TEST_F(PrintLayoutTest, BarcodesAndQrScanBackToTheirTexts) {
    struct Case {
        const char* kind;
        QString text;
        QString read; // what a scanner reports
    };
    const Case cases[] = {
        {"128a", "ABC-123", "ABC-123"},
        {"128b", "Ht-2026/07 ab", "Ht-2026/07 ab"},
        {"128c", "20260701", "20260701"},
        {"128c", "2026070", "2026070"}, // odd digits: the last one in code set B
        {"128e", "0101234567890128", "0101234567890128"},
        {"qr", QStringLiteral("HT-2026-0001 合同"), QStringLiteral("HT-2026-0001 合同")},
    };
    for (const Case& c : cases) {
        SetText(1, c.text);
        QString path;
        ASSERT_EQ(Print(QStringLiteral("<print_para><b pos='200,200,%1,600' wnd='1' wnd_type='%2'/>"
                                       "</print_para>")
                            .arg(QLatin1String(c.kind) == "qr" ? 600 : 1800)
                            .arg(QLatin1String(c.kind)),
                        path),
                  1);
        QString scanned = Scan(path);
        // zbar reports GS1-128 with its leading FNC1 as a group separator or not at all.
        scanned.remove(QChar(0x1d));
        EXPECT_EQ(scanned, c.read) << c.kind << " " << qPrintable(c.text);
    }
}

TEST(Code128, StartCheckAndStopAroundEmptyText) {
    // Start B, check 104 % 103 = 1, stop.
    EXPECT_EQ(EncodeCode128("128b", ""), "211214"
                                         "222122"
                                         "2331112");
    EXPECT_EQ(EncodeCode128("128x", "1"), "");
    EXPECT_TRUE(RenderQr("").isNull());
}

} // namespace

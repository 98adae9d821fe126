// A workbook filled from a template, read back by real spreadsheet readers: openpyxl for the
// cells, their types, styles and formulas, and LibreOffice (where installed) as a program that
// opens the file.
#include "platform/FileSystem.h"
#include "platform/TemplateWorkbook.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The system's Python, where the set-up script installs openpyxl (another python3 may come
// first in PATH).
const QString kPython = QStringLiteral("/usr/bin/python3");

// Runs a Python script; its standard output (and errors when it failed).
bool Python(const QString& script, QString& out) {
    QProcess python;
    python.start(kPython, {QStringLiteral("-c"), script});
    if (!python.waitForFinished(60000))
        return false;
    out = QString::fromUtf8(python.readAllStandardOutput()).trimmed();
    if (python.exitCode() != 0)
        out += QString::fromUtf8(python.readAllStandardError());
    return python.exitCode() == 0;
}

bool HaveOpenpyxl() {
    QString out;
    return Python(QStringLiteral("import openpyxl"), out);
}

// A template as a shop would make it: a title, a styled header row, a total over the quantity
// column and a second sheet of notes.
const char* kMakeTemplate = R"py(
import openpyxl, sys
from openpyxl.styles import Font, PatternFill
wb = openpyxl.Workbook()
ws = wb.active
ws.title = 'Sheet1'
ws['A1'] = '库存报表'
ws['A1'].font = Font(bold=True, size=16)
ws['A2'] = '合计'
ws['B2'] = '=SUM(D4:D1000)'
for i, t in enumerate(['编码', '名称', '数量'], start=2):
    c = ws.cell(row=3, column=i, value=t)
    c.font = Font(bold=True)
    c.fill = PatternFill('solid', fgColor='DDEEFF')
ws.cell(row=4, column=2).font = Font(italic=True)
ws['F4'] = '保留'
notes = wb.create_sheet('说明')
notes['A1'] = '模板说明'
if sys.argv[-1].endswith('.xltx'):
    wb.template = True
wb.save(sys.argv[-1])
)py";

class TemplateWorkbook : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveOpenpyxl())
            GTEST_SKIP() << "python3-openpyxl is not installed";
    }
    QString MakeTemplate(const QString& name) {
        const QString path = dir_.filePath(name);
        QProcess python;
        python.start(kPython, {QStringLiteral("-c"), QString::fromUtf8(kMakeTemplate), path});
        EXPECT_TRUE(python.waitForFinished(60000) && python.exitCode() == 0)
            << python.readAllStandardError().toStdString();
        return path;
    }
    platform::WorkbookFill Fill(const QString& templatePath) {
        platform::WorkbookFill fill;
        fill.templatePath = templatePath;
        fill.outputPath = dir_.filePath(QStringLiteral("out.xlsx"));
        fill.startRow = 4;
        fill.startColumn = 2;
        fill.rows = {{"M001", "螺丝 <M6> & 垫圈", "12.5"},
                     {"00123", "123456789012345678", "-3"},
                     {"", " 空格 ", "0"}};
        return fill;
    }

    QTemporaryDir dir_;
};

TEST_F(TemplateWorkbook, FillsFromTheStartCellAndKeepsTheTemplate) {
    const platform::WorkbookFill fill = Fill(MakeTemplate(QStringLiteral("t.xlsx")));
    const platform::WorkbookResult result = platform::FillTemplateWorkbook(fill);
    ASSERT_TRUE(result.ok) << result.error.toStdString();

    QString out;
    ASSERT_TRUE(Python(QStringLiteral(R"py(
import openpyxl
wb = openpyxl.load_workbook('%1')
ws = wb['Sheet1']
def show(c):
    return '%s:%s:%r' % (c.coordinate, type(c.value).__name__, c.value)
for ref in ['B4', 'C4', 'D4', 'B5', 'C5', 'D5', 'B6', 'C6', 'D6', 'F4']:
    print(show(ws[ref]))
print('bold', ws['A1'].font.b, ws['B3'].font.b, ws['B3'].fill.fgColor.rgb, ws['B4'].font.i)
print('formula', ws['B2'].value)
print('notes', wb['说明']['A1'].value)
print('dimension', ws.dimensions)
)py")
                           .arg(fill.outputPath),
                       out))
        << out.toStdString();
    EXPECT_EQ(out.toStdString(), "B4:str:'M001'\n"
                                 "C4:str:'螺丝 <M6> & 垫圈'\n"
                                 "D4:float:12.5\n"
                                 "B5:str:'00123'\n"
                                 "C5:str:'123456789012345678'\n"
                                 "D5:int:-3\n"
                                 "B6:NoneType:None\n"
                                 "C6:str:' 空格 '\n"
                                 "D6:int:0\n"
                                 "F4:str:'保留'\n"
                                 "bold True True 00DDEEFF True\n"
                                 "formula =SUM(D4:D1000)\n"
                                 "notes 模板说明\n"
                                 "dimension A1:F6");
}

TEST_F(TemplateWorkbook, TemplateFilesAndSheetNames) {
    // A template (.xltx) becomes a workbook; the sheet name is found whatever its case.
    platform::WorkbookFill fill = Fill(MakeTemplate(QStringLiteral("t.xltx")));
    fill.sheetName = QStringLiteral("SHEET1");
    ASSERT_TRUE(platform::FillTemplateWorkbook(fill).ok);
    QString out;
    ASSERT_TRUE(Python(QStringLiteral(R"py(
import zipfile
types = zipfile.ZipFile('%1').read('[Content_Types].xml').decode()
print('template' in types, 'sheet.main+xml' in types)
)py")
                           .arg(fill.outputPath),
                       out))
        << out.toStdString();
    EXPECT_EQ(out, "False True");

    fill.sheetName = QStringLiteral("明细");
    QFile::remove(fill.outputPath);
    const platform::WorkbookResult missing = platform::FillTemplateWorkbook(fill);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, "模板中没有名为 明细 的工作表");
    EXPECT_FALSE(QFile::exists(fill.outputPath));

    fill.templatePath = dir_.filePath(QStringLiteral("none.xlsx"));
    EXPECT_EQ(platform::FillTemplateWorkbook(fill).error, "模板 none.xlsx 不是 .xlsx 格式的工作簿");
}

TEST_F(TemplateWorkbook, LibreOfficeOpensTheFile) {
    const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    const platform::WorkbookFill fill = Fill(MakeTemplate(QStringLiteral("t.xlsx")));
    ASSERT_TRUE(platform::FillTemplateWorkbook(fill).ok);
    QProcess convert;
    convert.setWorkingDirectory(dir_.path());
    // A profile of its own: a running LibreOffice of the user's is not disturbed.
    convert.start(office, {QStringLiteral("-env:UserInstallation=file://") + dir_.filePath("lo"),
                           QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                           // comma, double quote, UTF-8, from line 1
                           QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1"),
                           QStringLiteral("--outdir"), dir_.path(), fill.outputPath});
    ASSERT_TRUE(convert.waitForFinished(180000));
    QFile csv(dir_.filePath(QStringLiteral("out.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly)) << convert.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(csv.readAll()).split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 6);
    // An old .xls template is converted first.
    QProcess toXls;
    toXls.start(office, {QStringLiteral("-env:UserInstallation=file://") + dir_.filePath("lo"),
                         QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                         QStringLiteral("xls"), QStringLiteral("--outdir"),
                         dir_.filePath(QStringLiteral("old")), fill.outputPath});
    ASSERT_TRUE(toXls.waitForFinished(180000));
    QString converted;
    const platform::WorkbookResult conversion =
        platform::ConvertLegacyWorkbook(dir_.filePath(QStringLiteral("old/out.xls")),
                                        dir_.filePath(QStringLiteral("new")), converted);
    EXPECT_TRUE(conversion.ok) << conversion.error.toStdString();
    EXPECT_TRUE(QFile::exists(converted));
    // Texts come quoted, numbers not; the total was recalculated over the filled cells.
    EXPECT_EQ(lines[1], "\"合计\",9.5,,,,");
    EXPECT_EQ(lines[3], ",\"M001\",\"螺丝 <M6> & 垫圈\",12.5,,\"保留\"");
    EXPECT_EQ(lines[4], ",\"00123\",\"123456789012345678\",-3,,");
}

TEST(ExportPaths, NeverReplaceAnEarlierExport) {
    QTemporaryDir dir;
    const QString first =
        platform::FreeNumberedPath(dir.path(), QStringLiteral("库存"), QStringLiteral("xlsx"));
    EXPECT_TRUE(first.endsWith(QStringLiteral("_1.xlsx")));
    QFile(first).open(QIODevice::WriteOnly);
    const QString second =
        platform::FreeNumberedPath(dir.path(), QStringLiteral("库存"), QStringLiteral("xlsx"));
    EXPECT_TRUE(second.endsWith(QStringLiteral("_2.xlsx")));
}

} // namespace

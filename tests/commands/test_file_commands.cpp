// Files in binary fields on both engines, through the buttons of a real form: the size limits,
// the upload log inside the action's transaction, downloads into temp/, pictures, and the
// export of a grid into a spreadsheet made from a stored template.
#include "commands/FileTransfer.h"
#include "data/DbSession.h"
#include "data/SessionContext.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/PopupChoice.h"
#include "platform/ShellOpen.h"
#include "support/FormTestSession.h"
#include "widgets/GridView.h"
#include "widgets/PictureView.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const char* kForm = R"xml(<html version='1.0' id='0'>
<head title='附件' pos='0,0,700,420'/>
<body><dialog>
  <table id='9' pos='10,10,400,200'><PARA><col_info>
    <col id='1' title='编号' width='80'/><col id='2' title='名称' width='80'/>
    <col id='3' title='规格' width='80'/><col id='4' title='数量' width='80'/>
  </col_info></PARA></table>
  <textbox id='1' pos='410,10,600,34'/>
  <textbox id='2' pos='410,40,600,64'/>
  <pic id='5' pos='410,70,600,200'/>
  <button id='20' value='上传' pos='10,210,90,230'><ACTION><CLICK>
    <upload><para_info table_id='9' select_table='t_doc' file_field_name='name_0'
      img_field_name='file_0'/></upload></CLICK></ACTION></button>
  <button id='21' value='下载' pos='100,210,190,230'><ACTION><CLICK>
    <download><para_info table_id='9' select_table='t_doc' file_field_name='name_0'
      img_field_name='file_0'/></download></CLICK></ACTION></button>
  <button id='22' value='无日志' pos='200,210,290,230'><ACTION><CLICK>
    <upload><para_info table_id='9' select_table='t_nolog' file_field_name='name_0'
      img_field_name='file_0'/></upload></CLICK></ACTION></button>
  <button id='23' value='上传图' pos='300,210,390,230'><ACTION><CLICK>
    <upload_pic values='SELECT file_0 FROM t_doc WHERE uid_0 = {{id?uid}}' table_id='9'
      source_id='1' img_field_name='file_0' max='5'/></CLICK></ACTION></button>
  <button id='24' value='显示图' pos='400,210,490,230'><ACTION><CLICK>
    <download_pic values='SELECT file_0 FROM t_doc WHERE 1=1{{p1}}' target_ids='5'
      img_field_name='file_0'><para_info_where>
        <n value='2' where=" AND name_0 = '{{self}}'"/></para_info_where></download_pic>
  </CLICK></ACTION></button>
  <button id='25' value='坏筛选' pos='500,210,590,230'><ACTION><CLICK>
    <download_pic values='SELECT file_0 FROM t_doc WHERE 1=1{{p1}}' target_ids='5'
      img_field_name='file_0'><para_info_where>
        <n value='77' where=" AND name_0 = '{{self}}'"/></para_info_where></download_pic>
  </CLICK></ACTION></button>
  <button id='26' value='导出' pos='10,240,90,260'><ACTION><CLICK>
    <export_excel table_id='9' values='3,2' target_ids='1,4'>
      <para_info target_id='1' select_table='t_tpl' file_field_name='name_0'
        img_field_name='file_0'/></export_excel></CLICK></ACTION></button>
  <button id='27' value='只开模板' pos='100,240,190,260'><ACTION><CLICK>
    <export_excel table_id='9' target_ids=''>
      <para_info target_id='1' select_table='t_tpl' file_field_name='name_0'
        img_field_name='file_0'/></export_excel></CLICK></ACTION></button>
</dialog></body></html>)xml";

class FileCommands : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        QString why;
        if (!session_.Start(GetParam(), why))
            GTEST_SKIP() << qPrintable(why);
        form_ =
            FormWindow::OpenForm(QString::fromUtf8(kForm), QString(), QString(), "5", "附件", "");
        ASSERT_TRUE(form_);
        const bool pg = GetParam() == Engine::Postgres;
        const QString blob = pg ? "bytea" : "BLOB";
        const QString stamp = pg ? "timestamp" : "VARCHAR(30)";
        for (const QString& sql :
             {QStringLiteral("CREATE TABLE t_doc (uid_0 INTEGER PRIMARY KEY, name_0 "
                             "VARCHAR(200), file_0 %1, date_up_0 %2, up_user_uid_0 INTEGER)")
                  .arg(blob, stamp),
              QStringLiteral("CREATE TABLE t_nolog (uid_0 INTEGER PRIMARY KEY, name_0 "
                             "VARCHAR(200), file_0 %1)")
                  .arg(blob),
              QStringLiteral("CREATE TABLE t_tpl (uid_0 INTEGER PRIMARY KEY, name_0 VARCHAR(200), "
                             "file_0 %1)")
                  .arg(blob),
              QStringLiteral("INSERT INTO t_doc (uid_0, name_0) VALUES (1, 'a.txt'), (2, 'a.txt'), "
                             "(3, '../escape.txt')"),
              QStringLiteral("INSERT INTO t_nolog (uid_0) VALUES (1)"),
              QStringLiteral("INSERT INTO t_tpl (uid_0, name_0) VALUES (1, '库存.xlsx')")})
            ASSERT_TRUE(Db().Execute(sql)) << qPrintable(Db().Detail());
        previousChooser_ =
            SetFileChooser([this](const QString&, const QStringList&) -> std::optional<QString> {
                return chosen_;
            });
        previousOpener_ = platform::SetDesktopOpener([this](const QString& path) {
            opened_.append(path);
            return opens_;
        });
        grid_ = qobject_cast<GridView*>(Control(9));
        for (const QStringList& row :
             {QStringList{"M1", "螺丝", "M6", "10"}, QStringList{"00123", "垫圈", "φ8", "2.5"}}) {
            const int r = grid_->InsertRow(grid_->RowCount(), row[0]);
            for (int c = 1; c < row.size(); ++c)
                grid_->SetCellText(r, c, row[c]);
            grid_->SetRowKey(r, QString::number(r + 1));
        }
    }
    void TearDown() override {
        SetFileChooser(previousChooser_);
        platform::SetDesktopOpener(previousOpener_);
        session_.Stop();
    }

    DbSession& Db() { return form_->Session; }
    QWidget* Control(int id) { return form_->ControlByWindowId(id + FormControls::kWindowIdBase); }
    void Press(int button) {
        session_.messages.clear();
        form_->RunEvent(button + FormControls::kWindowIdBase, "CLICK");
    }
    void Select(int row) {
        for (int i = 0; i < grid_->RowCount(); ++i)
            grid_->SelectRow(i, i == row);
    }
    QString File(const QString& name, qint64 size, char fill = 'x') {
        const QString path = files_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, fill));
        return path;
    }
    QByteArray Stored(const QString& table, int uid) {
        QList<QByteArray> data;
        Db().ReadBinary(QStringLiteral("SELECT file_0 FROM %1 WHERE uid_0=%2").arg(table).arg(uid),
                        {"file_0"}, data);
        return data.value(0);
    }
    QString Value(const QString& sql) {
        QString value;
        Db().QueryValue(sql, value);
        return value;
    }
    QString ExeFile(const QString& name) {
        return QDir(SessionContext::Current().exeFolder).filePath(name);
    }

    FormTestSession session_;
    FormWindow* form_ = nullptr;
    GridView* grid_ = nullptr;
    QTemporaryDir files_;
    std::optional<QString> chosen_;
    QStringList opened_;
    bool opens_ = true;
    FileChooser previousChooser_;
    platform::DesktopOpener previousOpener_;
};

TEST_P(FileCommands, UploadTakesUpTo2MiBWithItsLogInTheSameTransaction) {
    Select(0);
    chosen_ = File("one more.bin", kAttachmentLimit + 1);
    Press(20);
    EXPECT_EQ(session_.messages.value(0).contains("文件太大，只能上传小于2M的文件"), true)
        << qPrintable(session_.messages.join('|'));
    EXPECT_TRUE(Stored("t_doc", 1).isEmpty());
    EXPECT_EQ(Value("SELECT name_0 FROM t_doc WHERE uid_0=1"), "a.txt");

    chosen_ = File("o'brien 合同.bin", kAttachmentLimit);
    Press(20);
    EXPECT_TRUE(session_.messages.join('|').contains("上传成功"))
        << qPrintable(session_.messages.join('|'));
    EXPECT_EQ(Stored("t_doc", 1).size(), kAttachmentLimit);
    EXPECT_EQ(Value("SELECT name_0 FROM t_doc WHERE uid_0=1"), "o'brien 合同.bin");
    EXPECT_EQ(Value("SELECT up_user_uid_0 FROM t_doc WHERE uid_0=1"),
              SessionContext::Current().userUid);
    EXPECT_FALSE(Value("SELECT date_up_0 FROM t_doc WHERE uid_0=1").isEmpty());

    // The log cannot be written (no such columns): the content goes back out with it.
    chosen_ = File("small.bin", 10);
    Press(22);
    EXPECT_TRUE(session_.messages.join('|').contains("更新上传日志失败"))
        << qPrintable(session_.messages.join('|'));
    EXPECT_TRUE(Stored("t_nolog", 1).isEmpty());

    // Cancelled, or no row: nothing, and nothing said.
    chosen_.reset();
    Press(20);
    Select(-1);
    chosen_ = File("small.bin", 10);
    Press(20);
    EXPECT_FALSE(session_.messages.join('|').contains("上传成功"));
}

TEST_P(FileCommands, DownloadsReplaceTheFileOfTheSameNameAndStayInTemp) {
    ASSERT_TRUE(Db().WriteBinary("SELECT * FROM t_doc WHERE uid_0=1", {"file_0"}, {"first"}));
    ASSERT_TRUE(Db().WriteBinary("SELECT * FROM t_doc WHERE uid_0=2", {"file_0"}, {"second"}));
    ASSERT_TRUE(Db().WriteBinary("SELECT * FROM t_doc WHERE uid_0=3", {"file_0"}, {"third"}));
    for (int row : {0, 1}) {
        Select(row);
        Press(21);
    }
    QFile file(ExeFile("temp/a.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "second");
    EXPECT_EQ(opened_, QStringList({ExeFile("temp/a.txt"), ExeFile("temp/a.txt")}));

    // A stored name that climbs out of the folder is kept inside it.
    grid_->SetRowKey(1, "3");
    Select(1);
    Press(21);
    EXPECT_TRUE(QFile::exists(ExeFile("temp/escape.txt")));
    EXPECT_FALSE(QFile::exists(ExeFile("escape.txt")));

    // Nothing opens it: its folder is tried, then the user is told where it is.
    opens_ = false;
    opened_.clear();
    Press(21);
    EXPECT_EQ(opened_.size(), 2);
    EXPECT_EQ(session_.messages.value(0), QStringLiteral("请手动打开下载好的文件：\n") +
                                              QDir::toNativeSeparators(ExeFile("temp/escape.txt")));
}

// A record with nothing stored, or no record at all, is said as such instead of passing in
// silence; nothing is opened.
TEST_P(FileCommands, NothingStoredIsSaid) {
    grid_->SetRowKey(1, "99");
    const struct {
        const char* what;
        int row;         // the selected grid row
        const char* key; // the template number typed into field 1
        int button;
        QString message;
    } cases[] = {
        {"download, record without a file", 0, "", 21, "该记录没有附件，无法下载。"},
        {"download, no such record", 1, "", 21, "该记录没有附件，无法下载。"},
        {"export, template record without a file", -1, "1", 26,
         "模板记录中没有Excel模板文件，无法导出。"},
        {"export, no such template record", -1, "7", 26, "模板记录中没有Excel模板文件，无法导出。"},
    };
    for (const auto& c : cases) {
        Select(c.row);
        qobject_cast<QLineEdit*>(Control(1))->setText(c.key);
        Press(c.button);
        EXPECT_TRUE(session_.messages.join('|').contains(c.message))
            << c.what << ": " << qPrintable(session_.messages.join('|'));
    }
    EXPECT_TRUE(opened_.isEmpty()) << qPrintable(opened_.join('|'));
}

TEST_P(FileCommands, PicturesUpToTheirLimitAndShownFromTheirRecord) {
    Select(0);
    qobject_cast<QLineEdit*>(Control(1))->setText(File("big.bin", 5 * 1024 * 1024 + 1));
    Press(23);
    EXPECT_TRUE(session_.messages.join('|').contains("文件太大，只能上传小于5M的文件"));
    qobject_cast<QLineEdit*>(Control(1))->setText(File("limit.bin", 5 * 1024 * 1024));
    Press(23);
    EXPECT_EQ(Stored("t_doc", 1).size(), 5 * 1024 * 1024);
    // A file that cannot be read is named.
    qobject_cast<QLineEdit*>(Control(1))->setText(files_.filePath("gone.png"));
    Press(23);
    EXPECT_TRUE(session_.messages.join('|').contains(
        "无法读取文件：" + QDir::toNativeSeparators(files_.filePath("gone.png"))));
    QImage image(12, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    image.save(&buffer, "PNG");
    const QString path = files_.filePath("photo.png");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(png);
    out.close();
    qobject_cast<QLineEdit*>(Control(1))->setText(path);
    Press(23);
    EXPECT_TRUE(session_.messages.join('|').contains("上传成功"));

    auto* picture = qobject_cast<PictureView*>(Control(5));
    ASSERT_TRUE(picture);
    ASSERT_TRUE(Db().Execute("UPDATE t_doc SET name_0 = 'photo' WHERE uid_0 = 1"));
    qobject_cast<QLineEdit*>(Control(2))->setText("photo");
    Press(24);
    EXPECT_EQ(picture->Picture().size(), QSize(12, 8));
    // Bytes that are no picture leave it empty.
    ASSERT_TRUE(Db().WriteBinary("SELECT * FROM t_doc WHERE uid_0=1", {"file_0"}, {"no picture"}));
    Press(24);
    EXPECT_TRUE(picture->Picture().isNull());
    // A filter naming no control fails the command, where a query would drop the condition.
    Press(25);
    EXPECT_TRUE(session_.messages.join('|').contains("控件指向出错"))
        << qPrintable(session_.messages.join('|'));
}

TEST_P(FileCommands, ExportFillsTheStoredTemplateFromTheStartCell) {
    const QString tpl = files_.filePath("库存.xlsx");
    QProcess python;
    python.start("/usr/bin/python3",
                 {"-c",
                  "import openpyxl,sys\nwb=openpyxl.Workbook()\nwb.active.title='Sheet1'\n"
                  "wb.active['A1']='库存'\nwb.save(sys.argv[-1])",
                  tpl});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        GTEST_SKIP() << "python3-openpyxl is not installed";
    QFile file(tpl);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_TRUE(
        Db().WriteBinary("SELECT * FROM t_tpl WHERE uid_0=1", {"file_0"}, {file.readAll()}));
    qobject_cast<QLineEdit*>(Control(1))->setText("1");

    Press(26);
    ASSERT_EQ(opened_.size(), 1) << qPrintable(session_.messages.join('|'));
    python.start("/usr/bin/python3",
                 {"-c",
                  "import openpyxl,sys\nws=openpyxl.load_workbook(sys.argv[-1])['Sheet1']\n"
                  "print([[c.value for c in r] for r in ws.iter_rows(min_row=1,max_row=4,"
                  "max_col=3)])",
                  opened_.first()});
    ASSERT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(QString::fromUtf8(python.readAllStandardOutput()).trimmed(),
              "[['库存', None, None], [None, None, None], [None, 'M1', 10], "
              "[None, '00123', 2.5]]");

    // An empty column list opens the template with nothing written; a second export never
    // replaces the first.
    Press(27);
    ASSERT_EQ(opened_.size(), 2);
    EXPECT_NE(opened_[1], opened_[0]);
    EXPECT_TRUE(QFile::exists(opened_[1]));
    // No spreadsheet program: the file is written and the message says where, never that the
    // export failed.
    opens_ = false;
    Press(27);
    ASSERT_EQ(opened_.size(), 3);
    EXPECT_TRUE(QFile::exists(opened_[2]));
    EXPECT_EQ(session_.messages,
              QStringList{QStringLiteral("已导出到文件：\n%1\n本机没有找到打开 Excel 文件的程序，"
                                         "请用电子表格程序手动打开该文件。")
                              .arg(QDir::toNativeSeparators(opened_[2]))});
}

INSTANTIATE_TEST_SUITE_P(Engines, FileCommands, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                             return std::string(EngineName(info.param));
                         });

TEST(UploadLog, NowIsTheEnginesOwn) {
    EXPECT_EQ(UploadLogSql(1, "t", "n"),
              "UPDATE t SET n=?,date_up_0=getdate(),up_user_uid_0=? where uid_0=?");
    for (int kind : {2, 3})
        EXPECT_EQ(UploadLogSql(kind, "t", "n"),
                  "UPDATE t SET n=?,date_up_0=NOW(),up_user_uid_0=? where uid_0=?");
}

} // namespace

// The print commands on a real form, printing into a folder of PDF files: the printer remembered
// per print button, the dialog decided by a control, the page shift, previews, a batch of
// records printed one job each, and what a job does on a machine without a printer.
#include "app/Application.h"
#include "app/Login.h"
#include "commands/CommandTable.h"
#include "data/CfgFile.h"
#include "data/SessionContext.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/AppMessage.h"
#include "platform/ShellOpen.h"
#include "print/PrintCommands.h"
#include "support/FormTestSession.h"
#include "support/TestAccountSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Button 3 prints the record whose uid is in box 1; button 4 is a second print button; button
// 5 previews button 3; button 6 picks three records for a batch.
const char* kForm = R"xml(<html version='1.0' id='0'>
<head title='打印' pos='0,0,800,600'/>
<body><dialog>
  <textbox id='1' pos='10,10,100,30'/>
  <textbox id='2' pos='110,10,200,30'/>
  <textbox id='7' pos='210,10,300,30'/>
  <textbox id='8' pos='310,10,400,30'/>
  <textbox id='9' pos='410,10,500,30'/>
  <textbox id='10' pos='510,10,600,30'/>
  <button id='3' value='打印' pos='10,50,90,70'><ACTION><CLICK>
    <print><print_para is_direct='1' uid_id='1' print_btn='3'>
      <t pos='100,100,1000,200' wnd='1' value_ahead='UID '/></print_para></print>
  </CLICK></ACTION></button>
  <button id='4' value='打印2' pos='100,50,190,70'><ACTION><CLICK>
    <print><print_para is_direct='1'><t pos='100,100,1000,200' value='TWO'/></print_para></print>
  </CLICK></ACTION></button>
  <button id='5' value='预览' pos='200,50,290,70'><ACTION><CLICK>
    <print_pre target_ids='3'/>
  </CLICK></ACTION></button>
  <button id='6' value='批量' pos='300,50,390,70'><ACTION><CLICK>
    <query_to_print values="SELECT 'u1' UNION ALL SELECT 'u2' UNION ALL SELECT 'u3'"/>
  </CLICK></ACTION></button>
</dialog></body></html>)xml";

struct Job {
    QString file;
    int pages;
};

class PrintCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        if (!session_.Start(Engine::Sqlite, why))
            GTEST_SKIP() << qPrintable(why);
        RegisterPrintCommands();
        SetCurrentPrinter({});
        form_ =
            FormWindow::OpenForm(QString::fromUtf8(kForm), QString(), QString(), "77", "打印", "");
        ASSERT_TRUE(form_);
        ASSERT_TRUE(dir_.isValid());
        SetPrintToFolder(dir_.path(), [this](const QString& file, int pages) {
            jobs_.append({QFileInfo(file).fileName(), pages});
        });
    }
    void TearDown() override {
        SetPrintToFolder(QString());
        SetPrinterSetupDialog(nullptr);
        SetPrinterPresence({});
        platform::SetDesktopOpener({});
        session_.Stop();
    }

    QWidget* Control(int id) { return form_->ControlByWindowId(WindowIdOfDocumentId(id)); }
    QLineEdit* Box(int id) { return qobject_cast<QLineEdit*>(Control(id)); }
    bool Command(const QString& xml, int byControl = 0) {
        FormXml::XmlDocument doc;
        EXPECT_TRUE(doc.LoadXml(xml)) << qPrintable(xml);
        return form_->RunCommand(doc.GetRoot(), byControl ? WindowIdOfDocumentId(byControl) : 0,
                                 "CLICK");
    }
    void Click(int id) {
        qobject_cast<QPushButton*>(Control(id))->click();
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
    }
    QString Text(const QString& file) {
        QProcess process;
        const QString path = QDir::isAbsolutePath(file) ? file : dir_.filePath(file);
        process.start("pdftotext", {path, "-"});
        process.waitForFinished(30000);
        return QString::fromUtf8(process.readAllStandardOutput()).simplified();
    }
    QString Cfg(const QString& section, const QString& key) {
        return ReadCfg(Application::Instance().CfgPath(), section, key);
    }

    FormTestSession session_;
    QStringList& messages_ = session_.messages;
    FormWindow* form_ = nullptr;
    QTemporaryDir dir_;
    QList<Job> jobs_;
};

TEST_F(PrintCommandsTest, BatchPrintsOneJobPerRecordAndPreviewsNeverAdvanceIt) {
    Click(6);
    Box(1)->setText("u1");
    // A preview shows the first record without taking it from the queue.
    Click(5);
    ASSERT_EQ(jobs_.size(), 1);
    EXPECT_EQ(jobs_[0].file, "001-preview.pdf");
    EXPECT_EQ(Text("001-preview.pdf"), "UID u1");
    Click(3);
    ASSERT_EQ(jobs_.size(), 4);
    EXPECT_EQ(Text("002.pdf"), "UID u1");
    EXPECT_EQ(Text("003.pdf"), "UID u2");
    EXPECT_EQ(Text("004.pdf"), "UID u3");
    // The queue is used up: the next click prints once.
    Click(3);
    EXPECT_EQ(jobs_.size(), 5);
}

// A job printed without its dialog on a machine without a printer becomes a PDF file in the
// client's temp/ folder, opened with the desktop's program when there is one; the message says
// which. Nothing reached a printer, so a batch stays at its record.
TEST_F(PrintCommandsTest, WithoutAPrinterADirectJobIsKeptAsAPdfFile) {
    SetPrintToFolder(QString());
    SetPrinterPresence([] { return false; });
    const QString temp = QDir(SessionContext::Current().exeFolder).filePath("temp");
    struct Case {
        bool programFound;
        QString file;
        QString message;
    };
    const Case cases[] = {
        {true, "打印_1.pdf",
         "没有可用的打印机，打印内容已存为 PDF 文件并打开：\n%1\n"
         "可以在打开它的程序中保存或打印。"},
        {false, "打印_2.pdf",
         "没有可用的打印机，打印内容已存为 PDF 文件：\n%1\n"
         "本机没有找到打开 PDF 文件的程序，请手动打开该文件。"},
    };
    Click(6);
    Box(1)->setText("u1");
    for (const Case& c : cases) {
        QStringList opened;
        platform::SetDesktopOpener([&](const QString& path) {
            opened.append(path);
            return c.programFound;
        });
        messages_.clear();
        Click(3);
        const QString file = QDir(temp).filePath(c.file);
        EXPECT_EQ(opened, QStringList{file});
        EXPECT_EQ(messages_, QStringList{c.message.arg(QDir::toNativeSeparators(file))});
        EXPECT_EQ(Text(file), "UID u1");
        EXPECT_EQ(Box(1)->text(), "u1");
    }
    EXPECT_TRUE(jobs_.isEmpty());
}

// A printer that takes no job is named; the click does not pass in silence.
TEST_F(PrintCommandsTest, APrinterThatCannotPrintIsSaid) {
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        GTEST_SKIP() << "this machine has a printer, which would print the job";
    // The platform lists none, yet the machine is said to have one: the job finds no device.
    SetPrintToFolder(QString());
    SetPrinterPresence([] { return true; });
    Box(1)->setText("u1");
    Click(3);
    EXPECT_EQ(messages_, QStringList{"打印机无法打印，请检查打印机是否连接并开启。"});
}

TEST_F(PrintCommandsTest, PreviewOfADisabledButtonIsRefused) {
    Control(3)->setEnabled(false);
    Click(5);
    EXPECT_TRUE(jobs_.isEmpty());
    EXPECT_TRUE(messages_.contains(QStringLiteral("无权限,不能操作")));
}

TEST_F(PrintCommandsTest, DialogDecidedByAControl) {
    FormXml::XmlDocument doc;
    const std::pair<const char*, bool> cases[] = {
        {"<print_para/>", false},
        {"<print_para is_direct='0'/>", false},
        {"<print_para is_direct='1'/>", true},
    };
    for (const auto& [xml, direct] : cases) {
        ASSERT_TRUE(doc.LoadXml(xml));
        EXPECT_EQ(PrintsWithoutDialog(*form_, doc.GetRoot()), direct) << xml;
    }
    ASSERT_TRUE(doc.LoadXml("<print_para is_direct='7'/>"));
    const std::pair<const char*, bool> texts[] = {
        {"", false}, {"0", false}, {"1", true}, {"2", true}};
    for (const auto& [text, direct] : texts) {
        Box(7)->setText(text);
        EXPECT_EQ(PrintsWithoutDialog(*form_, doc.GetRoot()), direct) << text;
    }
}

TEST_F(PrintCommandsTest, SetupRemembersThePrinterForEachButton) {
    SetPrinterSetupDialog([](PrinterChoice& choice) {
        choice.name = "Counter";
        choice.paper = 11; // A5
        choice.orientation = 2;
        return true;
    });
    ASSERT_TRUE(Command("<print_setup target_ids='3;4'/>", 20));
    for (const char* section : {"B77_3", "B77_4"}) {
        EXPECT_EQ(Cfg(section, "PNAME"), "Counter") << section;
        EXPECT_EQ(Cfg(section, "PSIZE"), "11") << section;
        EXPECT_EQ(Cfg(section, "PORIE"), "2") << section;
    }
    // Another program changed the printer; button 3's own choice comes back when it prints.
    SetCurrentPrinter({});
    Box(1)->setText("x");
    Click(3);
    EXPECT_EQ(CurrentPrinter().name, "Counter");
    EXPECT_EQ(CurrentPrinter().paper, 11);
    ASSERT_EQ(jobs_.size(), 1);
    // A5 landscape: the page is 210 mm wide and 148 mm high.
    QProcess info;
    info.start("pdfinfo", {dir_.filePath("001.pdf")});
    info.waitForFinished(30000);
    const QString pdfInfo = QString::fromUtf8(info.readAllStandardOutput());
    // Without `name_id` the document is called 打印.
    EXPECT_TRUE(pdfInfo.contains(QRegularExpression(QStringLiteral("Title: +打印\n"))))
        << qPrintable(pdfInfo);
    EXPECT_TRUE(pdfInfo.contains(QRegularExpression("Page size: +595(\\.\\d+)? x 420 pts")))
        << qPrintable(pdfInfo);

    // A cancelled dialog writes nothing.
    SetPrinterSetupDialog([](PrinterChoice&) { return false; });
    ASSERT_TRUE(Command("<print_setup target_ids='9'/>", 20));
    EXPECT_EQ(Cfg("B77_9", "PNAME"), "");
}

TEST_F(PrintCommandsTest, PageShiftIsStoredAndRead) {
    const QString para = "<c><para_info d_uid_id='8' button_id='9' left_id='10' top_id='2'/></c>";
    Box(8)->setText("77");
    Box(9)->setText("3");
    Box(10)->setText("x");
    Box(2)->setText("y");
    ASSERT_TRUE(Command(
        QString(para).replace("<c>", "<print_pos_get>").replace("</c>", "</print_pos_get>")));
    EXPECT_EQ(Box(10)->text(), "0");
    EXPECT_EQ(Box(2)->text(), "0");
    Box(10)->setText("50");
    Box(2)->setText("-20");
    ASSERT_TRUE(Command(
        QString(para).replace("<c>", "<print_pos_setup>").replace("</c>", "</print_pos_setup>")));
    EXPECT_EQ(Cfg("B77_3", "POS_LEFT"), "50");
    EXPECT_EQ(Cfg("B77_3", "POS_TOP"), "-20");
    Box(10)->clear();
    ASSERT_TRUE(Command(
        QString(para).replace("<c>", "<print_pos_get>").replace("</c>", "</print_pos_get>")));
    EXPECT_EQ(Box(10)->text(), "50");
}

TEST(PaperCodes, MapBothWays) {
    EXPECT_EQ(PageSizeOfPaperCode(9).id(), QPageSize::A4);
    EXPECT_EQ(PageSizeOfPaperCode(8).id(), QPageSize::A3);
    EXPECT_EQ(PageSizeOfPaperCode(12345).id(), QPageSize::A4);
    EXPECT_EQ(PaperCodeOfPageSize(QPageSize(QPageSize::A5)), 11);
    EXPECT_EQ(PaperCodeOfPageSize(QPageSize(QPageSize::B0)), 9);
}

} // namespace

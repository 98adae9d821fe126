// The commands on a form's own controls, on a real form: another control's action run inside
// the current one, a queued click, focus, and visibility, enabling and check states from a
// one-row query.
#include "app/Application.h"
#include "app/Login.h"
#include "commands/CommandTable.h"
#include "commands/CommandTexts.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/AppMessage.h"
#include "platform/Pointer.h"
#include "platform/PopupChoice.h"
#include "support/FormTestSession.h"
#include "support/SessionFacts.h"
#include "support/TestAccountSet.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using CommandTexts::kCountMismatch;

#include <gtest/gtest.h>

namespace {

// Button 20 writes "按过" into box 2.
const char* kForm = R"xml(<html version='1.0' id='0'>
<head title='控件' pos='0,0,600,400'/>
<body><dialog>
  <textbox id='1' value='甲' pos='10,10,100,30'/>
  <textbox id='2' pos='110,10,200,30'/>
  <textbox id='4' style='4' pos='310,10,500,80'/>
  <button id='7' value='勾选' style='6' pos='10,50,100,70'/>
  <button id='20' value='按钮' pos='10,90,90,110'><ACTION><CLICK>
    <query_to_wnds values="SELECT '按过'" target_ids='2'/>
  </CLICK></ACTION></button>
  <button id='21' value='另一个' pos='100,90,190,110'/>
</dialog></body></html>)xml";

class WindowCommands : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        if (!session_.Start(Engine::Sqlite, why))
            GTEST_SKIP() << qPrintable(why);
        form_ =
            FormWindow::OpenForm(QString::fromUtf8(kForm), QString(), QString(), "5", "控件", "");
        ASSERT_TRUE(form_);
    }
    void TearDown() override { session_.Stop(); }

    bool Command(const QString& xml) {
        FormXml::XmlDocument doc;
        EXPECT_TRUE(doc.LoadXml(xml)) << qPrintable(xml);
        form_->Runner().ErrorText.clear();
        return form_->RunCommand(doc.GetRoot(), 0, "CLICK");
    }
    QWidget* Control(int id) { return form_->ControlByWindowId(id + FormControls::kWindowIdBase); }
    QLineEdit* Box(int id) { return qobject_cast<QLineEdit*>(Control(id)); }

    FormTestSession session_;
    FormWindow* form_ = nullptr;
    QStringList& messages_ = session_.messages;
};

TEST_F(WindowCommands, SendMessageRunsTheActionNowUnlessTheControlIsDisabled) {
    EXPECT_TRUE(Command("<sendmessage target_ids='20' values='CLICK'/>"));
    EXPECT_EQ(Box(2)->text(), "按过");

    Control(20)->setEnabled(false);
    Box(2)->clear();
    EXPECT_TRUE(Command("<sendmessage target_ids='20' values='CLICK'/>"));
    EXPECT_EQ(Box(2)->text(), "");
}

TEST_F(WindowCommands, SendClickPressesOnceAfterTheAction) {
    int clicks = 0;
    QObject::connect(qobject_cast<QPushButton*>(Control(20)), &QPushButton::clicked,
                     [&clicks] { ++clicks; });
    EXPECT_TRUE(Command("<send_click target_ids='20'/>"));
    EXPECT_EQ(clicks, 0); // not yet: the current action is still running
    EXPECT_EQ(Box(2)->text(), "");
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(Box(2)->text(), "按过");
    EXPECT_FALSE(Command("<send_click target_ids='99'/>"));
    EXPECT_EQ(form_->Runner().ErrorText, "控件指向出错:\n99");
}

TEST_F(WindowCommands, ShowAbleAndCheckStatesFromTheQuery) {
    form_->show();
    EXPECT_TRUE(Command("<show values='SELECT 0, 5' target_ids='1;21'/>"));
    EXPECT_TRUE(Box(1)->isHidden());
    EXPECT_FALSE(Control(21)->isHidden());

    // Edit boxes stay enabled and turn read-only; buttons are disabled.
    EXPECT_TRUE(Command("<able values='SELECT 0, 0' target_ids='2;21'/>"));
    EXPECT_TRUE(Box(2)->isEnabled());
    EXPECT_TRUE(Box(2)->isReadOnly());
    EXPECT_FALSE(Control(21)->isEnabled());
    EXPECT_TRUE(Command("<able values='SELECT 1, 1' target_ids='2;21'/>"));
    EXPECT_FALSE(Box(2)->isReadOnly());
    EXPECT_TRUE(Control(21)->isEnabled());

    // A button the user's rights deny stays disabled.
    form_->deniedList = ";21;";
    Control(21)->setEnabled(false);
    EXPECT_TRUE(Command("<able values='SELECT 1' target_ids='21'/>"));
    EXPECT_FALSE(Control(21)->isEnabled());

    auto* box = qobject_cast<QCheckBox*>(Control(7));
    ASSERT_TRUE(box);
    for (int state : {1, 2, 0}) {
        EXPECT_TRUE(Command(
            QStringLiteral("<set_btn_state values='SELECT %1' target_ids='7'/>").arg(state)));
        EXPECT_TRUE(Command("<get_btn_state target_ids='7' values='1'/>"));
        EXPECT_EQ(Box(1)->text(), QString::number(state));
    }
    EXPECT_TRUE(Box(1)->isHidden()) << "get_btn_state keeps the target's visibility";
}

TEST_F(WindowCommands, TargetsAndValuesMustMatchInNumber) {
    for (const char* name : {"show", "able", "set_btn_state"}) {
        messages_.clear();
        Box(1)->setEnabled(true);
        EXPECT_FALSE(Command(QStringLiteral("<%1 values='SELECT 0' target_ids='1;2'/>").arg(name)))
            << name;
        EXPECT_EQ(messages_, QStringList{kCountMismatch}) << name;
        EXPECT_FALSE(Box(1)->isReadOnly()) << name;
        EXPECT_FALSE(Box(1)->isHidden()) << name;
    }
}

TEST_F(WindowCommands, ColoursFromTheQueryWithTheFilterTextKeptInItsLiteral) {
    // The state box holds a quote: it must stay inside the literal, not end it.
    Box(1)->setText("审'核");
    const char* command = R"xml(<%1><para_info_where
        values="SELECT CASE WHEN 1=1 @F THEN '255,0,0' ELSE '0,0,255' END, ''" target_ids='2;1'>
        <p value='1' where="AND '{{self}}' = '审''核'" sign='@F'/></para_info_where></%1>)xml";
    EXPECT_TRUE(Command(QString::fromUtf8(command).arg("set_wnds_color1")));
    EXPECT_EQ(Box(2)->palette().color(QPalette::Base), QColor(255, 0, 0));
    EXPECT_TRUE(Box(2)->autoFillBackground());
    EXPECT_FALSE(Box(1)->autoFillBackground()) << "an empty value leaves the target as it was";
    EXPECT_TRUE(Command(QString::fromUtf8(command).arg("set_wnds_color2")));
    EXPECT_EQ(Box(2)->palette().color(QPalette::Text), QColor(255, 0, 0));

    for (const char* name : {"set_wnds_color1", "set_wnds_color2"}) {
        messages_.clear();
        EXPECT_FALSE(Command(
            QStringLiteral("<%1><para_info_where values=\"SELECT '1,2,3'\" target_ids='1;2'/></%1>")
                .arg(name)));
        EXPECT_EQ(messages_, QStringList{kCountMismatch}) << name;
    }
}

TEST_F(WindowCommands, MenuItemsAndTheChosenOnePressesItsControl) {
    Control(21)->setEnabled(false);
    QStringList shown;
    QAction* (*pick)(QMenu&, const QString&) = [](QMenu& menu, const QString& name) -> QAction* {
        for (QAction* item : menu.actions())
            if (item->text() == name)
                return item;
        return nullptr;
    };
    const MenuChooser previous = SetMenuChooser([&](QMenu& menu) {
        for (QAction* item : menu.actions())
            shown.append(item->isSeparator() ? QStringLiteral("-")
                                             : item->text() + (item->isEnabled() ? "" : "(灰)") +
                                                   (item->icon().isNull() ? "" : "(✓)"));
        return pick(menu, "审核");
    });
    const char* menu = R"xml(<menu><i id='20' name='审核' color='3'/><i id='0'/>
        <i id='21' name='反审核'/><i id='55' name='复制合同' color='36'/></menu>)xml";
    EXPECT_TRUE(Command(QString::fromUtf8(menu)));
    SetMenuChooser(previous);
    EXPECT_EQ(shown, QStringList({"审核(✓)", "-", "反审核(灰)", "复制合同"}));
    EXPECT_EQ(Box(2)->text(), "") << "the item's action runs after the menu's";
    QCoreApplication::processEvents();
    EXPECT_EQ(Box(2)->text(), "按过");
}

TEST_F(WindowCommands, SelectFileWritesThePathOrFailsQuietlyOnCancel) {
    QStringList asked;
    std::optional<QString> answer = QStringLiteral("/tmp/合同.xlsx");
    const FileChooser previous = SetFileChooser([&](const QString& title, const QStringList& f) {
        asked.append(title + ":" + f.join('|'));
        return answer;
    });
    EXPECT_TRUE(Command("<select_file target_ids='2' values='pic'/>"));
    EXPECT_EQ(Box(2)->text(), "/tmp/合同.xlsx");
    answer.reset();
    EXPECT_FALSE(Command("<select_file target_ids='2'/>"));
    EXPECT_EQ(form_->Runner().ErrorText, "");
    SetFileChooser(previous);
    EXPECT_EQ(asked.value(0), "打开文件:All Files(*.*) (*)|Pic Files (*.jpeg *.jpg *.png *.bmp)");
    EXPECT_EQ(asked.value(1).count('|'), 3);
}

TEST_F(WindowCommands, CmdWritesAllOutputAndKeepsTypedTextOneWord) {
    auto* out = qobject_cast<QPlainTextEdit*>(Control(4));
    ASSERT_TRUE(out);
    EXPECT_TRUE(Command("<cmd target_ids='4' values=\"printf '一\\n'; echo 二 >&amp;2\"/>"));
    EXPECT_EQ(out->toPlainText(), "一\n二\n");

    // Typed text with quotes and a command of its own is one argument of printf.
    Box(1)->setText("x'; echo 坏 #");
    EXPECT_TRUE(
        Command("<cmd target_ids='4' values=\"printf '[%s]' {{p1}}\">"
                "<para_info_where><p value='1' where='{{self}}'/></para_info_where></cmd>"));
    EXPECT_EQ(out->toPlainText(), "[x'; echo 坏 #]");
    // GBK output is read as GBK.
    EXPECT_TRUE(Command("<cmd target_ids='4' values=\"printf '\\272\\317\\315\\254'\"/>"));
    EXPECT_EQ(out->toPlainText(), "合同");
}

// Each typed value goes in once, as one shell word: a value naming another parameter or one of
// the form's placeholders is not looked into again, while the author's placeholders are expanded.
TEST_F(WindowCommands, CmdInsertsEachValueOnceAsOneWord) {
    auto* out = qobject_cast<QPlainTextEdit*>(Control(4));
    ASSERT_TRUE(out);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString command =
        QStringLiteral("<cmd target_ids='4' values=\"cd '%1' &amp;&amp; "
                       "printf '[%s]' {{p1}} {{p2}} {{date}}\"><para_info_where>"
                       "<p value='1' where='{{self}}'/><p value='2' where='{{self}}'/>"
                       "</para_info_where></cmd>")
            .arg(dir.path());
    const struct {
        const char* first;
        const char* second;
    } cases[] = {
        {"{{p2}}", "; touch PWNED ; echo"},
        {"'{{p2}}'", "$(touch PWNED)"},
        {"{{date}}", "{{p1}}"},
    };
    const QString today = QDate::currentDate().toString("yyyy-MM-dd");
    for (const auto& c : cases) {
        const QString first = QString::fromUtf8(c.first);
        const QString second = QString::fromUtf8(c.second);
        Box(1)->setText(first);
        Box(2)->setText(second);
        EXPECT_TRUE(Command(command)) << c.first;
        EXPECT_EQ(out->toPlainText(), "[" + first + "][" + second + "][" + today + "]") << c.first;
        EXPECT_FALSE(QFile::exists(dir.filePath("PWNED"))) << c.first;
    }
    // A user's name from the database is one word too.
    Application& app = Application::Instance();
    const QString name = app.session.userName;
    ChangeUser(app.session, [](SessionContext::User& user) {
        user.userName = QStringLiteral("$(touch PWNED)'; touch PWNED; '");
    });
    Box(1)->clear();
    Box(2)->clear();
    EXPECT_TRUE(Command(QStringLiteral("<cmd target_ids='4' values=\"cd '%1' &amp;&amp; "
                                       "printf '[%s]' {{username}}\"/>")
                            .arg(dir.path())));
    EXPECT_EQ(out->toPlainText(), "[" + app.session.userName + "]");
    EXPECT_FALSE(QFile::exists(dir.filePath("PWNED")));
    ChangeUser(app.session, [&](SessionContext::User& user) { user.userName = name; });
}

TEST_F(WindowCommands, WaitLetsAnotherFormsButtonRun) {
    FormWindow* other =
        FormWindow::OpenForm(QString::fromUtf8(kForm), QString(), QString(), "6", "另一个", "");
    ASSERT_TRUE(other);
    auto* button =
        qobject_cast<QPushButton*>(other->ControlByWindowId(20 + FormControls::kWindowIdBase));
    auto* box = qobject_cast<QLineEdit*>(other->ControlByWindowId(2 + FormControls::kWindowIdBase));
    QTimer::singleShot(20, button, [button] { button->click(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(Command("<wait values='300'/>"));
    EXPECT_GE(clock.elapsed(), 290);
    EXPECT_EQ(box->text(), "按过");
}

TEST_F(WindowCommands, PointerCommandsWithoutX11SayWhyAndDoNothing) {
    Box(1)->setText("1,2,3,4");
    for (const char* command : {"<get_pos values='1'/>", "<mouse_move values='1'/>"}) {
        messages_.clear();
        EXPECT_FALSE(Command(command)) << command;
        EXPECT_EQ(form_->Runner().ErrorText, "没有 X11 显示，不能操作鼠标和键盘") << command;
        EXPECT_EQ(Box(1)->text(), "1,2,3,4") << command;
        EXPECT_TRUE(messages_.isEmpty()) << command;
    }
}

// Runs only on an X11 display (an Xvfb will do).
TEST_F(WindowCommands, GetPosThenMouseMoveReturnsThePointer) {
    if (!PointerAvailable())
        GTEST_SKIP() << "no X11 display";
    ASSERT_TRUE(MovePointer(QPoint(40, 30)));
    EXPECT_TRUE(Command("<get_pos values='1'/>"));
    EXPECT_EQ(Box(1)->text(), "0,0,40,30");
    MovePointer(QPoint(200, 150));
    EXPECT_TRUE(Command("<mouse_move values='1'/>"));
    EXPECT_EQ(PointerPosition(), QPoint(40, 30));

    Box(1)->setText("40,30");
    EXPECT_TRUE(Command("<mouse_move values='1'/>"));
    EXPECT_EQ(messages_, QStringList{"矩形数据格式错误"});
    EXPECT_EQ(PointerPosition(), QPoint(0, 0));
}

TEST_F(WindowCommands, SetFocusSelectsTheText) {
    form_->show();
    form_->activateWindow();
    EXPECT_TRUE(Command("<set_focus target_ids='1'/>"));
    EXPECT_EQ(Box(1)->selectedText(), "甲");
    EXPECT_FALSE(Command("<set_focus target_ids='98'/>"));
}

} // namespace

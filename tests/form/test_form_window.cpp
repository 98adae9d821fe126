// The form window as the shell opens it: built from XML, its actions run inside one transaction
// on a real SQLite account set, with the button rights, the log file and the registry.
#include "app/Application.h"
#include "app/Login.h"
#include "commands/CommandTable.h"
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "form/CommandRegistry.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/AppMessage.h"
#include "platform/Gbk.h"
#include "support/TestAccountSet.h"
#include "widgets/GridView.h"
#include "widgets/PickListPopup.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

#include "form/DefinitionCodec.h"
#include "form/FormDefinitionLoader.h"
#include "widgets/EditWithButton.h"
#include <functional>

#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Test commands: run the `sql` attribute; fail with the `error` attribute; record a grid row
// state and a key field the way the saving commands do.
void RegisterTestCommands(int* initCount) {
    RegisterCommand("t_sql", [](CommandContext& form, const FormXml::XmlNode& c, int) {
        CommandResult result;
        if (form.AccountSession().Execute(form.ExpandStatementPlaceholders(c.GetAttribute("sql"))))
            return result;
        result.ok = false;
        result.error = form.AccountSession().Message();
        result.detail = form.AccountSession().Detail();
        return result;
    });
    RegisterCommand("t_fail", [](CommandContext&, const FormXml::XmlNode& c, int) {
        CommandResult result = CommandResult::Failed(c.GetAttribute("error"));
        result.detail = QStringLiteral("第二行\n细节");
        return result;
    });
    RegisterCommand("t_info", [](CommandContext&, const FormXml::XmlNode& c, int) {
        CommandResult result;
        result.info = c.GetAttribute("text");
        return result;
    });
    RegisterCommand("t_return", [](CommandContext& form, const FormXml::XmlNode& c, int) {
        form.SetReturnValue(c.GetAttribute("value"));
        form.RequestCloseAfterAction();
        return CommandResult();
    });
    RegisterCommand("t_close", [](CommandContext& form, const FormXml::XmlNode&, int) {
        form.RequestCloseAfterAction();
        return CommandResult();
    });
    RegisterCommand("t_throw", [](CommandContext&, const FormXml::XmlNode&, int) -> CommandResult {
        throw std::runtime_error("driver gave up");
    });
    RegisterCommand("t_count", [initCount](CommandContext&, const FormXml::XmlNode&, int) {
        ++*initCount;
        return CommandResult();
    });
    RegisterCommand("t_mark", [](CommandContext& form, const FormXml::XmlNode&, int) {
        auto* grid = qobject_cast<GridView*>(form.ControlByWindowId(9 + 1024));
        form.RememberRowState(grid, 0, grid->RowState(0));
        grid->SetRowState(0, 0);
        QWidget* key = form.ControlByWindowId(2 + 1024);
        qobject_cast<QLineEdit*>(key)->setText("77");
        form.RememberKeyField(key);
        return CommandResult();
    });
}

const char* kForm = R"xml(<html version='1.0' id='0'>
<head title='入库单' pos='0,0,600,400'>
  <ACTION><INIT><t_count/></INIT></ACTION>
  <HOTKEY><para_info><k id='5' value='4'/></para_info></HOTKEY>
</head>
<body><dialog>
  <static id='1' value='供应商' pos='10,10,80,30'/>
  <textbox id='2' pos='90,10,300,30'/>
  <textbox id='3' pos='90,40,300,60'>
    <ACTION><EN_CHANGE id='5'><t_info text='五个字'/></EN_CHANGE></ACTION></textbox>
  <button id='4' value='保存' pos='10,70,90,95'>
    <ACTION><CLICK><t_sql sql="INSERT INTO c_material (name_0) VALUES ('螺丝')"/>
      <t_fail error='数量必须大于零'/></CLICK></ACTION></button>
  <button id='5' value='登记' pos='100,70,180,95'>
    <ACTION><CLICK log='1'><t_sql sql="INSERT INTO c_material (name_0) VALUES ('{{username}}')"/>
    </CLICK></ACTION></button>
  <button id='6' value='删除' pos='190,70,270,95'>
    <ACTION><CLICK><t_info text='删除了'/></CLICK></ACTION></button>
  <button id='7' value='查看' pos='280,70,360,95'>
    <ACTION><CLICK log='2'><t_info text='看了'/></CLICK></ACTION></button>
  <button id='8' value='外部' pos='370,70,450,95'>
    <ACTION><CLICK connstr='{{conn}}' id='2'>
      <t_sql sql="INSERT INTO c_material (name_0) VALUES ('外部')"/></CLICK></ACTION></button>
  <table id='9' pos='10,100,590,380'/>
  <button id='0' value='零号' pos='10,385,90,398'>
    <ACTION><CLICK><t_info text='零号按钮'/></CLICK></ACTION></button>
  <editbutton id='11' popup='12' pos='310,10,450,30'/>
  <editbutton id='12' popup='0:57:3;4:5' pos='310,40,450,60'/>
  <button id='10' value='标记' pos='460,70,540,95'>
    <ACTION><CLICK><t_mark/><t_fail error='第二步失败'/></CLICK></ACTION></button>
</dialog><popup><html version='1.0' id='12'><head title='选择供应商' pos='0'/><body><dialog>
  <button id='1' value='选定' pos='10,10,80,30'>
    <ACTION><CLICK log='2'><t_return value='供应商乙'/></CLICK></ACTION></button>
</dialog></body></html></popup></body></html>)xml";

// Runs `act` on the modal pop-up as soon as it is shown (polling, so a slow start never leaves
// the test waiting in a modal loop nobody ends).
void WhenPopupShown(std::function<void(FormWindow*)> act, int triesLeft = 250) {
    QTimer::singleShot(20, [act = std::move(act), triesLeft]() mutable {
        if (auto* popup = qobject_cast<FormWindow*>(QApplication::activeModalWidget()))
            act(popup);
        else if (triesLeft > 0)
            WhenPopupShown(std::move(act), triesLeft - 1);
    });
}

// Presses button `windowId` of the modal pop-up, or closes it when 0.
void AnswerPopup(int windowId, QString* title = nullptr) {
    WhenPopupShown([windowId, title](FormWindow* popup) {
        if (title)
            *title = popup->windowTitle() + "|" + popup->formId + "|" + popup->menuUid;
        if (windowId)
            popup->RunEvent(windowId, "CLICK");
        else
            popup->close();
    });
}

class FormWindowRuns : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        set_ = TestAccountSet::Create(Engine::Sqlite, why);
        ASSERT_TRUE(set_) << qPrintable(why);
        Application& app = Application::Instance();
        UseAccountSetAsConfigured(*set_, app);
        previousSink_ = SetMessageSink([this](const AppMessageRequest& r) {
            messages_.append(r.caption + QStringLiteral("|") + r.text);
            return MessageAnswer::Ok;
        });
        DbSession login(DbSession::FromConfig);
        ASSERT_EQ(AttemptLogin(login, app, "admin", "1"), LoginResult::LoggedIn);
        session_.SetConnectionString(set_->connectionText());
        ASSERT_TRUE(session_.Open());
        RegisterTestCommands(&initCount_);
    }
    void TearDown() override {
        SetMessageSink(previousSink_);
        for (QDialog* form : Application::Instance().forms.openForms.keys())
            delete form;
        Application::Instance().forms.openForms.clear();
        Application::Instance().session.SetStoredConnectionText(QString());
    }
    FormWindow* Open(const QString& definition = QString::fromUtf8(kForm),
                     const QString& uid = "5") {
        return FormWindow::OpenForm(definition, QString(), QString(), uid, "入库单", "");
    }
    int Count(const QString& where) {
        QString n;
        session_.QueryValue("SELECT count(*) FROM c_material " + where, n);
        return n.toInt();
    }
    QString LogFile() {
        QFile f(Application::Instance().session.exeFolder + "log_vemo.log");
        return f.open(QIODevice::ReadOnly) ? platform::DecodeGbk(f.readAll()) : QString();
    }

    std::unique_ptr<TestAccountSet> set_;
    DbSession session_;
    QStringList messages_;
    MessageSink previousSink_;
    int initCount_ = 0;
};

TEST_F(FormWindowRuns, FailedActionRollsBackAndWritesTheLogFile) {
    FormWindow* form = Open();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("入库单"));
    EXPECT_EQ(initCount_, 1);
    form->RunEvent(4 + 1024, "CLICK");
    EXPECT_EQ(Count("WHERE name_0='螺丝'"), 0);
    EXPECT_EQ(messages_, QStringList{QStringLiteral("操作提示|数量必须大于零")});
    EXPECT_EQ(LogFile(), QStringLiteral("数量必须大于零\r\n\r\n第二行\r\n细节"));
    QFile raw(Application::Instance().session.exeFolder + "log_vemo.log");
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_TRUE(raw.readAll().contains(platform::EncodeGbk(QStringLiteral("数量"))));

    // Grid row states and new keys are put back; a second failure replaces the report.
    auto* grid = qobject_cast<GridView*>(form->ControlByWindowId(9 + 1024));
    ASSERT_TRUE(grid);
    grid->SetRowData(grid->InsertRow(0, ""), nullptr, "12", 3);
    form->RunEvent(10 + 1024, "CLICK");
    EXPECT_EQ(grid->RowState(0), 3);
    EXPECT_EQ(qobject_cast<QLineEdit*>(form->ControlByWindowId(2 + 1024))->text(), "0");
    EXPECT_EQ(LogFile(), QStringLiteral("第二步失败\r\n\r\n第二行\r\n细节"));
}

TEST_F(FormWindowRuns, ButtonRightsAndTheOpeningLog) {
    ASSERT_TRUE(session_.Execute(
        "INSERT INTO c_user_group (name_0) VALUES ('店员');"
        "UPDATE c_user SET user_group_uid_0=2 WHERE uid_0=1;"
        "INSERT INTO c_menu_button (menu_uid_0, button_id_0, sta_0) VALUES (5, 6, 0);"
        "INSERT INTO c_menu_button (menu_uid_0, button_id_0, sta_0) VALUES (5, 7, 0);"
        "INSERT INTO c_menu_button (menu_uid_0, button_id_0, sta_0) VALUES (5, 4, 0);"
        "INSERT INTO c_menu_button_group (menu_button_uid_0, group_uid_0, sta_0) VALUES (1, 2, -1);"
        "INSERT INTO c_menu_button_group (menu_button_uid_0, group_uid_0, sta_0) VALUES (2, 2, -1);"
        "INSERT INTO c_menu_button_group (menu_button_uid_0, group_uid_0, sta_0) VALUES (3, 2, "
        "-2)"));
    FormWindow* form = Open();
    ASSERT_TRUE(form);
    EXPECT_FALSE(form->ControlByWindowId(6 + 1024)->isEnabled());
    EXPECT_TRUE(form->ControlByWindowId(6 + 1024)->isVisible());
    EXPECT_FALSE(form->ControlByWindowId(4 + 1024)->isVisible());
    QStringList denied = form->deniedList.split(';', Qt::SkipEmptyParts);
    denied.sort();
    EXPECT_TRUE(form->deniedList.startsWith(';') && form->deniedList.endsWith(';'));
    EXPECT_EQ(denied, (QStringList{"4", "6", "7"}));

    form->RunEvent(6 + 1024, "CLICK");
    EXPECT_EQ(messages_,
              QStringList{QStringLiteral("操作提示|亲，您无权限本次操作，请与管理员联系！")});
    messages_.clear();
    form->RunEvent(7 + 1024, "CLICK"); // log 2: no check even for a forbidden button
    EXPECT_EQ(messages_, QStringList{QStringLiteral("操作提示|看了")});

    form->RunEvent(5 + 1024, "CLICK");
    QStringList rows;
    session_.QueryList(
        "SELECT menu_uid_0, open_user_uid_0, menu_name_0, control_id_0 FROM log_dh_open", rows);
    EXPECT_EQ(rows, (QStringList{"5", "1", QStringLiteral("入库单 -> 登记"), "5"}));
    EXPECT_EQ(Count(QStringLiteral("WHERE name_0='系统管理员'")), 1);

    // Logging in elsewhere makes this session's actions refuse.
    ASSERT_TRUE(
        session_.Execute("UPDATE c_user SET loginTime_0='2000-01-01 00:00:00' WHERE uid_0=1"));
    messages_.clear();
    form->RunEvent(5 + 1024, "CLICK");
    EXPECT_EQ(messages_,
              QStringList{QStringLiteral("操作提示|亲，您无权限本次操作，请与管理员联系！")});
    EXPECT_EQ(Count(QStringLiteral("WHERE name_0='系统管理员'")), 1);
}

TEST_F(FormWindowRuns, ConnstrRunsOnAnotherAccountSetAndSwitchesBack) {
    QString why;
    auto other = TestAccountSet::Create(Engine::Sqlite, why);
    ASSERT_TRUE(other);
    FormWindow* form = Open();
    qobject_cast<QLineEdit*>(form->ControlByWindowId(2 + 1024))->setText(other->connectionText());
    form->RunEvent(8 + 1024, "CLICK");
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));
    EXPECT_EQ(Count("WHERE name_0='外部'"), 0);
    DbSession check;
    check.SetConnectionString(other->connectionText());
    ASSERT_TRUE(check.Open());
    EXPECT_TRUE(check.Exists("SELECT * FROM c_material WHERE name_0='外部'"));
    form->RunEvent(5 + 1024, "CLICK");
    EXPECT_EQ(Count(QStringLiteral("WHERE name_0='系统管理员'")), 1);
}

TEST_F(FormWindowRuns, LengthRuleEnterKeyAndHotKeys) {
    FormWindow* form = Open();
    auto* box = qobject_cast<QLineEdit*>(form->ControlByWindowId(3 + 1024));
    ASSERT_TRUE(box);
    for (const char* text : {"1234", "12345", "123456"})
        box->setText(text);
    EXPECT_EQ(messages_, QStringList{QStringLiteral("操作提示|五个字")});

    // Enter without an ENTER action moves on to the next field.
    auto* first = form->ControlByWindowId(2 + 1024);
    form->activateWindow();
    first->setFocus();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(first, &enter);
    EXPECT_NE(form->focusWidget(), first);

    // F5 presses button 4 (hot key of the head).
    messages_.clear();
    QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
    QApplication::sendEvent(form, &f5);
    EXPECT_EQ(messages_, QStringList{QStringLiteral("操作提示|数量必须大于零")});
}

// Presses a key where the user's keyboard goes: the focused widget of the active window.
void PressKey(int key, const QString& text = QString(), Qt::KeyboardModifiers modifiers = {}) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_TRUE(target);
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

// Gives the focus to a control of the form as a click would.
void Focus(FormWindow* form, int documentId) {
    form->activateWindow();
    QApplication::setActiveWindow(form);
    QWidget* control = form->ControlByWindowId(documentId + 1024);
    ASSERT_TRUE(control);
    control->setFocus(Qt::MouseFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), control);
}

const char* kKeysForm = R"xml(<html version='1.0' id='0'>
<head title='物料' pos='0,0,500,300'>
  <HOTKEY><para_info><k id='5' value='4'/></para_info></HOTKEY>
</head>
<body><dialog>
  <textbox id='2' pos='10,10,200,30'/>
  <textbox id='3' pos='10,40,200,60'>
    <ACTION><ENTER log='2'><t_sql sql="INSERT INTO c_material (name_0) VALUES ('回车')"/>
    </ENTER></ACTION></textbox>
  <button id='4' value='保存' pos='10,70,90,95'>
    <ACTION><CLICK log='2'><t_sql sql="INSERT INTO c_material (name_0) VALUES ('保存')"/>
    </CLICK></ACTION></button>
</dialog></body></html>)xml";

TEST_F(FormWindowRuns, OneKeyPressRunsItsActionOnce) {
    struct Case {
        int focused;
        int key;
        QString inserted;
    };
    const QList<Case> cases{
        {2, Qt::Key_F5, QStringLiteral("保存")}, // the hot key presses button 4
        {4, Qt::Key_F5, QStringLiteral("保存")},
        {3, Qt::Key_Return, QStringLiteral("回车")}, // the box's ENTER action
    };
    FormWindow* form = Open(QString::fromUtf8(kKeysForm), "12");
    ASSERT_TRUE(form);
    for (const Case& c : cases) {
        ASSERT_TRUE(session_.Execute("DELETE FROM c_material"));
        Focus(form, c.focused);
        PressKey(c.key);
        EXPECT_EQ(Count("WHERE name_0='" + c.inserted + "'"), 1)
            << c.focused << " " << QKeySequence(c.key).toString().toStdString();
        EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));
    }

    // F11 takes the caption away once; the next press brings it back.
    Focus(form, 2);
    PressKey(Qt::Key_F11);
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    Focus(form, 2);
    PressKey(Qt::Key_F11);
    EXPECT_FALSE(form->windowFlags() & Qt::FramelessWindowHint);
}

// Presses a key in the focused edit-with-button and waits for its pick list's answer.
int PressAndWaitForPickList(EditWithButton* box, int key, const QString& text) {
    int rows = -1;
    QEventLoop loop;
    QObject::connect(box, &EditWithButton::pickListUpdated, &loop, [&](int count) {
        rows = count;
        loop.quit();
    });
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    PressKey(key, text);
    loop.exec();
    // The offscreen platform activates every window it shows; on a desktop the list opens
    // without taking the keyboard from the box.
    box->activateWindow();
    QApplication::setActiveWindow(box->window());
    box->setFocus(Qt::OtherFocusReason);
    return rows;
}

TEST_F(FormWindowRuns, EnterAndEscapeGoToAnOpenPickList) {
    ASSERT_TRUE(session_.ExecuteScript("CREATE TABLE t_pick (code_0 TEXT, name_0 TEXT);"
                                       "INSERT INTO t_pick VALUES ('A01', '螺栓');"
                                       "INSERT INTO t_pick VALUES ('A02', '螺母');"));
    const QString definition = QStringLiteral(
        "<html version='1.0' id='0'><head title='领料' pos='0,0,500,300'/><body><dialog>"
        "<editbutton id='2' pos='10,10,200,30' value=\"SELECT code_0, name_0 FROM t_pick WHERE "
        "code_0 LIKE '{{1}}%' ORDER BY code_0\"><ACTION><ENTER log='2'>"
        "<t_sql sql=\"INSERT INTO c_material (name_0) VALUES ('回车')\"/></ENTER></ACTION>"
        "</editbutton>"
        "<textbox id='3' pos='10,40,200,60'/></dialog></body></html>");
    FormWindow* form = Open(definition, "13");
    auto* box = qobject_cast<EditWithButton*>(form->ControlByWindowId(2 + 1024));
    ASSERT_TRUE(box);
    Focus(form, 2);

    // Enter takes the current row; the box keeps the focus and its ENTER action waits.
    ASSERT_EQ(PressAndWaitForPickList(box, Qt::Key_A, "A"), 2);
    ASSERT_TRUE(box->PickList()->isVisible());
    PressKey(Qt::Key_Down);
    PressKey(Qt::Key_Return, "\r");
    EXPECT_EQ(box->text(), QStringLiteral("A02"));
    EXPECT_FALSE(box->PickList()->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), box);
    EXPECT_EQ(Count(QStringLiteral("WHERE name_0='回车'")), 0);

    // Escape closes the list and leaves the text and the form as they are.
    ASSERT_EQ(PressAndWaitForPickList(box, Qt::Key_Backspace, "\b"), 2);
    ASSERT_TRUE(box->PickList()->isVisible());
    PressKey(Qt::Key_Escape, QString(QChar(0x1B)));
    EXPECT_FALSE(box->PickList()->isVisible());
    EXPECT_EQ(box->text(), QStringLiteral("A0"));
    EXPECT_EQ(QApplication::focusWidget(), box);
    EXPECT_TRUE(form->isVisible());

    // With no list showing, Enter is the form's again.
    PressKey(Qt::Key_Return, "\r");
    EXPECT_EQ(Count(QStringLiteral("WHERE name_0='回车'")), 1);
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));
}

TEST_F(FormWindowRuns, EnterStartsANewLineInABoxThatWantsReturn) {
    // 4100: multi-line with the want-return bit; 4: multi-line only.
    const QString definition = QStringLiteral(
        "<html version='1.0' id='0'><head title='备注' pos='0,0,500,300'/><body><dialog>"
        "<textbox id='2' pos='10,10,300,80' style='4100'/>"
        "<button id='4' value='新建' pos='10,90,90,115'><ACTION><CLICK log='2'>"
        "<t_sql sql=\"INSERT INTO c_material (name_0) VALUES ('新建')\"/></CLICK></ACTION>"
        "</button>"
        "<textbox id='3' pos='10,120,300,190' style='4'/></dialog></body></html>");
    FormWindow* form = Open(definition, "14");
    auto* notes = qobject_cast<QPlainTextEdit*>(form->ControlByWindowId(2 + 1024));
    ASSERT_TRUE(notes);
    Focus(form, 2);
    PressKey(Qt::Key_A, "a");
    PressKey(Qt::Key_Return, "\r");
    PressKey(Qt::Key_B, "b");
    PressKey(Qt::Key_Space, " ");
    EXPECT_EQ(notes->toPlainText(), QStringLiteral("a\nb "));
    EXPECT_EQ(QApplication::focusWidget(), notes);
    EXPECT_EQ(Count(QStringLiteral("WHERE name_0='新建'")), 0);

    // Without the bit, Enter moves on as in any other field.
    Focus(form, 3);
    PressKey(Qt::Key_Return, "\r");
    EXPECT_NE(QApplication::focusWidget(), form->ControlByWindowId(3 + 1024));
    EXPECT_TRUE(
        qobject_cast<QPlainTextEdit*>(form->ControlByWindowId(3 + 1024))->toPlainText().isEmpty());
}

// An action that ends in an exception reports it and stops there: the form stays open even when
// a command before the failure asked it to close.
TEST_F(FormWindowRuns, AnActionEndedByAnExceptionLeavesTheFormOpen) {
    FormWindow* form =
        Open(QStringLiteral("<html version='1.0' id='0'><head title='关闭' pos='0'/>"
                            "<body><dialog><button id='1' value='关' pos='0,0,10,10'>"
                            "<ACTION><CLICK><t_close/><t_throw/></CLICK></ACTION>"
                            "</button></dialog></body></html>"),
             "6");
    ASSERT_TRUE(form && form->isVisible());
    form->RunEvent(1 + 1024, "CLICK");
    EXPECT_EQ(messages_, QStringList{QStringLiteral("操作提示1|操作失败，请先检查录入数据是否规范；"
                                                    "或者联系管理员反映问题。")});
    EXPECT_TRUE(form->isVisible());
}

// `close` takes effect only when its action succeeds: a failed action has been undone, and the
// form stays open with what the user typed; the request does not carry over to the next action.
TEST_F(FormWindowRuns, AFailedActionLeavesTheFormOpenAndForgetsItsClose) {
    RegisterCommandFamilies();
    FormWindow* form =
        Open(QStringLiteral("<html version='1.0' id='0'><head title='关闭' pos='0'/>"
                            "<body><dialog><button id='1' value='关' pos='0,0,10,10'>"
                            "<ACTION><CLICK><close/><t_fail error='没有保存'/></CLICK>"
                            "</ACTION></button><button id='2' value='提示' "
                            "pos='0,20,10,30'><ACTION><CLICK><t_info text='好'/>"
                            "</CLICK></ACTION></button></dialog></body></html>"),
             "7");
    ASSERT_TRUE(form && form->isVisible());
    form->RunEvent(1 + 1024, "CLICK");
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(messages_, QStringList{QStringLiteral("操作提示|没有保存")});
    form->RunEvent(2 + 1024, "CLICK");
    EXPECT_TRUE(form->isVisible());
}

// A candidate pop-up returns the chosen row: its key for 0, else a column shifted by the
// opener's column offset; with nothing chosen it stays open.
TEST_F(FormWindowRuns, ReturnSelectedAnswersTheOpenerWithTheChosenRow) {
    RegisterCommandFamilies();
    const QString definition = QStringLiteral(
        "<html version='1.0' id='0'><head title='选择' pos='0'/><body><dialog>"
        "<editbutton id='1' popup='60' minlen='%1' pos='0,0,100,20'/></dialog>"
        "<popup><html version='1.0' id='60'><head title='候选' pos='0,0,300,200'/><body><dialog>"
        "<table id='4' pos='0,0,300,160'><PARA><col_info><col id='1' title='序号' width='30'/>"
        "<col id='2' title='编码' width='60'/><col id='3' title='名称' width='100'/>"
        "</col_info></PARA></table>"
        "<button id='5' value='选定' pos='0,170,60,190'><ACTION><CLICK>"
        "<return_selected table_id='4' values='%2'/></CLICK></ACTION></button>"
        "</dialog></body></html></popup></body></html>");
    struct Case {
        int offset;
        int values;
        int selected; // -1: nothing
        QString returned;
    } cases[] = {
        {0, 0, 1, "key2"},
        {0, 3, 0, "甲"},
        {1, 2, 1, "乙"},
        {0, 2, -1, "原样"},
    };
    int uid = 20;
    for (const Case& c : cases) {
        FormWindow* form = Open(definition.arg(c.offset).arg(c.values), QString::number(uid++));
        auto* box = qobject_cast<EditWithButton*>(form->ControlByWindowId(1 + 1024));
        ASSERT_TRUE(box);
        box->setText("原样");
        bool stillOpen = false;
        WhenPopupShown([&](FormWindow* popup) {
            auto* grid = qobject_cast<GridView*>(popup->ControlByWindowId(4 + 1024));
            grid->AppendRow({"1", "A", "甲"}, "key1");
            grid->AppendRow({"2", "B", "乙"}, "key2");
            if (c.selected >= 0)
                grid->SelectRow(c.selected, true);
            popup->RunEvent(5 + 1024, "CLICK");
            stillOpen = popup->isVisible();
            if (stillOpen)
                popup->close();
        });
        box->OpenButton();
        EXPECT_EQ(box->text(), c.returned) << c.values << "," << c.selected;
        EXPECT_EQ(stillOpen, c.selected < 0);
    }
}

TEST_F(FormWindowRuns, ClosedFormIsResetAndShownAgainWithItsInit) {
    FormWindow* form = Open();
    auto* box = qobject_cast<QLineEdit*>(form->ControlByWindowId(2 + 1024));
    box->setText("供应商甲");
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(Application::Instance().forms.openForms.contains(form));
    EXPECT_FALSE(Application::Instance().forms.openForms.value(form).active);
    EXPECT_TRUE(box->text().isEmpty());
    EXPECT_EQ(Open(), form);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(initCount_, 2);
}

TEST_F(FormWindowRuns, TimerFormIsDestroyedOnClose) {
    QString definition = QString::fromUtf8(kForm);
    definition.replace("<head title='入库单'",
                       "<head thread_id='5' time_split='60000' title='入库单'");
    QPointer<FormWindow> form = Open(definition, "6");
    ASSERT_TRUE(form);
    form->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_FALSE(Application::Instance().forms.openForms.contains(form.data()));
}

TEST_F(FormWindowRuns, PositionIsCentredOnTheWorkAreaFrameIncluded) {
    // The head's rectangle is the whole window, frame and caption included.
    FormWindow* form = Open();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = form->frameGeometry();
    ASSERT_NE(frame.size(), form->size()) << "the test platform should give windows a frame";
    EXPECT_EQ(frame.size(), QSize(600, 400));
    EXPECT_EQ(frame.x(), std::max(0, (work.width() - 600 - 325) / 2));
    EXPECT_EQ(frame.y(), (work.height() - 400) / 2);
}

// The window follows a pointer that holds it by the form's background, and only while the left
// button is held: a release, however soon after the press, or a move that comes without the
// button (its release went elsewhere) ends the drag.
TEST_F(FormWindowRuns, ABackgroundDragEndsWhenTheButtonIsNoLongerHeld) {
    FormWindow* form = Open();
    const QPoint grip(560, 20);
    ASSERT_EQ(form->childAt(grip), nullptr) << "the grip point is on a control";
    enum Step { Press, Release, Held, Free };
    struct Case {
        const char* what;
        std::vector<std::pair<Step, QPoint>> steps; // moves by the pointer's offset from grip
        QPoint moved;
    };
    const std::vector<Case> cases{
        {"held", {{Press, {}}, {Held, {30, 20}}, {Release, {30, 20}}, {Free, {80, 60}}}, {30, 20}},
        {"a click", {{Press, {}}, {Release, {}}, {Free, {40, 10}}, {Free, {90, 50}}}, {}},
        {"released elsewhere", {{Press, {}}, {Free, {40, 10}}, {Held, {60, 30}}}, {}},
    };
    for (const Case& drag : cases) {
        SCOPED_TRACE(drag.what);
        const QPoint start = form->pos();
        const QPoint pointer = form->mapToGlobal(grip);
        for (const auto& [step, offset] : drag.steps) {
            const QPoint global = pointer + offset;
            const QEvent::Type type = step == Press     ? QEvent::MouseButtonPress
                                      : step == Release ? QEvent::MouseButtonRelease
                                                        : QEvent::MouseMove;
            const Qt::MouseButton button =
                step == Press || step == Release ? Qt::LeftButton : Qt::NoButton;
            const Qt::MouseButtons held =
                step == Press || step == Held ? Qt::LeftButton : Qt::NoButton;
            QMouseEvent event(type, form->mapFromGlobal(global), global, button, held,
                              Qt::NoModifier);
            QApplication::sendEvent(form, &event);
        }
        EXPECT_EQ(form->pos() - start, drag.moved);
    }
}

TEST_F(FormWindowRuns, FrameStyles) {
    struct Case {
        int style;
        bool caption;
        bool resizable;
    };
    for (const Case& c :
         {Case{0, true, true}, Case{2, true, false}, Case{3, false, true}, Case{4, false, false}}) {
        FormWindow* form = Open(QStringLiteral("<html version='1.0' id='0'><head title='样式' "
                                               "pos='0,0,400,300' style='%1'/><body><dialog>"
                                               "</dialog></body></html>")
                                    .arg(c.style),
                                QString::number(100 + c.style));
        const Qt::WindowFlags flags = form->windowFlags();
        const bool caption =
            !flags.testFlag(Qt::FramelessWindowHint) &&
            (!flags.testFlag(Qt::CustomizeWindowHint) || flags.testFlag(Qt::WindowTitleHint));
        EXPECT_EQ(caption, c.caption) << c.style;
        // Style 3 drops only the caption: the sizing border stays.
        EXPECT_EQ(!flags.testFlag(Qt::FramelessWindowHint), c.caption || c.resizable) << c.style;
        EXPECT_EQ(form->minimumSize() != form->maximumSize(), c.resizable) << c.style;
        form->close();
    }
}

TEST_F(FormWindowRuns, PopupFormsFromTheDocumentAndFromAStoredFunction) {
    FormWindow* form = Open();
    auto* nested = qobject_cast<EditWithButton*>(form->ControlByWindowId(11 + 1024));
    ASSERT_TRUE(nested);
    QString seen;
    AnswerPopup(1 + 1024, &seen);
    nested->OpenButton();
    EXPECT_EQ(nested->text(), QStringLiteral("供应商乙"));
    EXPECT_EQ(seen, QStringLiteral("选择供应商|12|"));
    AnswerPopup(0);
    nested->setText("不变");
    nested->OpenButton();
    EXPECT_EQ(nested->text(), QStringLiteral("不变"));

    // "0:57:3;4:5": the stored definition of menu function 57 with its disable and hide lists.
    ASSERT_TRUE(session_.Execute("INSERT INTO c_menu_dh (uid_0, name_0) VALUES (57, '供应商')"));
    const QString stored = QStringLiteral(
        "<html version='1.0' id='0'><head title='供应商列表' pos='0,0,300,200'/><body><dialog>"
        "<textbox id='3' pos='1,1,50,20'/><textbox id='4' pos='1,30,50,50'/>"
        "<textbox id='5' pos='1,60,50,80'/></dialog></body></html>");
    ASSERT_TRUE(session_.WriteBinary("SELECT * FROM c_menu_dh WHERE uid_0=57", {"form_0"},
                                     {PackDefinition(stored, 12)}));
    auto* stored57 = qobject_cast<EditWithButton*>(form->ControlByWindowId(12 + 1024));
    bool disabled3 = false, disabled4 = false, hidden5 = false;
    WhenPopupShown([&](FormWindow* popup) {
        seen = popup->windowTitle() + "|" + popup->formId + "|" + popup->menuUid;
        disabled3 = !popup->ControlByWindowId(3 + 1024)->isEnabled();
        disabled4 = !popup->ControlByWindowId(4 + 1024)->isEnabled();
        hidden5 = popup->ControlByWindowId(5 + 1024)->isHidden();
        popup->close();
    });
    stored57->OpenButton();
    EXPECT_EQ(seen, QStringLiteral("供应商列表|0|57"));
    EXPECT_TRUE(disabled3 && disabled4 && hidden5);
}

TEST_F(FormWindowRuns, ControlZeroIsNeverCheckedAndOldLoginsSkipTheInit) {
    ASSERT_TRUE(session_.Execute(
        "INSERT INTO c_user_group (name_0) VALUES ('店员');"
        "UPDATE c_user SET user_group_uid_0=2 WHERE uid_0=1;"
        "INSERT INTO c_menu_button (menu_uid_0, button_id_0, sta_0) VALUES (5, 0, -1);"
        "INSERT INTO c_menu_button_group (menu_button_uid_0, group_uid_0, sta_0) VALUES (1, 2, "
        "0)"));
    FormWindow* form = Open();
    form->RunEvent(0 + 1024, "CLICK");
    EXPECT_EQ(messages_, QStringList{QStringLiteral("操作提示|零号按钮")});

    // Eighteen hours after start-up a form opened again shows the limit and skips its INIT.
    Application& app = Application::Instance();
    const std::int64_t started = app.session.startMinute;
    app.session.SetStartMinute(started - 1080);
    messages_.clear();
    form->close();
    Open();
    app.session.SetStartMinute(started);
    EXPECT_EQ(initCount_, 1);
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].startsWith(QStringLiteral("操作提示|已登录【18")));
}

TEST_F(FormWindowRuns, BackgroundAnimationStopsWithTheForm) {
    QString definition = QString::fromUtf8(kForm);
    definition.replace("<head title='入库单'",
                       "<head draw_method='1' thread_id='5' title='入库单'");
    QPointer<FormWindow> form = Open(definition, "8");
    ASSERT_TRUE(form);
    QElapsedTimer running;
    running.start();
    while (running.elapsed() < 60)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    form->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
}

TEST_F(FormWindowRuns, PanelPagesAreEmbeddedFormsWithTheirOwnActions) {
    const QString definition = QStringLiteral(
        "<html version='1.0' id='0'><head title='合同' pos='0'/><body><dialog>"
        "<panel id='20' pos='0,0,400,300'>"
        "<html version='1.0' id='31' title='基本'><body><dialog>"
        "<textbox id='1' pos='5,5,100,25'><ACTION><ENTER log='2'><t_info text='第一页回车'/>"
        "</ENTER></ACTION></textbox></dialog></body></html>"
        "<html version='1.0' id='32' title='明细'><body><dialog>"
        "<button id='2' value='明细' pos='5,5,100,25'><ACTION><CLICK log='2'><t_info "
        "text='第二页'/>"
        "</CLICK></ACTION></button></dialog></body></html>"
        "</panel></dialog></body></html>");
    FormWindow* form = Open(definition, "9");
    auto* tabs = form->findChild<QTabWidget*>();
    ASSERT_TRUE(tabs);
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("明细"));
    auto* page2 = tabs->widget(1)->findChild<FormWindow*>();
    ASSERT_TRUE(page2);
    EXPECT_TRUE(page2->embedded);
    EXPECT_EQ(page2->formId, "32");
    EXPECT_EQ(page2->parentForm, form);
    page2->RunEvent(2 + 1024, "CLICK");
    auto* page1 = tabs->widget(0)->findChild<FormWindow*>();
    QWidget* box = page1->ControlByWindowId(1 + 1024);
    box->setFocus();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(box, &enter);
    EXPECT_EQ(messages_, (QStringList{QStringLiteral("操作提示|第二页"),
                                      QStringLiteral("操作提示|第一页回车")}));
}

TEST_F(FormWindowRuns, ScrollModeGivesLineRanges) {
    QString definition = QString::fromUtf8(kForm);
    definition.replace("<head title='入库单' pos='0,0,600,400'",
                       "<head title='入库单' pos='0,0,600,400' scroll='1200'");
    FormWindow* form = Open(definition, "10");
    auto* bar = form->findChild<QScrollBar*>();
    ASSERT_TRUE(bar);
    QScrollBar* vertical = nullptr;
    for (QScrollBar* b : form->findChildren<QScrollBar*>())
        if (b->orientation() == Qt::Vertical)
            vertical = b;
    ASSERT_TRUE(vertical);
    EXPECT_EQ(vertical->maximum(), (1200 - form->height()) / 20);
}

TEST_F(FormWindowRuns, GridEventsReachTheFormsActions) {
    const QString definition =
        QStringLiteral("<html version='1.0' id='0'><head title='物料' pos='0'/><body><dialog>"
                       "<table id='3' pos='0,0,300,200'><ACTION>"
                       "<CLICK log='2'><t_info text='单击'/></CLICK>"
                       "<DCLICK log='2'><t_info text='双击'/></DCLICK>"
                       "<RCLICK><t_count/></RCLICK>"
                       "<EN_CHANGE log='2'><t_info text='换行'/></EN_CHANGE>"
                       "</ACTION></table></dialog></body></html>");
    FormWindow* form = Open(definition, "11");
    auto* grid = qobject_cast<GridView*>(form->ControlByWindowId(3 + 1024));
    ASSERT_TRUE(grid);
    Q_EMIT grid->clicked(0, 0);
    Q_EMIT grid->doubleClicked(0, 0);
    Q_EMIT grid->rowFocusedAndSelected(0);
    Q_EMIT grid->rightClicked(0, 0);
    EXPECT_EQ(messages_,
              (QStringList{QStringLiteral("操作提示|单击"), QStringLiteral("操作提示|双击"),
                           QStringLiteral("操作提示|换行")}));
    EXPECT_EQ(initCount_, 1); // the right click ran its action directly, without a report
}

} // namespace

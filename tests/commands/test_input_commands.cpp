// Pointer buttons, keys and typing sent through the X server, on a real form: without an X11
// display every one of them says why and does nothing; under an Xvfb they reach the form's own
// controls as a user's would.
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/Pointer.h"
#include "platform/SyntheticInput.h"
#include "platform/VirtualKeys.h"
#include "support/FormTestSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QThread>
#include <QWindow>

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace {

const char* kForm = R"xml(<html version='1.0' id='0'>
<head title='键盘' pos='0,0,420,200'/>
<body><dialog>
  <textbox id='1' value='甲乙 abc' pos='10,10,200,34'/>
  <textbox id='2' pos='10,44,200,68'/>
  <textbox id='3' pos='210,10,400,34'/>
  <button id='20' value='按钮' pos='10,90,110,120'><ACTION><CLICK>
    <query_to_wnds values="SELECT '按过'" target_ids='3'/>
  </CLICK></ACTION></button>
</dialog></body></html>)xml";

TEST(VirtualKeys, MapWindowsCodesToKeySymbols) {
    const struct {
        int code;
        unsigned long keysym;
    } cases[] = {
        {0x41, XK_a},      {0x5A, XK_z},  {0x30, XK_0},   {0x0D, XK_Return}, {0x08, XK_BackSpace},
        {0x2E, XK_Delete}, {0x70, XK_F1}, {0x87, XK_F24}, {0x25, XK_Left},   {0x61, XK_KP_1},
        {0xBE, XK_period}, {0x07, 0},     {0xFF, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::KeySymOfVirtualKey(c.code), c.keysym) << c.code;
}

class InputCommands : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        if (!session_.Start(Engine::Sqlite, why))
            GTEST_SKIP() << qPrintable(why);
        form_ =
            FormWindow::OpenForm(QString::fromUtf8(kForm), QString(), QString(), "5", "键盘", "");
        ASSERT_TRUE(form_);
    }
    void TearDown() override { session_.Stop(); }

    bool Command(const QString& xml) {
        FormXml::XmlDocument doc;
        EXPECT_TRUE(doc.LoadXml(xml)) << qPrintable(xml);
        form_->Runner().ErrorText.clear();
        return form_->RunCommand(doc.GetRoot(), 0, "CLICK");
    }
    QLineEdit* Box(int id) {
        return qobject_cast<QLineEdit*>(form_->ControlByWindowId(id + FormControls::kWindowIdBase));
    }
    QWidget* Control(int id) { return form_->ControlByWindowId(id + FormControls::kWindowIdBase); }
    // Puts the pointer on the middle of a control and gives its window the keyboard.
    void PointAt(QWidget* control) {
        MovePointer(control->mapToGlobal(control->rect().center()));
        platform::SettleInput();
    }
    void ShowAndFocus(QLineEdit* box) {
        form_->show();
        form_->raise();
        form_->activateWindow();
        // The first window of a run takes a while to be mapped and drawn.
        QElapsedTimer waited;
        waited.start();
        while (!(form_->windowHandle() && form_->windowHandle()->isExposed()) &&
               waited.elapsed() < 3000)
            platform::SettleInput();
        platform::SettleInput();
        box->setFocus();
        platform::SettleInput();
    }

    FormTestSession session_;
    FormWindow* form_ = nullptr;
};

TEST_F(InputCommands, WithoutX11TheySayWhyAndDoNothing) {
    if (platform::SyntheticInputAvailable())
        GTEST_SKIP() << "an X11 display is here";
    for (const char* command :
         {"<left_click/>", "<left_down/>", "<left_up/>", "<left_dclick/>", "<right_click/>",
          "<right_down/>", "<right_up/>", "<right_dclick/>", "<mouse_event/>",
          "<key_down values='13'/>", "<key_up values='13'/>", "<key_click values='13'/>",
          "<key_input values='1'/>", "<key_input2 values='1'/>", "<get_value values='2'/>",
          "<set_value values='1'/>"}) {
        session_.messages.clear();
        EXPECT_FALSE(Command(command)) << command;
        EXPECT_EQ(form_->Runner().ErrorText, kNoX11Display) << command;
        EXPECT_TRUE(session_.messages.isEmpty()) << command;
        EXPECT_EQ(Box(2)->text(), "") << command;
        EXPECT_EQ(Box(3)->text(), "") << command;
    }
}

// The rest runs only on an X11 display with XTest (the test command starts an Xvfb for it).
TEST_F(InputCommands, XvfbClicksPressTheButtonUnderThePointer) {
    if (!platform::SyntheticInputAvailable())
        GTEST_SKIP() << "no X11 display with XTest";
    ShowAndFocus(Box(2));
    PointAt(Control(20));
    EXPECT_TRUE(Command("<left_click/>"));
    EXPECT_EQ(Box(3)->text(), "按过");
    // Down and up separately make one click too (later than a double click's second press).
    QThread::msleep(QApplication::doubleClickInterval() + 50);
    Box(3)->clear();
    EXPECT_TRUE(Command("<left_down/>"));
    EXPECT_EQ(Box(3)->text(), "");
    EXPECT_TRUE(Command("<left_up/>"));
    EXPECT_EQ(Box(3)->text(), "按过");
}

TEST_F(InputCommands, XvfbKeysAndTypingReachTheFocusedBox) {
    if (!platform::SyntheticInputAvailable())
        GTEST_SKIP() << "no X11 display with XTest";
    ShowAndFocus(Box(2));
    ASSERT_TRUE(Box(2)->hasFocus());
    EXPECT_TRUE(Command("<key_input values='1'/>"));
    EXPECT_EQ(Box(2)->text(), "甲乙 abc");
    EXPECT_TRUE(Command("<key_click values='8'/>"));
    EXPECT_EQ(Box(2)->text(), "甲乙 ab");
    Box(1)->setText("AB1");
    Box(2)->clear();
    EXPECT_TRUE(Command("<key_input2 values='1'/>"));
    EXPECT_EQ(Box(2)->text(), "ab1");
    EXPECT_FALSE(Command("<key_click values='7'/>"));
    EXPECT_EQ(form_->Runner().ErrorText, "未知的按键代码：7");
}

TEST_F(InputCommands, XvfbValueOfTheWindowUnderThePointer) {
    if (!platform::SyntheticInputAvailable())
        GTEST_SKIP() << "no X11 display with XTest";
    ShowAndFocus(Box(2));
    Box(2)->setText("指针下");
    PointAt(Box(2));
    EXPECT_TRUE(Command("<get_value values='3'/>"));
    EXPECT_EQ(Box(3)->text(), "指针下");
    EXPECT_TRUE(Command("<set_value values='1'/>"));
    EXPECT_EQ(Box(2)->text(), "甲乙 abc");
}

TEST_F(InputCommands, XvfbMouseEventTypesItsCodeIntoTheBoxAtItsPlace) {
    if (!platform::SyntheticInputAvailable())
        GTEST_SKIP() << "no X11 display with XTest";
    ShowAndFocus(Box(2));
    Box(2)->setText("old");
    // The form moved so that box 2 lies under (120, 30).
    const QPoint centre = Box(2)->mapToGlobal(Box(2)->rect().center());
    form_->move(form_->pos() + (QPoint(120, 30) - centre));
    platform::SettleInput();
    ASSERT_TRUE(Box(2)->rect().contains(Box(2)->mapFromGlobal(QPoint(120, 30))));
    EXPECT_TRUE(Command("<mouse_event/>"));
    EXPECT_EQ(Box(2)->text(), "600321");
}

TEST_F(InputCommands, XvfbValueOfAnotherWindowIsItsTitle) {
    if (!platform::SyntheticInputAvailable())
        GTEST_SKIP() << "no X11 display with XTest";
    // A bare X window, not a widget of ours: reached through its name on the server, in UTF-8.
    QWindow other;
    other.setTitle("外部窗口");
    other.setGeometry(500, 300, 120, 80);
    other.show();
    QElapsedTimer waited;
    waited.start();
    while (!other.isExposed() && waited.elapsed() < 3000)
        platform::SettleInput();
    ASSERT_TRUE(MovePointer(QPoint(560, 340)));
    platform::SettleInput();
    EXPECT_TRUE(Command("<get_value values='3'/>"));
    EXPECT_EQ(Box(3)->text(), "外部窗口");
    Box(1)->setText("改名");
    EXPECT_TRUE(Command("<set_value values='1'/>"));
    EXPECT_TRUE(Command("<get_value values='3'/>"));
    EXPECT_EQ(Box(3)->text(), "改名");
}

} // namespace

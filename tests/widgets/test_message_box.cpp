// The system's own message box: its label and size fitted to the message, where its buttons sit,
// which answer each way of closing it gives, the keys it handles, and its way through the
// application's message sink.
#include "app/MessageBoxes.h"
#include "platform/AppMessage.h"
#include "widgets/MessageBox.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <vector>

namespace {

QLabel* Label(const MessageBox& box) {
    return box.findChild<QLabel*>(QStringLiteral("messageLabel"));
}
QPushButton* OkButton(const MessageBox& box) {
    return box.findChild<QPushButton*>(QStringLiteral("okButton"));
}
QPushButton* CancelButton(const MessageBox& box) {
    return box.findChild<QPushButton*>(QStringLiteral("cancelButton"));
}

// The true horizontal centre; QRect::center() rounds down by half a pixel on even widths.
double CentreX(const QWidget* widget) {
    return widget->x() + widget->width() / 2.0;
}

// Sends a key press and release to `target` as the keyboard would; keys that the target ignores
// travel on to its parents.
void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
    QApplication::processEvents();
}

// Answers the box that the caller is about to open, from inside its event loop: clicks the named
// button of a MessageBox; any other dialog is closed, so a wrong kind of box fails the test
// instead of hanging it. Sets *sawSystemBox when a MessageBox was found.
void AnswerNextBox(const QString& buttonName, bool* sawSystemBox) {
    QTimer::singleShot(0, [buttonName, sawSystemBox] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!widget->isVisible())
                continue;
            if (auto* box = qobject_cast<MessageBox*>(widget)) {
                *sawSystemBox = true;
                box->findChild<QPushButton*>(buttonName)->click();
            } else if (auto* dialog = qobject_cast<QDialog*>(widget)) {
                dialog->done(-1);
            }
        }
    });
}

TEST(MessageBox, LabelAndDialogAreFittedToTheText) {
    const QString longLine = QStringLiteral("数据保存失败，请检查网络连接。").repeated(5);
    struct Case {
        const char* name;
        QString text;
        bool wider;
        bool taller;
    };
    const Case cases[] = {
        {"short", QStringLiteral("保存成功"), false, false},
        {"one long line", longLine, true, false},
        {"many short lines", QStringLiteral("第一行\n第二行\n第三行\n第四行\n第五行\n第六行"),
         false, true},
        {"many lines, one long",
         QStringLiteral("单号：A-1001\n") + longLine + QStringLiteral("\n第三行\n\n第五行"), true,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessageBox box(c.text, QStringLiteral("操作提示"), true);
        const QLabel* label = Label(box);
        ASSERT_NE(label, nullptr);

        const QFontMetrics metrics(label->font());
        const QStringList lines = c.text.split('\n');
        int widest = 0;
        for (const QString& line : lines)
            widest = qMax(widest, metrics.horizontalAdvance(line));
        const int fitHeight = metrics.lineSpacing() * (int(lines.size()) + 1);
        // The cases are chosen to fall on the intended side of each threshold.
        ASSERT_EQ(widest + 20 > 310, c.wider) << "widest line " << widest;
        ASSERT_EQ(fitHeight > 50, c.taller) << "fitted height " << fitHeight;

        const QRect expectedLabel(5, 5, c.wider ? widest + 5 : 310, c.taller ? fitHeight + 10 : 50);
        const QSize expectedBox(c.wider ? widest + 20 : 320, c.taller ? fitHeight + 100 : 160);
        EXPECT_EQ(label->geometry(), expectedLabel);
        EXPECT_EQ(box.size(), expectedBox);
        EXPECT_EQ(box.minimumSize(), expectedBox) << "the box is not resizable";

        // Whatever the size, the buttons stay inside the box and below the text.
        for (const QPushButton* button : {OkButton(box), CancelButton(box)}) {
            EXPECT_TRUE(box.rect().contains(button->geometry()));
            EXPECT_GT(button->y(), label->geometry().bottom());
        }
    }
}

TEST(MessageBox, ButtonsSitFortyPixelsAboveTheBottomAtThirdsOrCentre) {
    const QString tall = QStringLiteral("一\n二\n三\n四\n五\n六\n七");
    for (const QString& text : {QStringLiteral("保存成功"), tall}) {
        {
            MessageBox box(text, QStringLiteral("操作提示"), false);
            const QPushButton* ok = OkButton(box);
            ASSERT_NE(ok, nullptr);
            EXPECT_EQ(CancelButton(box), nullptr);
            EXPECT_EQ(ok->y(), box.height() - 40);
            EXPECT_NEAR(CentreX(ok), box.width() / 2.0, 1.0);
            EXPECT_TRUE(ok->isDefault());
        }
        {
            MessageBox box(text, QStringLiteral("操作确认"), true);
            const QPushButton* ok = OkButton(box);
            const QPushButton* cancel = CancelButton(box);
            ASSERT_NE(ok, nullptr);
            ASSERT_NE(cancel, nullptr);
            EXPECT_EQ(ok->y(), box.height() - 40);
            EXPECT_EQ(cancel->y(), box.height() - 40);
            EXPECT_NEAR(CentreX(ok), box.width() / 3.0, 1.0);
            EXPECT_NEAR(CentreX(cancel), box.width() * 2 / 3.0, 1.0);
            EXPECT_FALSE(ok->geometry().intersects(cancel->geometry()));
        }
    }
}

TEST(MessageBox, ShowsCaptionAndPlainTextOnWhite) {
    // Markup is shown as typed: it would otherwise change both the text and its measured width.
    const QString text = QStringLiteral("<b>金额</b> & 数量\n第二行");
    MessageBox box(text, QStringLiteral("操作提示"), false);
    const QLabel* label = Label(box);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("操作提示"));
    EXPECT_EQ(label->text(), text);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);

    // White around the label and through it, where no glyph is drawn.
    const QImage image = box.grab().toImage();
    const QRect area = label->geometry();
    for (const QPoint& point : {QPoint(1, 1), QPoint(box.width() - 2, area.bottom() + 3),
                                area.bottomRight() - QPoint(1, 1)})
        EXPECT_EQ(image.pixelColor(point), QColor(Qt::white)) << point.x() << "," << point.y();
}

TEST(MessageBox, CrLfTextsShowAsPlainLines) {
    MessageBox box(QStringLiteral("第一行\r\n第二行"), QStringLiteral("操作提示"), false);
    EXPECT_EQ(Label(box)->text(), QStringLiteral("第一行\n第二行"));
}

// How each way of closing the box answers, both as the box's result and through exec().
TEST(MessageBox, EachWayOfClosingGivesItsAnswer) {
    using Button = MessageBox::Button;
    struct Case {
        const char* name;
        bool withCancel;
        std::function<void(MessageBox&)> close;
        Button expected;
    };
    const auto clickOk = [](MessageBox& box) { OkButton(box)->click(); };
    const auto clickCancel = [](MessageBox& box) { CancelButton(box)->click(); };
    const auto closeBox = [](MessageBox& box) { box.close(); };
    const auto enter = [](MessageBox& box) { PressKey(OkButton(box), Qt::Key_Return); };
    const std::vector<Case> cases = {
        {"OK alone", false, clickOk, Button::Ok},
        {"OK beside Cancel", true, clickOk, Button::Ok},
        {"Cancel", true, clickCancel, Button::Cancel},
        {"close box without Cancel", false, closeBox, Button::Ok},
        {"close box with Cancel", true, closeBox, Button::Cancel},
        {"Enter presses OK", true, enter, Button::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessageBox box(QStringLiteral("确定要删除吗？"), QStringLiteral("操作确认"), c.withCancel);
        QTimer::singleShot(0, &box, [&] { c.close(box); });
        // A box that stays open fails the case rather than hanging the run.
        QTimer::singleShot(5000, &box, [&] {
            ADD_FAILURE() << "still open";
            box.done(-1);
        });
        const int code = box.exec();
        EXPECT_EQ(box.clickedButton(), c.expected);
        EXPECT_EQ(code, c.expected == Button::Ok ? QDialog::Accepted : QDialog::Rejected);
    }
}

TEST(MessageBox, EscapeLeavesTheBoxOpenAndCtrlCCopiesTheMessage) {
    // The message is copied exactly as the caller gave it, CR LF included.
    const QString text = QStringLiteral("第一行\r\n第二行\n第三行");
    for (bool withCancel : {false, true}) {
        SCOPED_TRACE(withCancel ? "with Cancel" : "OK alone");
        MessageBox box(text, QStringLiteral("操作提示"), withCancel);
        box.show();
        QApplication::processEvents();
        QApplication::clipboard()->setText(QStringLiteral("before"));

        // Keys go to the focused button first, as they do when a user presses them.
        for (QWidget* target : std::initializer_list<QWidget*>{OkButton(box), &box})
            PressKey(target, Qt::Key_Escape);
        EXPECT_TRUE(box.isVisible());

        PressKey(OkButton(box), Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QApplication::clipboard()->text(), text);
        EXPECT_TRUE(box.isVisible());
        box.hide();
    }
}

TEST(MessageBox, AskOpensTheBoxAndReturnsItsAnswer) {
    bool opened = false;
    AnswerNextBox(QStringLiteral("cancelButton"), &opened);
    EXPECT_EQ(MessageBox::Ask(QStringLiteral("继续吗？"), QStringLiteral("操作确认"), true),
              MessageBox::Button::Cancel);
    EXPECT_TRUE(opened);
}

// The system's box goes through the same sink as every other message, its kind visible there.
TEST(MessageBox, SystemMessagesReachTheSinkWithTheirStyle) {
    std::vector<AppMessageRequest> seen;
    MessageAnswer answer = MessageAnswer::Ok;
    const MessageSink previous = SetMessageSink([&](const AppMessageRequest& request) {
        seen.push_back(request);
        return answer;
    });

    answer = MessageAnswer::Cancel;
    EXPECT_EQ(ShowZvMessage(QStringLiteral("确定要删除吗？"), QStringLiteral("操作确认"), true),
              MessageAnswer::Cancel);
    answer = MessageAnswer::Ok;
    EXPECT_EQ(ShowZvMessage(QStringLiteral("保存成功")), MessageAnswer::Ok);
    ShowAppMessage(QStringLiteral("标准提示"));
    SetMessageSink(previous);

    struct Expected {
        QString text;
        QString caption;
        MessageButtons buttons;
        MessageStyle style;
    };
    const Expected expected[] = {
        {QStringLiteral("确定要删除吗？"), QStringLiteral("操作确认"), MessageButtons::OkCancel,
         MessageStyle::System},
        {QStringLiteral("保存成功"), QStringLiteral("操作提示"), MessageButtons::Ok,
         MessageStyle::System},
        {QStringLiteral("标准提示"), QStringLiteral("操作提示"), MessageButtons::Ok,
         MessageStyle::Standard},
    };
    ASSERT_EQ(seen.size(), std::size(expected));
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].text, expected[i].text);
        EXPECT_EQ(seen[i].caption, expected[i].caption);
        EXPECT_EQ(seen[i].buttons, expected[i].buttons);
        EXPECT_EQ(seen[i].style, expected[i].style);
    }
}

// The client's message boxes open the system's box for its own messages.
TEST(MessageBox, ClientBoxesOpenTheSystemBoxForZvMessages) {
    if (!qEnvironmentVariableIsEmpty("VEMO_HEADLESS_MESSAGES"))
        GTEST_SKIP() << "headless messages go to standard error";
    const MessageSink previous = SetMessageSink(nullptr);
    InstallMessageBoxes();
    bool opened = false;
    AnswerNextBox(QStringLiteral("cancelButton"), &opened);
    const MessageAnswer answer =
        ShowZvMessage(QStringLiteral("确定要删除吗？"), QStringLiteral("操作确认"), true);
    SetMessageSink(previous);
    EXPECT_TRUE(opened);
    EXPECT_EQ(answer, MessageAnswer::Cancel);
}

} // namespace

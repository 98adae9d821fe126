// The client's own message boxes, shown for real: where they open and how wide.
#include "app/MessageBoxes.h"
#include "platform/AppMessage.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct ShownBox {
    QWidget* parent = nullptr;
    QRect frame;
    int titleWidth = 0; // the caption at the title bar's font
};

// Shows the message through the client's boxes and notes the box while it is open.
ShownBox Show(const QString& text, const QString& caption, QWidget* owner) {
    ShownBox shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        shown.parent = box->parentWidget();
        shown.frame = box->geometry();
        shown.titleWidth = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar"))
                               .horizontalAdvance(box->windowTitle());
        box->button(QMessageBox::Ok)->click();
    });
    ShowAppMessage(text, caption, MessageButtons::Ok, owner);
    return shown;
}

class ClientMessageBoxes : public ::testing::Test {
protected:
    void SetUp() override {
        qunsetenv("VEMO_HEADLESS_MESSAGES");
        previous_ = SetMessageSink(nullptr);
        InstallMessageBoxes();
    }
    void TearDown() override { SetMessageSink(previous_); }
    MessageSink previous_;
};

TEST_F(ClientMessageBoxes, OpenOverTheirOwnerAndShowTheWholeCaption) {
    QDialog owner;
    owner.setGeometry(150, 120, 420, 260);
    owner.show();
    const struct {
        QWidget* owner;
        QString text, caption;
    } cases[] = {
        {&owner, QStringLiteral("修改成功"), QStringLiteral("修改登录密码")},
        {nullptr, QStringLiteral("成功"), QStringLiteral("账套设置测试并保存的结果")},
        {&owner, QStringLiteral("原密码错误！"), QStringLiteral("修改登录密码")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.text));
        const ShownBox shown = Show(c.text, c.caption, c.owner);
        ASSERT_TRUE(shown.frame.isValid()) << "no box was shown";
        EXPECT_EQ(shown.parent, c.owner);
        if (c.owner) {
            EXPECT_LE((shown.frame.center() - owner.geometry().center()).manhattanLength(), 4);
        }
        // The title bar carries an icon and its buttons beside the caption.
        EXPECT_GE(shown.frame.width(), shown.titleWidth + 100);
    }
}

} // namespace

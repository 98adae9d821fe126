// The body layouts of a form: anchored controls through window resizes, flow groups, splitters,
// containers, and the scrolling layout's line arithmetic, page and wheel steps and clamping.
#include "form/FormLayout.h"
#include "form/XmlDocument.h"

#include <QApplication>
#include <QHash>
#include <QScrollBar>
#include <QSizeGrip>
#include <QSplitter>
#include <QStyle>
#include <QWheelEvent>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// A 400×300 form whose controls are plain widgets placed by their design rectangles, laid out
// from a `dialog` element and then shown, in the order of the form window.
class LayoutForm : public ::testing::Test {
protected:
    void SetUp() override { form.resize(400, 300); }

    QWidget* Control(int id, QRect rect) {
        auto* control = new QWidget(&form);
        control->setGeometry(rect);
        controls.insert(id, control);
        return control;
    }

    void Build(const QString& dialogXml) {
        ASSERT_TRUE(document.LoadXml(dialogXml));
        layout = new FormLayout(&form);
        BuildResizableLayout(*layout, document.GetRoot(),
                             [this](int id) { return controls.value(id); });
        form.show();
        QApplication::processEvents();
    }

    void ResizeForm(int width, int height) {
        form.resize(width, height);
        QApplication::processEvents();
        ASSERT_EQ(form.size(), QSize(width, height));
    }

    QWidget form;
    QHash<int, QWidget*> controls;
    FormXml::XmlDocument document;
    FormLayout* layout = nullptr;
};

struct AnchorCase {
    const char* attributes;
    QRect grown;  // form 500×360
    QRect shrunk; // form 340×260
};

TEST_F(LayoutForm, AnchoredControlsFollowTheFormBothWays) {
    // Every control starts at (20,20) 120×50 in the 400×300 form.
    const AnchorCase cases[] = {
        {"", QRect(20, 20, 120, 50), QRect(20, 20, 120, 50)},
        {"director='3'", QRect(20, 20, 120, 50), QRect(20, 20, 120, 50)},
        {"director='15'", QRect(20, 20, 220, 110), QRect(20, 20, 60, 10)},
        {"director='6'", QRect(120, 20, 120, 50), QRect(-40, 20, 120, 50)},
        {"director='9'", QRect(20, 80, 120, 50), QRect(20, -20, 120, 50)},
        {"director='18'", QRect(70, 20, 120, 50), QRect(-10, 20, 120, 50)},
        {"director='51'", QRect(70, 50, 120, 50), QRect(-10, 0, 120, 50)},
        {"director='0'", QRect(20, 20, 120, 50), QRect(20, 20, 120, 50)},
        // Keep-far bits act only while the form is smaller than designed.
        {"director='67'", QRect(20, 20, 120, 50), QRect(-40, 20, 120, 50)},
        {"director='143'", QRect(20, 20, 220, 110), QRect(20, -20, 60, 50)},
        {"director='15' hidden='2'", QRect(20, 20, 120, 50), QRect(20, 20, 120, 50)},
        {"director='15' hidden='1'", QRect(20, 20, 220, 110), QRect(20, 20, 60, 10)},
    };
    QString xml = QStringLiteral("<dialog>");
    int id = 1;
    for (const AnchorCase& c : cases) {
        Control(id, QRect(20, 20, 120, 50));
        xml += QStringLiteral("<textbox id='%1' %2/>").arg(id++).arg(QLatin1String(c.attributes));
    }
    Build(xml + QStringLiteral("</dialog>"));

    ResizeForm(500, 360);
    id = 1;
    for (const AnchorCase& c : cases)
        EXPECT_EQ(controls[id++]->geometry(), c.grown) << c.attributes;
    ResizeForm(340, 260);
    id = 1;
    for (const AnchorCase& c : cases)
        EXPECT_EQ(controls[id++]->geometry(), c.shrunk) << c.attributes;
    // Back at the design size everything is where it started: nothing accumulates.
    ResizeForm(400, 300);
    for (QWidget* control : std::as_const(controls))
        EXPECT_EQ(control->geometry(), QRect(20, 20, 120, 50));
}

TEST_F(LayoutForm, AFrameTakenFromTheFormMovesNothing) {
    // The window manager's frame makes the inside smaller than the form was built at; the
    // controls stay where the author put them, and later resizes anchor from that inside.
    Control(1, QRect(20, 240, 120, 30));
    Control(2, QRect(20, 20, 360, 200));
    Build(QStringLiteral("<dialog><button id='1' director='9'/><table id='2' director='15'/>"
                         "</dialog>"));
    layout->TakeFormSizeAsDesign(QSize(398, 275));
    ResizeForm(398, 275);
    EXPECT_EQ(controls[1]->geometry(), QRect(20, 240, 120, 30));
    EXPECT_EQ(controls[2]->geometry(), QRect(20, 20, 360, 200));
    ResizeForm(398, 375);
    EXPECT_EQ(controls[1]->geometry(), QRect(20, 340, 120, 30));
    EXPECT_EQ(controls[2]->geometry(), QRect(20, 20, 360, 300));
}

TEST_F(LayoutForm, GroupsFlowTheirMembersAndWrap) {
    // Three 60×20 items in a row (the group spans 200×20), three in a column (60×80).
    for (int i = 0; i < 3; ++i) {
        Control(1 + i, QRect(10 + 70 * i, 10, 60, 20));
        Control(11 + i, QRect(250, 100 + 30 * i, 60, 20));
    }
    Build(QStringLiteral("<dialog>"
                         "<textbox id='2' director='15'/>"
                         "<group id='1' value='1;2;3;' pos='0,0,8,6' director='15'/>"
                         "<group id='2' value='11;12;13' pos='5,5,15,9' style='2' director='3'/>"
                         "<group id='3' value=''/>"
                         "</dialog>"));
    QWidget* row = layout->Find(QStringLiteral("T1"));
    QWidget* column = layout->Find(QStringLiteral("T2"));
    ASSERT_TRUE(row && column);
    EXPECT_EQ(layout->Find(QStringLiteral("T3")), nullptr);
    EXPECT_EQ(form.findChildren<QWidget*>(QStringLiteral("T3")).size(), 0);

    EXPECT_EQ(row->geometry(), QRect(10, 10, 200, 20));
    EXPECT_EQ(column->geometry(), QRect(250, 100, 60, 80));
    const QPoint rowPlaces[] = {{0, 0}, {68, 0}, {136, 0}};
    const QPoint columnPlaces[] = {{0, 0}, {0, 24}, {0, 48}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(controls[1 + i]->parentWidget(), row);
        EXPECT_EQ(controls[1 + i]->pos(), rowPlaces[i]) << i;
        EXPECT_EQ(controls[1 + i]->size(), QSize(60, 20));
        EXPECT_FALSE(controls[1 + i]->isHidden());
        EXPECT_EQ(controls[11 + i]->pos(), columnPlaces[i]) << i;
    }

    // 60 pixels narrower: the third item wraps under the first, one line gap below.
    ResizeForm(340, 300);
    EXPECT_EQ(row->width(), 140);
    // The member's own director no longer applies: the group places it.
    EXPECT_EQ(controls[2]->geometry(), QRect(68, 0, 60, 20));
    EXPECT_EQ(controls[3]->pos(), QPoint(0, 26));
    // An explicitly hidden member takes no place.
    controls[1]->hide();
    layout->Apply();
    EXPECT_EQ(controls[2]->pos(), QPoint(0, 0));
    EXPECT_EQ(controls[3]->pos(), QPoint(68, 0));
}

TEST_F(LayoutForm, SplitterDividesItsPanesAndStretches) {
    Control(1, QRect(10, 10, 70, 200));
    Control(2, QRect(90, 10, 70, 200));
    Control(3, QRect(170, 10, 150, 200));
    Control(4, QRect(10, 220, 310, 60));
    Build(QStringLiteral("<dialog>"
                         "<group id='1' value='1;2' pos='0,0,10,0'/>"
                         "<split id='T5' value='T1;3'/>"
                         "<split id='T6' value='T5;4'/>"
                         "<textbox id='3' director='3'/>"
                         "</dialog>"));
    auto* inner = qobject_cast<QSplitter*>(layout->Find(QStringLiteral("T5")));
    auto* outer = qobject_cast<QSplitter*>(layout->Find(QStringLiteral("T6")));
    ASSERT_TRUE(inner && outer);
    EXPECT_EQ(inner->orientation(), Qt::Horizontal);
    EXPECT_EQ(outer->orientation(), Qt::Vertical);
    EXPECT_EQ(outer->geometry(), QRect(10, 10, 310, 270));
    EXPECT_EQ(inner->widget(0), layout->Find(QStringLiteral("T1")));
    EXPECT_EQ(inner->widget(1), controls[3]);
    EXPECT_EQ(outer->widget(0), inner);
    EXPECT_EQ(outer->widget(1), controls[4]);

    const QList<int> before = inner->sizes();
    ResizeForm(500, 400);
    // Anchored to all sides; both panes of the inner splitter share the extra width.
    EXPECT_EQ(outer->geometry(), QRect(10, 10, 410, 370));
    EXPECT_EQ(inner->width(), 410);
    const QList<int> after = inner->sizes();
    ASSERT_EQ(after.size(), 2);
    EXPECT_GT(after[0], before[0]);
    EXPECT_GT(after[1], before[1]);
    EXPECT_EQ(after[0] + after[1] + inner->handleWidth(), 410);
    // A pane in a splitter belongs to it: the control's own director does not move it.
    EXPECT_EQ(controls[3]->parentWidget(), inner);
    EXPECT_EQ(controls[3]->geometry(),
              QRect(after[0] + inner->handleWidth(), 0, after[1], inner->height()));
}

TEST_F(LayoutForm, ContainedGroupIsAnchoredToItsContainer) {
    // Control 9 is a container stretched with the form; the group inside keeps its distance to
    // the container's right edge, so it moves by the container's growth, although it was
    // registered before its container.
    QWidget* container = Control(9, QRect(50, 50, 200, 150));
    Control(1, QRect(150, 60, 40, 20));
    Build(QStringLiteral("<dialog>"
                         "<group id='1' value='1' pos='0,0,0,0' desp='9' director='6'/>"
                         "<panel id='9' director='15'/>"
                         "</dialog>"));
    QWidget* group = layout->Find(QStringLiteral("T1"));
    ASSERT_TRUE(group);
    EXPECT_EQ(group->parentWidget(), container);
    EXPECT_EQ(group->geometry(), QRect(100, 10, 40, 20));
    ResizeForm(460, 300);
    EXPECT_EQ(container->geometry(), QRect(50, 50, 260, 150));
    EXPECT_EQ(group->geometry(), QRect(160, 10, 40, 20));
}

TEST_F(LayoutForm, SizeGripSitsInTheCorner) {
    Build(QStringLiteral("<dialog/>"));
    QSizeGrip* grip = layout->SizeGrip();
    EXPECT_TRUE(grip->isHidden());
    layout->SetSizeGripVisible(true);
    ResizeForm(500, 360);
    EXPECT_FALSE(grip->isHidden());
    EXPECT_EQ(grip->geometry().bottomRight(), QPoint(499, 359));
}

// Scroll mode on a shown 400×300 form with a control at (10,400), below the visible area.
class ScrollForm : public ::testing::Test {
protected:
    void SetUp() override {
        form.resize(400, 300);
        control = new QWidget(&form);
        control->setGeometry(10, 400, 50, 20);
        form.show();
        QApplication::processEvents();
        extent = form.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    }

    void Wheel(int angle) {
        QWheelEvent event(QPointF(100, 100), QPointF(100, 100), QPoint(), QPoint(0, angle),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&form, &event);
    }

    QWidget form;
    QWidget* control = nullptr;
    int extent = 0;
};

TEST_F(ScrollForm, RangesAreInLinesOfTheClientArea) {
    {
        ScrollLayout scroll(&form, u"1200");
        EXPECT_EQ(scroll.ClientSize(), QSize(400 - extent, 300));
        EXPECT_EQ(scroll.VerticalBar()->maximum(), (1200 - 300) / 20);
        EXPECT_EQ(scroll.VerticalBar()->pageStep(), 300 / 20);
        EXPECT_FALSE(scroll.VerticalBar()->isHidden());
        EXPECT_EQ(scroll.HorizontalBar()->maximum(), 0);
        EXPECT_TRUE(scroll.HorizontalBar()->isHidden());
    }
    {
        // Both bars: each narrows the other's client extent.
        ScrollLayout scroll(&form, u"1200,900");
        EXPECT_EQ(scroll.ClientSize(), QSize(400 - extent, 300 - extent));
        EXPECT_EQ(scroll.VerticalBar()->maximum(), (1200 - (300 - extent)) / 20);
        EXPECT_EQ(scroll.HorizontalBar()->maximum(), (900 - (400 - extent)) / 20);
        EXPECT_EQ(scroll.HorizontalBar()->pageStep(), (400 - extent) / 20);
    }
    {
        // Content that fits needs no bar, and a short remainder gives no line.
        ScrollLayout scroll(&form, u"310,200");
        EXPECT_EQ(scroll.ClientSize(), QSize(400, 300));
        EXPECT_EQ(scroll.VerticalBar()->maximum(), 0);
        EXPECT_TRUE(scroll.VerticalBar()->isHidden());
    }
}

TEST_F(ScrollForm, LinesPagesAndWheelMoveTheContent) {
    ScrollLayout scroll(&form, u"1200,900");
    QScrollBar* vertical = scroll.VerticalBar();
    QScrollBar* horizontal = scroll.HorizontalBar();
    const int last = vertical->maximum();

    vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(vertical->value(), 1);
    EXPECT_EQ(control->pos(), QPoint(10, 380));
    vertical->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(vertical->value(), 11);
    vertical->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(vertical->value(), 1);
    horizontal->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(horizontal->value(), 5);
    EXPECT_EQ(control->pos(), QPoint(10 - 100, 380));

    Wheel(-120); // one notch down: 5 lines, 100 pixels
    EXPECT_EQ(vertical->value(), 6);
    EXPECT_EQ(control->pos(), QPoint(-90, 400 - 120));
    Wheel(-60); // half a notch waits for the other half
    EXPECT_EQ(vertical->value(), 6);
    Wheel(-60);
    EXPECT_EQ(vertical->value(), 11);
    Wheel(240);
    EXPECT_EQ(vertical->value(), 1);

    // Near the end a notch moves only what is left; the bars themselves never move.
    vertical->setValue(last - 2);
    Wheel(-120);
    EXPECT_EQ(vertical->value(), last);
    EXPECT_EQ(control->pos(), QPoint(-90, 400 - 20 * last));
    EXPECT_EQ(vertical->x(), 400 - extent);
    EXPECT_EQ(scroll.Offset(), QPoint(100, 20 * last));
}

TEST_F(ScrollForm, ResizeRecomputesRangesAndClampsPositions) {
    ScrollLayout scroll(&form, u"1200");
    QScrollBar* vertical = scroll.VerticalBar();
    vertical->setValue(vertical->maximum());
    EXPECT_EQ(vertical->value(), 45);

    form.resize(400, 700);
    QApplication::processEvents();
    EXPECT_EQ(vertical->maximum(), (1200 - 700) / 20);
    EXPECT_EQ(vertical->pageStep(), 700 / 20);
    EXPECT_EQ(vertical->value(), 25);
    EXPECT_EQ(control->pos(), QPoint(10, 400 - 25 * 20));
    EXPECT_EQ(vertical->geometry(), QRect(400 - extent, 0, extent, 700));

    form.resize(400, 1300);
    QApplication::processEvents();
    EXPECT_EQ(vertical->maximum(), 0);
    EXPECT_TRUE(vertical->isHidden());
    EXPECT_EQ(control->pos(), QPoint(10, 400));
}

} // namespace

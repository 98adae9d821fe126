// The interface's language at start-up: Chinese on a machine whose own locale is not.
#include "app/ChineseInterface.h"

#include <QCalendarWidget>
#include <QCoreApplication>
#include <QDateEdit>
#include <QTableView>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

// The month shown in a calendar's navigation bar and the week day over its first column.
QStringList CalendarNames(QCalendarWidget& calendar) {
    calendar.setFirstDayOfWeek(Qt::Monday);
    calendar.setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar.setCurrentPage(2025, 3);
    auto* month = calendar.findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton"));
    auto* days = calendar.findChild<QTableView*>(QStringLiteral("qt_calendar_calendarview"));
    if (!month || !days)
        return {};
    const QAbstractItemModel* model = days->model();
    // The first row of the view's model is the header with the day names.
    return {month->text(), model->data(model->index(0, 0)).toString()};
}

// As a machine set to LANG=C starts: the default locale is the C locale.
class ChineseInterfaceOnCLocale : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = QLocale();
        QLocale::setDefault(QLocale::c());
    }
    void TearDown() override { QLocale::setDefault(saved_); }
    QLocale saved_;
};

TEST_F(ChineseInterfaceOnCLocale, CalendarsAndQtTextsAreChineseWhileItLasts) {
    const QStringList chinese = {QStringLiteral("三月"), QStringLiteral("周一")};
    {
        const ChineseInterface interface;
        EXPECT_TRUE(interface.TranslationsLoaded());
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));

        QCalendarWidget calendar;
        EXPECT_EQ(CalendarNames(calendar), chinese);
        // A form's date field opens its calendar as a pop-up of its own.
        QDateEdit field;
        field.setCalendarPopup(true);
        ASSERT_NE(field.calendarWidget(), nullptr);
        EXPECT_EQ(CalendarNames(*field.calendarWidget()), chinese);
    }
    // Undone when it ends, so a headless run leaves its host process as it was.
    EXPECT_EQ(QLocale(), QLocale::c());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    QCalendarWidget calendar;
    EXPECT_EQ(CalendarNames(calendar).value(0), QStringLiteral("March"));
}

} // namespace

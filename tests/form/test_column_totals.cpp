// Column totals as the user reads them: plain numbers stay plain, any comma turns the total
// into a money amount.
#include "form/ColumnTotals.h"

#include <gtest/gtest.h>

TEST(ColumnTotals, FormatFollowsTheCellsTheUserTyped) {
    const struct {
        QStringList cells;
        const char* total;
    } cases[] = {
        {{}, "0"},
        {{"12", "0.5", ""}, "12.5"},
        {{"3", "abc", "1x"}, "4"}, // text without a leading number counts as 0
        {{"1,000", "234.5"}, "1,234.50"},
        {{"1,234,567.8"}, "1,234,567.80"},
        {{"1,000", "-1000"}, "0.00"},
        {{"-1,500.25"}, "-1,500.25"},
        {{"0.1", "0.2"}, "0.3"},
        {{"-2", "1.5"}, "-0.5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatColumnTotal(c.cells), QString::fromUtf8(c.total))
            << qPrintable(c.cells.join('|'));
}

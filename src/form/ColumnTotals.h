#pragma once
// Column totals of a grid: each column whose definition names a `sum` control gets the total
// of its cells written into that control. Run after anything that changes a grid's rows.
#include <QString>
#include <QStringList>

class GridView;

// The total of cells as the user reads them: commas are dropped before the number is read, and
// when any cell had a comma the total is shown as money (two decimals, grouped thousands).
QString FormatColumnTotal(const QStringList& cells);
// A number in the same two forms: money (two decimals, grouped thousands) when `grouped`,
// otherwise "%.6f" without its trailing zeros and point.
QString FormatTotalNumber(double value, bool grouped);

// Recomputes the totals of `grid` in the form that holds it. A grid outside a form, or without
// `sum` columns, is left alone.
void RefreshColumnTotals(GridView& grid);

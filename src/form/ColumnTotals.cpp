#include "form/ColumnTotals.h"

#include "form/ControlValues.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "widgets/GridModel.h"
#include "widgets/GridView.h"

#include <cmath>

namespace {

QString GroupThousands(double value) {
    QString text = QString::number(std::fabs(value), 'f', 2);
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    for (qsizetype i = point - 3; i > 0; i -= 3)
        text.insert(i, QLatin1Char(','));
    // A total that rounds to zero is shown without a sign.
    if (value < 0 && text != QLatin1String("0.00"))
        text.prepend(QLatin1Char('-'));
    return text;
}

QString PlainNumber(double value) {
    QString text = QString::asprintf("%.6f", value);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

FormWindow* HoldingForm(QWidget* widget) {
    for (QWidget* w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget())
        if (auto* form = qobject_cast<FormWindow*>(w))
            return form;
    return nullptr;
}

} // namespace

QString FormatColumnTotal(const QStringList& cells) {
    double total = 0;
    bool hadComma = false;
    for (const QString& cell : cells) {
        hadComma = hadComma || cell.contains(QLatin1Char(','));
        total += GridModel::NumberValue(cell);
    }
    return FormatTotalNumber(total, hadComma);
}

QString FormatTotalNumber(double value, bool grouped) {
    return grouped ? GroupThousands(value) : PlainNumber(value);
}

void RefreshColumnTotals(GridView& grid) {
    FormWindow* form = HoldingForm(&grid);
    if (!form)
        return;
    const FormXml::XmlNode columns = form->document.SelectSingleNode(
        QStringLiteral("//html/body/dialog/table[@id=%1]/PARA/col_info").arg(grid.DocumentId()));
    const FormXml::XmlNodes nodes = columns.GetChildren();
    // Every `col` node counts here, also those that only feed the save commands, so node n
    // totals grid column n.
    int n = 0;
    for (int i = 0; i < nodes.GetCount(); ++i) {
        const FormXml::XmlNode node = nodes.GetItem(i);
        if (node.GetName() != QLatin1String("col"))
            continue;
        const int column = n++;
        const int target = node.GetAttributeInt("sum", 0);
        if (target < 1 || column >= grid.ColumnCount())
            continue;
        QStringList cells;
        cells.reserve(grid.RowCount());
        for (int row = 0; row < grid.RowCount(); ++row)
            cells.append(grid.CellText(row, column));
        SetControlText(form->ControlByWindowId(WindowIdOfDocumentId(target)),
                       FormatColumnTotal(cells));
    }
}

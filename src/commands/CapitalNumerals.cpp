// Amounts in Chinese capital numerals, as contracts and receipts print them so that a figure
// cannot be altered: 1010.01 is 壹仟零壹拾元零壹分.
#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"
#include "commands/GridCommandSupport.h"
#include "commands/GridCommands.h"
#include "form/CommandContext.h"
#include "widgets/GridView.h"

#include <cmath>

using FormXml::XmlNode;

namespace {

const QString kDigits = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
// The unit of each place counted from the right end of the "%.2f" text (place 1 is the last
// character; place 3 is the decimal point and has none).
const QString kUnits[17] = {QString(),
                            QStringLiteral("分"),
                            QStringLiteral("角"),
                            QString(),
                            QStringLiteral("元"),
                            QStringLiteral("拾"),
                            QStringLiteral("佰"),
                            QStringLiteral("仟"),
                            QStringLiteral("万"),
                            QStringLiteral("拾"),
                            QStringLiteral("佰"),
                            QStringLiteral("仟"),
                            QStringLiteral("亿"),
                            QStringLiteral("拾"),
                            QStringLiteral("佰"),
                            QStringLiteral("仟"),
                            QStringLiteral("万")};
const QString kZero = QStringLiteral("零");
constexpr int kLongest = 16;

QString Convert(const QString& text) {
    const qsizetype length = text.size();
    QString out;
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = text[i];
        const int place = int(length - i);
        if (c == QLatin1Char('.') || !c.isDigit())
            continue;
        if (c != QLatin1Char('0')) {
            out += kDigits[c.digitValue()] + kUnits[place];
            continue;
        }
        // 亿, 万 and 元 are written even under a zero; zeros before them drop.
        if (place == 12 || place == 8 || place == 4) {
            const QString& unit = kUnits[place];
            if (out.endsWith(kZero)) {
                out += unit;
                out.replace(kZero + unit, unit);
            } else {
                out += unit;
            }
            out += kZero;
            continue;
        }
        out += out.endsWith(kZero) ? kZero : kZero + kZero;
    }
    for (qsizetype i = 0; i < length; ++i) {
        out.replace(QStringLiteral("零零"), kZero);
        out.replace(QStringLiteral("零亿"), QStringLiteral("亿"));
        out.replace(QStringLiteral("零万"), QStringLiteral("万"));
        out.replace(QStringLiteral("零千"), QStringLiteral("千"));
        out.replace(QStringLiteral("亿万"), QStringLiteral("亿"));
    }
    if (out.endsWith(QStringLiteral("元零")))
        out = out.chopped(2) + QStringLiteral("元整");
    if (out.endsWith(QStringLiteral("角零")))
        out = out.chopped(2) + QStringLiteral("角");
    if (out.startsWith(QStringLiteral("元零")))
        out.remove(0, 2);
    out.replace(QStringLiteral("零元"), QStringLiteral("元"));
    if (out == QStringLiteral("元整"))
        out = QStringLiteral("零元整");
    return out;
}

} // namespace

QString CapitalNumerals(double amount) {
    const QString text = QString::asprintf("%.2f", amount);
    if (text.size() > kLongest || !std::isfinite(amount))
        return QStringLiteral("出错!");
    // A refund or a credit is negative: it is written as such, not as its positive amount.
    if (text.startsWith(QLatin1Char('-')))
        return text == QLatin1String("-0.00") ? Convert(text.mid(1))
                                              : QStringLiteral("负") + Convert(text.mid(1));
    return Convert(text);
}

bool GetDaxie(CommandContext& form, CommandResult& result, const XmlNode& command,
              int /*windowId*/) {
    const XmlNode p = command.GetChild("para_info");
    const QString tableReference = p.GetAttribute("table_id");
    const QString numberReference = p.GetAttribute("num_id");
    QString amount;
    if (!tableReference.isEmpty()) {
        GridView* grid = nullptr;
        if (!RequireGrid(form, result, tableReference, grid))
            return false;
        const QList<int> selected = grid->SelectedRows();
        if (selected.isEmpty()) {
            result.error = QStringLiteral("请选择记录！");
            return false;
        }
        const int column = p.GetAttributeInt("col", 0);
        amount = column == 0 ? grid->RowKey(selected.first())
                             : grid->CellText(selected.first(), column - 1);
    } else if (!numberReference.isEmpty()) {
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, numberReference, window))
            return false;
        amount = ReadControlValue(window);
    } else {
        result.error = QStringLiteral("请选择记录或者录入关联索引的指定控件编号num_id！");
        return false;
    }
    // Amounts are shown with grouped thousands in places ("1,234.50"): the commas are not
    // part of the number.
    const QString numerals = CapitalNumerals(GridModel::NumberValue(amount));
    QWidget* target = form.ControlOfFormOrPages(p.GetAttributeInt("result_id", 0));
    if (!target || target == form.FormWidget()) {
        result.error = CommandTexts::kBadReference + p.GetAttribute("result_id");
        return false;
    }
    WriteControlValue(target, numerals);
    return true;
}

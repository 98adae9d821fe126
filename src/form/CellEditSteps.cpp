#include "form/CellEditSteps.h"

#include "data/DbSession.h"
#include "data/InsertedText.h"
#include "form/ColumnTotals.h"
#include "form/ControlHost.h"
#include "form/FormControls.h"
#include "platform/AppMessage.h"
#include "widgets/EditWithButton.h"
#include "widgets/GridView.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>

using FormXml::XmlNode;

namespace {

const QString kApplicationCaption = QStringLiteral("Vemo");

bool IsEditorKind(const QWidget* control) {
    return qobject_cast<const QLineEdit*>(control) || qobject_cast<const QComboBox*>(control) ||
           qobject_cast<const QDateTimeEdit*>(control) ||
           qobject_cast<const QPlainTextEdit*>(control);
}

QDateTime ParseCellDate(const QString& text) {
    const QLocale locale;
    for (const QLocale::FormatType format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QDateTime parsed = locale.toDateTime(text, format);
        if (parsed.isValid())
            return parsed;
    }
    for (const char* format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd",
                               "yyyy/M/d H:mm:ss", "yyyy/M/d", "yyyy.M.d"}) {
        const QDateTime parsed = QDateTime::fromString(text.trimmed(), QLatin1String(format));
        if (parsed.isValid())
            return parsed;
    }
    return {};
}

int BeginStep(QWidget* window, int row, int column, QString& text, GridView* grid) {
    if (auto* box = qobject_cast<EditWithButton*>(window)) {
        box->SetEditedCell(grid, row, column);
        box->setText(text);
    } else if (auto* list = qobject_cast<QComboBox*>(window)) {
        if (!list->isEditable()) {
            for (int i = 0; i < list->count(); ++i)
                if (list->itemText(i).startsWith(text, Qt::CaseInsensitive)) {
                    list->setCurrentIndex(i);
                    break;
                }
        } else {
            list->setEditText(text);
        }
    } else if (auto* date = qobject_cast<QDateTimeEdit*>(window)) {
        // A text that is no date leaves the field as it was.
        const QDateTime parsed = ParseCellDate(text);
        if (parsed.isValid())
            date->setDateTime(parsed);
    } else if (auto* line = qobject_cast<QLineEdit*>(window)) {
        line->setText(text);
        line->selectAll();
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(window)) {
        box->setPlainText(text);
        box->selectAll();
    }
    return 1;
}

// The end step ignores the apply flag: Escape keeps the typed text as Enter does.
int EndStep(ControlHost& host, QWidget* window, int row, int column, QString& text,
            GridView* grid) {
    const QString typed = ControlText(window);
    if (typed == text)
        return 1;
    grid->MarkRowEdited(row);
    grid->SetCellText(row, column, typed);
    host.RunEndEdit(*grid, row, column);
    AddNumberedRowWhenFilled(*grid);
    // The steps may have written this very cell; what it holds now is what stays.
    text = grid->CellText(row, column);
    return 1;
}

// One fill step of ENDEDIT: a query over the form's controls and the row's cells whose values
// go into cells of the row.
bool RunFillStep(const EndEditForm& form, const XmlNode& step, GridView& grid, int row) {
    const QString targetIds = step.GetAttribute("target_ids");
    QString sql = step.GetAttribute("values");
    const FormXml::XmlNodes parameters = step.GetChild("para_info").GetChildren();
    // The same `value` names a form control for {{p<n>}} and a grid column for {{c<n>}}.
    for (int i = 0; i < parameters.GetCount(); ++i) {
        const XmlNode parameter = parameters.GetItem(i);
        const int id = parameter.GetAttributeInt("value", 0);
        QString value = ControlText(form.control ? form.control(id + 1024) : nullptr);
        if (value.isEmpty())
            value = parameter.GetAttribute("default");
        sql.replace(QStringLiteral("{{p%1}}").arg(i + 1), SealInsertedText(value));
    }
    for (int i = 0; i < parameters.GetCount(); ++i) {
        const XmlNode parameter = parameters.GetItem(i);
        QString value = grid.CellText(row, parameter.GetAttributeInt("value", 0) - 1);
        if (value.isEmpty())
            value = parameter.GetAttribute("default");
        sql.replace(QStringLiteral("{{c%1}}").arg(i + 1), SealInsertedText(value));
    }
    const QStringList targets =
        targetIds.isEmpty() ? QStringList() : targetIds.split(QLatin1Char(';'));
    if (targets.isEmpty())
        sql.replace(QStringLiteral("{{para_in}}"), QString());
    sql = form.expand(sql);

    QStringList values;
    const int found = form.session.QueryList(sql, values);
    // A query the engine refused is a failed step, not an empty answer.
    if (found <= 0 && !form.session.Message().isEmpty())
        return false;
    if (found > 0 && !values.isEmpty()) {
        if (values.size() != targets.size()) {
            ShowAppMessage(QStringLiteral("参数和值数量不匹配!"), kApplicationCaption);
            return false;
        }
        for (qsizetype k = 0; k < targets.size(); ++k)
            grid.SetCellText(row, targets[k].toInt() - 1, values[k]);
    }
    return true;
}

} // namespace

void InstallCellEditors(FormControls& controls, ControlHost& host) {
    for (QWidget* control : controls.Controls()) {
        auto* grid = qobject_cast<GridView*>(control);
        if (!grid)
            continue;
        for (int column = 0; column < grid->ColumnCount(); ++column) {
            const int id = grid->ColumnEditorControlId(column);
            QWidget* editor = id > 0 ? controls.ControlByDocumentId(id) : nullptr;
            if (!editor || editor == grid || !IsEditorKind(editor))
                continue;
            controls.KeepOutOfLayout(id);
            grid->SetColumnEditor(
                column,
                [](QWidget* window, int row, int col, QString& text, void*, GridView* g, int) {
                    return BeginStep(window, row, col, text, g);
                },
                [&host](QWidget* window, int row, int col, QString& text, void*, GridView* g, int) {
                    return EndStep(host, window, row, col, text, g);
                },
                editor);
        }
    }
}

bool RunColumnEndEdit(const EndEditForm& form, GridView& grid, int row, int column) {
    if (form.document.IsEmpty())
        return true;
    const XmlNode endEdit =
        form.document
            .SelectSingleNode(
                QStringLiteral("//html[@id=%1]/body/dialog/table[@id=%2]/PARA/col_info/col[@id=%3]")
                    .arg(form.formId)
                    .arg(grid.DocumentId())
                    .arg(column + 1))
            .GetChild("ENDEDIT");
    if (endEdit.IsEmpty())
        return true;
    if (!form.session.IsOpen() && !form.session.Open())
        return true;
    const FormXml::XmlNodes steps = endEdit.GetChildren();
    for (int i = 0; i < steps.GetCount(); ++i) {
        if (!RunFillStep(form, steps.GetItem(i), grid, row)) {
            ShowAppMessage(QStringLiteral("数据处理不完整，请联系管理员!"), kApplicationCaption);
            return false;
        }
    }
    RefreshColumnTotals(grid);
    return true;
}

bool AddNumberedRowWhenFilled(GridView& grid) {
    if (!grid.HasRowNumbers())
        return false;
    const int last = grid.RowCount() - 1;
    if (last < 0)
        return false;
    const int columns = std::min(grid.ColumnCount(), 6);
    bool filled = false;
    for (int column = 1; column < columns && !filled; ++column)
        filled = !grid.CellText(last, column).isEmpty();
    if (!filled)
        return false;
    grid.AppendEntryRow();
    return true;
}

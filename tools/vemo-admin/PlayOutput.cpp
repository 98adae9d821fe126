#include "PlayOutput.h"

#include "PlayScript.h"

#include "form/FormControls.h"
#include "widgets/GridView.h"
#include "widgets/PictureView.h"
#include "widgets/TreeListView.h"
#include "widgets/TreeView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <cstdio>

void PrintPlayLine(const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString MessageLine(const QString& caption, const QString& text) {
    return QStringLiteral("message [%1] %2").arg(EscapeScriptText(caption), EscapeScriptText(text));
}

QStringList ExpectFailureLines(const QString& id, const QString& expected, const QString& actual) {
    return {QStringLiteral("expect failed: ") + EscapeScriptText(id),
            QStringLiteral("  expected: ") + EscapeScriptText(expected),
            QStringLiteral("  actual: ") + EscapeScriptText(actual)};
}

QString RowLine(const QStringList& fields) {
    QStringList escaped;
    escaped.reserve(fields.size());
    for (const QString& field : fields)
        escaped.append(EscapeScriptText(field));
    return escaped.join(QLatin1Char('\t'));
}

namespace {

void DumpGrid(const GridView& grid, QStringList& lines) {
    QStringList header{QStringLiteral("key"), QStringLiteral("state")};
    for (int column = 0; column < grid.ColumnCount(); ++column)
        header.append(grid.Model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    lines.append(RowLine(header));
    for (int row = 0; row < grid.RowCount(); ++row) {
        QStringList fields{grid.RowKey(row), QString::number(grid.RowState(row))};
        for (int column = 0; column < grid.ColumnCount(); ++column)
            fields.append(grid.CellText(row, column));
        lines.append(RowLine(fields));
    }
}

void DumpList(const QComboBox& list, QStringList& lines) {
    for (int i = 0; i < list.count(); ++i)
        lines.append((i == list.currentIndex() ? QStringLiteral("* ") : QStringLiteral("- ")) +
                     EscapeScriptText(list.itemText(i)));
}

// Depth-first, each node indented two spaces per level below the top.
void DumpTree(const QTreeWidget& tree, QStringList& lines) {
    std::vector<std::pair<const QTreeWidgetItem*, int>> stack;
    for (int i = tree.topLevelItemCount() - 1; i >= 0; --i)
        stack.emplace_back(tree.topLevelItem(i), 0);
    while (!stack.empty()) {
        const auto [item, depth] = stack.back();
        stack.pop_back();
        lines.append(QString(depth * 2, QLatin1Char(' ')) +
                     RowLine({QString::number(TreeView::Key(item)),
                              QString::number(TreeView::CheckMark(item)), item->text(0)}));
        for (int i = item->childCount() - 1; i >= 0; --i)
            stack.emplace_back(item->child(i), depth + 1);
    }
}

// Every body row in tree order, collapsed ones included.
void DumpTreeList(const TreeListView& chart, QStringList& lines) {
    std::vector<const TreeListNode*> stack;
    const auto push = [&stack](const TreeListNode& node) {
        for (auto it = node.children.rbegin(); it != node.children.rend(); ++it)
            stack.push_back(it->get());
    };
    push(chart.BodyRoot());
    while (!stack.empty()) {
        const TreeListNode& row = *stack.back();
        stack.pop_back();
        QStringList fields{row.key, row.tip1, row.tip2, row.tip3, row.style.color, row.title};
        for (const TreeListNode::Cell& cell : row.cells)
            fields.append(cell.text);
        lines.append(QString((row.depth - 1) * 2, QLatin1Char(' ')) + RowLine(fields));
        push(row);
    }
}

} // namespace

QString StateLine(const QString& id, const QWidget* control) {
    QString line =
        QStringLiteral("state %1: %2, %3")
            .arg(id, control->isEnabled() ? QStringLiteral("enabled") : QStringLiteral("disabled"),
                 control->isHidden() ? QStringLiteral("hidden") : QStringLiteral("shown"));
    const auto* lineEdit = qobject_cast<const QLineEdit*>(control);
    const auto* textEdit = qobject_cast<const QPlainTextEdit*>(control);
    if ((lineEdit && lineEdit->isReadOnly()) || (textEdit && textEdit->isReadOnly()))
        line += QStringLiteral(", read-only");
    return line;
}

QString FocusLine(const QWidget* form) {
    const QWidget* focus = QApplication::focusWidget();
    if (!form || !focus || (focus != form && !form->isAncestorOf(focus)))
        return QStringLiteral("focus: none");
    for (const GridView* grid : form->findChildren<const GridView*>()) {
        const QWidget* editor = grid->EditorWindow();
        if (grid->IsEditing() && editor && (editor == focus || editor->isAncestorOf(focus)))
            return QStringLiteral("focus: %1 row %2 column %3")
                .arg(DocumentIdOfWindowId(FormControls::WindowIdOf(grid)))
                .arg(grid->EditRow())
                .arg(grid->EditColumn());
    }
    for (const QWidget* w = focus; w && w != form; w = w->parentWidget())
        if (FormControls::WindowIdOf(w) >= 0)
            return QStringLiteral("focus: %1")
                .arg(DocumentIdOfWindowId(FormControls::WindowIdOf(w)));
    return QStringLiteral("focus: form");
}

QStringList DumpLines(const QString& id, const QWidget* control) {
    const QString text = ControlText(control);
    QStringList lines{
        QStringLiteral("dump ") + EscapeScriptText(id) +
        (text.isEmpty() ? QStringLiteral(":") : QStringLiteral(": ") + EscapeScriptText(text))};
    if (auto* grid = qobject_cast<const GridView*>(control)) {
        DumpGrid(*grid, lines);
    } else if (auto* tree = qobject_cast<const QTreeWidget*>(control)) {
        DumpTree(*tree, lines);
    } else if (auto* chart = qobject_cast<const TreeListView*>(control)) {
        DumpTreeList(*chart, lines);
    } else if (auto* list = qobject_cast<const QComboBox*>(control)) {
        DumpList(*list, lines);
    } else if (auto* picture = qobject_cast<const PictureView*>(control)) {
        const QImage& shown = picture->Picture();
        lines.append(shown.isNull()
                         ? QStringLiteral("picture: none")
                         : QStringLiteral("picture: %1x%2").arg(shown.width()).arg(shown.height()));
    } else if (auto* box = qobject_cast<const QCheckBox*>(control)) {
        // As the check state reads in the stored forms: 0 off, 1 on, 2 the third state.
        const int state = box->checkState() == Qt::Checked            ? 1
                          : box->checkState() == Qt::PartiallyChecked ? 2
                                                                      : 0;
        lines.append(QStringLiteral("checked: %1").arg(state));
    } else if (auto* button = qobject_cast<const QAbstractButton*>(control);
               button && button->isCheckable()) {
        lines.append(QStringLiteral("checked: %1").arg(button->isChecked() ? 1 : 0));
    }
    return lines;
}

namespace {

QString RgbText(int color) {
    return QStringLiteral("%1,%2,%3")
        .arg(color & 0xFF)
        .arg((color >> 8) & 0xFF)
        .arg((color >> 16) & 0xFF);
}

} // namespace

QStringList ColorDumpLines(const QString& id, const GridView& grid) {
    QStringList lines{QStringLiteral("dump-colors ") + EscapeScriptText(id) + QLatin1Char(':')};
    for (int row = 0; row < grid.RowCount(); ++row) {
        QStringList fields;
        for (int column = 0; column < grid.ColumnCount(); ++column) {
            const auto [background, text] = grid.Model()->ResolveColors(row, column);
            fields.append(RgbText(background));
            fields.append(RgbText(text));
        }
        lines.append(fields.join(QLatin1Char('\t')));
    }
    return lines;
}

QString ClipboardLine(const QString& text) {
    return text.isEmpty() ? QStringLiteral("clipboard:")
                          : QStringLiteral("clipboard: ") + EscapeScriptText(text);
}

// The "read" half of every business form: a search button fills the paged grid, a row click
// shows the record in the fields, drop-down lists and headers are filled from lookups.
#include "commands/QueryCommands.h"

#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"
#include "data/DbSession.h"
#include "data/SessionContext.h"
#include "form/ColumnTotals.h"
#include "form/CommandContext.h"
#include "form/FormControls.h"
#include "platform/AppMessage.h"
#include "platform/ValueGrammars.h"
#include "widgets/GridView.h"
#include "widgets/TreeListView.h"
#include "widgets/TreeView.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QScrollBar>
#include <QVarLengthArray>

#include <algorithm>
#include <span>

using FormXml::XmlNode;
using FormXml::XmlNodes;

namespace {

using namespace CommandTexts;

// A row of this text separates the lists of one query_to_lists2 result.
const QString kGroupMarker = QStringLiteral("-|-||-|-");

QStringList SplitList(const QString& text) {
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char(';'));
}

QString Placeholder(int i) {
    return QStringLiteral("{{p%1}}").arg(i);
}

QWidget* ControlById(CommandContext& form, int id) {
    return form.ControlByWindowId(WindowIdOfDocumentId(id));
}

// A target of query_to_wnds and its kind ("checked" for a check box written as 0 / not 0).
struct Target {
    QString reference;
    QString kind;
};

// With a `para_in_out` child and no `target_ids`, the columns and the targets come from its
// children; otherwise the targets are `target_ids` without kinds.
QList<Target> ApplyParaInOut(const XmlNode& command, const QString& targetIds, QString& sql) {
    QList<Target> targets;
    const XmlNode inOut = command.GetChild("para_in_out");
    if (!inOut.IsEmpty() && targetIds.isEmpty()) {
        QStringList columns;
        const XmlNodes children = inOut.GetChildren();
        for (int i = 0; i < children.GetCount(); ++i) {
            const XmlNode child = children.GetItem(i);
            columns.append(child.GetAttribute("in"));
            targets.append({child.GetAttribute("out"), child.GetAttribute("type")});
        }
        sql.replace(QLatin1String("{{para_in}}"), columns.join(QLatin1Char(',')));
        return targets;
    }
    for (const QString& reference : SplitList(targetIds))
        targets.append({reference, QString()});
    return targets;
}

bool ClearTargets(CommandContext& form, CommandResult& result, const QList<Target>& targets) {
    for (const Target& target : targets) {
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, target.reference, window))
            return false;
        SetWindowText(window, QString());
    }
    return true;
}

void ReplaceItems(QWidget* window, const QStringList& items) {
    auto* list = qobject_cast<QComboBox*>(window);
    if (!list)
        return;
    list->clear();
    list->addItems(items);
    list->setCurrentIndex(0);
}

// `para_info` when present, else `para_info_where`.
XmlNode ListParameters(const XmlNode& command) {
    const XmlNode info = command.GetChild("para_info");
    return info.IsEmpty() ? command.GetChild("para_info_where") : info;
}

bool QueryListValues(CommandContext& form, CommandResult& result, const XmlNode& command,
                     DbSession& session, QStringList& values) {
    QString sql = command.GetAttribute("values");
    BindWhereParameters(form, result, ListParameters(command), sql);
    sql = form.ExpandStatementPlaceholders(sql);
    return QueryAllValues(session, sql, values) > 0;
}

// "{{p i}}" of `sql` becomes the escaped text of the control whose id is the i-th child's value.
void BindControlIds(CommandContext& form, const XmlNode& list, QString& sql) {
    const XmlNodes children = list.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        const int id = children.GetItem(i).GetAttributeInt("value", 0);
        sql.replace(Placeholder(i + 1), SealLiteral(ReadControlValue(ControlById(form, id))));
    }
}

// Appends the rows of a flat result to a grid as new, unsaved rows: the k-th `para_out` child
// names the column of field k. Column 0 is then renumbered from the first appended row on. The
// rows are the query's, not the user's edits, until the user changes them.
void AppendResultRows(GridView& grid, const XmlNode& paraOut, const QStringList& values) {
    QList<int> columns;
    const XmlNodes children = paraOut.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i)
        columns.append(children.GetItem(i).GetAttributeInt("value", 0));
    if (columns.isEmpty())
        return;
    const int first = grid.RowCount();
    const int width = grid.ColumnCount();
    grid.BeginFill();
    for (qsizetype start = 0; start + columns.size() <= values.size(); start += columns.size()) {
        const QString rowNumber = QString::number(grid.RowCount() + 1);
        QStringList cells(width);
        for (qsizetype k = 0; k < columns.size(); ++k) {
            const int column = columns[k];
            if (column < 0 || column >= width)
                continue;
            const QString& field = values[start + k];
            cells[column] = field == QLatin1String("{{row_num}}") ? rowNumber : field;
        }
        const int row = grid.AppendRow(cells, QStringLiteral("0"), 1);
        grid.RowData(row)->fromQuery = true;
    }
    grid.EndFill();
    for (int row = first; row < grid.RowCount(); ++row)
        grid.SetCellText(row, 0, QString::number(row + 1));
    RefreshColumnTotals(grid);
}

// Keeps the grid where the user left it across a refill.
class ScrollKeeper {
public:
    explicit ScrollKeeper(GridView& grid)
        : grid_(grid), position_(grid.verticalScrollBar()->value()) {}
    void Restore() { grid_.verticalScrollBar()->setValue(position_); }

private:
    GridView& grid_;
    int position_;
};

// Painting and model notifications stay off while a grid is refilled.
class FillScope {
public:
    explicit FillScope(GridView& grid) : grid_(grid), updates_(grid.updatesEnabled()) {
        grid_.setUpdatesEnabled(false);
        grid_.BeginFill();
    }
    ~FillScope() {
        grid_.EndFill();
        grid_.setUpdatesEnabled(updates_);
    }
    FillScope(const FillScope&) = delete;
    FillScope& operator=(const FillScope&) = delete;

private:
    GridView& grid_;
    bool updates_;
};

// A " AND col LIKE '%{{self}}%'" filter is turned into a case-insensitive InStr for the
// databases whose LIKE does not match the way users expect.
QString RewriteLike(const QString& fragment) {
    const qsizetype andAt = fragment.indexOf(QLatin1String("AND "));
    if (!fragment.contains(QLatin1String(" LIKE ")) || andAt < 0 || andAt >= 3)
        return fragment;
    const qsizetype start = andAt + 4;
    const qsizetype end = fragment.indexOf(QLatin1Char(' '), start);
    const QString column = fragment.mid(start, end < 0 ? -1 : end - start);
    return QStringLiteral(" AND InStr(1,LCase(%1),LCase('{{self}}'),0)<>0").arg(column);
}

void BindSearchFilters(CommandContext& form, const XmlNode& parameters, bool whereList,
                       QString& select, QString& where) {
    const bool rewrite = SessionContext::Current().likeRewrite;
    const XmlNodes children = parameters.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        const XmlNode child = children.GetItem(i);
        const QString text = ReadControlValue(ControlById(form, child.GetAttributeInt("value", 0)));
        const QString placeholder = Placeholder(i + 1);
        QString replacement;
        if (!whereList) {
            replacement = SealLiteral(text);
        } else if (!text.isEmpty()) {
            replacement = child.GetAttribute("where");
            replacement.replace(QLatin1String("{{SELF}}"), QLatin1String("{{self}}"));
            if (rewrite)
                replacement = RewriteLike(replacement);
            replacement.replace(QLatin1String("{{self}}"), SealLiteral(text));
        }
        where.replace(placeholder, replacement);
        select.replace(placeholder, replacement);
    }
    select = form.ExpandStatementPlaceholders(select);
    where = form.ExpandStatementPlaceholders(where);
}

void SetButtonEnabled(CommandContext& form, const QString& id, bool on) {
    if (id.isEmpty())
        return;
    if (QWidget* button = ControlById(form, ParseIntegerText(id));
        button && button != form.FormWidget())
        button->setEnabled(on);
}

void ShowPageState(CommandContext& form, const XmlNode& p, int pageSize, int total) {
    if (const int info = p.GetAttributeInt("result_info_id", 0); info > 0)
        SetWindowText(ControlById(form, info),
                      QStringLiteral("当前 %1/%2 页 每页 %3 条记录 合计 %4 条记录")
                          .arg(form.Page().number)
                          .arg(form.Page().total)
                          .arg(pageSize)
                          .arg(total));
    const QStringList buttons = SplitList(p.GetAttribute("page_buttons"));
    if (buttons.size() < 4)
        return;
    const bool onePage = pageSize >= total;
    const bool back = !onePage && form.Page().number >= 2;
    const bool forward = !onePage && form.Page().number < form.Page().total;
    SetButtonEnabled(form, buttons[0], back);
    SetButtonEnabled(form, buttons[1], back);
    SetButtonEnabled(form, buttons[2], forward);
    SetButtonEnabled(form, buttons[3], forward);
}

// The grid's rows built from a search result as its rows arrive, so a large result is never
// held whole beside the grid: the first field is the key when the grid takes keys, and a
// row-number column comes first when asked for.
class SearchResultRows {
public:
    SearchResultRows(bool keyed, bool rowNumbers) : keyed_(keyed), rowNumbers_(rowNumbers) {}

    void Take(QStringList&& fields) {
        GridRow& row = rows_.emplace_back();
        const qsizetype first = keyed_ ? 1 : 0;
        if (keyed_ && !fields.isEmpty()) {
            row.data.key = std::move(fields[0]);
            keys_.append(row.data.key);
        }
        const QString number = rowNumbers_ ? QString::number(rows_.size()) : QString();
        QVarLengthArray<QStringView, 32> cells;
        if (rowNumbers_)
            cells.append(number);
        for (qsizetype f = first; f < fields.size(); ++f)
            cells.append(fields[f]);
        row.cells = RowTexts(std::span<const QStringView>(cells.constData(), cells.size()));
    }

    // A result already read whole, `fields` texts a row.
    void TakeAll(const QStringList& values, qsizetype fields) {
        if (fields <= 0)
            return;
        const qsizetype count = values.size() / fields;
        rows_.reserve(rows_.size() + size_t(count));
        for (qsizetype row = 0; row < count; ++row)
            Take(values.mid(row * fields, fields));
    }

    std::vector<GridRow>& Rows() { return rows_; }
    const QStringList& Keys() const { return keys_; }

private:
    bool keyed_;
    bool rowNumbers_;
    std::vector<GridRow> rows_;
    QStringList keys_;
};

void FillSearchResult(CommandContext& form, GridView& grid, const XmlNode& p,
                      const QStringList& names, SearchResultRows& rows) {
    const bool keyed = grid.KeyColumn();
    const qsizetype fields = names.size();
    FillScope fill(grid);
    if (p.GetAttributeBool("reset_head", false)) {
        grid.DeleteAllRowsAndColumns();
        // The row-number column has no field of its own.
        if (p.GetAttributeBool("is_rowid", false))
            grid.InsertColumn(0, QString(), 2, 50);
        for (qsizetype i = keyed ? 1 : 0; i < fields; ++i)
            grid.InsertColumn(grid.ColumnCount(), names[i], 2, 50);
    }
    if (fields <= 0) {
        if (keyed)
            form.SetLoadedKeys(QString());
        return;
    }
    grid.AppendRows(std::move(rows.Rows()));
    if (keyed)
        form.SetLoadedKeys(rows.Keys().join(QLatin1Char(',')));
    else
        form.LoadedKeysText().clear();
}

// `all_rows_table_id` of a paged search: every row the search found, not just the page shown,
// into another grid (usually hidden), so that copying and export take what the search found.
// The rows come in the page's order and with its columns; the page and the form's loaded keys
// stay as the page left them.
bool FillAllFoundRows(CommandContext& form, CommandResult& result, const XmlNode& p,
                      const QString& select, const QString& where, const QString& order) {
    const QString reference = p.GetAttribute("all_rows_table_id");
    if (reference.isEmpty())
        return true;
    QWidget* window = nullptr;
    if (!ResolveControl(form, result, reference, window))
        return false;
    auto* grid = qobject_cast<GridView*>(window);
    if (!grid)
        return false;
    grid->SetKeyColumn(p.GetAttributeBool("contain_head", false));
    grid->DeleteAllRows();
    DbSession& session = form.AccountSession();
    SearchResultRows rows(grid->KeyColumn(), p.GetAttributeBool("is_rowid", false));
    QStringList names;
    // The same search as the page's (its filters already bound); no row found is an empty grid.
    if (!session.QueryAllPages(select, where, order, names,
                               [&](QStringList&& row) { rows.Take(std::move(row)); }) &&
        !session.Message().isEmpty()) {
        result.error = session.Message();
        result.detail = session.Detail();
        return false;
    }
    FillScope fill(*grid);
    grid->AppendRows(std::move(rows.Rows()));
    return true;
}

// The grid is filled from a control's text: cells separated by `where`, `counts_in_page` cells
// per row (the key included when the grid takes keys).
bool FillFromText(CommandContext& form, CommandResult& result, GridView& grid, const XmlNode& p) {
    QWidget* source = nullptr;
    if (!ResolveControl(form, result, p.GetAttribute("select"), source))
        return false;
    const QString separator = p.GetAttribute("where");
    const int perRow = p.GetAttributeInt("counts_in_page", 0);
    if (separator.isEmpty() || perRow < 1)
        return false;
    QString text = ReadControlValue(source);
    if (const QString drop = p.GetAttribute("reset_head"); !drop.isEmpty())
        text.remove(drop);
    for (const QString& piece : p.GetAttribute("result_info_id").split(QLatin1Char('|')))
        if (!piece.isEmpty())
            text.replace(piece, separator);
    QString removals = p.GetAttribute("page_buttons");
    removals.replace(QLatin1String("{{;}}"), QLatin1String("{{}}"));
    for (const QString& piece : removals.split(QLatin1Char(';'))) {
        if (piece == QLatin1String("{{}}"))
            text.remove(QLatin1Char(';'));
        else if (!piece.isEmpty())
            text.remove(piece);
    }
    if (const QString order = p.GetAttribute("order"); !order.isEmpty())
        text.replace(order, separator);

    QStringList cells = text.split(separator);
    if (perRow > 1 && cells.size() % perRow == 1)
        cells.removeLast();

    const bool keyed = grid.KeyColumn();
    QStringList keys;
    {
        FillScope fill(grid);
        qsizetype next = 0;
        while (next < cells.size()) {
            QString key;
            if (keyed)
                key = cells[next++];
            const qsizetype count = keyed ? perRow - 1 : perRow;
            const QStringList row = cells.mid(next, count);
            next += count;
            grid.AppendRow(row, key, 0);
            if (keyed)
                keys.append(key);
        }
    }
    form.SetLoadedKeys(keys.join(QLatin1Char(',')));
    return true;
}

bool SlotInRange(int slot) {
    if (slot >= 0 && slot <= 9)
        return true;
    ShowAppMessage(kSlotRange, kAppCaption);
    return false;
}

// The selected node of a tree-list (key and tips) or of a tree (its key, no tips); false when
// the control has none.
bool SelectedNodeOf(const QWidget* window, QString& key, QStringList& tips) {
    if (auto* chart = qobject_cast<const TreeListView*>(window)) {
        const TreeListNode* node = chart->SelectedNode();
        if (!node)
            return false;
        key = node->key;
        tips = {node->tip1, node->tip2, node->tip3};
        return true;
    }
    if (auto* tree = qobject_cast<const TreeView*>(window)) {
        const QTreeWidgetItem* item = tree->currentItem();
        if (!item)
            return false;
        key = QString::number(TreeView::Key(item));
        return true;
    }
    return false;
}

} // namespace

bool QueryToWnds(CommandContext& form, CommandResult& result, const XmlNode& command,
                 int /*windowId*/) {
    QString sql = command.GetAttribute("values");
    const QString table = command.GetAttribute("table_id");
    if (!table.isEmpty() && !BindTableRow(form, result, table, sql, RowColumns::FromOne,
                                          command.GetAttributeInt("num", 0)))
        return false;
    BindWhereParameters(form, result, command.GetChild("para_info_where"), sql, WhereDefaults::Use);
    sql = form.ExpandStatementPlaceholders(sql);
    const QList<Target> targets = ApplyParaInOut(command, command.GetAttribute("target_ids"), sql);
    sql = form.ExpandStatementPlaceholders(sql);
    QStringList values;
    DbSession& session = CommandSession(form, command);
    if (QueryAllValues(session, sql, values) <= 0) {
        // A failed query says why and leaves the fields as they were; only no row clears them.
        if (!session.Message().isEmpty()) {
            result.error = session.Message();
            result.detail = session.Detail();
            return false;
        }
        return ClearTargets(form, result, targets);
    }
    if (values.size() != targets.size()) {
        ShowAppMessage(kCountMismatch, kAppCaption);
        return false;
    }
    for (qsizetype k = 0; k < targets.size(); ++k) {
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, targets[k].reference, window))
            return false;
        if (targets[k].kind == QLatin1String("checked")) {
            if (auto* box = qobject_cast<QAbstractButton*>(window))
                box->setChecked(values[k] != QLatin1String("0"));
        } else {
            WriteControlValue(window, values[k]);
        }
    }
    return true;
}

bool QueryToWnd(CommandContext& form, CommandResult& result, const XmlNode& command,
                int /*windowId*/) {
    QString sql;
    if (!BuildCommandSql(form, result, command, RowColumns::FromZero, sql))
        return false;
    const QString target = command.GetAttribute("target_ids");
    if (target.isEmpty()) {
        result.error = kBadParameter;
        return false;
    }
    sql = form.ExpandStatementPlaceholders(sql);
    QStringList values;
    const bool found = QueryAllValues(CommandSession(form, command), sql, values) > 0;
    QWidget* window = nullptr;
    if (!ResolveControl(form, result, target, window))
        return false;
    SetWindowText(window, found ? values.join(QLatin1Char(',')) : QString());
    return true;
}

bool QueryToList(CommandContext& form, CommandResult& result, const XmlNode& command,
                 int /*windowId*/) {
    QStringList values;
    const QString target = command.GetAttribute("target_ids");
    if (!QueryListValues(form, result, command, CommandSession(form, command), values) ||
        target.isEmpty())
        return true;
    QWidget* window = nullptr;
    if (!ResolveControl(form, result, target, window))
        return false;
    ReplaceItems(window, values);
    return true;
}

bool QueryToLists(CommandContext& form, CommandResult& result, const XmlNode& command,
                  int /*windowId*/) {
    QStringList values;
    if (!QueryListValues(form, result, command, form.AccountSession(), values))
        return true;
    for (const QString& target : SplitList(command.GetAttribute("target_ids"))) {
        QWidget* window = nullptr;
        if (ResolveControl(form, result, target, window))
            ReplaceItems(window, values);
    }
    result.error = QString(); // a skipped target is not an error
    return true;
}

bool QueryToLists2(CommandContext& form, CommandResult& result, const XmlNode& command,
                   int /*windowId*/) {
    QStringList values;
    if (!QueryListValues(form, result, command, form.AccountSession(), values))
        return true;
    QList<QStringList> groups(1);
    for (const QString& value : values) {
        if (value == kGroupMarker)
            groups.append(QStringList());
        else
            groups.last().append(value);
    }
    const QStringList targets = SplitList(command.GetAttribute("target_ids"));
    for (qsizetype k = 0; k < targets.size() && k < groups.size(); ++k) {
        QWidget* window = nullptr;
        if (ResolveControl(form, result, targets[k], window))
            ReplaceItems(window, groups[k]);
    }
    result.error = QString();
    return true;
}

bool QueryToHead(CommandContext& form, CommandResult& result, const XmlNode& command,
                 int /*windowId*/) {
    const QString table = command.GetAttribute("table_id");
    if (table.isEmpty()) {
        result.error = kNoTable;
        return false;
    }
    QWidget* window = nullptr;
    if (!ResolveControl(form, result, table, window))
        return false;
    QString sql = command.GetAttribute("values");
    BindWhereParameters(form, result, command.GetChild("para_info_where"), sql);
    sql = form.ExpandStatementPlaceholders(sql);
    const QString targetIds = command.GetAttribute("target_ids");
    const QList<Target> targets = ApplyParaInOut(command, targetIds, sql);
    sql = form.ExpandStatementPlaceholders(sql);
    QStringList values;
    if (QueryAllValues(CommandSession(form, command), sql, values) <= 0)
        return true;
    if (values.size() != targets.size()) {
        ShowAppMessage(kCountMismatch, kAppCaption);
        return false;
    }
    auto* grid = qobject_cast<GridView*>(window);
    if (!grid)
        return true;
    GridModel* model = grid->Model();
    for (qsizetype k = 0; k < targets.size(); ++k) {
        const int column = ParseIntegerText(targets[k].reference);
        if (ColumnInfo* info = model->Column(column)) {
            info->title = values[k];
            Q_EMIT model->headerDataChanged(Qt::Horizontal, column, column);
        }
    }
    return true;
}

bool QueryToMain(CommandContext& form, CommandResult& result, const XmlNode& command,
                 int /*windowId*/) {
    QString sql = command.GetAttribute("values");
    const QString table = command.GetAttribute("table_id");
    if (!table.isEmpty() && !BindTableRow(form, result, table, sql, RowColumns::UidOnly))
        return false;
    BindWhereParameters(form, result, command.GetChild("para_info_where"), sql);
    sql = form.ExpandStatementPlaceholders(sql);
    const QList<Target> targets = ApplyParaInOut(command, command.GetAttribute("target_ids"), sql);
    sql = form.ExpandStatementPlaceholders(sql);
    QStringList values;
    const bool found = QueryAllValues(CommandSession(form, command), sql, values) > 0;
    if (found && values.size() != targets.size()) {
        ShowAppMessage(kCountMismatch, kAppCaption);
        return false;
    }
    for (qsizetype k = 0; k < targets.size(); ++k) {
        const int slot = ParseIntegerText(targets[k].reference);
        if (!SlotInRange(slot))
            return false;
        form.SetGlobal(slot, found ? values[k] : QString());
    }
    return true;
}

bool QueryTree(CommandContext& form, CommandResult& result, const XmlNode& command,
               int /*windowId*/) {
    QString sql = command.GetAttribute("values");
    const QString table = command.GetAttribute("table_id");
    if (!table.isEmpty()) {
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, table, window))
            return false;
        QString key;
        QStringList tips;
        if (!SelectedNodeOf(window, key, tips))
            return false;
        // Keys and tips come from the database: they are spliced in as sealed, escaped texts.
        sql.replace(QLatin1String("{{id?uid}}"), SealLiteral(key));
        for (int i = 0; i < 3; ++i)
            sql.replace(QStringLiteral("{{id?tip%1}}").arg(i + 1), SealLiteral(tips.value(i)));
    }
    BindWhereParameters(form, result, command.GetChild("para_info_where"), sql);
    sql = form.ExpandStatementPlaceholders(sql);
    return FillTargets(form, result, command.GetAttribute("target_ids"), sql);
}

bool QueryToTreeHead(CommandContext& form, CommandResult& result, const XmlNode& command,
                     int /*windowId*/) {
    const QString table = command.GetAttribute("table_id");
    if (table.isEmpty()) {
        result.error = kNoTable;
        return false;
    }
    QString sql = command.GetAttribute("values");
    BindWhereParameters(form, result, command.GetChild("para_info_where"), sql);
    sql = form.ExpandStatementPlaceholders(sql);
    QStringList values;
    QueryAllValues(form.AccountSession(), sql, values);
    // `target_ids` names the header level whose titles the values replace.
    if (auto* chart = qobject_cast<TreeListView*>(ControlById(form, ParseIntegerText(table))))
        chart->SetHeaderTitles(ParseIntegerText(command.GetAttribute("target_ids")), values);
    return true;
}

bool QueryToTable(CommandContext& form, CommandResult& result, const XmlNode& command,
                  int /*windowId*/) {
    const XmlNode info = command.GetChild("para_info");
    QString sql = info.GetAttribute("select");
    BindControlIds(form, info.GetChild("para_in"), sql);
    QWidget* window = nullptr;
    if (!ResolveControl(form, result, info.GetAttribute("to_table_id"), window))
        return false;
    auto* grid = qobject_cast<GridView*>(window);
    if (!grid)
        return false;
    sql = form.ExpandStatementPlaceholders(sql);
    QStringList values;
    if (QueryAllValues(form.AccountSession(), sql, values) > 0)
        AppendResultRows(*grid, info.GetChild("para_out"), values);
    return true;
}

bool SelectInto(CommandContext& form, CommandResult& result, const XmlNode& command,
                int /*windowId*/) {
    const XmlNode info = command.GetChild("para_info");
    const auto* source =
        qobject_cast<GridView*>(ControlById(form, info.GetAttributeInt("from_table_id", 0)));
    if (!source)
        return false;
    const int whichRow = info.GetAttributeInt("which_row", -1);
    int row = whichRow;
    if (row < 0 || row >= source->RowCount()) {
        const QList<int> selected = source->SelectedRows();
        if (selected.isEmpty())
            return false;
        row = selected.first();
    }
    QString sql = info.GetAttribute("select");
    BindControlIds(form, info.GetChild("para_in"), sql);
    const XmlNode paraOut = info.GetChild("para_out");
    const XmlNodes outs = paraOut.GetChildren();
    for (int k = 0; k < outs.GetCount(); ++k) {
        const int column = outs.GetItem(k).GetAttributeInt("value", 0);
        sql.replace(QStringLiteral("{{c%1}}").arg(k + 1),
                    SealLiteral(source->CellText(row, column)));
    }
    QWidget* window = nullptr;
    if (!ResolveControl(form, result, info.GetAttribute("to_table_id"), window))
        return false;
    auto* target = qobject_cast<GridView*>(window);
    if (!target)
        return false;
    sql = form.ExpandStatementPlaceholders(sql);
    QStringList values;
    if (QueryAllValues(CommandSession(form, command), sql, values) > 0)
        AppendResultRows(*target, paraOut, values);
    return true;
}

bool SelectInfoTable(CommandContext& form, CommandResult& result, const XmlNode& command,
                     int /*windowId*/) {
    form.ForgetRowStates();
    form.SetDeletedKeys(QString());
    XmlNode p = command.GetChild("para_info_where");
    const bool whereList = !p.IsEmpty();
    if (!whereList)
        p = command.GetChild("para_info");
    // The form's page state belongs to the list that shows its pages (page buttons or a page
    // display). A search of a detail grid beside it, run when a row is shown, shows page 1 and
    // leaves the list's page state alone, so that 末页 and 下页 still page the list.
    const bool showsPages =
        !p.GetAttribute("page_buttons").isEmpty() || p.GetAttributeInt("result_info_id", 0) > 0;
    if (showsPages && form.Page().resetPermitted) {
        PageState first = form.Page();
        first.number = 1;
        first.total = 0;
        form.SetPage(first);
    }

    QWidget* window = nullptr;
    if (!ResolveControl(form, result, p.GetAttribute("table_id"), window))
        return false;
    auto* grid = qobject_cast<GridView*>(window);
    if (!grid)
        return false;
    ScrollKeeper scroll(*grid);
    grid->SetKeyColumn(p.GetAttributeBool("contain_head", false));
    grid->DeleteAllRows();

    QString select = p.GetAttribute("select");
    if (!select.isEmpty() && !select.contains(QLatin1Char(' '))) {
        if (!FillFromText(form, result, *grid, p))
            return false;
        scroll.Restore();
        return true;
    }
    QString where = p.GetAttribute("where");
    const QString order = p.GetAttribute("order");
    BindSearchFilters(form, p, whereList, select, where);

    DbSession& session = form.AccountSession();
    QStringList names;
    QStringList values;
    SearchResultRows rows(grid->KeyColumn(), p.GetAttributeBool("is_rowid", false));
    const int pageSize = p.GetAttributeInt("counts_in_page", 0);
    bool ok = false;
    if (pageSize < 1) {
        // A search without paging that finds no row fails, as a query with field names does; the
        // grid keeps its columns and shows no rows.
        ok = session.QueryRows(select + where + order, names,
                               [&](QStringList&& row) { rows.Take(std::move(row)); });
        if (!ok && session.Message().isEmpty()) {
            form.SetLoadedKeys(QString());
            scroll.Restore();
            return false;
        }
    } else {
        // A paged search that finds nothing shows its empty page: the session then carries no
        // message.
        if (!where.isEmpty())
            where.prepend(QLatin1String(" WHERE "));
        int total = 0;
        // A list that shows no pages searches its first page and keeps the form's page state.
        PageState page = showsPages ? form.Page() : PageState{};
        ok = session.QueryPage(select, where, pageSize, page.number, order, names, values, total,
                               page.total) ||
             session.Message().isEmpty();
        // The session showed the page nearest to the one asked for.
        if (ok && page.total > 0)
            page.number = std::clamp(page.number, 1, page.total);
        if (showsPages)
            form.SetPage(page);
        if (ok) {
            if (showsPages)
                ShowPageState(form, p, pageSize, total);
            rows.TakeAll(values, names.size());
            if (!FillAllFoundRows(form, result, p, select, where, order))
                return false;
        }
    }
    if (!ok) {
        result.error = session.Message();
        result.detail = session.Detail();
        return false;
    }
    FillSearchResult(form, *grid, p, names, rows);
    scroll.Restore();
    return true;
}

bool ClickPage(CommandContext& form, CommandResult& /*result*/, const XmlNode& command,
               int /*windowId*/) {
    const XmlNode info = command.GetChild("para_info");
    PageState page = form.Page();
    switch (info.GetAttributeInt("page", 0)) {
    case 1:
        page.number = 1;
        break;
    case 2:
        --page.number;
        break;
    case 3:
        ++page.number;
        break;
    case 4:
        page.number = page.total;
        break;
    default:
        break;
    }
    const int buttonId = info.GetAttributeInt("button_id", 0);
    page.resetPermitted = false;
    form.SetPage(page);
    // The search re-runs on the changed page; a disabled search button runs nothing.
    if (QWidget* button = ControlById(form, buttonId); button && button->isEnabled())
        form.RunAction(WindowIdOfDocumentId(buttonId), QStringLiteral("CLICK"));
    page = form.Page();
    page.resetPermitted = true;
    form.SetPage(page);
    return true;
}

bool SelectInfoTree(CommandContext& form, CommandResult& result, const XmlNode& command,
                    int /*windowId*/) {
    const XmlNode p = command.GetChild("para_info_where");
    QWidget* window = nullptr;
    if (!ResolveControl(form, result, p.GetAttribute("tree_id"), window))
        return false;
    auto* tree = qobject_cast<TreeView*>(window);
    if (!tree)
        return false;
    tree->clear();
    QString select = p.GetAttribute("select");
    BindWhereParameters(form, result, p, select);
    select = form.ExpandStatementPlaceholders(select);
    DbSession& session = form.AccountSession();
    QStringList names;
    QStringList values;
    if (!session.QueryWithNames(select, names, values)) {
        // No row fails the command as a failed query does, without a message of its own.
        if (!session.Message().isEmpty()) {
            result.error = session.Message();
            result.detail = session.Detail();
        }
        return false;
    }
    QString checked;
    if (const QString checkSql = form.ExpandStatementPlaceholders(p.GetAttribute("check_sql"));
        !checkSql.isEmpty()) {
        QStringList keys;
        if (QueryAllValues(session, checkSql, keys) > 0)
            checked = QLatin1Char(',') + keys.join(QLatin1Char(',')) + QLatin1Char(',');
    }
    tree->FillTree(values, checked);
    tree->ExpandTree(true);
    return true;
}

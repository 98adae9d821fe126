// The record-saving commands. Every write goes through the session's add and update operations
// with bound values; only guard queries and free statements are built as SQL text, and there
// every control or cell text is quote-escaped.
#include "commands/SaveCommands.h"

#include "commands/CommandSupport.h"
#include "data/DbSession.h"
#include "data/InsertedText.h"
#include "data/SqlShape.h"
#include "form/CommandContext.h"
#include "form/FormControls.h"
#include "platform/AppMessage.h"
#include "platform/ValueGrammars.h"
#include "widgets/GridView.h"

#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

using FormXml::XmlNode;
using FormXml::XmlNodes;

const QString kUid = QStringLiteral("{{id?uid}}");

QString CellPlaceholder(int n) {
    return QStringLiteral("{{id?%1}}").arg(n);
}

// "{{id?N}}" becomes the escaped text of column N - base of row `row`.
void BindRowCells(const GridView& grid, int row, QString& sql, int base) {
    if (sql.isEmpty())
        return;
    for (int c = 0; c < grid.ColumnCount(); ++c)
        sql.replace(CellPlaceholder(c + base), SealLiteral(grid.CellText(row, c)));
}

// The session's message with its technical detail, for DetailText and the log.
QString SessionError(const DbSession& session) {
    return session.Detail().isEmpty() ? session.Message()
                                      : session.Message() + QLatin1Char('\n') + session.Detail();
}

// A guard query refuses when it gives a row: its first value is the refusal message.
bool GuardRefuses(DbSession& session, const QString& sql, QString& refusal) {
    if (sql.trimmed().isEmpty())
        return false;
    return session.QueryValue(sql, refusal);
}

// The session adds into an opened recordset; a bare table name opens it empty, so an existing
// row is never taken for the one being added.
QString AddSource(const QString& sql) {
    const QString trimmed = sql.trimmed();
    return IsPlainIdentifier(trimmed) ? QStringLiteral("SELECT * FROM %1 WHERE 1=0").arg(trimmed)
                                      : sql;
}

// A yes-or-no question ("是"/"否"): only Yes goes on.
bool Confirm(const QString& question) {
    return ShowAppMessage(question, QStringLiteral("操作确认"), MessageButtons::YesNo) ==
           MessageAnswer::Yes;
}

GridView* GridById(CommandContext& form, int id) {
    return qobject_cast<GridView*>(form.ControlByWindowId(WindowIdOfDocumentId(id)));
}

// --- Header ---

struct HeadFields {
    QStringList fields;
    QStringList values;
};

// Required-field checks, then the field and value lists of the children of `para`.
bool ReadHeadFields(CommandContext& form, CommandResult& result, const XmlNode& para,
                    HeadFields& head) {
    const XmlNodes children = para.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        const XmlNode child = children.GetItem(i);
        if (child.GetAttributeInt("empty", 0) != 1)
            continue;
        const QString reference = child.GetAttribute("wnd");
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, reference, window)) {
            result.error = QStringLiteral("没有此控件") + reference;
            return false;
        }
        if (ReadControlValue(window).isEmpty()) {
            if (window)
                window->setFocus();
            result.error =
                QStringLiteral("请正确填写（或者选择）必填项") + child.GetAttribute("desp");
            return false;
        }
    }
    for (int i = 0; i < children.GetCount(); ++i) {
        const XmlNode child = children.GetItem(i);
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, child.GetAttribute("wnd"), window))
            return false;
        head.fields.append(child.GetAttribute("field"));
        head.values.append(ReadControlValue(window));
    }
    return true;
}

// "{{pi}}" of a header guard is the escaped value of the i-th field.
QString BindHeadGuard(CommandContext& form, QString sql, const HeadFields& head,
                      const QString& key) {
    for (int i = head.values.size(); i >= 1; --i) // "{{p1}}" must not eat "{{p10}}"'s start
        sql.replace(QStringLiteral("{{p%1}}").arg(i), SealLiteral(head.values[i - 1]));
    if (!key.isNull())
        sql.replace(kUid, SealInsertedText(key));
    return form.ExpandStatementPlaceholders(sql);
}

// The statement run after a header write, with the record's key.
bool RunHeadStatement(CommandContext& form, CommandResult& result, const XmlNode& para,
                      const QString& key) {
    QString sql = para.GetAttribute("run_sql");
    if (sql.trimmed().isEmpty())
        return true;
    sql.replace(kUid, SealInsertedText(key));
    if (!BindValueParameters(form, result, para, sql))
        return false;
    if (!form.AccountSession().Execute(sql)) {
        result.error = QStringLiteral("出错:") + form.AccountSession().Message();
        result.detail = form.AccountSession().Detail();
        return false;
    }
    return true;
}

// --- Detail rows ---

struct DetailContext {
    CommandContext& form;
    CommandResult& result;
    GridView& grid;
    XmlNode parameters; // the command's parameter element
    XmlNode info;       // the grid's save parameters
    XmlNodes columns;   // the grid's column definitions
};

// Guard, statement before the write, parent key and column values of one row. Fails with the
// row's message.
bool PrepareRow(DetailContext& ctx, int row, bool insert, const QString& key, HeadFields& lists,
                QString& message) {
    CommandContext& form = ctx.form;
    CommandResult& result = ctx.result;
    DbSession& session = form.AccountSession();
    const int number = row + 1;
    const XmlNode where = ctx.parameters.GetChild("para_info_where");
    auto bind = [&](QString sql) {
        BindRowCells(ctx.grid, row, sql, 0);
        if (!insert)
            sql.replace(kUid, SealInsertedText(key));
        BindWhereParameters(form, result, where, sql);
        return form.ExpandStatementPlaceholders(sql);
    };
    const QString guard = bind(ctx.info.GetAttribute(insert ? "can_insert_sql" : "can_update_sql"));
    if (GuardRefuses(session, guard, message))
        return false;
    const QString before = bind(ctx.info.GetAttribute(insert ? "before_insert" : "before_update"));
    if (!before.trimmed().isEmpty() && !session.Execute(before)) {
        message = QStringLiteral("表格第 %1 行,数据异常!\n\n%2").arg(number).arg(session.Message());
        return false;
    }

    // Only a complete pair can carry the header's key.
    const QString parentField = ctx.info.GetAttribute("parent_field");
    const QString parentReference = ctx.info.GetAttribute("parent_field_ID");
    if (!parentField.isEmpty() && !parentReference.isEmpty()) {
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, parentReference, window)) {
            message = result.error.value_or(QString());
            return false;
        }
        lists.fields.append(parentField);
        lists.values.append(ReadControlValue(window));
    }

    for (int i = 0; i < ctx.columns.GetCount(); ++i) {
        const XmlNode col = ctx.columns.GetItem(i);
        const QString field = col.GetAttribute("field_name");
        const int column = col.GetAttributeInt("col_id", 0);
        // Column 0 holds the row number; only columns with a stored field are saved.
        if (col.GetName() != QLatin1String("col") || col.GetAttributeInt("no_save", 0) == 1 ||
            field.isEmpty() || column <= 0)
            continue;
        const QString title = col.GetAttribute("title");
        QString value = ctx.grid.CellText(row, column);
        if (col.GetAttributeInt("empty", 0) == 1 && value.isEmpty()) {
            message = QStringLiteral("表格第%1行,第%2列（%3）内容不能为空")
                          .arg(number)
                          .arg(column)
                          .arg(title);
            ctx.grid.SelectRow(-1, false);
            ctx.grid.SelectRow(row, true);
            ctx.grid.setCurrentIndex(ctx.grid.model()->index(row, column));
            return false;
        }
        QString lookup = col.GetAttribute("parent_sql");
        if (!lookup.isEmpty()) {
            lookup.replace(QStringLiteral("{{self}}"), SealLiteral(value));
            QStringList found;
            if (QueryAllValues(session, form.ExpandStatementPlaceholders(lookup), found) <= 0 ||
                found.isEmpty()) {
                message = QStringLiteral("表格第%1行,第%2列（%3）,%4对应基础数据异常。\n\n%5")
                              .arg(number)
                              .arg(column)
                              .arg(title, value, session.Message());
                return false;
            }
            value = found.first();
        }
        lists.fields.append(field);
        lists.values.append(value);
    }

    const QString indexField = ctx.info.GetAttribute("auto_index_field");
    if (!indexField.isEmpty()) {
        lists.fields.append(indexField);
        lists.values.append(QString::number(number));
    }
    return true;
}

// The statements after a row's write: `run_sql`, then the insert or update one.
bool RunRowStatements(DetailContext& ctx, int row, bool insert, const QString& key,
                      QString& message) {
    for (const char* name : {"run_sql", insert ? "run_sql_insert" : "run_sql_update"}) {
        QString sql = ctx.info.GetAttribute(name);
        if (sql.trimmed().isEmpty())
            continue;
        BindRowCells(ctx.grid, row, sql, 0);
        sql.replace(kUid, SealInsertedText(key));
        if (!BindValueParameters(ctx.form, ctx.result, ctx.parameters, sql)) {
            message = ctx.result.error.value_or(QString());
            return false;
        }
        if (!ctx.form.AccountSession().Execute(sql)) {
            message = QStringLiteral("表格第%1行,数据异常!\n\n%2")
                          .arg(row + 1)
                          .arg(ctx.form.AccountSession().Message());
            return false;
        }
    }
    return true;
}

bool SaveRow(DetailContext& ctx, int row, bool insert, QString& message) {
    CommandContext& form = ctx.form;
    CommandResult& result = ctx.result;
    DbSession& session = form.AccountSession();
    QString key = ctx.grid.RowKey(row);
    HeadFields lists;
    if (!PrepareRow(ctx, row, insert, key, lists, message))
        return false;
    const QString failed = QStringLiteral("表格第%1行,数据异常").arg(row + 1);
    if (insert) {
        const QString source =
            form.ExpandStatementPlaceholders(AddSource(ctx.info.GetAttribute("insert_sql")));
        if (session.AddRecordGetId(key, source, lists.fields, lists.values) != 1) {
            result.detail = SessionError(session);
            message = failed;
            return false;
        }
        ctx.grid.SetRowKey(row, key);
    } else {
        QString source = ctx.info.GetAttribute("update_sql");
        source.replace(kUid, SealInsertedText(key));
        if (!session.UpdateRecord(form.ExpandStatementPlaceholders(source), lists.fields,
                                  lists.values)) {
            result.detail = SessionError(session);
            message = failed;
            return false;
        }
    }
    if (!RunRowStatements(ctx, row, insert, key, message))
        return false;
    result.info = insert ? QStringLiteral("新增成功") : QStringLiteral("更新成功");
    return true;
}

// Deleted rows go first, so a new row may take a deleted one's unique values.
bool DeleteRemovedRows(CommandContext& form, CommandResult& result, const XmlNode& parameters) {
    if (form.DeletedKeys().isEmpty())
        return true;
    QString guard = parameters.GetAttribute("can_delete_sql");
    QString before = parameters.GetAttribute("before_delete");
    QString remove = parameters.GetAttribute("delete_sql");
    if (!BindValueParameters(form, result, parameters, guard) ||
        !BindValueParameters(form, result, parameters, before) ||
        !BindValueParameters(form, result, parameters, remove))
        return false;
    QString refusal;
    if (GuardRefuses(form.AccountSession(), guard, refusal)) {
        result.error = refusal;
        return false;
    }
    const struct {
        const QString& sql;
        const char* failure;
    } steps[] = {{before, "删除行前异常!"}, {remove, "删除行时异常!"}};
    for (const auto& step : steps) {
        if (step.sql.trimmed().isEmpty())
            continue;
        if (!form.AccountSession().Execute(step.sql)) {
            result.error = QString::fromUtf8(step.failure);
            result.detail = SessionError(form.AccountSession());
            return false;
        }
        result.info = QStringLiteral("操作成功");
    }
    return true;
}

// A new last row left empty is the entry row a numbered grid keeps for typing: not data.
// Should the action fail, the row comes back so the user can go on typing.
void DropEntryRow(CommandContext& form, GridView& grid) {
    if (!grid.EndsWithEntryRow())
        return;
    grid.DeleteRow(grid.RowCount() - 1);
    form.RememberDroppedEntryRow(&grid);
}

// --- check / checkthis ---

bool RunCheck(CommandContext& form, CommandResult& result, const XmlNode& command,
              bool askWithCheckValue) {
    const XmlNode para = command.GetChild("para_info");
    QString checkSql = para.GetAttribute("check_sql");
    QString canUpdateSql = para.GetAttribute("can_update_sql");
    QString updateSql = para.GetAttribute("update_sql");
    QString runSql = para.GetAttribute("run_sql");
    QString askText = para.GetAttribute("ask_text");

    QString key;
    bool haveKey = false;
    QWidget* window = nullptr;
    if (!ResolveControl(form, result, para.GetAttribute("table_id"), window))
        return false;
    if (auto* grid = qobject_cast<GridView*>(window)) {
        const QList<int> selected = grid->SelectedRows();
        if (selected.isEmpty()) {
            result.error = QStringLiteral("请选择记录！");
            return false;
        }
        const int row = selected.first();
        key = grid->RowKey(row);
        haveKey = true;
        for (QString* sql : {&checkSql, &canUpdateSql, &updateSql, &askText})
            BindRowCells(*grid, row, *sql, 0);
    } else if (!para.GetAttribute("uid_wnd_id").isEmpty()) {
        QWidget* keyWindow = nullptr;
        if (!ResolveControl(form, result, para.GetAttribute("uid_wnd_id"), keyWindow))
            return false;
        key = ReadControlValue(keyWindow);
        haveKey = !key.isEmpty();
    }
    if (!haveKey) {
        result.error = QStringLiteral("请选择记录或者录入关联索引的指定控件编号uid_wnd_id！");
        return false;
    }

    auto bind = [&](QString sql) {
        sql.replace(kUid, SealInsertedText(key));
        return form.ExpandStatementPlaceholders(sql);
    };
    const QString question = QStringLiteral("是否确认操作？");
    // The form's own question names the record; its values arrive sealed, so a key or cell
    // holding braces or quotes is shown as it stands and never expanded again.
    if (!askText.isEmpty()) {
        askText.replace(kUid, SealInsertedText(key));
        if (!BindValueParameters(form, result, para, askText))
            return false;
    }
    if (!Confirm(askText.isEmpty() ? question : OpenInsertedTexts(askText)))
        return false;
    QString value;
    if (GuardRefuses(form.AccountSession(), bind(checkSql), value) &&
        !Confirm(askWithCheckValue ? value : question))
        return false;
    if (GuardRefuses(form.AccountSession(), bind(canUpdateSql), value)) {
        result.error = value;
        return false;
    }
    const struct {
        QString sql;
        const char* failure;
    } steps[] = {{bind(updateSql), "命令异常!"}, {bind(runSql), "命令2异常!"}};
    for (const auto& step : steps) {
        if (!step.sql.trimmed().isEmpty() && !form.AccountSession().Execute(step.sql)) {
            result.error = QString::fromUtf8(step.failure);
            result.detail = SessionError(form.AccountSession());
            return false;
        }
    }
    result.info = QStringLiteral("操作成功");
    return true;
}

// --- run_sql ---

class SqlStep {
public:
    SqlStep(CommandContext& form, CommandResult& result, const XmlNode& step)
        : form_(form), result_(result), step_(step) {}

    bool Run() {
        const QString tableReference = step_.GetAttribute("table_id");
        const int allRows = step_.GetAttributeInt("all_rows", 0);
        std::vector<int> rows;
        if (tableReference.isEmpty()) {
            rows.push_back(-1);
        } else {
            QWidget* window = nullptr;
            if (!ResolveControl(form_, result_, tableReference, window))
                return false;
            grid_ = qobject_cast<GridView*>(window);
            if (!grid_)
                return false;
            const int count = grid_->RowCount();
            if (allRows == 1) {
                for (int r = 0; r < count; ++r)
                    rows.push_back(r);
            } else if (allRows != 0) {
                for (int r = count - 1; r >= 0; --r)
                    rows.push_back(r);
            } else {
                const QList<int> selected = grid_->SelectedRows();
                if (selected.isEmpty()) {
                    result_.error = QStringLiteral("请选择行");
                    return false;
                }
                tip_ = step_.GetAttribute("tip") == QLatin1String("1");
                if (step_.GetAttribute("run_sql").contains(kAllSelected)) {
                    QStringList keys;
                    for (int r : selected)
                        keys.append(grid_->RowKey(r));
                    allSelected_ = keys.join(QLatin1Char(','));
                    rows.push_back(selected.first());
                } else {
                    rows.assign(selected.begin(), selected.end());
                }
            }
        }
        // A pass that fails skips the rest of itself only; the step fails once all have run.
        bool everyPassOk = true;
        for (int row : rows) {
            switch (RunPass(row)) {
            case Pass::Ok:
                break;
            case Pass::Refused:
                return false;
            case Pass::Failed:
                everyPassOk = false;
                break;
            }
        }
        if (!everyPassOk) {
            result_.detail = result_.error.value_or(QString());
            result_.info = QStringLiteral("运行异常，如自己无法解决，请联系管理员。\n");
            result_.error = QStringLiteral("运行异常，如自己无法解决，请联系管理员。");
            return false;
        }
        result_.info = QStringLiteral("操作成功。");
        return true;
    }

private:
    enum class Pass { Ok, Refused, Failed };
    static inline const QString kAllSelected = QStringLiteral("{{id?uid_all_selected}}");

    QString Attribute(const char* name) const { return step_.GetAttribute(name); }

    // Row key and cells (from 1), then the step's own parameters and the form's placeholders.
    bool Bind(const char* name, int row, QString& sql) {
        sql = Attribute(name);
        if (sql.isEmpty())
            return true;
        if (!allSelected_.isNull())
            sql.replace(kAllSelected, allSelected_);
        if (grid_ && row >= 0) {
            sql.replace(kUid, SealInsertedText(grid_->RowKey(row)));
            BindRowCells(*grid_, row, sql, 1);
        }
        return BindValueParameters(form_, result_, step_, sql);
    }

    void Show(const QString& sql) {
        if (tip_)
            ShowAppMessage(sql);
    }

    bool Execute(const QString& sql) {
        if (sql.trimmed().isEmpty())
            return true;
        Show(sql);
        if (form_.AccountSession().Execute(sql))
            return true;
        result_.error = SessionError(form_.AccountSession());
        return false;
    }

    // A query without targets fails its pass, as filling no targets does.
    bool Fill(const QString& targets, const QString& sql) {
        if (sql.trimmed().isEmpty())
            return true;
        Show(sql);
        return FillTargets(form_, result_, targets, sql);
    }

    // A register given but holding 0 stops its stage.
    bool Stopped(const QString& reference) {
        return !reference.isEmpty() && ReadControlInt(form_, result_, reference) == 0;
    }

    void SetRegister(const QString& reference) {
        QWidget* window = nullptr;
        if (!reference.isEmpty() && ResolveControl(form_, result_, reference, window))
            SetWindowText(window, QStringLiteral("1"));
    }

    Pass RunPass(int row) {
        const QString jp = Attribute("jp_id");
        const QString jump = Attribute("jump_id");
        SetRegister(jp);
        SetRegister(jump);

        // Stage A repeats from the query its register names, until a query writes 0 there.
        for (int start = 1;;) {
            QString guard;
            QString queries[3];
            if (!Bind("can_run_sql", row, guard) || !Bind("query1", row, queries[0]) ||
                !Bind("query2", row, queries[1]) || !Bind("query3", row, queries[2]))
                return Pass::Failed;
            QString refusal;
            if (GuardRefuses(form_.AccountSession(), guard, refusal)) {
                result_.error = refusal;
                return Pass::Refused;
            }
            static const char* const kIds[3] = {"ids1", "ids2", "ids3"};
            for (int k = std::max(start, 1); k <= 3; ++k) {
                if (queries[k - 1].trimmed().isEmpty())
                    continue;
                if (Stopped(jp))
                    break;
                if (!Fill(Attribute(kIds[k - 1]), queries[k - 1]))
                    return Pass::Failed;
            }
            const int again = jp.isEmpty() ? 0 : ReadControlInt(form_, result_, jp);
            if (again == 0)
                break;
            start = again;
        }

        // Stage B likewise, from the part its register names.
        for (int part = 1;;) {
            QString run, query, query2, run2, query3;
            if (!Bind("run_sql", row, run) || !Bind("query_sql", row, query) ||
                !Bind("query_sql2", row, query2) || !Bind("run_sql2", row, run2) ||
                !Bind("query_sql3", row, query3))
                return Pass::Failed;
            auto stageB = [&]() -> bool {
                if (part <= 1) {
                    if (!Execute(run) || !Fill(Attribute("target_ids"), query))
                        return false;
                }
                if (part <= 2) {
                    if (!query2.trimmed().isEmpty()) {
                        if (Stopped(jump))
                            return true;
                        if (!Fill(Attribute("target_ids2"), query2))
                            return false;
                    }
                    if (!run2.trimmed().isEmpty()) {
                        if (Stopped(jump))
                            return true;
                        if (!Execute(run2))
                            return false;
                    }
                }
                if (part <= 3 && !query3.trimmed().isEmpty()) {
                    if (Stopped(jump))
                        return true;
                    if (!Fill(Attribute("target_ids3"), query3))
                        return false;
                }
                return true;
            };
            if (!stageB())
                return Pass::Failed;
            const int again = jump.isEmpty() ? 0 : ReadControlInt(form_, result_, jump);
            if (again == 0)
                break;
            part = again;
        }

        // Stage C: one more fill and statement, with the row's key only.
        const QString key = grid_ && row >= 0 ? grid_->RowKey(row) : QString();
        auto withKey = [&](QString sql) {
            sql.replace(kUid, SealInsertedText(key));
            return form_.ExpandStatementPlaceholders(sql);
        };
        if (!Fill(Attribute("ids10"), withKey(Attribute("query10"))) ||
            !Execute(withKey(Attribute("run_sql10"))))
            return Pass::Failed;
        return Pass::Ok;
    }

    CommandContext& form_;
    CommandResult& result_;
    XmlNode step_;
    GridView* grid_ = nullptr;
    QString allSelected_; // null unless one pass stands for all selected rows
    bool tip_ = false;
};

} // namespace

bool InsertHead(CommandContext& form, CommandResult& result, const XmlNode& command,
                int /*windowId*/) {
    const XmlNode para = command.GetChild("head_para_info");
    QWidget* keyWindow = nullptr;
    if (!ResolveControl(form, result, para.GetAttribute("uid_wnd_id"), keyWindow))
        return false;
    // A failed action writes "0" back, so the next save inserts again.
    if (keyWindow)
        form.RememberKeyField(keyWindow);

    HeadFields head;
    if (!ReadHeadFields(form, result, para, head))
        return false;
    QString refusal;
    if (GuardRefuses(form.AccountSession(),
                     BindHeadGuard(form, para.GetAttribute("can_insert_sql"), head, QString()),
                     refusal)) {
        result.error = refusal;
        return false;
    }
    QString key;
    const QString source =
        form.ExpandStatementPlaceholders(AddSource(para.GetAttribute("insert_sql")));
    if (form.AccountSession().AddRecordGetId(key, source, head.fields, head.values) != 1) {
        result.error = QStringLiteral("出错:") + form.AccountSession().Message();
        result.detail = form.AccountSession().Detail();
        return false;
    }
    if (!RunHeadStatement(form, result, para, key))
        return false;
    SetWindowText(keyWindow, key);
    result.error = QString();
    result.info = QStringLiteral("新增成功");
    return true;
}

bool UpdateHead(CommandContext& form, CommandResult& result, const XmlNode& command,
                int /*windowId*/) {
    const XmlNode para = command.GetChild("head_para_info");
    QWidget* keyWindow = nullptr;
    if (!ResolveControl(form, result, para.GetAttribute("uid_wnd_id"), keyWindow))
        return false;
    const QString key = ReadControlValue(keyWindow);

    HeadFields head;
    if (!ReadHeadFields(form, result, para, head))
        return false;
    QString refusal;
    if (GuardRefuses(form.AccountSession(),
                     BindHeadGuard(form, para.GetAttribute("can_update_sql"), head, key),
                     refusal)) {
        result.error = refusal;
        return false;
    }
    QString source = para.GetAttribute("update_sql");
    source.replace(kUid, SealInsertedText(key));
    if (!form.AccountSession().UpdateRecord(form.ExpandStatementPlaceholders(source), head.fields,
                                            head.values)) {
        result.error = form.AccountSession().Message();
        result.detail = form.AccountSession().Detail();
        return false;
    }
    if (!RunHeadStatement(form, result, para, key))
        return false;
    result.error = QString();
    result.info = QStringLiteral("更新成功");
    return true;
}

bool InsertDetail(CommandContext& form, CommandResult& result, const XmlNode& command,
                  int /*windowId*/) {
    form.MarkDetailSaved();
    const XmlNode parameters = command.GetChildren().GetItem(0);
    const QString tableId = parameters.GetAttribute("table_id");
    QWidget* window = nullptr;
    if (!ResolveControl(form, result, QString::number(ParseIntegerText(tableId)), window))
        return false;
    auto* grid = qobject_cast<GridView*>(window);
    if (!grid) {
        result.error = QStringLiteral("控件指向出错:\n") + tableId;
        return false;
    }
    if (!DeleteRemovedRows(form, result, parameters))
        return false;

    DropEntryRow(form, *grid);
    if (grid->RowCount() == 0) {
        result.error = QStringLiteral("表格无需要保存新数据");
        return true;
    }

    const XmlNode dialog = form.Definition().GetRoot().GetChild("body").GetChild("dialog");
    const QString table = QStringLiteral("table[@id=%1]/PARA/").arg(ParseIntegerText(tableId));
    DetailContext ctx{form,
                      result,
                      *grid,
                      parameters,
                      dialog.SelectSingleNode(table + QStringLiteral("table_info/para_info")),
                      dialog.SelectSingleNode(table + QStringLiteral("col_info")).GetChildren()};
    const bool rowNumbersOnly = parameters.GetAttributeInt("not_save_rownum", 0) != 0;

    for (int row = 0; row < grid->RowCount(); ++row) {
        const int state = grid->RowState(row);
        if (state < 1)
            continue;
        form.RememberRowState(grid, row, state);
        QString message;
        bool saved = true;
        if (state == 1)
            saved = SaveRow(ctx, row, true, message);
        else if (state > 2 || !rowNumbersOnly)
            saved = SaveRow(ctx, row, false, message);
        if (!saved) {
            // A lock, a clash with another user's save or a full disk is not the row's fault.
            const DbSession& session = form.AccountSession();
            result.error =
                session.LastFailureIsData()
                    ? QStringLiteral("第 %1 行数据异常,请检查数据:\n\n%2").arg(row + 1).arg(message)
                    : session.Message();
            return false;
        }
        grid->SetRowState(row, 0);
        result.info = QStringLiteral("操作成功");
    }
    return true;
}

bool ResetDetail(CommandContext& form, CommandResult& /*result*/, const XmlNode& command,
                 int /*windowId*/) {
    GridView* grid = GridById(form, ParseIntegerText(command.GetAttribute("target_ids")));
    const int mode = command.GetAttributeInt("values", 0);
    if (!grid || (mode != 1 && mode != 2))
        return true;
    // Mode 1 turns the loaded rows into new ones, so the next save writes a copy.
    if (mode == 1)
        form.SetDeletedKeys(QString());
    for (int row = 0; row < grid->RowCount(); ++row) {
        if (mode == 1)
            grid->SetRowKey(row, QStringLiteral("0"));
        grid->SetRowState(row, mode == 1 ? 1 : 2);
    }
    return true;
}

bool Check(CommandContext& form, CommandResult& result, const XmlNode& command, int /*windowId*/) {
    return RunCheck(form, result, command, true);
}

bool CheckThis(CommandContext& form, CommandResult& result, const XmlNode& command,
               int /*windowId*/) {
    return RunCheck(form, result, command, false);
}

bool RunSql(CommandContext& form, CommandResult& result, const XmlNode& command, int /*windowId*/) {
    const XmlNodes steps = command.GetChildren();
    for (int i = 0; i < steps.GetCount(); ++i) {
        if (!SqlStep(form, result, steps.GetItem(i)).Run())
            return false;
    }
    return true;
}

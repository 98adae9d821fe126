// The form's action runner: guarded, checked, transactional runs of the actions that the form
// definition attaches to control events, and the start-up action with the button rights.
#include "form/ActionRunner.h"
#include "form/ActionLog.h"
#include "form/CommandRegistry.h"
#include "form/ControlValues.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/AppMessage.h"
#include "platform/Clock.h"
#include "widgets/GridView.h"

#include <exception>
#include <utility>

namespace {

const QString kNoRight = QStringLiteral("亲，您无权限本次操作，请与管理员联系！");
const QString kActionFailed =
    QStringLiteral("操作失败，请先检查录入数据是否规范；或者联系管理员反映问题。");

// More commands than any real action runs: a jump that keeps coming back is stopped here.
constexpr int kMaxCommandsPerAction = 100000;

// The action's transaction: whatever way the run ends, it is rolled back unless it was
// committed.
class ActionTransaction {
public:
    explicit ActionTransaction(DbSession& session) : session_(session) {}
    ~ActionTransaction() { Rollback(); }
    ActionTransaction(const ActionTransaction&) = delete;
    ActionTransaction& operator=(const ActionTransaction&) = delete;

    bool Begin() { return session_.BeginTrans(); }
    bool Commit() { return session_.CommitTrans(); }
    void Rollback() {
        if (session_.InTransaction())
            session_.RollbackTrans();
    }

private:
    DbSession& session_;
};

QStringList ControlIds(const QString& list) {
    return list.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

} // namespace

bool ActionRunner::PrepareAction(int windowId, const QString& event) {
    if (!form_.ControlByWindowId(windowId))
        return false;
    const FormXml::XmlNode element = form_.FindEventElement(windowId, event);
    if (element.IsEmpty())
        return false;
    const QString connstr = element.GetAttribute("connstr");
    const int id = element.GetAttributeInt("id", 0);
    logLevel = element.GetAttributeInt("log", 0);
    if (!connstr.isEmpty()) {
        QString text = connstr;
        if (id > 0)
            text.replace(QStringLiteral("{{conn}}"),
                         ControlText(form_.ControlByWindowId(WindowIdOfDocumentId(id))));
        form_.Session.Close();
        form_.Session.SetConnectionString(text);
        defaultConnection = false;
    } else {
        defaultConnection = true;
    }
    return true;
}

ActionRunner::LoginCheck ActionRunner::CheckLoginTime() {
    SessionContext& app = SessionContext::Current();
    QString stamped;
    if (!form_.Session.QueryValue(QStringLiteral("SELECT loginTime_0 FROM c_user WHERE uid_0=?"),
                                  {app.userUid.toLongLong()}, stamped) &&
        !form_.Session.Message().isEmpty())
        return LoginCheck::Unreadable; // a busy or lost account set is not a second login
    return stamped == app.loginTime ? LoginCheck::Current : LoginCheck::Replaced;
}

void ActionRunner::PointSessionAtAccountSet() {
    if (defaultConnection)
        return;
    form_.Session.Close();
    form_.Session.SetConnectionString(form_.AccountSetConnection());
    defaultConnection = true;
}

void ActionRunner::RunEvent(int windowId, const QString& event) {
    if (form_.eventsSuppressed || busy)
        return;
    if (!PrepareAction(windowId, event))
        return;
    InfoText.clear();
    DetailText.clear();
    ErrorText.clear();
    SessionContext& app = SessionContext::Current();
    // A click that cannot reach the account set says so instead of passing in silence.
    ActionTransaction transaction(form_.Session);
    if ((!form_.Session.IsOpen() && !form_.Session.Open()) || !transaction.Begin()) {
        TakeSessionError(QString());
        if (ErrorText.isEmpty())
            ErrorText = kActionFailed;
        PointSessionAtAccountSet();
        ReportError();
        return;
    }
    busy = true;
    // A close asked for by an earlier, failed action does not carry over to this one.
    form_.ClearCloseRequest();
    bool ok = true;
    bool byException = false;
    try {
        if (logLevel < 2 && defaultConnection && windowId != WindowIdOfDocumentId(0)) {
            const LoginCheck login = CheckLoginTime();
            if (login != LoginCheck::Current) {
                TakeSessionError(login == LoginCheck::Replaced ? kNoRight : QString());
                ok = false;
            } else if (form_.Session.Exists(
                           QStringLiteral(
                               "SELECT TOP 1 1 FROM (c_menu_button \t\tLEFT JOIN "
                               "c_menu_button_group ON c_menu_button.uid_0 = "
                               "c_menu_button_group.menu_button_uid_0) \t\tLEFT JOIN c_user ON "
                               "c_menu_button_group.group_uid_0 = c_user.user_group_uid_0 "
                               "\t\tWHERE (c_menu_button.menu_uid_0=? AND "
                               "c_menu_button.button_id_0=? AND c_user.uid_0=? \t\tAND "
                               "(c_menu_button_group.sta_0<0 OR (c_menu_button.sta_0<0 AND "
                               "c_menu_button_group.sta_0=0)))"),
                           {form_.MenuUidValue(), DocumentIdOfWindowId(windowId),
                            app.userUid.toLongLong()})) {
                ErrorText = kNoRight;
                ok = false;
            } else if (!form_.Session.Message().isEmpty()) {
                // The rights could not be read: the button is not pressed on a guess.
                TakeSessionError(QString());
                ok = false;
            } else if (logLevel == 1) {
                QWidget* control = form_.ControlByWindowId(windowId);
                form_.Session.Execute(
                    QStringLiteral("INSERT INTO log_dh_open(menu_uid_0,open_user_uid_0,menu_name_0,"
                                   "open_user_id_0,control_id_0) values(?,?,?,?,?)"),
                    {form_.MenuUidValue(), app.userUid.toLongLong(),
                     form_.windowTitle() + QStringLiteral(" -> ") + ControlText(control),
                     app.loginId, DocumentIdOfWindowId(windowId)});
            }
            if (!ok && form_.Head().timerButtonId > 0)
                form_.StopButtonTimer();
        }
        if (ok)
            ok = RunAction(windowId, event);
    } catch (const std::exception& e) {
        DetailText = QString::fromLocal8Bit(e.what());
        ok = false;
        byException = true;
    } catch (...) {
        DetailText = QStringLiteral("未知错误\n");
        ok = false;
        byException = true;
    }

    if (ok && !transaction.Commit()) {
        // Nothing was stored: the action ends as a failed one, whatever its commands reported.
        ok = false;
        InfoText.clear();
        TakeSessionError(QStringLiteral("保存失败，数据没有写入账套：%1")
                             .arg(form_.Session.Message().trimmed()));
    }
    if (ok) {
        if (DetailSaved)
            form_.SetDeletedKeys(QString());
    } else {
        transaction.Rollback();
        for (const GridRowRollback& record : gridRollback)
            if (record.grid)
                record.grid->SetRowState(record.row, record.state);
        for (const QPointer<QWidget>& field : keyFields)
            if (field)
                SetControlText(field, QStringLiteral("0"));
        for (const QPointer<GridView>& grid : droppedEntryRows)
            if (grid)
                grid->AppendEntryRow();
    }
    gridRollback.clear();
    keyFields.clear();
    droppedEntryRows.clear();
    DetailSaved = false;
    busy = false;
    PointSessionAtAccountSet();

    if (byException) {
        WriteActionLog(app.exeFolder, ErrorText + QStringLiteral("\n\n") + DetailText);
        ShowZvMessage(kActionFailed, QStringLiteral("操作提示1"), false);
    } else if (ok) {
        if (!InfoText.isEmpty())
            ShowZvMessage(InfoText, QStringLiteral("操作提示"), false);
    } else if (!ErrorText.isEmpty()) {
        ReportError();
    } else if (!InfoText.isEmpty()) {
        ShowZvMessage(InfoText, QStringLiteral("操作提示"), false);
    }

    // Only a successful action closes the form: a failed one has been rolled back, and closing
    // would throw away what the user typed. The form stays open and shows the failure.
    if (form_.CloseRequested() && ok) {
        if (form_.Head().timerButtonId > 0 && form_.Head().timerIntervalMs >= 2000)
            form_.StopButtonTimer();
        if (form_.parentForm && form_.Head().parentBtn > 0)
            form_.parentForm->RunEvent(WindowIdOfDocumentId(form_.Head().parentBtn),
                                       QStringLiteral("CLICK"));
        if (form_.popupFlag)
            form_.accept();
        else
            form_.done(QDialog::Accepted);
    }
    for (const std::function<void()>& work : std::exchange(afterAction_, {}))
        work();
}

void ActionRunner::AfterAction(std::function<void()> work) {
    if (busy)
        afterAction_.append(std::move(work));
    else
        work();
}

void ActionRunner::RememberDroppedEntryRow(GridView* grid) {
    droppedEntryRows.append(grid);
}

bool ActionRunner::RunAction(int windowId, const QString& event) {
    const FormXml::XmlNode element =
        windowId == 0 ? form_.document.GetRoot().GetChild("head").GetChild("ACTION").GetChild(event)
                      : form_.FindEventElement(windowId, event);
    const FormXml::XmlNodes commands = element.GetChildren();
    const int count = commands.GetCount();
    bool ok = true;
    int i = 0;
    int executed = 0;
    while (i >= 0 && i < count) {
        if (++executed > kMaxCommandsPerAction) {
            ErrorText = QStringLiteral("动作执行的命令超过%1条，可能是jump形成了循环，已停止。")
                            .arg(kMaxCommandsPerAction);
            return false;
        }
        const FormXml::XmlNode command = commands.GetItem(i);
        if (command.GetName() == QLatin1String("jump")) {
            int offset = 0;
            const CommandHandler jump = FindCommand(QStringLiteral("jump"));
            if (!jump) {
                ++i;
                continue;
            }
            const CommandResult moved = jump(form_, command, windowId);
            ApplyResult(moved);
            ok = moved.ok;
            if (!ok)
                break;
            offset = moved.jump;
            i += offset;
            continue;
        }
        ok = RunCommand(command, windowId, event);
        ++i;
        if (!ok)
            break;
    }
    return ok;
}

bool ActionRunner::RunCommand(const FormXml::XmlNode& command, int windowId, const QString& event) {
    // Earlier commands' effects become visible before the next one runs.
    if (form_.isVisible())
        form_.repaint();
    EventName = event;
    InfoText.clear();
    const CommandHandler handler = FindCommand(command.GetName());
    if (!handler)
        return true; // unknown commands are ignored
    const CommandResult result = handler(form_, command, windowId);
    ApplyResult(result);
    return result.ok;
}

void ActionRunner::ApplyResult(const CommandResult& result) {
    if (result.error)
        ErrorText = *result.error;
    if (result.detail)
        DetailText = *result.detail;
    if (result.info)
        InfoText = *result.info;
}

void ActionRunner::RunStartup() {
    SessionContext& app = SessionContext::Current();
    const std::int64_t minutes = platform::TickCountMs() / 60000 - app.startMinute;
    if (minutes >= 1080) {
        ShowZvMessage(QStringLiteral("已登录【%1小时】超时，请重新登录。").arg(minutes / 60),
                      QStringLiteral("操作提示"), false);
        return;
    }
    startupFlag = true;
    RunRightsAndInit();
    startupFlag = false;
}

void ActionRunner::RunRightsAndInit() {
    for (const QString& id : ControlIds(form_.disableList))
        if (QWidget* control = form_.ControlByWindowId(WindowIdOfDocumentId(id.toInt()));
            control && control != &form_)
            control->setEnabled(false);
    for (const QString& id : ControlIds(form_.hideList))
        if (QWidget* control = form_.ControlByWindowId(WindowIdOfDocumentId(id.toInt()));
            control && control != &form_)
            control->hide();

    SessionContext& app = SessionContext::Current();
    if (form_.Session.IsOpen() || form_.Session.Open()) {
        if (form_.menuName.isEmpty())
            form_.menuName = form_.windowTitle() + QStringLiteral("（PopUp）");
        if (CheckLoginTime() != LoginCheck::Current) {
            ErrorText = kNoRight;
            return;
        }
        QStringList states;
        form_.Session.QueryColumns(
            QStringLiteral("SELECT B.button_id_0,A.sta_0 FROM c_menu_button_group A LEFT JOIN "
                           "c_menu_button B ON A.menu_button_uid_0=B.uid_0 WHERE B.menu_uid_0=? "
                           "AND A.group_uid_0=(SELECT user_group_uid_0 FROM c_user WHERE uid_0=?)"),
            {form_.MenuUidValue(), app.userUid.toLongLong()},
            {QStringLiteral("button_id_0"), QStringLiteral("sta_0")}, states);
        if (!states.isEmpty()) {
            form_.deniedList = QStringLiteral(";");
            for (int i = 0; i + 1 < states.size(); i += 2) {
                const int buttonId = states[i].toInt();
                const int state = states[i + 1].toInt();
                QWidget* button = form_.ControlByWindowId(WindowIdOfDocumentId(buttonId));
                if (button == &form_)
                    button = nullptr;
                if (state == -1 && button)
                    button->setEnabled(false);
                else if (state == 1 && button)
                    button->setEnabled(true);
                else if (state == -2 && button) {
                    button->setEnabled(false);
                    button->hide();
                }
                if (state < 0)
                    form_.deniedList += QString::number(buttonId) + QLatin1Char(';');
            }
        }
    }

    const FormXml::XmlNode init =
        form_.document.GetRoot().GetChild("head").GetChild("ACTION").GetChild("INIT");
    if (init.IsEmpty() || init.GetChildren().GetCount() < 1)
        return;
    const QString connstr = init.GetAttribute("connstr");
    if (!connstr.isEmpty()) {
        form_.Session.Close();
        form_.Session.SetConnectionString(connstr);
        defaultConnection = false;
    }
    ErrorText.clear();
    DetailText.clear();
    bool ok = true;
    if (form_.Session.IsOpen() || form_.Session.Open())
        ok = RunAction(0, QStringLiteral("INIT"));
    PointSessionAtAccountSet();
    if (!ok && !ErrorText.isEmpty()) {
        WriteActionLog(app.exeFolder, ErrorText);
        ShowAppMessage(kActionFailed, QStringLiteral("操作提示0"));
    }
}

void ActionRunner::TakeSessionError(const QString& text) {
    ErrorText = text.isNull() ? form_.Session.Message().trimmed() : text;
    DetailText = form_.Session.Detail();
}

void ActionRunner::ReportError() {
    WriteActionLog(SessionContext::Current().exeFolder,
                   ErrorText + QStringLiteral("\n\n") + DetailText);
    ShowZvMessage(ErrorText, QStringLiteral("操作提示"), false);
}

void ActionRunner::RememberRowState(GridView* grid, int row, int state) {
    gridRollback.append(GridRowRollback{grid, row, state});
}

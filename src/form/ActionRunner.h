#pragma once
// One action at a time of one form window: the guard against re-entry, the login-time and
// button-right checks, the opening log, the transaction, the commands, the rollback of grid row
// states and new keys, and the report with log_vemo.log. The start-up action and the form's
// button rights run here too. The form window owns one runner and stays a window.
#include "form/XmlDocument.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class GridView;
class FormWindow;
struct CommandResult;

// A grid row whose state an action changed, restored when the action fails.
struct GridRowRollback {
    QPointer<GridView> grid;
    int row = 0;
    int state = 0;
};

class ActionRunner {
public:
    explicit ActionRunner(FormWindow& form) : form_(form) {}
    ActionRunner(const ActionRunner&) = delete;
    ActionRunner& operator=(const ActionRunner&) = delete;

    // The guarded, checked, transactional and reported run of the action of (control, event).
    void RunEvent(int windowId, const QString& event);
    // The commands of the action alone: no checks, no transaction, no report.
    bool RunAction(int windowId, const QString& event);
    bool PrepareAction(int windowId, const QString& event);
    void RunStartup();
    void RunRightsAndInit();
    bool RunCommand(const FormXml::XmlNode& command, int windowId, const QString& event);

    // --- The running action's bookkeeping, filled by its commands ---
    void RememberRowState(GridView* grid, int row, int state);
    void RememberKeyField(QWidget* field) { keyFields.append(field); }
    void MarkDetailSaved() { DetailSaved = true; }
    void ForgetRowStates() { gridRollback.clear(); }
    // The save removed a numbered grid's empty entry row; a failed action gives it back.
    void RememberDroppedEntryRow(GridView* grid);
    // Runs `work` once the running action has ended, its transaction committed or rolled back
    // (at once when no action runs): another form's actions must not start inside it.
    void AfterAction(std::function<void()> work);

    // --- The action's report and state, as its commands left them ---
    QString EventName;
    QString ErrorText;
    QString DetailText;
    QString InfoText;
    QList<GridRowRollback> gridRollback;
    QList<QPointer<QWidget>> keyFields;
    QList<QPointer<GridView>> droppedEntryRows;
    bool DetailSaved = false;
    bool busy = false;
    bool startupFlag = false;
    int logLevel = 0;
    bool defaultConnection = true;

private:
    enum class LoginCheck { Current, Replaced, Unreadable };
    LoginCheck CheckLoginTime();
    void PointSessionAtAccountSet();
    // A command's messages become the action's.
    void ApplyResult(const CommandResult& result);
    // The session's failure becomes the action's: `text` (the session's message when null) and
    // its detail.
    void TakeSessionError(const QString& text);
    // Writes the error and its detail to log_vemo.log and shows the error.
    void ReportError();

    FormWindow& form_;
    QList<std::function<void()>> afterAction_;
};

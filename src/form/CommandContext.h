#pragma once
// What a command handler may use of the form it runs in, and what it gives back. Handlers see
// the form only through this interface and report through their result; the action runner
// applies the result (messages, jumps) and owns the transaction, the checks and the rollback.
#include "form/FormState.h"
#include "form/XmlDocument.h"

#include <QString>

#include <functional>
#include <optional>

class DbSession;
class CommandContext;
class HttpSession;
class GridView;
class QWidget;

// The outcome of one command. A text left unset keeps what earlier commands of the action
// reported; a set one replaces it (an empty text clears it).
struct CommandResult {
    bool ok = true;
    int jump = 0; // `jump` only: how far the runner moves from the jump element
    std::optional<QString> info;
    std::optional<QString> error;
    std::optional<QString> detail;

    // A failure that says why.
    static CommandResult Failed(const QString& error) {
        CommandResult result;
        result.ok = false;
        result.error = error;
        return result;
    }
};

// What `show_dialog` hands to the pop-up form it opens.
struct DialogFormRequest {
    QString menuUid;         // a stored function's form; empty for a nested document
    FormXml::XmlNode nested; // a `popup/html` document of the opener's definition
    QString disableList;     // control ids disabled after the pop-up's start-up action
    QString hideList;        // control ids hidden after it
    QString formType;
    QString openerValue;
    // Run on the pop-up once it is open (or brought back).
    std::function<void(CommandContext& popup)> whenOpen;
};

class CommandContext {
public:
    virtual ~CommandContext() = default;

    // --- Controls ---
    // The form window itself (reference "0").
    virtual QWidget* FormWidget() = 0;
    virtual QWidget* ControlByWindowId(int windowId) const = 0;
    // Control `documentId` of the form, or of the first of its embedded page forms that has it;
    // the form itself for 0.
    virtual QWidget* ControlOfFormOrPages(int documentId) = 0;
    // The window a reference text names ("N", "P:N", "A:B:C"). False only when a reference that
    // should name a control names none; true with no window for a reference that names nothing
    // on purpose (no parent form, an empty page).
    virtual bool FindControl(const QString& reference, QWidget*& window) = 0;

    // --- Data ---
    virtual DbSession& AccountSession() = 0;
    virtual DbSession& LocalTextSession() = 0;
    // The form-level placeholders of a statement: values that come from a user or the database
    // (names, keys, the opener's value) go in sealed, so that they stay values when it runs.
    virtual QString ExpandStatementPlaceholders(const QString& text) const = 0;
    virtual const FormXml::XmlDocument& Definition() const = 0;

    // --- State kept between actions ---
    virtual PageState Page() const = 0;
    virtual void SetPage(const PageState& page) = 0;
    // Keys of saved detail rows deleted since the last save, "," separated.
    virtual QString DeletedKeys() const = 0;
    virtual void SetDeletedKeys(const QString& keys) = 0;
    // Keys of the rows the last paged search loaded.
    virtual QString LoadedKeysText() const = 0;
    virtual void SetLoadedKeys(const QString& keys) = 0;

    // The session's global A0..A9 `slot` (0..9).
    virtual void SetGlobal(int slot, const QString& value) = 0;

    // --- The running action's rollback bookkeeping ---
    virtual void RememberRowState(GridView* grid, int row, int state) = 0;
    virtual void RememberKeyField(QWidget* field) = 0;
    virtual void MarkDetailSaved() = 0;
    virtual void RememberDroppedEntryRow(GridView* grid) = 0;
    // A new search replaced the grid's rows: the remembered states no longer apply.
    virtual void ForgetRowStates() = 0;

    // A pop-up's answer to the box that opened it, and the form's end once the action is over.
    // Only a form opened as an edit-with-button's pop-up has somewhere to return a value.
    virtual bool HasReturnSlot() const = 0;
    // The opener's column offset, added to the column a pop-up returns.
    virtual int ColumnOffset() const = 0;
    virtual void SetReturnValue(const QString& value) = 0;
    virtual void RequestCloseAfterAction() = 0;
    // Ends a pop-up at once, accepted, while its action goes on to its end.
    virtual void ClosePopupNow() = 0;

    // The event whose action is running ("CLICK", "EN_CHANGE", ...).
    virtual QString EventName() const = 0;

    // Runs another action of the form inside the current one (no checks, no transaction).
    virtual bool RunAction(int windowId, const QString& event) = 0;

    // --- Waiting on the network ---
    // The form's own HTTP session: connections it keeps open are closed with the form.
    virtual HttpSession& WebSession() = 0;
    // Runs `work` on a worker thread and returns when it is done. Meanwhile the user-interface
    // thread goes on painting and serving other forms; this form's busy flag keeps its other
    // actions from starting, and it cannot be closed. `work` must not touch widgets.
    virtual void WaitOffInterface(const std::function<void()>& work) = 0;
    // Whether the user's rights deny the button `documentId` of this form: such a button stays
    // disabled whatever a command asks.
    virtual bool ButtonDenied(int documentId) const = 0;
    // Opens a modeless pop-up form owned by this form, or brings back the one already open for
    // the same function (or nested document) and this opener, handing it `openerValue`. The
    // pop-up opens once the running action has ended, so that its own actions never run inside
    // this form's transaction. False when the stored function has no definition.
    virtual bool OpenDialogForm(const DialogFormRequest& request) = 0;
    // Changes how the form's background is drawn ("1": the animated scene) and repaints it.
    virtual void SetDrawMethod(const QString& method) = 0;
};

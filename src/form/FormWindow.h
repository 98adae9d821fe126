#pragma once
// The form window: one modeless dialog per open business function, built at run time from its
// form definition. It owns the parsed document, the controls, the layout and the command state
// that the action runner and the commands work on.
#include "data/DbSession.h"
#include "data/SessionContext.h"
#include "form/ActionRunner.h"
#include "form/CommandContext.h"
#include "form/ControlHost.h"
#include "form/FormRegistry.h"
#include "form/FormState.h"
#include "form/Placeholders.h"
#include "form/XmlDocument.h"
#include "net/HttpClient.h"
#include "platform/ValueGrammars.h"

#include <QDialog>
#include <QImage>
#include <QMargins>
#include <QPointer>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class GridView;
class FormLayout;
class ScrollLayout;
class FormControls;

class FormWindow : public QDialog,
                   public ControlHost,
                   public PlaceholderForm,
                   public CommandContext {
    Q_OBJECT
public:
    explicit FormWindow(QWidget* parent = nullptr);
    ~FormWindow() override;

    // Opens a top-level form from a definition (re-showing a hidden one of the same menu entry).
    // Returns the window, or none when the definition is too short to be a form.
    static FormWindow* OpenForm(const QString& definition, const QString& disableList,
                                const QString& hideList, const QString& menuUid,
                                const QString& menuName, const QString& formType);

    // Parses the definition into the form's own document; a parse failure leaves it empty.
    void LoadDefinition(const QString& definition);
    // Creation step and initialisation: controls, local text session, head, layout, frame,
    // start-up action, timer and background worker. Shows the window unless it is embedded or
    // a pop-up (those are shown by their owner).
    void Build();
    void ShowAgain();
    // Hides the form the way the close box does when forms are re-used.
    void HideForReuse();
    // Empties the form's controls by kind (a hidden form's reset).
    void ResetContents();

    // --- Events and actions (run by the form's ActionRunner) ---
    void RunEvent(int windowId, const QString& event) { runner_.RunEvent(windowId, event); }
    bool RunAction(int windowId, const QString& event) override {
        return runner_.RunAction(windowId, event);
    }
    HttpSession& WebSession() override;
    void WaitOffInterface(const std::function<void()>& work) override;
    void SetDrawMethod(const QString& method) override;
    bool OpenDialogForm(const DialogFormRequest& request) override;
    bool ButtonDenied(int documentId) const override {
        return deniedList.contains(QLatin1Char(';') + QString::number(documentId) +
                                   QLatin1Char(';'));
    }
    bool PrepareAction(int windowId, const QString& event) {
        return runner_.PrepareAction(windowId, event);
    }
    void RunStartup() { runner_.RunStartup(); }
    void RunRightsAndInit() { runner_.RunRightsAndInit(); }
    bool RunCommand(const FormXml::XmlNode& command, int windowId, const QString& event) {
        return runner_.RunCommand(command, windowId, event);
    }
    ActionRunner& Runner() { return runner_; }

    // For texts that are shown; statements go through ExpandStatementPlaceholders.
    QString ExpandPlaceholders(const QString& text) const;
    QString ExpandStatementPlaceholders(const QString& text) const override;
    QWidget* ControlByWindowId(int windowId) const override;
    FormControls& Controls() { return *controls_; }

    // --- ControlHost ---
    QWidget* FormWidget() override { return this; }
    QString Expand(const QString& text) const override { return ExpandPlaceholders(text); }
    QString FormId() const override { return formId; }
    QString MenuUid() const override { return menuUid; }
    FormXml::XmlNode FindEventElement(int windowId, const QString& event) const override;
    void RaiseEvent(int windowId, const QString& event) override { RunEvent(windowId, event); }
    void RunActionDirect(int windowId, const QString& event) override {
        RunAction(windowId, event);
    }
    QWidget* CreateEmbeddedForm(const FormXml::XmlNode& html, QWidget* page) override;
    bool RunPopupForm(const PopupFormRequest& request, QString& returned) override;
    bool RunEndEdit(GridView& grid, int row, int column) override;

    // --- CommandContext ---
    QWidget* ControlOfFormOrPages(int documentId) override;
    bool FindControl(const QString& reference, QWidget*& window) override;
    DbSession& AccountSession() override { return Session; }
    DbSession& LocalTextSession() override { return TextSession; }
    const FormXml::XmlDocument& Definition() const override { return document; }
    PageState Page() const override { return state_.page; }
    void SetPage(const PageState& page) override { state_.page = page; }
    QString DeletedKeys() const override { return state_.deletedKeys; }
    void SetDeletedKeys(const QString& keys) override { state_.deletedKeys = keys; }
    QString LoadedKeysText() const override { return state_.loadedKeys; }
    void SetLoadedKeys(const QString& keys) override { state_.loadedKeys = keys; }
    void SetGlobal(int slot, const QString& value) override {
        SessionContext::Current().SetGlobal(slot, value);
    }
    void RememberDroppedEntryRow(GridView* grid) override { runner_.RememberDroppedEntryRow(grid); }
    void RememberRowState(GridView* grid, int row, int state) override {
        runner_.RememberRowState(grid, row, state);
    }
    void RememberKeyField(QWidget* field) override { runner_.RememberKeyField(field); }
    void MarkDetailSaved() override { runner_.MarkDetailSaved(); }
    void ForgetRowStates() override { runner_.ForgetRowStates(); }
    bool HasReturnSlot() const override { return returnSlot_ != nullptr; }
    int ColumnOffset() const override { return columnOffset; }
    void SetReturnValue(const QString& value) override {
        if (returnSlot_)
            *returnSlot_ = value;
    }
    void RequestCloseAfterAction() override { state_.closeAfterAction = true; }
    void ClosePopupNow() override {
        if (popupFlag)
            accept();
    }
    QString EventName() const override { return runner_.EventName; }

    // --- PlaceholderForm ---
    std::optional<QString> PickListOwnerText() const override;
    QString FormType() const override { return formType; }
    QString OpenerValue() const override { return openerValue; }
    QString LoadedKeys() const override { return state_.loadedKeys; }
    bool InStartupAction() const override { return runner_.startupFlag; }

    // --- Members read and written by the shell and the commands ---
    FormXml::XmlDocument document;
    QString formId = QStringLiteral("0");
    QString menuUid;
    QString menuName;
    QString formType;
    QString openerValue;
    QString disableList;
    QString hideList;
    QString deniedList;
    QPointer<FormWindow> parentForm;
    bool popupFlag = false;
    QPointer<QWidget> openerEditBox;
    int columnOffset = 0;
    bool embedded = false;

    // --- For the action runner ---
    // The head's values, read once at initialisation.
    const FormHeadValues& Head() const { return state_.head; }
    bool CloseRequested() const { return state_.closeAfterAction; }
    void ClearCloseRequest() { state_.closeAfterAction = false; }
    // Stops the timer that clicks the head's timer button.
    void StopButtonTimer();
    // The account set the form was opened on, to come back to after a `connstr`.
    const QString& AccountSetConnection() const { return accountSetConnection_; }
    // The menu uid as a bound value: a pop-up form without one reads as menu 0.
    qlonglong MenuUidValue() const { return menuUid.toLongLong(); }

    DbSession Session;
    DbSession TextSession;

    bool eventsSuppressed = false;

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ApplyHead();
    // Writes the opener's value into the head's `in_id` control, when the head asks for it.
    void ShowOpenerValue();
    void CenterOn(const RectValue& rect);
    void FitFrameToPlacement();
    void ApplyFrameStyle();
    bool HandleKey(QKeyEvent* event);
    void CloseForReal();
    // Lines the user added, changed or deleted in the form's grids that no action has saved; an
    // open cell edit is ended first, so its text counts.
    bool HoldsUnsavedLineEdits();
    // Asks whether the user's closing may throw such lines, the form's or its pages', away; true
    // to go on closing.
    bool MayDiscardLineEdits();
    void ShowDialogForm(const DialogFormRequest& request, const QString& definition);
    // A stored function's definition, from the cache or the account set; false when none.
    static bool StoredDefinition(const QString& uid, QString& definition);
    void StartBackgroundWorker();
    void StopBackgroundWorker();
    void ToggleFullScreen();

    FormState state_;
    QString* returnSlot_ = nullptr; // where a pop-up's answer goes
    std::unique_ptr<FormControls> controls_;
    ActionRunner runner_{*this};
    std::unique_ptr<HttpSession> webSession_;
    int waitingOffInterface_ = 0; // the form cannot close while work it waits for runs
    FormLayout* layout_ = nullptr;
    ScrollLayout* scrollLayout_ = nullptr;
    int timerId_ = 0;
    bool firstPaint_ = false;
    std::atomic<bool> closing_{false};
    QString accountSetConnection_;

    // Background animation: the worker renders frames; the window shows the latest one.
    std::thread worker_;
    std::mutex sceneLock_;
    QImage frame_;

    // The key press the form's handling last saw on its way to a control (see eventFilter).
    struct SeenKey {
        const QKeyEvent* event = nullptr;
        int key = 0;
        quint64 timestamp = 0;
    };
    SeenKey keySeen_;

    // The placement from the head is the outer rectangle, frame included. The frame's size is
    // known only once the window system has framed the window, so the inside is fitted again
    // whenever the frame margins it was fitted with change.
    std::optional<QRect> placement_;
    QMargins placedWithMargins_;
    // The window's frame, or the last frame seen on any form while this one has none yet.
    QMargins FrameMargins() const;

    // Full-screen toggle (F11).
    bool fullScreen_ = false;
    QRect normalGeometry_;
};

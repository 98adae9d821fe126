#pragma once
// The controls of one form window: the factory that has every control element of the body's
// dialog built into a child window (by the builders of ControlBuilders.h), the registry through
// which the form, its events and its commands find them again (by window id, WindowIdOfDocumentId),
// the form's default font, and the wiring of user events to the form's actions.
#include "form/XmlDocument.h"
#include "platform/ValueGrammars.h"

#include <QFont>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include <optional>

class GridView;
class ControlHost;
struct ControlBuildContext;
enum class ControlEvents;

class FormControls : public QObject {
    Q_OBJECT
public:
    // Use WindowIdOfDocumentId and DocumentIdOfWindowId rather than this.
    static constexpr int kWindowIdBase = 1024;
    // Only windows with ids in this range raise events.
    static constexpr int kLastEventWindowId = 32767;

    FormControls();
    ~FormControls() override;

    // Creates every control of the document's body/dialog, parented to host.FormWidget(). A root
    // without an id (or with id "-1") creates nothing.
    void CreateControls(ControlHost& host, const FormXml::XmlDocument& document);

    QWidget* ControlByWindowId(int windowId) const;
    QWidget* ControlByDocumentId(int documentId) const;
    // The window id given at creation; -1 for a window that is not a control of a form.
    static int WindowIdOf(const QWidget* control);

    // Every control in creation order, and every grid.
    QList<QWidget*> Controls() const;
    QList<GridView*> Grids() const;

    // A `hidden` of 2, or a grid's cell editor: the control stays out of the resizable layout.
    bool KeepsOutOfLayout(int documentId) const;
    void KeepOutOfLayout(int documentId) { outOfLayout_.insert(documentId); }

    QFont DefaultFont() const { return defaultFont_; }
    QString DefaultFace() const { return defaultFace_; }
    // The control font grammar; nothing for an empty text (the default font applies). The font
    // is kept with the form's fonts.
    std::optional<QFont> CreateFontFromText(const QString& text);
    static RectValue ParseRect(const QString& text) { return ParseRectText(text); }

    // Hides the open pick lists (the form window moved).
    void HidePickLists();
    // Whether the control answers the key itself, ahead of the form's key rules: Enter starts
    // a new line in a multi-line box with the want-return bit, and Enter and Escape belong to
    // an edit-with-button's pick list while it shows.
    static bool HandlesKeyItself(const QWidget* control, int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControl(const FormXml::XmlNode& element, const ControlBuildContext& context);

    void Register(QWidget* control, int documentId);
    void Raise(QWidget* control, const char* event);
    void RaiseDirect(QWidget* control, const char* event);
    void Wire(QWidget* control, ControlEvents events);
    void WireEditBox(QWidget* control);
    void WireDropList(QWidget* control);
    void WireButton(QWidget* control);
    void WireGrid(GridView* grid);
    void WireTree(QWidget* control);
    void WireTreeList(QWidget* control);
    void OnTextChanged(QWidget* control, const QString& text);
    void OnDropListSelected(QWidget* control, int index);
    void OnDropListFocusLost(QWidget* control);
    void OnFocusLost(QWidget* control);

    ControlHost* host_ = nullptr;
    QFont defaultFont_;
    QString defaultFace_;
    QList<QFont> fonts_;
    QList<QPointer<QWidget>> controls_;
    QList<QPointer<GridView>> grids_;
    QHash<int, QPointer<QWidget>> byWindowId_;
    QSet<int> outOfLayout_;
    QList<QPointer<QWidget>> raiseLater_;
};

// Window ids are document ids moved up past the ids the window system keeps for itself.
constexpr int WindowIdOfDocumentId(int documentId) {
    return documentId + FormControls::kWindowIdBase;
}
constexpr int DocumentIdOfWindowId(int windowId) {
    return windowId - FormControls::kWindowIdBase;
}

// The event tag of a control's kind, used to find its actions: "editbutton", "textbox",
// "droplist", "datectrl", "button", "table", "tree"; for the Enter key also "treelist" for a
// picture. Empty for kinds without actions of their own.
QString EventTagOf(const QWidget* control, bool forEnterKey = false);

// The text a control shows, as commands and pick-list parameters read it.
QString ControlText(const QWidget* control);

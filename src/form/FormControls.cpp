#include "form/FormControls.h"

#include "data/SessionContext.h"
#include "form/CellEditSteps.h"
#include "form/ControlBuilders.h"
#include "form/ControlHost.h"
#include "widgets/DropList.h"
#include "widgets/EditWithButton.h"
#include "widgets/GridView.h"
#include "widgets/LinkLabel.h"
#include "widgets/PickListPopup.h"
#include "widgets/TextAsTyped.h"
#include "widgets/TreeListView.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTreeWidget>

using FormXml::XmlNode;

namespace {

const char* const kWindowIdProperty = "windowId";
// Set on a tree while the release that follows its double click is to be ignored.
const char* const kSkipReleaseProperty = "zvSkipRelease";

// Families tried after a control's own face, so that Chinese renders whatever face a form names.
const QStringList& CjkFallbacks() {
    static const QStringList families{QStringLiteral("WenQuanYi Zen Hei"),
                                      QStringLiteral("Noto Sans CJK SC"),
                                      QStringLiteral("Noto Sans CJK")};
    return families;
}

QFont WithCjkFallbacks(QFont font) {
    QStringList families{font.family()};
    for (const QString& family : CjkFallbacks())
        if (!families.contains(family))
            families.append(family);
    font.setFamilies(families);
    return font;
}

// A Windows edit box shows its selection only while it has the focus. A value that a command
// writes into a box is selected as a whole; without this every filled field of a form would
// show as highlighted.
void ShowSelection(QWidget* box, bool shown) {
    QPalette palette = box->palette();
    const QPalette standard = QApplication::palette(box);
    palette.setBrush(QPalette::Highlight,
                     shown ? standard.brush(QPalette::Highlight) : palette.brush(QPalette::Base));
    palette.setBrush(QPalette::HighlightedText, shown ? standard.brush(QPalette::HighlightedText)
                                                      : palette.brush(QPalette::Text));
    box->setPalette(palette);
}

QString FirstFaceOr(const QFont& font, const QString& fallback) {
    const QString family = font.family();
    return family.isEmpty() ? fallback : family;
}

} // namespace

FormControls::FormControls() {
    QFont system = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (system.family().isEmpty()) {
        system = QFont(QStringLiteral("宋体"));
        system.setPointSize(9);
    }
    defaultFace_ = FirstFaceOr(system, QStringLiteral("宋体"));
    defaultFont_ = WithCjkFallbacks(system);
}

FormControls::~FormControls() = default;

std::optional<QFont> FormControls::CreateFontFromText(const QString& text) {
    const FontValue value = ParseFontText(text);
    if (value.useDialogDefault)
        return std::nullopt;
    QFont font = WithCjkFallbacks(MakeControlFont(value, defaultFont_));
    fonts_.append(font);
    return font;
}

void FormControls::CreateControls(ControlHost& host, const FormXml::XmlDocument& document) {
    host_ = &host;
    const XmlNode root = document.GetRoot();
    if (root.IsEmpty() || root.GetAttribute("id", QStringLiteral("-1")) == QLatin1String("-1"))
        return;
    host.FormWidget()->setFont(defaultFont_);
    const XmlNode body = root.GetChild("body", true);
    const SessionContext& app = SessionContext::Current();
    const ControlBuildContext context{host,
                                      body,
                                      app.exeFolder,
                                      app.CfgPath(),
                                      app.userUid,
                                      [this](int documentId) { return ControlText(ControlByDocumentId(documentId)); }};
    const XmlNode dialog = body.GetChild("dialog", true);
    const FormXml::XmlNodes children = dialog.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i)
        CreateControl(children.GetItem(i), context);
    InstallCellEditors(*this, host);
    // Siblings created later stack above earlier ones here, so the boxes asked to be on top are
    // raised once all exist.
    for (const QPointer<QWidget>& control : std::as_const(raiseLater_))
        if (control)
            control->raise();
    raiseLater_.clear();
}

void FormControls::CreateControl(const XmlNode& element, const ControlBuildContext& context) {
    const ControlBuilder* builder = FindControlBuilder(element.GetName());
    if (!builder)
        return; // layout elements and unknown tags
    QWidget* control = builder->build(element, context);
    Wire(control, builder->events);

    const int id = element.GetAttributeInt("id", 0);
    control->setGeometry(ParseRectText(element.GetAttribute("pos")).ToQRect());
    // Controls are created on the form, so those without a font of their own start with the
    // form's: setting it on each one again made every control re-lay out its text.
    if (const auto font = CreateFontFromText(element.GetAttribute("font")))
        control->setFont(*font);
    Register(control, id);

    const int hidden = element.GetAttributeInt("hidden", 0);
    if (hidden == 2)
        outOfLayout_.insert(id);
    control->setVisible(!(builder->readsHidden && hidden > 0));
    if (auto* grid = qobject_cast<GridView*>(control); grid && grid->StartsHidden())
        grid->setVisible(false);
    if (hidden == 2 && builder->raisedWhenKeptOut)
        raiseLater_.append(control);
    if (auto* groupBox = qobject_cast<QGroupBox*>(control))
        groupBox->lower(); // a frame drawn behind the controls it surrounds
}

void FormControls::Register(QWidget* control, int documentId) {
    const int windowId = WindowIdOfDocumentId(documentId);
    control->setProperty(kWindowIdProperty, windowId);
    controls_.append(control);
    // As a lookup of a child window by id finds the first one, a repeated id keeps the first.
    if (!byWindowId_.contains(windowId) || !byWindowId_.value(windowId))
        byWindowId_.insert(windowId, control);
}

QWidget* FormControls::ControlByWindowId(int windowId) const {
    return byWindowId_.value(windowId);
}

QWidget* FormControls::ControlByDocumentId(int documentId) const {
    return ControlByWindowId(WindowIdOfDocumentId(documentId));
}

int FormControls::WindowIdOf(const QWidget* control) {
    if (!control)
        return -1;
    const QVariant id = control->property(kWindowIdProperty);
    return id.isValid() ? id.toInt() : -1;
}

QList<QWidget*> FormControls::Controls() const {
    QList<QWidget*> list;
    for (const QPointer<QWidget>& control : controls_)
        if (control)
            list.append(control);
    return list;
}

QList<GridView*> FormControls::Grids() const {
    QList<GridView*> list;
    for (const QPointer<GridView>& grid : grids_)
        if (grid)
            list.append(grid);
    return list;
}

bool FormControls::KeepsOutOfLayout(int documentId) const {
    return outOfLayout_.contains(documentId);
}

void FormControls::HidePickLists() {
    for (QWidget* control : Controls())
        if (auto* box = qobject_cast<EditWithButton*>(control))
            box->HidePickList();
}

bool FormControls::HandlesKeyItself(const QWidget* control, int key) {
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!enter && key != Qt::Key_Escape)
        return false;
    if (enter && qobject_cast<const QPlainTextEdit*>(control) &&
        control->property(kWantsReturnProperty).toBool())
        return true;
    const auto* box = qobject_cast<const EditWithButton*>(control);
    return box && box->PickList() && box->PickList()->isVisible();
}

// ---- Events ----

void FormControls::Raise(QWidget* control, const char* event) {
    const int windowId = WindowIdOf(control);
    if (host_ && DocumentIdOfWindowId(windowId) >= 0 && windowId <= kLastEventWindowId)
        host_->RaiseEvent(windowId, QString::fromLatin1(event));
}

void FormControls::RaiseDirect(QWidget* control, const char* event) {
    const int windowId = WindowIdOf(control);
    if (host_ && DocumentIdOfWindowId(windowId) >= 0 && windowId <= kLastEventWindowId)
        host_->RunActionDirect(windowId, QString::fromLatin1(event));
}

void FormControls::Wire(QWidget* control, ControlEvents events) {
    switch (events) {
    case ControlEvents::None:
        break;
    case ControlEvents::EditBox:
        WireEditBox(control);
        break;
    case ControlEvents::EditButton: {
        auto* box = static_cast<EditWithButton*>(control);
        WireEditBox(box);
        connect(box, &EditWithButton::popupAccepted, this,
                [this, box] { Raise(box, "EN_KILLFOCUS"); });
        break;
    }
    case ControlEvents::DropList:
        WireDropList(control);
        break;
    case ControlEvents::Button:
        WireButton(control);
        break;
    case ControlEvents::Grid:
        WireGrid(static_cast<GridView*>(control));
        break;
    case ControlEvents::Tree:
        WireTree(control);
        break;
    case ControlEvents::TreeList:
        WireTreeList(control);
        break;
    }
}

void FormControls::WireEditBox(QWidget* control) {
    ShowSelection(control, control->hasFocus());
    if (auto* line = qobject_cast<QLineEdit*>(control))
        connect(line, &QLineEdit::textChanged, this,
                [this, control](const QString& text) { OnTextChanged(control, text); });
    else if (auto* box = qobject_cast<QPlainTextEdit*>(control))
        connect(box, &QPlainTextEdit::textChanged, this,
                [this, box] { OnTextChanged(box, TextAsTyped(box->document())); });
    control->installEventFilter(this);
}

void FormControls::WireDropList(QWidget* control) {
    auto* list = static_cast<DropList*>(control);
    connect(list, &DropList::popupOpening, this, [this, list] { Raise(list, "CLICK"); });
    connect(list->lineEdit(), &QLineEdit::textEdited, this,
            [this, list] { Raise(list, "DCLICK"); });
    connect(list, &QComboBox::activated, this,
            [this, list](int index) { OnDropListSelected(list, index); });
    list->installEventFilter(this);
}

void FormControls::WireButton(QWidget* control) {
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { Raise(button, "CLICK"); });
        if (!qobject_cast<LinkLabel*>(button))
            button->installEventFilter(this);
    }
}

void FormControls::WireGrid(GridView* grid) {
    grids_.append(grid);
    // The grid decides which clicks reach the form (a click that opens a cell editor does not).
    connect(grid, &GridView::clicked, this, [this, grid](int, int) { Raise(grid, "CLICK"); });
    connect(grid, &GridView::doubleClicked, this,
            [this, grid](int, int) { Raise(grid, "DCLICK"); });
    connect(grid, &GridView::rightClicked, this,
            [this, grid](int, int) { RaiseDirect(grid, "RCLICK"); });
    connect(grid, &GridView::rowFocusedAndSelected, this,
            [this, grid](int) { Raise(grid, "EN_CHANGE"); });
}

void FormControls::WireTree(QWidget* control) {
    auto* tree = static_cast<QTreeWidget*>(control);
    tree->viewport()->installEventFilter(this);
    connect(tree, &QTreeWidget::currentItemChanged, this,
            [this, tree] { Raise(tree, "EN_CHANGE"); });
}

void FormControls::WireTreeList(QWidget* control) {
    // A right click on a row presses the form's button named by its column; a disabled or
    // missing button is not pressed.
    connect(static_cast<TreeListView*>(control), &TreeListView::buttonRequested, this,
            [this](int id) {
                auto* button = qobject_cast<QAbstractButton*>(ControlByDocumentId(id));
                if (button && button->isEnabled())
                    button->click();
            });
}

void FormControls::OnTextChanged(QWidget* control, const QString& text) {
    // An EN_CHANGE element's id asks for the action only once the text has that many characters
    // (a scanned code of fixed length, say).
    const int wanted =
        host_ ? host_->FindEventElement(WindowIdOf(control), QStringLiteral("EN_CHANGE"))
                    .GetAttributeInt("id", 0)
              : 0;
    if (wanted < 1 || text.size() == wanted)
        Raise(control, "EN_CHANGE");
}

namespace {

// Lists of lower ids report every selection and focus loss; from this id on, only real changes.
constexpr int kFirstFilteredListId = WindowIdOfDocumentId(21);

QString SelectedText(const QComboBox* list) {
    return list->currentIndex() >= 0 ? list->itemText(list->currentIndex()) : QString();
}

} // namespace

void FormControls::OnDropListSelected(QWidget* control, int index) {
    auto* list = static_cast<DropList*>(control);
    if (WindowIdOf(list) < kFirstFilteredListId) {
        list->Settle();
        Raise(list, "EN_CHANGE");
        return;
    }
    const QString before = list->SettledText();
    const QString item = list->itemText(index);
    list->Settle();
    if (before != item)
        Raise(list, "EN_CHANGE");
}

void FormControls::OnDropListFocusLost(QWidget* control) {
    auto* list = static_cast<DropList*>(control);
    if (WindowIdOf(list) >= kFirstFilteredListId) {
        const QString text = list->currentText();
        if (text == SelectedText(list))
            return;
        const int match = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (match >= 0) {
            const QSignalBlocker blocker(list);
            list->setCurrentIndex(match);
        }
        list->Settle();
    }
    Raise(list, "EN_CHANGE");
    Raise(list, "EN_KILLFOCUS");
}

void FormControls::OnFocusLost(QWidget* control) {
    Raise(control, "EN_KILLFOCUS");
}

bool FormControls::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusIn &&
        (qobject_cast<QLineEdit*>(watched) || qobject_cast<QPlainTextEdit*>(watched)))
        ShowSelection(static_cast<QWidget*>(watched), true);
    if (type == QEvent::FocusOut) {
        // A list or menu that pops up over the control does not take its focus away.
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
            if (auto* list = qobject_cast<DropList*>(watched))
                OnDropListFocusLost(list);
            else if (qobject_cast<QLineEdit*>(watched) || qobject_cast<QPlainTextEdit*>(watched)) {
                ShowSelection(static_cast<QWidget*>(watched), false);
                OnFocusLost(static_cast<QWidget*>(watched));
            }
        }
        return false;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(watched)) {
        if (type == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && button->isEnabled()) {
            // The second click of a double click is the double click alone.
            Raise(button, "DCLICK");
            return true;
        }
        return false;
    }
    if (auto* tree = qobject_cast<QTreeWidget*>(watched ? watched->parent() : nullptr);
        tree && watched == tree->viewport()) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (type == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
            tree->setProperty(kSkipReleaseProperty, true);
            Raise(tree, "DCLICK");
        } else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
            if (tree->property(kSkipReleaseProperty).toBool())
                tree->setProperty(kSkipReleaseProperty, false);
            else
                Raise(tree, "CLICK");
        } else if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton) {
            // Right clicks run their action at once, outside the guarded path.
            RaiseDirect(tree, "RCLICK");
        }
    }
    return false;
}

// ---- Lookups ----

QString EventTagOf(const QWidget* control, bool forEnterKey) {
    if (!control)
        return {};
    const ControlAdapter& adapter = AdapterOf(control);
    return forEnterKey && !adapter.enterKeyTag.isEmpty() ? adapter.enterKeyTag : adapter.eventTag;
}

QString ControlText(const QWidget* control) {
    return control ? AdapterOf(control).text(control) : QString();
}

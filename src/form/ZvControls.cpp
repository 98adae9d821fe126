#include "form/ZvControls.h"

#include "app/MainApp.h"
#include "form/ControlHost.h"
#include "platform/StyleBits.h"
#include "widgets/CButtonST.h"
#include "widgets/CDropList.h"
#include "widgets/CFileEditCtrl.h"
#include "widgets/CLinkCtrl.h"
#include "widgets/CListCtrlEx.h"
#include "widgets/CZvButton.h"
#include "widgets/CZvStatic.h"
#include "widgets/TypingLimit.h"
#include "widgets/ZvChart.h"
#include "widgets/ZvDialogChild.h"
#include "widgets/ZvGuiView.h"
#include "widgets/ZvPicture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using ZUDad::CXmlNode;

namespace {

const char* const kWindowIdProperty = "windowId";
// Set on a multi-line box in which Enter starts a new line.
const char* const kWantsReturnProperty = "zvWantsReturn";
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

QColor ColorAttribute(const CXmlNode& element, const char* name) {
    const QString text = element.GetAttribute(name);
    if (text.isEmpty())
        return {};
    return PackedColor(ParseRgbText(text));
}

// A date as the forms write it: ISO first, then the common local forms, a time part allowed.
QDate ParseDateValue(const QString& value) {
    const QString text = value.trimmed();
    if (text.isEmpty())
        return {};
    const QString datePart = text.section(QLatin1Char(' '), 0, 0);
    for (const QString& format :
         {QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy-M-d"), QStringLiteral("yyyy/M/d"),
          QStringLiteral("yyyy.M.d"), QStringLiteral("yyyyMMdd")}) {
        const QDate date = QDate::fromString(datePart, format);
        if (date.isValid())
            return date;
    }
    const QLocale locale = QLocale::system();
    QDate date = locale.toDate(text, QLocale::ShortFormat);
    if (!date.isValid())
        date = locale.toDate(text, QLocale::LongFormat);
    return date;
}

QPixmap ButtonPicture(const QString& img, int side) {
    if (img.isEmpty())
        return {};
    static const QStyle::StandardPixmap builtIn[] = {
        QStyle::SP_DialogApplyButton, QStyle::SP_DialogCancelButton,
        QStyle::SP_FileDialogContentsView, QStyle::SP_DialogHelpButton};
    if (img.size() == 1 && img[0] >= QLatin1Char('1') && img[0] <= QLatin1Char('4')) {
        const QIcon icon = QApplication::style()->standardIcon(builtIn[img[0].unicode() - '1']);
        return icon.pixmap(qBound(16, side, 32));
    }
    const QString path =
        img.left(4) == QStringLiteral("http") ? img : CMainApp::Instance().exeFolder + img;
    return QPixmap(path);
}

LabelItem ReadLabelItem(const CXmlNode& node) {
    LabelItem item;
    item.type = node.GetAttribute("type");
    item.pos = ParseRectText(node.GetAttribute("pos"));
    item.style = node.GetAttributeInt("style", 0);
    item.width = node.GetAttributeInt("width", 1);
    item.color = ParseRgbText(node.GetAttribute("color", QStringLiteral("240,240,240")));
    item.text = node.GetAttribute("text");
    item.font = node.GetAttribute("font");
    return item;
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

ZvControls::ZvControls() {
    QFont system = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (system.family().isEmpty()) {
        system = QFont(QStringLiteral("宋体"));
        system.setPointSize(9);
    }
    defaultFace_ = FirstFaceOr(system, QStringLiteral("宋体"));
    defaultFont_ = WithCjkFallbacks(system);
}

ZvControls::~ZvControls() = default;

std::optional<QFont> ZvControls::CreateFontFromText(const QString& text) {
    const FontValue value = ParseFontText(text);
    if (value.useDialogDefault)
        return std::nullopt;
    QFont font = WithCjkFallbacks(MakeControlFont(value, defaultFont_));
    fonts_.append(font);
    return font;
}

void ZvControls::CreateControls(ControlHost& host, const ZUDad::CXmlDocument& document) {
    host_ = &host;
    const CXmlNode root = document.GetRoot();
    if (root.IsEmpty() || root.GetAttribute("id", QStringLiteral("-1")) == QLatin1String("-1"))
        return;
    host.FormWidget()->setFont(defaultFont_);
    body_ = root.GetChild("body", true);
    const CXmlNode dialog = body_.GetChild("dialog", true);
    const ZUDad::CXmlNodes children = dialog.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i)
        CreateControl(children.GetItem(i));
    // Siblings created later stack above earlier ones here, so the boxes asked to be on top are
    // raised once all exist.
    for (const QPointer<QWidget>& control : std::as_const(raiseLater_))
        if (control)
            control->raise();
    raiseLater_.clear();
}

void ZvControls::CreateControl(const CXmlNode& element) {
    const QString tag = element.GetName();
    QWidget* control = nullptr;
    // Kinds that read `hidden`; the others are shown or hidden by their own work.
    bool readsHidden = true;
    if (tag == QLatin1String("textbox")) {
        control = CreateTextBox(element);
    } else if (tag == QLatin1String("button")) {
        control = CreateButton(element);
    } else if (tag == QLatin1String("static")) {
        control = CreateStatic(element);
    } else if (tag == QLatin1String("zvbutton")) {
        auto* button =
            new CZvButton(host_->Expand(element.GetAttribute("value")), host_->FormWidget());
        button->SetTextColor(ColorAttribute(element, "color"));
        control = button;
    } else if (tag == QLatin1String("pic")) {
        auto* picture = new ZvPicture(host_->FormWidget());
        picture->SetText(element.GetAttribute("value"));
        picture->SetColor(ColorAttribute(element, "color"));
        control = picture;
    } else if (tag == QLatin1String("gui")) {
        auto* view = new ZvGuiView(host_->FormWidget());
        view->SetText(element.GetAttribute("value"));
        view->SetColor(ColorAttribute(element, "color"));
        control = view;
    } else if (tag == QLatin1String("editbutton")) {
        control = CreateEditButton(element);
    } else if (tag == QLatin1String("table")) {
        control = CreateGrid(element);
        readsHidden = false;
    } else if (tag == QLatin1String("droplist")) {
        control = CreateDropList(element);
    } else if (tag == QLatin1String("datectrl")) {
        control = CreateDateField(element);
    } else if (tag == QLatin1String("panel")) {
        control = CreatePanel(element);
        readsHidden = false;
    } else if (tag == QLatin1String("tree")) {
        control = CreateTree(element);
        readsHidden = false;
    } else if (tag == QLatin1String("treelist") || tag == QLatin1String("gdistatic")) {
        auto* chart = new ZvChart(host_->FormWidget());
        chart->setProperty("windowClass", QStringLiteral("TreeList"));
        chart->SetText(element.GetAttribute("value"));
        chart->SetReadOnly(element.GetAttributeInt("readonly", 0) != 0);
        control = chart;
    } else {
        return; // layout elements and unknown tags
    }

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
    control->setVisible(!(readsHidden && hidden > 0));
    if (auto* grid = qobject_cast<CListCtrlEx*>(control); grid && grid->StartsHidden())
        grid->setVisible(false);
    if (hidden == 2 && (tag == QLatin1String("textbox") || tag == QLatin1String("droplist")))
        raiseLater_.append(control);
    if (auto* groupBox = qobject_cast<QGroupBox*>(control))
        groupBox->lower(); // a frame drawn behind the controls it surrounds
}

void ZvControls::Register(QWidget* control, int documentId) {
    const int windowId = WindowIdOfDocumentId(documentId);
    control->setProperty(kWindowIdProperty, windowId);
    controls_.append(control);
    // As a lookup of a child window by id finds the first one, a repeated id keeps the first.
    if (!byWindowId_.contains(windowId) || !byWindowId_.value(windowId))
        byWindowId_.insert(windowId, control);
}

QWidget* ZvControls::CreateTextBox(const CXmlNode& element) {
    const int style = element.GetAttributeInt("style", 0);
    const bool readOnly = element.GetAttributeInt("readonly", 0) != 0;
    const int maxLength = element.GetAttributeInt("maxlen", 0);
    const QString text = host_->Expand(element.GetAttribute("value"));
    QWidget* control = nullptr;
    if (style == 4 || style == 5 || StyleBits::EditStyleOf(style).multiLine) {
        auto* box = new QPlainTextEdit(host_->FormWidget());
        if (style == 4) {
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        } else if (style == 5) {
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            box->setLineWrapMode(QPlainTextEdit::NoWrap);
            // Style 5 carries the centred bit already.
        }
        StyleBits::ApplyEditStyle(box, style);
        box->setProperty(kWantsReturnProperty, StyleBits::EditStyleOf(style).wantReturn);
        box->setTabChangesFocus(false);
        box->setPlainText(text);
        if (readOnly)
            box->setReadOnly(true);
        LimitTyping(box, maxLength);
        control = box;
    } else {
        auto* box = new QLineEdit(host_->FormWidget());
        StyleBits::ApplyEditStyle(box, style);
        LimitTyping(box, maxLength);
        box->setText(text);
        box->setCursorPosition(0);
        if (readOnly)
            box->setReadOnly(true);
        control = box;
    }
    WireEditBox(control);
    return control;
}

QWidget* ZvControls::CreateDropList(const CXmlNode& element) {
    const StyleBits::ComboStyle style =
        StyleBits::ComboStyleOf(element.GetAttributeInt("style", 0));
    auto* list = new CDropList(host_->FormWidget());
    list->setMaxVisibleItems(20);
    const QString value = host_->Expand(element.GetAttribute("value"));
    if (!value.isEmpty())
        list->addItems(value.split(QLatin1Char(';')));
    if (style.sorted)
        list->model()->sort(0);
    list->setCurrentIndex(-1);
    list->setEditText(QString());
    list->Settle();
    StyleBits::ForceLetterCase(list->lineEdit(), style.letterCase);
    if (style.disabled)
        list->setEnabled(false);
    WireDropList(list);
    return list;
}

QWidget* ZvControls::CreateDateField(const CXmlNode& element) {
    const StyleBits::DateStyle style = StyleBits::DateStyleOf(element.GetAttributeInt("style", 0));
    auto* field = new QDateEdit(host_->FormWidget());
    field->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    field->setCalendarPopup(!style.spinButtons);
    const QDate date = ParseDateValue(element.GetAttribute("value"));
    field->setDate(date.isValid() ? date : QDate::currentDate());
    if (style.disabled || element.GetAttributeInt("readonly", 0) != 0)
        field->setEnabled(false);
    return field;
}

QWidget* ZvControls::CreateButton(const CXmlNode& element) {
    const QString text = element.GetAttribute("value");
    const int style = element.GetAttributeInt("style", 0);
    QWidget* control = nullptr;
    if (element.GetAttribute("popup") == QLatin1String("1")) {
        control = new CLinkCtrl(text, host_->FormWidget());
    } else if (style > 0) {
        const StyleBits::ButtonStyle bits = StyleBits::ButtonStyleOf(style);
        QAbstractButton* button = nullptr;
        if (bits.kind == StyleBits::ButtonKind::GroupBox) {
            auto* group = new QGroupBox(text, host_->FormWidget());
            // Only a frame: clicks go to the controls inside it.
            group->setAttribute(Qt::WA_TransparentForMouseEvents);
            control = group;
        } else if (bits.pushLike || bits.kind == StyleBits::ButtonKind::Push) {
            auto* push = new QPushButton(text, host_->FormWidget());
            push->setCheckable(bits.kind != StyleBits::ButtonKind::Push);
            push->setDefault(bits.defaultButton);
            push->setFlat(bits.flat);
            button = push;
        } else if (bits.kind == StyleBits::ButtonKind::Radio) {
            button = new QRadioButton(text, host_->FormWidget());
        } else {
            auto* box = new QCheckBox(text, host_->FormWidget());
            box->setTristate(bits.kind == StyleBits::ButtonKind::ThreeState);
            button = box;
        }
        if (button) {
            if (bits.textLeft)
                button->setLayoutDirection(Qt::RightToLeft);
            control = button;
        }
        if (bits.disabled)
            control->setEnabled(false);
    } else {
        auto* button = new CButtonST(text, host_->FormWidget());
        const QRect pos = ParseRectText(element.GetAttribute("pos")).ToQRect();
        button->SetPicture(ButtonPicture(element.GetAttribute("img"), pos.height() - 6));
        const QString shade = element.GetAttribute("shade");
        if (!shade.isEmpty())
            button->SetShade(element.GetAttributeInt("maxlen", 0) == 2
                                 ? CButtonST::Shade::Alternative
                                 : CButtonST::Shade::Normal);
        const QColor colour = ColorAttribute(element, "color");
        if (colour.isValid())
            button->SetTextColor(colour);
        button->setToolTip(element.GetAttribute("desp"));
        control = button;
    }
    if (element.GetAttributeInt("disabled", 0) != 0)
        control->setEnabled(false);
    WireButton(control);
    return control;
}

QWidget* ZvControls::CreateStatic(const CXmlNode& element) {
    auto* label = new CZvStatic(host_->Expand(element.GetAttribute("value")), host_->FormWidget());
    label->SetStyleBits(element.GetAttributeInt("style", 0));
    const QColor colour = ColorAttribute(element, "color");
    if (colour.isValid())
        label->SetTextColor(colour);
    const int drawMode = element.GetAttributeInt("minlen", 0);
    if (drawMode > 0) {
        const ZUDad::CXmlNodes children = element.GetChildren();
        if (children.GetCount() > 0)
            label->SetItem(ReadLabelItem(children.GetItem(0)), drawMode);
    }
    return label;
}

QWidget* ZvControls::CreateEditButton(const CXmlNode& element) {
    auto* box = new CFileEditCtrl(host_->FormWidget());
    box->SetHost(host_);
    StyleBits::ApplyEditStyle(box, element.GetAttributeInt("style", 0));

    const QString popup = element.GetAttribute("popup");
    if (popup.isEmpty()) {
        box->SetMode(CFileEditCtrl::Mode::TextEditor);
    } else if (popup == QLatin1String("-1")) {
        box->SetMode(CFileEditCtrl::Mode::ColorChooser);
    } else {
        box->SetMode(CFileEditCtrl::Mode::PopupForm);
        const CXmlNode html =
            body_.SelectSingleNode(QStringLiteral("popup/html[@id=%1]").arg(popup));
        box->SetPopup(popup, html.GetXml());
    }
    const int minLength = element.GetAttributeInt("minlen", 0);
    const int maxLength = element.GetAttributeInt("maxlen", 0);
    box->SetColumnOffset(minLength);

    const QString value = element.GetAttribute("value");
    QList<int> parameters;
    for (const QString& part : element.GetAttribute("desp").split(QLatin1Char(';')))
        if (!part.isEmpty())
            parameters.append(ParseIntegerText(part));
    const int firstColumn = minLength < 0 ? -minLength : 280;
    const int totalWidth = maxLength < 0 ? -maxLength : 800;
    box->SetPickList(value, parameters, firstColumn, totalWidth);
    box->SetControlTextReader(
        [this](int windowId) { return ControlText(ControlByWindowId(windowId)); });
    if (box->PickListQuery().isEmpty()) {
        box->setText(value);
        box->setCursorPosition(0);
    }

    if (element.GetAttributeInt("readonly", 0) != 0)
        box->setReadOnly(true);
    LimitTyping(box, maxLength);
    if (element.GetAttributeInt("disabled", 0) != 0)
        box->setEnabled(false);
    QPalette palette = box->palette();
    const QColor text = ColorAttribute(element, "color");
    if (text.isValid())
        palette.setColor(QPalette::Text, text);
    const QColor background = ColorAttribute(element, "img");
    if (background.isValid())
        palette.setColor(QPalette::Base, background);
    box->setPalette(palette);
    box->SetButtonShaded(element.GetAttribute("shade") != QLatin1String("0"));

    WireEditBox(box);
    connect(box, &CFileEditCtrl::popupAccepted, this, [this, box] { Raise(box, "EN_KILLFOCUS"); });
    return box;
}

QWidget* ZvControls::CreateGrid(const CXmlNode& element) {
    auto* grid = new CListCtrlEx(host_->FormWidget());
    grid->SetMenuUid(ParseIntegerText(host_->MenuUid()));
    grid->SetDocumentId(element.GetAttributeInt("id", 0));
    grid->BuildColumns(element);
    grids_.append(grid);
    // The grid decides which clicks reach the form (a click that opens a cell editor does not).
    connect(grid, &CListCtrlEx::clicked, this, [this, grid](int, int) { Raise(grid, "CLICK"); });
    connect(grid, &CListCtrlEx::doubleClicked, this,
            [this, grid](int, int) { Raise(grid, "DCLICK"); });
    connect(grid, &CListCtrlEx::rightClicked, this,
            [this, grid](int, int) { RaiseDirect(grid, "RCLICK"); });
    connect(grid, &CListCtrlEx::rowFocusedAndSelected, this,
            [this, grid](int) { Raise(grid, "EN_CHANGE"); });
    return grid;
}

QWidget* ZvControls::CreatePanel(const CXmlNode& element) {
    auto* tabs = new QTabWidget(host_->FormWidget());
    tabs->setDocumentMode(false);
    const ZUDad::CXmlNodes children = element.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        const CXmlNode html = children.GetItem(i);
        if (html.GetName() != QLatin1String("html"))
            continue;
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        if (QWidget* form = host_->CreateEmbeddedForm(html, page))
            layout->addWidget(form);
        tabs->addTab(page, html.GetAttribute("title"));
    }
    return tabs;
}

QWidget* ZvControls::CreateTree(const CXmlNode& element) {
    auto* tree = new QTreeWidget(host_->FormWidget());
    tree->setHeaderHidden(true);
    tree->setRootIsDecorated(true);
    tree->setItemsExpandable(true);
    tree->setFocusPolicy(Qt::StrongFocus);
    tree->setFrameShape(QFrame::StyledPanel);
    tree->setProperty("checkBoxes",
                      StyleBits::TreeStyleOf(element.GetAttributeInt("style", 0)).checkBoxes);
    WireTree(tree);
    return tree;
}

QWidget* ZvControls::ControlByWindowId(int windowId) const {
    return byWindowId_.value(windowId);
}

QWidget* ZvControls::ControlByDocumentId(int documentId) const {
    return ControlByWindowId(WindowIdOfDocumentId(documentId));
}

int ZvControls::WindowIdOf(const QWidget* control) {
    if (!control)
        return -1;
    const QVariant id = control->property(kWindowIdProperty);
    return id.isValid() ? id.toInt() : -1;
}

QList<QWidget*> ZvControls::Controls() const {
    QList<QWidget*> list;
    for (const QPointer<QWidget>& control : controls_)
        if (control)
            list.append(control);
    return list;
}

QList<CListCtrlEx*> ZvControls::Grids() const {
    QList<CListCtrlEx*> list;
    for (const QPointer<CListCtrlEx>& grid : grids_)
        if (grid)
            list.append(grid);
    return list;
}

bool ZvControls::KeepsOutOfLayout(int documentId) const {
    return outOfLayout_.contains(documentId);
}

void ZvControls::HidePickLists() {
    for (QWidget* control : Controls())
        if (auto* box = qobject_cast<CFileEditCtrl*>(control))
            box->HidePickList();
}

bool ZvControls::HandlesKeyItself(const QWidget* control, int key) {
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!enter && key != Qt::Key_Escape)
        return false;
    if (enter && qobject_cast<const QPlainTextEdit*>(control) &&
        control->property(kWantsReturnProperty).toBool())
        return true;
    const auto* box = qobject_cast<const CFileEditCtrl*>(control);
    return box && box->PickList() && box->PickList()->isVisible();
}

// ---- Events ----

void ZvControls::Raise(QWidget* control, const char* event) {
    const int windowId = WindowIdOf(control);
    if (host_ && DocumentIdOfWindowId(windowId) >= 0 && windowId <= kLastEventWindowId)
        host_->RaiseEvent(windowId, QString::fromLatin1(event));
}

void ZvControls::RaiseDirect(QWidget* control, const char* event) {
    const int windowId = WindowIdOf(control);
    if (host_ && DocumentIdOfWindowId(windowId) >= 0 && windowId <= kLastEventWindowId)
        host_->RunActionDirect(windowId, QString::fromLatin1(event));
}

void ZvControls::WireEditBox(QWidget* control) {
    ShowSelection(control, control->hasFocus());
    if (auto* line = qobject_cast<QLineEdit*>(control))
        connect(line, &QLineEdit::textChanged, this,
                [this, control](const QString& text) { OnTextChanged(control, text); });
    else if (auto* box = qobject_cast<QPlainTextEdit*>(control))
        connect(box, &QPlainTextEdit::textChanged, this,
                [this, box] { OnTextChanged(box, box->toPlainText()); });
    control->installEventFilter(this);
}

void ZvControls::WireDropList(QWidget* control) {
    auto* list = static_cast<CDropList*>(control);
    connect(list, &CDropList::popupOpening, this, [this, list] { Raise(list, "CLICK"); });
    connect(list->lineEdit(), &QLineEdit::textEdited, this,
            [this, list] { Raise(list, "DCLICK"); });
    connect(list, &QComboBox::activated, this,
            [this, list](int index) { OnDropListSelected(list, index); });
    list->installEventFilter(this);
}

void ZvControls::WireButton(QWidget* control) {
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { Raise(button, "CLICK"); });
        if (!qobject_cast<CLinkCtrl*>(button))
            button->installEventFilter(this);
    }
}

void ZvControls::WireTree(QWidget* control) {
    auto* tree = static_cast<QTreeWidget*>(control);
    tree->viewport()->installEventFilter(this);
    connect(tree, &QTreeWidget::currentItemChanged, this,
            [this, tree] { Raise(tree, "EN_CHANGE"); });
    // Checking an item checks the items above it.
    connect(tree, &QTreeWidget::itemChanged, this, [](QTreeWidgetItem* item, int column) {
        if (item->checkState(column) != Qt::Checked)
            return;
        for (QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent())
            if (parent->checkState(column) != Qt::Checked)
                parent->setCheckState(column, Qt::Checked);
    });
}

void ZvControls::OnTextChanged(QWidget* control, const QString& text) {
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

void ZvControls::OnDropListSelected(QWidget* control, int index) {
    auto* list = static_cast<CDropList*>(control);
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

void ZvControls::OnDropListFocusLost(QWidget* control) {
    auto* list = static_cast<CDropList*>(control);
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

void ZvControls::OnFocusLost(QWidget* control) {
    Raise(control, "EN_KILLFOCUS");
}

bool ZvControls::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusIn &&
        (qobject_cast<QLineEdit*>(watched) || qobject_cast<QPlainTextEdit*>(watched)))
        ShowSelection(static_cast<QWidget*>(watched), true);
    if (type == QEvent::FocusOut) {
        // A list or menu that pops up over the control does not take its focus away.
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
            if (auto* list = qobject_cast<CDropList*>(watched))
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
    if (qobject_cast<const CFileEditCtrl*>(control))
        return QStringLiteral("editbutton");
    if (qobject_cast<const QLineEdit*>(control) || qobject_cast<const QPlainTextEdit*>(control))
        return QStringLiteral("textbox");
    if (qobject_cast<const QComboBox*>(control))
        return QStringLiteral("droplist");
    if (qobject_cast<const QDateTimeEdit*>(control))
        return QStringLiteral("datectrl");
    if (qobject_cast<const CZvButton*>(control))
        return {}; // the owner-drawn button has no actions of its own
    if (qobject_cast<const QAbstractButton*>(control) || qobject_cast<const QGroupBox*>(control))
        return QStringLiteral("button");
    if (qobject_cast<const CListCtrlEx*>(control))
        return QStringLiteral("table");
    if (qobject_cast<const QTreeWidget*>(control))
        return QStringLiteral("tree");
    if (forEnterKey && qobject_cast<const ZvPicture*>(control))
        return QStringLiteral("treelist");
    return {};
}

QString ControlText(const QWidget* control) {
    if (!control)
        return {};
    if (auto* line = qobject_cast<const QLineEdit*>(control))
        return line->text();
    if (auto* box = qobject_cast<const QPlainTextEdit*>(control))
        return box->toPlainText();
    if (auto* list = qobject_cast<const QComboBox*>(control))
        return list->currentText();
    if (auto* date = qobject_cast<const QDateTimeEdit*>(control))
        return date->date().toString(QStringLiteral("yyyy-MM-dd"));
    if (auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(control))
        return group->title();
    if (auto* label = qobject_cast<const CZvStatic*>(control))
        return label->Text();
    if (auto* picture = qobject_cast<const ZvPicture*>(control))
        return picture->Text();
    if (auto* view = qobject_cast<const ZvGuiView*>(control))
        return view->Text();
    if (auto* chart = qobject_cast<const ZvChart*>(control))
        return chart->Text();
    return control->windowTitle();
}

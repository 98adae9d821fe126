// Controls built from form definitions through a stand-in form window that records what the
// controls ask of it.
#include "app/Application.h"
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/DbSession.h"
#include "form/ControlBuilders.h"
#include "form/ControlHost.h"
#include "form/ControlValues.h"
#include "form/FormControls.h"
#include "net/PictureDownloads.h"
#include "platform/AppMessage.h"
#include "support/LoopbackHttpServer.h"
#include "support/SessionFacts.h"
#include "support/TestAccountSet.h"
#include "widgets/DrawingView.h"
#include "widgets/DrawnButton.h"
#include "widgets/DrawnLabel.h"
#include "widgets/DropList.h"
#include "widgets/EditWithButton.h"
#include "widgets/GridView.h"
#include "widgets/ImageButton.h"
#include "widgets/LinkLabel.h"
#include "widgets/PickListPopup.h"
#include "widgets/PictureView.h"
#include "widgets/TextEditorDialog.h"
#include "widgets/TreeListView.h"
#include "widgets/TreeView.h"
#include "widgets/TypingLimit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

// Readable failures for texts and lists of texts.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << '{' << texts.join(QStringLiteral(", ")).toStdString() << '}';
}

namespace {

class FakeHost : public ControlHost {
public:
    QWidget form;
    FormXml::XmlDocument document;
    QStringList events; // "<document id>:<event>", in order
    QList<PopupFormRequest> popupRequests;
    bool popupAnswer = true;
    QString popupText;

    QWidget* FormWidget() override { return &form; }
    QString Expand(const QString& text) const override {
        QString expanded = text;
        return expanded.replace(QStringLiteral("{{username}}"), QStringLiteral("张三"));
    }
    QString FormId() const override { return QStringLiteral("1"); }
    QString MenuUid() const override { return QStringLiteral("57"); }
    FormXml::XmlNode FindEventElement(int windowId, const QString& event) const override {
        return document.SelectSingleNode(QStringLiteral("//html/body/dialog/*[@id=%1]/ACTION/%2")
                                             .arg(windowId - 1024)
                                             .arg(event));
    }
    void RaiseEvent(int windowId, const QString& event) override {
        events.append(QStringLiteral("%1:%2").arg(windowId - 1024).arg(event));
    }
    void RunActionDirect(int windowId, const QString& event) override {
        events.append(QStringLiteral("%1:%2!").arg(windowId - 1024).arg(event));
    }
    QWidget* CreateEmbeddedForm(const FormXml::XmlNode& html, QWidget* page) override {
        auto* embedded = new QWidget(page);
        embedded->setObjectName(QStringLiteral("form") + html.GetAttribute("id"));
        return embedded;
    }
    bool RunEndEdit(GridView& grid, int row, int column) override {
        events.append(
            QStringLiteral("ENDEDIT %1:%2,%3").arg(grid.DocumentId()).arg(row).arg(column));
        return true;
    }
    bool RunPopupForm(const PopupFormRequest& request, QString& returned) override {
        popupRequests.append(request);
        returned = popupText;
        return popupAnswer;
    }
};

// Builds the controls of a dialog body given as XML.
struct Built {
    FakeHost host;
    FormControls controls;

    explicit Built(const QString& dialog, const QString& rootId = QStringLiteral("1"),
                   const QString& extraBody = QString()) {
        const QString rootIdText =
            rootId.isNull() ? QString() : QStringLiteral(" id='%1'").arg(rootId);
        EXPECT_TRUE(
            host.document.LoadXml(QStringLiteral("<html%1><head/><body><dialog>%2</dialog>%3"
                                                 "</body></html>")
                                      .arg(rootIdText, dialog, extraBody)));
        controls.CreateControls(host, host.document);
    }
    template <typename T> T* Get(int id) const {
        return qobject_cast<T*>(controls.ControlByDocumentId(id));
    }
};

void SendKey(QWidget* target, int key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

void Type(QWidget* target, const QString& text) {
    for (const QChar c : text)
        SendKey(target, c == QLatin1Char('\n') ? int(Qt::Key_Return) : int(c.toUpper().unicode()),
                c == QLatin1Char('\n') ? QStringLiteral("\r") : QString(c));
}

void LoseFocus(QWidget* target) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(target, &out);
}

TEST(FormControls, RootWithoutIdCreatesNothing) {
    for (const QString& rootId : {QString(), QStringLiteral("-1")}) {
        Built built(QStringLiteral("<textbox id='1' pos='0,0,10,10'/>"), rootId);
        EXPECT_TRUE(built.controls.Controls().isEmpty()) << qPrintable(rootId);
        EXPECT_EQ(built.controls.ControlByDocumentId(1), nullptr);
    }
}

TEST(FormControls, MissingBodyAndDialogGiveNoControls) {
    FakeHost host;
    ASSERT_TRUE(host.document.LoadXml(QStringLiteral("<html id='3'><head/></html>")));
    FormControls controls;
    controls.CreateControls(host, host.document);
    EXPECT_TRUE(controls.Controls().isEmpty());
}

TEST(FormControls, CreatesEveryKindWithItsAttributes) {
    Built built(QStringLiteral(
        "<textbox id='1' pos='10,20,110,42' value='你好{{username}}' maxlen='8' readonly='1'/>"
        "<textbox id='2' pos='0,0,50,20' style='32'/>"
        "<textbox id='3' pos='0,0,50,60' style='4' value='a'/>"
        "<textbox id='4' pos='0,0,50,60' style='5'/>"
        "<droplist id='5' pos='0,0,80,24' value='甲;乙'/>"
        "<datectrl id='6' pos='0,0,90,22' value='2024-03-05' readonly='1'/>"
        "<datectrl id='7' pos='0,0,90,22' value='not a date'/>"
        "<button id='8' pos='0,0,60,24' value='确定' desp='保存' color='255,0,0' img='1'/>"
        "<button id='9' pos='0,0,60,24' value='选中' style='3'/>"
        "<button id='10' pos='0,0,60,24' value='单选' style='9' disabled='1'/>"
        "<button id='11' pos='0,0,60,24' value='分组' style='7'/>"
        "<static id='12' pos='0,0,60,24' value='{{username}}' style='1' color='0,0,255'/>"
        "<zvbutton id='13' pos='0,0,60,24' value='{{username}}'/>"
        "<pic id='14' pos='0,0,60,24'/><gui id='15' pos='0,0,60,24'/>"
        "<table id='16' pos='0,0,200,100'/>"
        "<panel id='17' pos='0,0,200,100'><html id='30' title='第一页'/><x/>"
        "<html id='31' title='第二页'/></panel>"
        "<tree id='18' pos='0,0,60,60' style='256'/><treelist id='19' pos='0,0,60,60'>"
        "<PARA><head_info><c title='名称' width='80' height='40' menu_id='7'/>"
        "<g title='计划' width='60' height='20' type='1' menu_id='1:3,'><d title='日' width='60' "
        "height='20' type='0'/></g></head_info></PARA></treelist>"
        "<split id='s' value='1;2'/><group id='g' value='1;2'/>"));
    const FormControls& controls = built.controls;
    ASSERT_EQ(controls.Controls().size(), 19); // layout elements create nothing

    auto* text = built.Get<QLineEdit>(1);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->text(), QStringLiteral("你好张三"));
    EXPECT_EQ(TypingLimitOf(text), 8);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->geometry(), QRect(10, 20, 100, 22));
    EXPECT_EQ(FormControls::WindowIdOf(text), 1025);
    EXPECT_EQ(controls.ControlByWindowId(1025), text);
    EXPECT_EQ(built.Get<QLineEdit>(2)->echoMode(), QLineEdit::Password);
    auto* multi = built.Get<QPlainTextEdit>(3);
    ASSERT_TRUE(multi);
    EXPECT_EQ(multi->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    auto* centred = built.Get<QPlainTextEdit>(4);
    ASSERT_TRUE(centred);
    EXPECT_EQ(centred->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(centred->document()->defaultTextOption().alignment() & Qt::AlignHCenter);

    auto* list = built.Get<DropList>(5);
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->isEditable());
    EXPECT_EQ(list->height(), 24);

    auto* date = built.Get<QDateEdit>(6);
    ASSERT_TRUE(date);
    EXPECT_EQ(date->displayFormat(), QStringLiteral("yyyy-MM-dd"));
    EXPECT_EQ(date->date(), QDate(2024, 3, 5));
    EXPECT_FALSE(date->isEnabled());
    EXPECT_EQ(built.Get<QDateEdit>(7)->date(), QDate::currentDate());
    EXPECT_TRUE(built.Get<QDateEdit>(7)->isEnabled());

    auto* image = built.Get<ImageButton>(8);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->text(), QStringLiteral("确定"));
    EXPECT_EQ(image->toolTip(), QStringLiteral("保存"));
    EXPECT_EQ(image->TextColor(), QColor(255, 0, 0));
    EXPECT_FALSE(image->Picture().isNull());
    EXPECT_EQ(image->GetShade(), ImageButton::Shade::None);
    EXPECT_TRUE(built.Get<QCheckBox>(9));
    ASSERT_TRUE(built.Get<QRadioButton>(10));
    EXPECT_FALSE(built.Get<QRadioButton>(10)->isEnabled());
    ASSERT_TRUE(built.Get<QGroupBox>(11));
    EXPECT_EQ(built.Get<QGroupBox>(11)->title(), QStringLiteral("分组"));

    auto* label = built.Get<DrawnLabel>(12);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->Text(), QStringLiteral("张三"));
    EXPECT_EQ(label->TextColor(), QColor(0, 0, 255));
    EXPECT_TRUE(label->TextAlignment() & Qt::AlignHCenter);
    ASSERT_TRUE(built.Get<DrawnButton>(13));
    EXPECT_EQ(built.Get<DrawnButton>(13)->text(), QStringLiteral("张三"));
    EXPECT_TRUE(built.Get<PictureView>(14));
    EXPECT_TRUE(built.Get<DrawingView>(15));

    auto* grid = built.Get<GridView>(16);
    ASSERT_TRUE(grid);
    EXPECT_EQ(controls.Grids(), QList<GridView*>{grid});
    EXPECT_EQ(grid->MenuUid(), 57);
    EXPECT_EQ(grid->DocumentId(), 16);
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 20);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);

    auto* panel = built.Get<QTabWidget>(17);
    ASSERT_TRUE(panel);
    ASSERT_EQ(panel->count(), 2);
    EXPECT_EQ(panel->tabText(0), QStringLiteral("第一页"));
    EXPECT_EQ(panel->tabText(1), QStringLiteral("第二页"));
    EXPECT_TRUE(panel->widget(1)->findChild<QWidget*>(QStringLiteral("form31")));

    auto* tree = built.Get<QTreeWidget>(18);
    ASSERT_TRUE(tree);
    EXPECT_TRUE(tree->rootIsDecorated());
    EXPECT_TRUE(qobject_cast<TreeView*>(tree)->HasCheckBoxes());
    // The tree-list's header from head_info: a leaf without menu_id or a type of its own takes
    // its group's.
    auto* chart = built.Get<TreeListView>(19);
    ASSERT_TRUE(chart);
    EXPECT_EQ(chart->DisplayMode(), 1);
    const QList<const TreeListNode*> leaves = chart->LeafColumns();
    ASSERT_EQ(leaves.size(), 2);
    EXPECT_EQ(leaves[0]->menuId, QStringLiteral("7"));
    EXPECT_EQ(leaves[1]->title, QStringLiteral("日"));
    EXPECT_EQ(leaves[1]->menuId, QStringLiteral("1:3,"));
    EXPECT_EQ(leaves[1]->style.type, 1);
    EXPECT_EQ(QRect(leaves[1]->x, leaves[1]->y, leaves[1]->width, leaves[1]->height),
              QRect(80, 20, 60, 20));

    // The tags the form looks actions up by.
    const QList<std::pair<int, QString>> tags{
        {1, "textbox"}, {3, "textbox"}, {5, "droplist"}, {6, "datectrl"}, {8, "button"},
        {9, "button"},  {11, "button"}, {12, ""},        {13, ""},        {14, ""},
        {16, "table"},  {18, "tree"},   {19, ""}};
    for (const auto& [id, tag] : tags)
        EXPECT_EQ(EventTagOf(controls.ControlByDocumentId(id)), tag) << id;
    EXPECT_EQ(EventTagOf(built.Get<PictureView>(14), true), QStringLiteral("treelist"));
}

// A control is read, written and reset through the adapter of its kind's row, whatever class its
// widget has: a kind whose widget derives from another kind's (the edit-with-button box from the
// line edit, the drawn button from the push button, the tree from the tree widget) keeps its own.
TEST(FormControls, EveryKindIsServedByTheAdapterOfItsRow) {
    const struct {
        const char* element;
        const char* tag;
    } kinds[] = {
        {"<textbox id='1' pos='0,0,60,22'/>", "textbox"},
        {"<textbox id='1' pos='0,0,60,60' style='4'/>", "textbox"},
        {"<editbutton id='1' pos='0,0,60,22'/>", "editbutton"},
        {"<droplist id='1' pos='0,0,60,22'/>", "droplist"},
        {"<datectrl id='1' pos='0,0,60,22'/>", "datectrl"},
        {"<button id='1' pos='0,0,60,24' value='按' style='1'/>", "button"},
        {"<button id='1' pos='0,0,60,24' value='选' style='3'/>", "button"},
        {"<button id='1' pos='0,0,60,24' value='单' style='9'/>", "button"},
        {"<button id='1' pos='0,0,60,24' value='组' style='7'/>", "button"},
        {"<button id='1' pos='0,0,60,24' value='链' popup='1'/>", "button"},
        {"<button id='1' pos='0,0,60,24' value='图' img='1'/>", "button"},
        {"<static id='1' pos='0,0,60,24'/>", "static"},
        {"<zvbutton id='1' pos='0,0,60,24'/>", "zvbutton"},
        {"<pic id='1' pos='0,0,60,24'/>", "pic"},
        {"<gui id='1' pos='0,0,60,24'/>", "gui"},
        {"<table id='1' pos='0,0,200,100'/>", "table"},
        {"<panel id='1' pos='0,0,200,100'><html id='30' title='页'/></panel>", "panel"},
        {"<tree id='1' pos='0,0,60,60'/>", "tree"},
        {"<treelist id='1' pos='0,0,60,60'/>", "treelist"},
        {"<gdistatic id='1' pos='0,0,60,60'/>", "gdistatic"},
    };
    for (const auto& kind : kinds) {
        Built built(QString::fromUtf8(kind.element));
        QWidget* control = built.controls.ControlByDocumentId(1);
        ASSERT_TRUE(control) << kind.element;
        const ControlBuilder* builder = FindControlBuilder(QString::fromLatin1(kind.tag));
        ASSERT_TRUE(builder) << kind.tag;
        EXPECT_EQ(&AdapterOf(control), builder->adapter)
            << kind.element << " is served as " << control->metaObject()->className();
    }
}

// Widgets that no row builds are served by their class: the line edit inside a drop list reads
// and writes as a text box (a command may find it under the pointer), the form as a window.
TEST(FormControls, WidgetsBuiltElsewhereAreServedByTheirClass) {
    Built built(QStringLiteral("<droplist id='1' pos='0,0,60,22' value='甲;乙'/>"));
    auto* list = built.Get<DropList>(1);
    ASSERT_TRUE(list);
    QLineEdit* inner = list->lineEdit();
    SetControlText(inner, QStringLiteral("手写"));
    EXPECT_EQ(ControlText(inner), QStringLiteral("手写"));
    EXPECT_EQ(ControlText(list), QStringLiteral("手写"));
    EXPECT_EQ(EventTagOf(inner), QStringLiteral("textbox"));

    QWidget& form = built.host.form;
    EXPECT_EQ(&AdapterOf(&form), &kWindowAdapter);
    SetControlText(&form, QStringLiteral("单据"));
    EXPECT_EQ(ControlText(&form), QStringLiteral("单据"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("单据"));
    ResetControl(&form);
    EXPECT_EQ(ControlText(&form), QStringLiteral("单据"));
    EXPECT_EQ(EventTagOf(&form), QString());
}

TEST(FormControls, DropListItemsSplitAtSemicolonsWithNoneSelected) {
    const QList<std::pair<QString, QStringList>> cases{
        {"A;B;;C", {"A", "B", "", "C"}},
        {"A;", {"A", ""}},
        {"", {}},
    };
    for (const auto& [value, items] : cases) {
        Built built(QStringLiteral("<droplist id='1' pos='0,0,80,22' value='%1'/>").arg(value));
        auto* list = built.Get<QComboBox>(1);
        ASSERT_TRUE(list);
        QStringList actual;
        for (int i = 0; i < list->count(); ++i)
            actual.append(list->itemText(i));
        EXPECT_EQ(actual, items) << qPrintable(value);
        EXPECT_EQ(list->currentIndex(), -1);
        EXPECT_TRUE(list->currentText().isEmpty());
    }
}

TEST(FormControls, HiddenHidesAndTwoKeepsOutOfLayout) {
    Built built(QStringLiteral("<textbox id='1' pos='0,0,50,20' hidden='2'/>"
                               "<textbox id='2' pos='0,0,50,20' hidden='1'/>"
                               "<textbox id='3' pos='0,0,50,20'/>"
                               "<table id='4' pos='0,0,50,20' hidden='1'/>"
                               "<table id='5' pos='0,0,50,20'><PARA><table_info>"
                               "<p hidden='1'/></table_info></PARA></table>"
                               "<table id='6' pos='0,0,50,20'/>"));
    const FormControls& controls = built.controls;
    EXPECT_TRUE(controls.ControlByDocumentId(1)->isHidden());
    EXPECT_TRUE(controls.KeepsOutOfLayout(1));
    EXPECT_TRUE(controls.ControlByDocumentId(2)->isHidden());
    EXPECT_FALSE(controls.KeepsOutOfLayout(2));
    EXPECT_FALSE(controls.ControlByDocumentId(3)->isHidden());
    // A grid hides by its own `hidden` as every control does, and by its options' one.
    EXPECT_TRUE(controls.ControlByDocumentId(4)->isHidden());
    EXPECT_TRUE(controls.ControlByDocumentId(5)->isHidden());
    EXPECT_FALSE(controls.ControlByDocumentId(6)->isHidden());
    // Brought to the top: the last child in stacking order.
    EXPECT_EQ(built.host.form.children().last(), controls.ControlByDocumentId(1));
}

TEST(FormControls, FontSizeGivesBoldCellHeightInDefaultFace) {
    Built built(QStringLiteral("<textbox id='1' pos='0,0,50,20' font='12'/>"
                               "<textbox id='2' pos='0,0,50,20' font='9,Serif'/>"
                               "<textbox id='3' pos='0,0,50,20'/>"
                               "<droplist id='4' pos='0,0,50,20'/>"
                               "<button id='5' pos='0,0,50,20' value='确定'/>"
                               "<static id='6' pos='0,0,50,20' value='名称'/>"));
    const QFont font = built.controls.ControlByDocumentId(1)->font();
    EXPECT_TRUE(font.bold());
    EXPECT_EQ(font.pixelSize(), 16);
    EXPECT_EQ(font.family(), built.controls.DefaultFace());
    EXPECT_EQ(built.controls.ControlByDocumentId(2)->font().family(), QStringLiteral("Serif"));
    EXPECT_EQ(built.controls.ControlByDocumentId(2)->font().pixelSize(), 12);
    // Without a font of its own, every kind of control takes the form's default.
    for (int id : {3, 4, 5, 6})
        EXPECT_EQ(built.controls.ControlByDocumentId(id)->font(), built.controls.DefaultFont())
            << id;
    // Chinese renders whatever face a form names.
    EXPECT_TRUE(font.families().contains(QStringLiteral("WenQuanYi Zen Hei")));
}

TEST(FormControls, ButtonKindFollowsPopupThenStyleThenImage) {
    Built built(
        QStringLiteral("<button id='1' pos='0,0,60,24' value='链接' popup='1' img='2' style='3'/>"
                       "<button id='2' pos='0,0,60,24' value='阴影' shade='1'/>"
                       "<button id='3' pos='0,0,60,24' value='阴影2' shade='1' maxlen='2'/>"
                       "<button id='4' pos='0,0,60,24' value='开关' style='4099'/>"));
    auto* link = built.Get<LinkLabel>(1);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->text(), QStringLiteral("链接"));
    EXPECT_EQ(built.Get<ImageButton>(2)->GetShade(), ImageButton::Shade::Normal);
    EXPECT_EQ(built.Get<ImageButton>(3)->GetShade(), ImageButton::Shade::Alternative);
    // A push-like check box stays down when pressed.
    auto* pushLike = built.Get<QPushButton>(4);
    ASSERT_TRUE(pushLike);
    EXPECT_TRUE(pushLike->isCheckable());
    pushLike->click();
    EXPECT_TRUE(pushLike->isChecked());
    EXPECT_EQ(built.host.events, QStringList{"4:CLICK"});
}

TEST(FormControls, ImageButtonShowsAWebPictureOnceDownloaded) {
    LoopbackHttpServer server;
    QImage picture(16, 16, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    server.setRoute("/ok.png", 200, png, "image/png", 100);
    Built built(QStringLiteral("<button id='8' pos='0,0,60,24' value='确定' img='%1/ok.png'/>")
                    .arg(server.baseUrl()));
    auto* image = built.Get<ImageButton>(8);
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->Picture().isNull());
    PictureDownloads::Instance().WaitForDownloads();
    QCoreApplication::processEvents();
    EXPECT_EQ(image->Picture().size(), QSize(16, 16));
}

TEST(FormControls, PopupFormGetsItsDocumentAndWritesTheReturnedTextOnOk) {
    const QString popups = QStringLiteral(
        "<popup><html id='11'><head/></html><html id='12' title='选择'><head/>"
        "<body><dialog><textbox id='1' pos='0,0,1,1'/></dialog></body></html></popup>");
    Built built(QStringLiteral("<editbutton id='1' pos='0,0,100,22' popup='12' value='旧' "
                               "minlen='2'/>"
                               "<editbutton id='2' pos='0,0,100,22' popup='0:57:3;4:5'/>"),
                QStringLiteral("1"), popups);
    FakeHost& host = built.host;
    auto* box = built.Get<EditWithButton>(1);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->GetMode(), EditWithButton::Mode::PopupForm);

    host.popupAnswer = false;
    host.popupText = QStringLiteral("不该写入");
    box->OpenButton();
    EXPECT_EQ(box->text(), QStringLiteral("旧"));
    ASSERT_EQ(host.popupRequests.size(), 1);
    const PopupFormRequest& request = host.popupRequests[0];
    EXPECT_EQ(request.popupValue, QStringLiteral("12"));
    EXPECT_EQ(request.opener, box);
    EXPECT_EQ(request.columnOffset, 2);
    FormXml::XmlDocument popup;
    ASSERT_TRUE(popup.LoadXml(request.popupDocument));
    EXPECT_EQ(popup.GetRoot().GetAttribute("title"), QStringLiteral("选择"));
    EXPECT_FALSE(popup.SelectSingleNode("body/dialog/textbox").IsEmpty());
    EXPECT_TRUE(host.events.isEmpty());

    // OK writes the text, runs the box's kill-focus action and gives the box the focus back.
    QWidget* window = box->window();
    window->show();
    window->activateWindow();
    QApplication::processEvents();
    built.Get<EditWithButton>(2)->setFocus();
    host.events.clear();
    host.popupAnswer = true;
    host.popupText = QStringLiteral("新值");
    box->OpenButton();
    EXPECT_EQ(box->text(), QStringLiteral("新值"));
    // The focus comes from box 2, which runs its own leave action.
    EXPECT_EQ(host.events, (QStringList{"1:EN_CHANGE", "1:EN_KILLFOCUS", "2:EN_KILLFOCUS"}));
    EXPECT_EQ(QApplication::focusWidget(), box);
    host.events.clear();

    // A menu-function pop-up goes through as written: the form splits it.
    host.popupAnswer = false;
    built.Get<EditWithButton>(2)->OpenButton();
    ASSERT_EQ(host.popupRequests.size(), 3);
    EXPECT_EQ(host.popupRequests[2].popupValue, QStringLiteral("0:57:3;4:5"));
    EXPECT_TRUE(host.popupRequests[2].popupDocument.isEmpty());
}

TEST(FormControls, TextEditorStoresLinesWithNewlinesAndShowsThemAgain) {
    Built built(QStringLiteral("<editbutton id='1' pos='0,0,100,22'/>"));
    auto* box = built.Get<EditWithButton>(1);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->GetMode(), EditWithButton::Mode::TextEditor);

    int shownLines = -1;
    auto typeInEditor = [&](const QString& typed, bool accept) {
        QTimer::singleShot(0, [&shownLines, typed, accept] {
            auto* dialog = qobject_cast<TextEditorDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            shownLines = dialog->Editor()->blockCount();
            if (!typed.isEmpty()) {
                dialog->Editor()->selectAll();
                Type(dialog->Editor(), typed);
            }
            accept ? dialog->accept() : dialog->reject();
        });
        box->OpenButton();
    };
    typeInEditor(QStringLiteral("a\nb\nc"), true);
    EXPECT_EQ(box->text(), QStringLiteral("a\nb\nc"));
    typeInEditor(QString(), true);
    EXPECT_EQ(shownLines, 3);
    EXPECT_EQ(box->text(), QStringLiteral("a\nb\nc"));
    typeInEditor(QStringLiteral("x"), false);
    EXPECT_EQ(box->text(), QStringLiteral("a\nb\nc"));

    // Stored texts with CR LF line ends show as the same three lines.
    box->setText(QStringLiteral("a\r\nb\r\nc"));
    typeInEditor(QString(), true);
    EXPECT_EQ(shownLines, 3);
    EXPECT_EQ(box->text(), QStringLiteral("a\nb\nc"));
}

TEST(FormControls, ColourChooserWritesRedGreenBlue) {
    Built built(QStringLiteral("<editbutton id='1' pos='0,0,100,22' popup='-1' value='0,0,255'/>"));
    auto* box = built.Get<EditWithButton>(1);
    ASSERT_TRUE(box);
    QList<QColor> initials;
    std::optional<QColor> answer = QColor(Qt::red);
    EditWithButton::SetColorChooser([&](const QColor& initial, QWidget*) {
        initials.append(initial);
        return answer;
    });
    box->OpenButton();
    EXPECT_EQ(box->text(), QStringLiteral("255,0,0"));
    answer.reset();
    box->OpenButton();
    EXPECT_EQ(box->text(), QStringLiteral("255,0,0"));
    EditWithButton::SetColorChooser({});
    EXPECT_EQ(initials, (QList<QColor>{QColor(0, 0, 255), QColor(255, 0, 0)}));
}

TEST(FormControls, ChangeEventWaitsForTheLengthItsElementNames) {
    Built built(QStringLiteral(
        "<textbox id='1' pos='0,0,100,22'><ACTION><EN_CHANGE id='3'/></ACTION></textbox>"
        "<textbox id='2' pos='0,0,100,22'/>"
        "<textbox id='3' pos='0,0,100,44' style='4'><ACTION><EN_CHANGE id='2'/></ACTION>"
        "</textbox>"));
    for (const char* text : {"1", "12", "123", "1234", "123"})
        built.Get<QLineEdit>(1)->setText(text);
    EXPECT_EQ(built.host.events, (QStringList{"1:EN_CHANGE", "1:EN_CHANGE"}));

    built.host.events.clear();
    built.Get<QLineEdit>(2)->setText("x");
    built.Get<QLineEdit>(2)->setText("xy");
    built.Get<QPlainTextEdit>(3)->setPlainText("a");
    built.Get<QPlainTextEdit>(3)->setPlainText("ab");
    LoseFocus(built.Get<QLineEdit>(2));
    EXPECT_EQ(built.host.events,
              (QStringList{"2:EN_CHANGE", "2:EN_CHANGE", "3:EN_CHANGE", "2:EN_KILLFOCUS"}));
}

// The ways a user puts text into a box.
using Input = std::function<void(QWidget* box, const QString& text)>;

void PasteWithKeys(QWidget* box, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    QApplication::sendEvent(box, &press);
}

void PasteFromMenu(QWidget* box, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    auto* plain = qobject_cast<QPlainTextEdit*>(box);
    QWidget* target = plain ? plain->viewport() : box;
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(2, 2),
                              target->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(target, &request);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    QAction* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"));
    ASSERT_TRUE(paste);
    menu->close();
    paste->trigger();
}

void CommitFromInputMethod(QWidget* box, const QString& text) {
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(box, &commit);
}

TEST(FormControls, MaxlenLimitsWhatTheUserPutsInNotTextsSetByCommands) {
    Built built(QStringLiteral("<textbox id='1' pos='0,0,300,22' maxlen='40'/>"
                               "<textbox id='2' pos='0,0,300,80' style='4' maxlen='40'/>"
                               "<editbutton id='3' pos='0,0,300,22' maxlen='40'/>"));
    const QList<std::pair<const char*, Input>> inputs{
        {"typed", Type},
        {"pasted with Ctrl+V", PasteWithKeys},
        {"pasted from the menu", PasteFromMenu},
        {"committed by an input method", CommitFromInputMethod},
    };
    const QString stored = QString(60, QChar(u'名'));
    const QString fits = QString(37, QChar(u'名'));
    for (const int id : {1, 2, 3}) {
        QWidget* box = built.controls.ControlByDocumentId(id);
        ASSERT_TRUE(box);
        EXPECT_EQ(TypingLimitOf(box), 40);
        for (const auto& [how, input] : inputs) {
            // A stored name longer than the field stays whole, so saving keeps it.
            SetControlText(box, stored);
            EXPECT_EQ(ControlText(box), stored) << id;
            input(box, QStringLiteral("甲"));
            EXPECT_EQ(ControlText(box), stored) << id << " " << how;

            // Of a text that does not fit, what fits goes in.
            SetControlText(box, fits);
            input(box, QStringLiteral("甲乙丙丁戊"));
            const QString text = ControlText(box);
            EXPECT_EQ(text.size(), 40) << id << " " << how;
            EXPECT_TRUE(text.contains(QStringLiteral("甲乙丙")) && !text.contains(u'丁'))
                << id << " " << how << " " << qPrintable(text);
        }
    }
}

// A box keeps whatever it is given, however long: `maxlen` limits only what the user puts in,
// and a box without it has no limit at all.
TEST(FormControls, BoxesKeepLongTextsWhole) {
    Built built(QStringLiteral("<textbox id='1' pos='0,0,300,22'/>"
                               "<textbox id='2' pos='0,0,300,80' style='4'/>"
                               "<editbutton id='3' pos='0,0,300,22'/>"
                               "<droplist id='4' pos='0,0,300,22'/>"
                               "<textbox id='5' pos='0,0,300,22' maxlen='40'/>"));
    for (const qsizetype length : {qsizetype(40003), qsizetype(1) << 20}) {
        // The end differs from the rest, so a cut anywhere shows.
        const QString text = QString(length - 2, QChar(u'名')) + QStringLiteral("尾。");
        for (const int id : {1, 2, 3, 4, 5}) {
            QWidget* box = built.controls.ControlByDocumentId(id);
            ASSERT_TRUE(box);
            SetControlText(box, text);
            const QString back = ControlText(box);
            EXPECT_EQ(back.size(), length) << id;
            EXPECT_TRUE(back == text) << id;
        }
    }
    // Typing goes on past Qt's usual line-edit limit too.
    auto* line = built.Get<QLineEdit>(1);
    line->setText(QString(32767, QChar(u'x')));
    line->end(false);
    Type(line, QStringLiteral("y"));
    EXPECT_EQ(line->text().size(), 32768);
}

// A multi-line box gives back what it was given or typed: a no-break space stays one, and line
// ends read as "\n".
TEST(FormControls, MultiLineBoxesKeepNoBreakSpaces) {
    Built built(QStringLiteral("<textbox id='1' pos='0,0,300,80' style='4'>"
                               "<ACTION><EN_CHANGE/></ACTION></textbox>"));
    auto* box = built.Get<QPlainTextEdit>(1);
    ASSERT_TRUE(box);
    const QString text = QStringLiteral("a\u00A0b\nc\u00A0");
    SetControlText(box, text);
    EXPECT_EQ(ControlText(box), text);

    box->clear();
    box->setFocus();
    Type(box, text);
    EXPECT_EQ(ControlText(box), text);

    // The text editor of an edit-with-button box returns its text the same way.
    TextEditorDialog editor(text);
    EXPECT_EQ(editor.Text(), text);
}

// Selects an item as the user does: opens the list, moves to the item and presses Enter. The
// opening's own CLICK is left out of the events.
void SelectByKey(FakeHost& host, QComboBox* list, int index) {
    const qsizetype before = host.events.size();
    list->showPopup();
    ASSERT_EQ(host.events.size(), before + 1);
    host.events.removeLast();
    list->view()->setCurrentIndex(list->model()->index(index, 0));
    SendKey(list->view(), Qt::Key_Return);
    QApplication::processEvents();
}

void TypeInto(QComboBox* list, const QString& text) {
    list->lineEdit()->selectAll();
    Type(list, text);
    QApplication::processEvents();
}

TEST(FormControls, DropListRuleFromId21RaisesOnlyRealChanges) {
    struct Case {
        int id;
        QString typed; // typed after selecting item "B"
        QStringList events;
        QString selectedAfter;
    };
    const QList<Case> cases{
        // Typing the selected item's text again changes nothing.
        {21, "B", {}, "B"},
        // Typing another item's text selects it.
        {21, "A", {"21:EN_CHANGE", "21:EN_KILLFOCUS"}, "A"},
        {21, "Q", {"21:EN_CHANGE", "21:EN_KILLFOCUS"}, "B"},
        // Lower ids report every focus loss.
        {20, "B", {"20:EN_CHANGE", "20:EN_KILLFOCUS"}, "B"},
    };
    for (const Case& c : cases) {
        Built built(QStringLiteral("<droplist id='%1' pos='0,0,80,22' value='A;B;C'/>").arg(c.id));
        auto* list = built.Get<QComboBox>(c.id);
        ASSERT_TRUE(list);
        SelectByKey(built.host, list, 1);
        ASSERT_EQ(list->currentText(), QStringLiteral("B"));
        EXPECT_EQ(built.host.events, QStringList{QStringLiteral("%1:EN_CHANGE").arg(c.id)});
        built.host.events.clear();
        TypeInto(list, c.typed);
        built.host.events.removeAll(QStringLiteral("%1:DCLICK").arg(c.id));
        LoseFocus(list);
        EXPECT_EQ(built.host.events, c.events) << c.id << " " << qPrintable(c.typed);
        EXPECT_EQ(list->itemText(list->currentIndex()), c.selectedAfter);
    }
}

TEST(FormControls, DropListSelectionOfTheShownTextRaisesNothingFromId21) {
    for (const int id : {21, 5}) {
        Built built(QStringLiteral("<droplist id='%1' pos='0,0,80,22' value='A;B'/>").arg(id));
        auto* list = built.Get<QComboBox>(id);
        TypeInto(list, "B");
        EXPECT_EQ(built.host.events, QStringList{QStringLiteral("%1:DCLICK").arg(id)});
        built.host.events.clear();
        SelectByKey(built.host, list, 1);
        const QStringList expected =
            id >= 21 ? QStringList{} : QStringList{QStringLiteral("%1:EN_CHANGE").arg(id)};
        EXPECT_EQ(built.host.events, expected) << id;
    }
}

TEST(FormControls, ButtonAndTreeEventsReachTheForm) {
    Built built(QStringLiteral("<button id='1' pos='0,0,60,24' value='存'/>"
                               "<button id='2' pos='0,0,60,24' value='链' popup='1'/>"
                               "<tree id='3' pos='0,0,100,100'/>"
                               "<droplist id='4' pos='0,0,80,22' value='A'/>"));
    built.Get<QAbstractButton>(1)->click();
    built.Get<QAbstractButton>(2)->click();
    auto* tree = built.Get<QTreeWidget>(3);
    tree->addTopLevelItem(new QTreeWidgetItem(QStringList{"节点"}));
    tree->setCurrentItem(tree->topLevelItem(0));
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &right);
    built.Get<QComboBox>(4)->showPopup();
    built.Get<QComboBox>(4)->hidePopup();
    EXPECT_EQ(built.host.events,
              (QStringList{"1:CLICK", "2:CLICK", "3:EN_CHANGE", "3:RCLICK!", "4:CLICK"}));
}

// Widths the user drags are kept under the form's menu, the table's id and the user, and the
// next build of the form shows them.
TEST(FormControls, GridKeepsDraggedWidthsUnderItsMenuTableAndUser) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    Application& app = Application::Instance();
    const QString savedFolder = app.session.exeFolder;
    const QString savedUser = app.session.userUid;
    ChangeStartUp(app.session, [&](SessionContext::StartUp& facts) {
        facts.exeFolder = folder.path() + QLatin1Char('/');
    });
    ChangeUser(app.session, [](SessionContext::User& user) { user.userUid = QStringLiteral("7"); });
    const QString dialog = QStringLiteral(
        "<table id='16' pos='0,0,200,100'><PARA><col_info><col id='1' title='a' width='50'/>"
        "<col id='2' title='b' width='60'/></col_info></PARA></table>");
    {
        Built built(dialog);
        built.Get<GridView>(16)->SetColumnWidth(1, 90);
    }
    EXPECT_EQ(ReadCfg(app.CfgPath(), "TABLECOLS", "T57_16_2_7"), "90");
    Built again(dialog);
    EXPECT_EQ(again.Get<GridView>(16)->ColumnWidth(0), 50);
    EXPECT_EQ(again.Get<GridView>(16)->ColumnWidth(1), 90);
    ChangeStartUp(app.session,
                  [&](SessionContext::StartUp& facts) { facts.exeFolder = savedFolder; });
    ChangeUser(app.session, [&](SessionContext::User& user) { user.userUid = savedUser; });
}

// A label's drawn picture is named relative to the client's folder.
TEST(FormControls, LabelPictureComesFromTheClientFolder) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QImage red(4, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(folder.filePath(QStringLiteral("red.png"))));
    Application& app = Application::Instance();
    const QString savedFolder = app.session.exeFolder;
    ChangeStartUp(app.session, [&](SessionContext::StartUp& facts) {
        facts.exeFolder = folder.path() + QLatin1Char('/');
    });
    Built built(QStringLiteral("<static id='1' pos='0,0,40,40' minlen='13'>"
                               "<item type='img' pos='10,10,0,0' text='red.png'/></static>"));
    ChangeStartUp(app.session,
                  [&](SessionContext::StartUp& facts) { facts.exeFolder = savedFolder; });
    auto* label = built.Get<DrawnLabel>(1);
    ASSERT_TRUE(label);
    const QImage drawn = label->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(11, 11), QColor(Qt::red));
    EXPECT_NE(drawn.pixelColor(5, 5), QColor(Qt::red));
}

// ---- Pick list on a real account set ----

class PickListTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        set_ = TestAccountSet::Create(Engine::Sqlite, why);
        if (!set_)
            GTEST_SKIP() << qPrintable(why);
        Application& app = Application::Instance();
        ChangeStartUp(app.session,
                      [&](SessionContext::StartUp& facts) { facts.exeFolder = set_->folder(); });
        app.session.SetStoredConnectionText(QString());
        ChangeUser(app.session,
                   [&](SessionContext::User& user) { user.userUid = QStringLiteral("7"); });
        WriteCfg(app.CfgPath(), "SERVER", "NAME", ScrambleCfgText(set_->connectionText(), 1));
        previousSink_ = SetMessageSink([](const AppMessageRequest&) { return MessageAnswer::Ok; });
        DbSession session;
        session.SetConnectionString(set_->connectionText());
        ASSERT_TRUE(session.Open());
        ASSERT_TRUE(session.ExecuteScript(
            QStringLiteral("CREATE TABLE t_pick (code_0 TEXT, name_0 TEXT, owner_0 TEXT);"
                           "INSERT INTO t_pick VALUES ('A01', '螺栓', '7');"
                           "INSERT INTO t_pick VALUES ('A02', '螺母', '7');"
                           "INSERT INTO t_pick VALUES ('A03', '垫圈', '8');"
                           "INSERT INTO t_pick VALUES ('B01', '钢板', '7');")));
    }
    void TearDown() override {
        if (set_)
            SetMessageSink(previousSink_);
        Application::Instance().session.SetStoredConnectionText(QString());
        ChangeUser(Application::Instance().session,
                   [](SessionContext::User& user) { user.userUid.clear(); });
    }

    // Types the text and waits for the list's answer to it.
    static int TypeAndWait(EditWithButton* box, const QString& text) {
        int rows = -1;
        QEventLoop loop;
        const auto connection =
            QObject::connect(box, &EditWithButton::pickListUpdated, &loop, [&](int count) {
                rows = count;
                loop.quit();
            });
        QTimer::singleShot(15000, &loop, &QEventLoop::quit);
        box->setText(text);
        loop.exec();
        QObject::disconnect(connection);
        return rows;
    }

    std::unique_ptr<TestAccountSet> set_;
    MessageSink previousSink_;
};

TEST_F(PickListTest, FillsFromTheQueryAsTheUserTypesAndHidesWithoutRows) {
    Built built(QStringLiteral(
        "<textbox id='50' pos='0,0,10,10' value='7'/>"
        "<editbutton id='1' pos='10,10,110,32' desp='50' value=\"SELECT code_0, name_0 FROM "
        "t_pick WHERE code_0 LIKE '{{1}}%' AND owner_0 = '{{p1}}' AND owner_0 = '{{userid}}' "
        "ORDER BY code_0\"/>"));
    auto* box = built.Get<EditWithButton>(1);
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->text().isEmpty());
    PickListPopup* list = box->PickList();
    ASSERT_TRUE(list);

    EXPECT_EQ(TypeAndWait(box, "A"), 2);
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->RowText(0, 0), QStringLiteral("A01"));
    EXPECT_EQ(list->RowText(1, 1), QStringLiteral("螺母"));
    EXPECT_EQ(list->size(), QSize(800, 47));
    EXPECT_EQ(list->pos(), box->mapToGlobal(QPoint(0, box->height())));

    EXPECT_EQ(TypeAndWait(box, "B"), 1);
    EXPECT_EQ(list->height(), 26);

    EXPECT_EQ(TypeAndWait(box, "Z"), 0);
    EXPECT_FALSE(list->isVisible());
}

// An empty part of `desp` keeps its place in the parameter numbering.
TEST_F(PickListTest, EmptyParameterPartsKeepTheirPlace) {
    Built built(QStringLiteral(
        "<textbox id='50' pos='0,0,10,10' value='7'/>"
        "<editbutton id='1' pos='10,10,110,32' desp=';;50' value=\"SELECT code_0, name_0 FROM "
        "t_pick WHERE code_0 LIKE '{{1}}%' AND owner_0 = '{{p3}}' ORDER BY code_0\"/>"));
    auto* box = built.Get<EditWithButton>(1);
    ASSERT_TRUE(box);
    EXPECT_EQ(TypeAndWait(box, "A"), 2);
}

TEST_F(PickListTest, NewerTextSupersedesOlderRequestsAndChoosingTakesTheCode) {
    Built built(QStringLiteral("<editbutton id='1' pos='0,0,100,22' value=\"SELECT code_0, "
                               "name_0 FROM t_pick WHERE code_0 LIKE '{{1}}%'\"/>"));
    auto* box = built.Get<EditWithButton>(1);
    QList<int> answers;
    QObject::connect(box, &EditWithButton::pickListUpdated,
                     [&](int rows) { answers.append(rows); });
    box->setText("B");
    box->setText("A");
    EXPECT_EQ(TypeAndWait(box, "A0"), 3);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    // Only the newest text's answer arrived.
    EXPECT_EQ(answers, QList<int>{3});

    built.host.events.clear();
    SendKey(box, Qt::Key_Down);
    SendKey(box, Qt::Key_Return);
    EXPECT_EQ(box->text(), QStringLiteral("A02"));
    EXPECT_FALSE(box->PickList()->isVisible());
    EXPECT_EQ(built.host.events, QStringList{"1:EN_CHANGE"});
    timer.restart();
    while (timer.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(answers.size(), 1); // the chosen text asks for no new suggestions
}

TEST_F(PickListTest, TypedTextStaysInsideItsQuotedLiteral) {
    DbSession session;
    session.SetConnectionString(set_->connectionText());
    ASSERT_TRUE(session.Open());
    ASSERT_TRUE(session.ExecuteScript(
        QStringLiteral("INSERT INTO t_pick VALUES ('C01', 'O''Brien扳手', '7');"
                       "INSERT INTO t_pick VALUES ('D01', '7号螺丝', '7');")));
    Built built(QStringLiteral(
        "<textbox id='50' pos='0,0,10,10' value='7'/>"
        "<editbutton id='1' pos='0,0,100,22' desp='50' value=\"SELECT code_0, name_0 FROM t_pick "
        "WHERE name_0 LIKE '{{1}}%' AND owner_0 = '{{p1}}' ORDER BY code_0\"/>"));
    auto* box = built.Get<EditWithButton>(1);
    ASSERT_TRUE(box);
    const QList<std::pair<QString, QStringList>> cases{
        // A quote is part of the name looked for.
        {QStringLiteral("O'Brien"), {QStringLiteral("C01")}},
        // Typed SQL is only text: no other table's rows.
        {QStringLiteral("' UNION SELECT id_0, name_0||' pass='||pass_0 FROM c_user--"), {}},
        // A placeholder typed by the user is not filled in.
        {QStringLiteral("{{p1}}"), {}},
        {QStringLiteral("7"), {QStringLiteral("D01")}},
    };
    for (const auto& [typed, codes] : cases) {
        const int rows = TypeAndWait(box, typed);
        QStringList shownCodes, shownNames;
        for (int row = 0; row < rows; ++row) {
            shownCodes.append(box->PickList()->RowText(row, 0));
            shownNames.append(box->PickList()->RowText(row, 1));
        }
        EXPECT_EQ(shownCodes, codes)
            << qPrintable(typed) << " listed " << qPrintable(shownNames.join(' '));
    }
}

TEST(FillComboFromQuery, FillsOnceUnderAnEmptyItemAndKeepsTheShownText) {
    QString why;
    const auto set = TestAccountSet::Create(Engine::Sqlite, why);
    if (!set)
        GTEST_SKIP() << qPrintable(why);
    const MessageSink previousSink =
        SetMessageSink([](const AppMessageRequest&) { return MessageAnswer::Ok; });
    DbSession session;
    session.SetConnectionString(set->connectionText());
    ASSERT_TRUE(session.Open());
    ASSERT_TRUE(session.ExecuteScript(
        QStringLiteral("CREATE TABLE t_unit (name_0 TEXT); INSERT INTO t_unit VALUES ('个'); "
                       "INSERT INTO t_unit VALUES ('箱');")));
    const QString units = QStringLiteral("SELECT name_0 FROM t_unit ORDER BY rowid");
    struct Case {
        const char* name;
        QStringList before;
        QString sql;
        bool result;
        QStringList after;
    };
    const Case cases[] = {
        {"filled under an empty item", {}, units, true, {"", "个", "箱"}},
        {"no rows leave the empty item", {"旧"}, units + " LIMIT 0", false, {""}},
        {"a failed query leaves the list", {"旧"}, "SELECT name_0 FROM t_none", false, {"旧"}},
        {"a filled list is left alone", {"甲", "乙"}, units, true, {"甲", "乙"}},
    };
    for (const Case& c : cases) {
        QComboBox combo;
        combo.setEditable(true);
        combo.addItems(c.before);
        combo.setEditText(QStringLiteral("手写"));
        EXPECT_EQ(FillComboFromQuery(session, &combo, c.sql, QStringLiteral("name_0")), c.result)
            << c.name;
        QStringList items;
        for (int i = 0; i < combo.count(); ++i)
            items.append(combo.itemText(i));
        EXPECT_EQ(items, c.after) << c.name;
        EXPECT_EQ(combo.currentText(), QStringLiteral("手写")) << c.name;
    }
    SetMessageSink(previousSink);
}

TEST(PickListPopupSize, GrowsByRowsUpToAMaximum) {
    const QList<std::pair<int, int>> cases{{1, 26}, {2, 47}, {5, 110}, {13, 278}, {14, 280}};
    for (const auto& [rows, height] : cases)
        EXPECT_EQ(PickListPopup::HeightForRows(rows), height) << rows;
}

} // namespace

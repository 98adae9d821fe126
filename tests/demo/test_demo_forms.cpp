// The demo account set as its users meet it: built by the code behind `init --demo`, every
// function opened from its menu entry through the real form engine, and the buttons pressed by
// raising the events they raise.
#include "AdminCommands.h"
#include "DemoAccountSet.h"
#include "app/Application.h"
#include "app/CommandFamilies.h"
#include "app/Login.h"
#include "app/OpenBusinessFunction.h"
#include "commands/CommandTable.h"
#include "data/ConnectionText.h"
#include "data/DbSession.h"
#include "form/ControlValues.h"
#include "form/DefinitionCodec.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "form/XmlDocument.h"
#include "platform/AppMessage.h"
#include "platform/ShellOpen.h"
#include "print/PrintCommands.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestAccountSet.h"
#include "widgets/EditWithButton.h"
#include "widgets/GridView.h"
#include "widgets/PictureView.h"
#include "widgets/TreeListView.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QImage>
#include <QLineEdit>
#include <QStyle>
#include <QTemporaryDir>

#include <deque>

#include <gtest/gtest.h>

// Failures show the texts, not their bytes.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
static void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << '[' << texts.join(QStringLiteral(" | ")).toStdString() << ']';
}

namespace {

// Control ids of the demo forms that the tests press or fill.
namespace materials {
constexpr int kCodeFilter = 2, kNameFilter = 4, kSearch = 7, kList = 9, kPageInfo = 11,
              kNextPage = 14, kKey = 20, kCode = 21, kName = 22, kModel = 23, kUnit = 24,
              kCategory = 25, kPrice = 26, kSalePrice = 27, kStatus = 33, kNew = 30, kSave = 31,
              kDelete = 32;
}
namespace document { // 入库单 and 销售合同 share their layout
constexpr int kList = 9, kKey = 20, kCode = 21, kPartner = 23, kPartnerKey = 24, kLines = 40,
              kTotal = 42, kNew = 50, kSave = 51, kContractState = 56, kAudit = 58, kUnaudit = 59;
// Grid columns of the lines.
constexpr int kCodeColumn = 1, kQtyColumn = 5, kPriceColumn = 6, kAmountColumn = 7;
} // namespace document
namespace users {
constexpr int kList = 9, kId = 21, kName = 22, kGroup = 23, kNew = 30, kSave = 31, kStatus = 27;
}

class DemoForms : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        set_ = TestAccountSet::Create(Engine::Sqlite, why);
        ASSERT_TRUE(set_) << qPrintable(why);
        db_.SetConnectionString(set_->connectionText());
        ASSERT_TRUE(db_.Open());
        db_.BeginTrans();
        QString error;
        ASSERT_TRUE(AddDemoContent(db_, error)) << qPrintable(error);
        db_.CommitTrans();

        Application& app = Application::Instance();
        UseAccountSetAsConfigured(*set_, app);
        app.session.SetLikeRewrite(false);
        previousSink_ = SetMessageSink([this](const AppMessageRequest& r) {
            messages_.append(r.caption + QStringLiteral("|") + r.text);
            // Unless told otherwise the user agrees, as the headless sink does.
            if (answers_.empty())
                return r.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
            const MessageAnswer answer = answers_.front();
            answers_.pop_front();
            return answer;
        });
        RegisterAllCommands();
        LogIn("admin");
    }
    void TearDown() override {
        if (!set_)
            return;
        CloseForms();
        SetMessageSink(previousSink_);
    }

    void LogIn(const QString& loginId) {
        CloseForms();
        DbSession login(DbSession::FromConfig);
        ASSERT_EQ(AttemptLogin(login, Application::Instance(), loginId, "1"), LoginResult::LoggedIn)
            << qPrintable(loginId);
    }
    static void CloseForms() {
        for (QDialog* form : Application::Instance().forms.openForms.keys())
            delete form;
        Application::Instance().forms.openForms.clear();
    }

    // Opens a function the way the menu does.
    FormWindow* Open(int menuUid) {
        FormWindow* form = nullptr;
        const OpenFunctionResult result = OpenBusinessFunction(
            Application::Instance(), QString::number(menuUid), QStringLiteral("演示"), &form);
        EXPECT_EQ(result, OpenFunctionResult::Opened) << menuUid;
        return form;
    }

    template <typename T = QWidget> static T* Control(FormWindow* form, int id) {
        return qobject_cast<T*>(form->ControlByWindowId(id + FormControls::kWindowIdBase));
    }
    static GridView* Grid(FormWindow* form, int id) { return Control<GridView>(form, id); }
    static QString Text(FormWindow* form, int id) { return ControlText(Control(form, id)); }
    static void Type(FormWindow* form, int id, const QString& text) {
        Control<QLineEdit>(form, id)->setText(text);
    }
    static void Raise(FormWindow* form, int id, const char* event) {
        form->RunEvent(id + FormControls::kWindowIdBase, QString::fromLatin1(event));
    }
    static void Click(FormWindow* form, int id) { Raise(form, id, "CLICK"); }
    // The user picks an item of a drop-down list: the list reports the choice, which raises
    // the list's EN_CHANGE. A box whose pop-up list returned the item runs its leave action.
    static void Choose(FormWindow* form, int id, const QString& item) {
        QCoreApplication::processEvents(); // a user's pick comes after pending events
        if (auto* box = Control<EditWithButton>(form, id)) {
            box->setText(item);
            Raise(form, id, "EN_KILLFOCUS");
            return;
        }
        auto* list = Control<QComboBox>(form, id);
        const int index = list->findText(item);
        ASSERT_GE(index, 0) << qPrintable(item);
        list->setCurrentIndex(index);
        Q_EMIT list->activated(index);
    }
    static void ClickRow(FormWindow* form, int gridId, int row) {
        GridView* grid = Grid(form, gridId);
        grid->SelectRow(-1, false);
        grid->SelectRow(row, true);
        Click(form, gridId);
    }
    static int RowWith(const GridView* grid, int column, const QString& text) {
        for (int r = 0; r < grid->RowCount(); ++r)
            if (grid->CellText(r, column) == text)
                return r;
        return -1;
    }
    static QStringList Column(const GridView* grid, int column) {
        QStringList cells;
        for (int r = 0; r < grid->RowCount(); ++r)
            cells.append(grid->CellText(r, column));
        return cells;
    }
    // Types into a cell: the column's editor opens over it, takes the text, and the edit ends.
    static void EditCell(FormWindow* form, int gridId, int row, int column, const QString& text) {
        GridView* grid = Grid(form, gridId);
        ASSERT_TRUE(grid->BeginEdit(row, column)) << row << "," << column;
        auto* editor = qobject_cast<QLineEdit*>(grid->EditorWindow());
        ASSERT_TRUE(editor);
        editor->setText(text);
        grid->EndEdit(1);
    }
    // A line of a goods receipt or contract typed into the empty line at the bottom: the
    // material (its description and price follow), then the quantity.
    static void AddLine(FormWindow* form, const QString& code, const QString& qty,
                        const QString& price = {}) {
        const int row = Grid(form, document::kLines)->RowCount() - 1;
        EditCell(form, document::kLines, row, document::kCodeColumn, code);
        EditCell(form, document::kLines, row, document::kQtyColumn, qty);
        if (!price.isEmpty())
            EditCell(form, document::kLines, row, document::kPriceColumn, price);
    }

    QStringList Rows(const QString& sql) {
        QStringList values;
        db_.QueryList(sql, values);
        return values;
    }
    QString Value(const QString& sql) { return Rows(sql).value(0); }

    std::unique_ptr<TestAccountSet> set_;
    DbSession db_;
    QStringList messages_;
    std::deque<MessageAnswer> answers_;
    MessageSink previousSink_;
};

TEST(DemoAccountSet, InitDemoCreatesACompleteAccountSetOnce) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("account.dat");
    ASSERT_EQ(RunAdminCommand({"init", "--sqlite", file, "--demo"}), 0);
    EXPECT_NE(RunAdminCommand({"init", "--sqlite", file, "--demo"}), 0); // never overwritten
    EXPECT_NE(RunAdminCommand({"init", "--pg", "dbname=x", "--demo"}), 0);

    DbSession db;
    db.SetConnectionString(AccessConnectionText(file));
    ASSERT_TRUE(db.Open());
    auto value = [&](const QString& sql) {
        QString v;
        db.QueryValue(sql, v);
        return v.toInt();
    };
    EXPECT_GE(value("SELECT COUNT(*) FROM c_material"), 200);
    EXPECT_GE(value("SELECT COUNT(DISTINCT category_0) FROM c_material"), 8);
    EXPECT_GE(value("SELECT COUNT(*) FROM c_supplier"), 20);
    EXPECT_GE(value("SELECT COUNT(*) FROM c_customer"), 20);
    EXPECT_GE(value("SELECT COUNT(*) FROM p_receipt"), 24);
    EXPECT_GE(value("SELECT COUNT(*) FROM p_contract WHERE state_0 = '草稿'"), 3);
    EXPECT_GE(value("SELECT COUNT(*) FROM p_contract WHERE state_0 = '已审核'"), 3);
    // Every document has lines, every line adds up, every material has its stock row.
    EXPECT_EQ(value("SELECT COUNT(*) FROM p_receipt r WHERE NOT EXISTS (SELECT 1 FROM "
                    "p_receipt_line l WHERE l.head_uid_0 = r.uid_0)"),
              0);
    EXPECT_EQ(value("SELECT COUNT(*) FROM p_contract_line WHERE abs(amount_0 - qty_0 * "
                    "price_0) > 0.005"),
              0);
    EXPECT_EQ(value("SELECT COUNT(*) FROM c_material m WHERE NOT EXISTS (SELECT 1 FROM p_sto s "
                    "WHERE s.material_uid_0 = m.uid_0)"),
              0);
    // The seed keeps the references the engine enforces.
    EXPECT_EQ(value("SELECT COUNT(*) FROM pragma_foreign_key_check"), 0);

    // Each leaf of the tree carries its form, stored as the packer stores it.
    QStringList leaves;
    db.QueryList("SELECT uid_0 FROM c_menu_dh WHERE leaf_0 = 1 ORDER BY uid_0", leaves);
    ASSERT_EQ(leaves.size(), qsizetype(DemoFunctions().size()));
    for (const DemoFunction& function : DemoFunctions()) {
        QList<QByteArray> stored;
        ASSERT_TRUE(db.ReadBinary(
            QStringLiteral("SELECT form_0 FROM c_menu_dh WHERE uid_0=%1").arg(function.menuUid),
            {"form_0"}, stored));
        ASSERT_EQ(stored.size(), 1);
        const UnpackResult unpacked = UnpackDefinition(stored.first());
        ASSERT_TRUE(unpacked.ok) << function.formFile;
        EXPECT_EQ(unpacked.text, DemoFormText(QString::fromLatin1(function.formFile)));
        FormXml::XmlDocument document;
        ASSERT_TRUE(document.LoadXml(unpacked.text)) << function.formFile;
        EXPECT_EQ(document.SelectSingleNode("//html/head").GetAttribute("title"),
                  QString::fromUtf8(function.name));
        QString menuName;
        db.QueryValue(
            QStringLiteral("SELECT name_0 FROM c_menu_dh WHERE uid_0=%1").arg(function.menuUid),
            menuName);
        EXPECT_EQ(menuName, QString::fromUtf8(function.name));
    }

    // The administrators' group may open every function, the clerks' all but 用户与权限.
    QString adminRights, clerkRights;
    db.QueryValue("SELECT auth_0 FROM view_c_user WHERE id_0 = 'admin'", adminRights);
    db.QueryValue("SELECT auth_0 FROM view_c_user WHERE id_0 = 'zhangxm'", clerkRights);
    for (const QString& leaf : leaves) {
        EXPECT_TRUE(adminRights.split(',').contains(leaf)) << qPrintable(leaf);
        EXPECT_EQ(clerkRights.split(',').contains(leaf), leaf != "41") << qPrintable(leaf);
    }
    db.Close();
}

TEST_F(DemoForms, EveryFunctionOpensAndStartsWithoutComplaint) {
    for (const DemoFunction& function : DemoFunctions()) {
        messages_.clear();
        FormWindow* form = Open(function.menuUid);
        ASSERT_TRUE(form) << function.formFile;
        EXPECT_EQ(form->windowTitle(), QString::fromUtf8(function.name));
        EXPECT_TRUE(messages_.isEmpty()) << function.formFile << qPrintable(messages_.join('\n'));
        EXPECT_TRUE(form->Runner().ErrorText.isEmpty())
            << function.formFile << qPrintable(form->Runner().ErrorText);
        // The start-up fills the function's list: a grid, or the rows of a tree-list.
        if (auto* chart = Control<TreeListView>(form, 9))
            EXPECT_FALSE(chart->ShownRows().empty()) << function.formFile;
        else
            EXPECT_GT(Grid(form, 9)->RowCount(), 0) << function.formFile;
    }
}

TEST_F(DemoForms, MaterialsSearchAndPageThroughTheList) {
    FormWindow* form = Open(11);
    ASSERT_TRUE(form);
    const int total = Value("SELECT COUNT(*) FROM c_material").toInt();
    const int pages = (total + 23) / 24;
    GridView* list = Grid(form, materials::kList);
    EXPECT_EQ(list->RowCount(), 24);
    EXPECT_EQ(Text(form, materials::kPageInfo),
              QStringLiteral("当前 1/%1 页 每页 24 条记录 合计 %2 条记录").arg(pages).arg(total));
    const QString firstOfPage2 = Value("SELECT code_0 FROM c_material ORDER BY code_0 LIMIT 1 "
                                       "OFFSET 24");
    Click(form, materials::kNextPage);
    EXPECT_EQ(form->Page().number, 2);
    EXPECT_EQ(list->CellText(0, 0), "25"); // 序号 goes on from the first page
    EXPECT_EQ(list->CellText(0, 1), firstOfPage2);

    // Filters combine; a search starts again at the first page.
    Type(form, materials::kNameFilter, QStringLiteral("螺栓"));
    Type(form, materials::kCodeFilter, QStringLiteral("JG"));
    Click(form, materials::kSearch);
    EXPECT_EQ(form->Page().number, 1);
    const QStringList codes = Rows("SELECT code_0 FROM c_material WHERE name_0 LIKE '%螺栓%' AND "
                                   "code_0 LIKE '%JG%' ORDER BY code_0");
    ASSERT_FALSE(codes.isEmpty());
    EXPECT_EQ(Column(list, 1), codes);
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));

    // A click shows the material in the fields.
    ClickRow(form, materials::kList, 0);
    EXPECT_EQ(
        Text(form, materials::kKey),
        Value(QStringLiteral("SELECT uid_0 FROM c_material WHERE code_0='%1'").arg(codes.first())));
    EXPECT_EQ(Text(form, materials::kCode), codes.first());
    // The value is selected, as written values are, but shown so only while the box has the
    // focus: a shown record is not a form full of highlighted fields.
    auto* code = Control<QLineEdit>(form, materials::kCode);
    EXPECT_EQ(code->selectedText(), codes.first());
    EXPECT_EQ(code->palette().color(QPalette::Highlight), code->palette().color(QPalette::Base));
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(code, &focusIn);
    EXPECT_NE(code->palette().color(QPalette::Highlight), code->palette().color(QPalette::Base));
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(code, &focusOut);
    EXPECT_EQ(code->palette().color(QPalette::Highlight), code->palette().color(QPalette::Base));
}

// The supplier and customer lists show every text of the demo whole, on every page: the
// grid cuts a longer one with "…" and offers no other way to read it there.
TEST_F(DemoForms, PartnerListsShowEveryTextWhole) {
    for (const int menuUid : {12, 13}) {
        FormWindow* form = Open(menuUid);
        ASSERT_TRUE(form);
        GridView* list = Grid(form, 9);
        // A cell's text is laid out between the item view's margins on either side.
        const int margins =
            2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
        for (int page = 1;; ++page) {
            ASSERT_EQ(form->Page().number, page);
            ASSERT_GT(list->RowCount(), 0);
            for (int row = 0; row < list->RowCount(); ++row)
                for (int column = 0; column < list->ColumnCount(); ++column) {
                    const QString text = list->CellText(row, column);
                    EXPECT_LE(list->fontMetrics().horizontalAdvance(text) + margins,
                              list->ColumnWidth(column))
                        << "function " << menuUid << ", column " << column << ": "
                        << text.toStdString();
                }
            Click(form, 14); // 下页; on the last page it stays there
            if (form->Page().number == page)
                break;
        }
    }
}

TEST_F(DemoForms, MaterialsNewEditAndDelete) {
    FormWindow* form = Open(11);
    ASSERT_TRUE(form);
    auto fill = [&](const QString& code, const QString& price) {
        Click(form, materials::kNew);
        Type(form, materials::kCode, code);
        Type(form, materials::kName, QStringLiteral("测试扳手"));
        Type(form, materials::kModel, QStringLiteral("8寸"));
        Choose(form, materials::kUnit, QStringLiteral("把"));
        Choose(form, materials::kCategory, QStringLiteral("五金工具"));
        Type(form, materials::kPrice, price);
        Type(form, materials::kSalePrice, "30");
    };
    const struct {
        const char* code;
        const char* price;
        const char* refusal;
    } refused[] = {
        {"WJ0001", "20", "编码 WJ0001 已被物料“十字螺丝刀”使用"},
        {"WJ9001", "2O", "进价须是不小于 0 的数字"},
        {"WJ9001", "1.2.3", "进价须是不小于 0 的数字"},
        {"WJ 9001", "20", "编码只能由字母、数字和横线组成"},
        {"", "20", "请正确填写（或者选择）必填项编码"},
    };
    const QString count = Value("SELECT COUNT(*) FROM c_material");
    for (const auto& c : refused) {
        messages_.clear();
        fill(QString::fromUtf8(c.code), QString::fromUtf8(c.price));
        Click(form, materials::kSave);
        EXPECT_EQ(messages_, QStringList(QStringLiteral("操作提示|") + c.refusal)) << c.price;
        EXPECT_EQ(Value("SELECT COUNT(*) FROM c_material"), count);
        EXPECT_EQ(Text(form, materials::kKey), "0");
    }

    messages_.clear();
    fill("WJ9001", "19.5");
    Click(form, materials::kSave);
    EXPECT_EQ(messages_, QStringList("操作提示|操作成功。"));
    const QString uid = Value("SELECT uid_0 FROM c_material WHERE code_0 = 'WJ9001'");
    ASSERT_FALSE(uid.isEmpty());
    EXPECT_EQ(Text(form, materials::kKey), uid);
    EXPECT_EQ(Rows("SELECT name_0, unit_0, category_0, price_0 FROM c_material WHERE uid_0=" + uid),
              QStringList({"测试扳手", "把", "五金工具", "19.5"}));
    EXPECT_EQ(Value("SELECT qty_0 FROM p_sto WHERE material_uid_0=" + uid), "0");
    EXPECT_EQ(Text(form, materials::kStatus), QStringLiteral("已保存物料 WJ9001"));

    // The same button now changes the material it shows.
    Type(form, materials::kPrice, "21");
    Click(form, materials::kSave);
    EXPECT_EQ(Value("SELECT price_0 FROM c_material WHERE uid_0=" + uid), "21");
    EXPECT_EQ(Value("SELECT COUNT(*) FROM c_material WHERE code_0 = 'WJ9001'"), "1");

    // Delete asks first; a material that documents use cannot go.
    const QString used = Value("SELECT m.code_0 FROM c_material m WHERE EXISTS (SELECT 1 FROM "
                               "p_receipt_line l WHERE l.material_uid_0 = m.uid_0) ORDER BY "
                               "m.code_0 LIMIT 1");
    Type(form, materials::kCodeFilter, used);
    Type(form, materials::kNameFilter, "");
    Click(form, materials::kSearch);
    messages_.clear();
    ClickRow(form, materials::kList, 0);
    Click(form, materials::kDelete);
    EXPECT_EQ(messages_.last(),
              QStringLiteral("操作提示|物料 %1 已用于入库单或销售合同，不能删除").arg(used));

    Type(form, materials::kCodeFilter, "WJ9001");
    Click(form, materials::kSearch);
    ClickRow(form, materials::kList, 0);
    messages_.clear();
    answers_ = {MessageAnswer::No};
    Click(form, materials::kDelete);
    EXPECT_EQ(messages_, QStringList("操作确认|是否删除物料 WJ9001 测试扳手？"));
    EXPECT_EQ(Value("SELECT COUNT(*) FROM c_material WHERE uid_0=" + uid), "1");
    Click(form, materials::kDelete);
    EXPECT_EQ(Value("SELECT COUNT(*) FROM c_material WHERE uid_0=" + uid), "0");
    EXPECT_EQ(Value("SELECT COUNT(*) FROM p_sto WHERE material_uid_0=" + uid), "0");
    EXPECT_EQ(Grid(form, materials::kList)->RowCount(), 0);
    EXPECT_EQ(Text(form, materials::kKey), "0");
}

TEST_F(DemoForms, GoodsReceiptSavesHeaderAndLinesTogether) {
    FormWindow* form = Open(21);
    ASSERT_TRUE(form);
    const QString number = Text(form, document::kCode);
    EXPECT_TRUE(number.startsWith("RK")) << qPrintable(number);
    const QString supplier = QStringLiteral("宁波鑫盛紧固件有限公司");
    Choose(form, document::kPartner, supplier);
    EXPECT_EQ(Text(form, document::kPartnerKey),
              Value("SELECT uid_0 FROM c_supplier WHERE name_0 = '" + supplier + "'"));
    const QString stockBefore =
        Value("SELECT qty_0 FROM p_sto s JOIN c_material m ON m.uid_0 = s.material_uid_0 WHERE "
              "m.code_0 = 'JG0001'");

    AddLine(form, "JG0001", "20");
    AddLine(form, "JG0005", "10");
    AddLine(form, "JG0010", "4", "1.25"); // the typed price wins over the material's
    GridView* lines = Grid(form, document::kLines);
    // An empty numbered line waits for the next material.
    ASSERT_EQ(lines->RowCount(), 4) << qPrintable(messages_.join('\n'));
    EXPECT_EQ(Column(lines, 0), QStringList({"1", "2", "3", "4"}));
    EXPECT_EQ(Column(lines, document::kAmountColumn),
              QStringList({"190.00", "320.00", "5.00", ""}));
    EXPECT_EQ(Text(form, document::kTotal), "515.00");

    messages_.clear();
    Click(form, document::kSave);
    EXPECT_EQ(messages_, QStringList("操作提示|操作成功。"));
    const QString key = Value("SELECT uid_0 FROM p_receipt WHERE code_0 = '" + number + "'");
    ASSERT_FALSE(key.isEmpty());
    EXPECT_EQ(Text(form, document::kKey), key);
    EXPECT_EQ(Rows("SELECT s.name_0, r.handler_0, r.create_user_uid_0 FROM p_receipt r JOIN "
                   "c_supplier s ON s.uid_0 = r.supplier_uid_0 WHERE r.uid_0 = " +
                   key),
              QStringList({supplier, "系统管理员", "1"}));
    EXPECT_EQ(Rows("SELECT l.line_0, m.code_0, l.qty_0, l.price_0, l.amount_0 FROM "
                   "p_receipt_line l JOIN c_material m ON m.uid_0 = l.material_uid_0 WHERE "
                   "l.head_uid_0 = " +
                   key + " ORDER BY l.line_0"),
              QStringList({"1", "JG0001", "20", "9.5", "190", "2", "JG0005", "10", "32", "320", "3",
                           "JG0010", "4", "1.25", "5"}));
    EXPECT_EQ(Value("SELECT qty_0 FROM p_sto s JOIN c_material m ON m.uid_0 = s.material_uid_0 "
                    "WHERE m.code_0 = 'JG0001'")
                  .toDouble(),
              stockBefore.toDouble() + 20);
    // The stock query shows the new quantity and lists the receipt under the material.
    FormWindow* stock = Open(22);
    ASSERT_TRUE(stock);
    Type(stock, 2, "JG0001");
    Click(stock, 10);
    ClickRow(stock, 9, 0);
    EXPECT_EQ(Grid(stock, 9)->CellText(0, 5).toDouble(), stockBefore.toDouble() + 20);
    EXPECT_EQ(Grid(stock, 40)->CellText(0, 1), number);
    EXPECT_EQ(Grid(stock, 40)->CellText(0, 2), "20");

    // The list shows the new receipt first; saving the same receipt again is refused.
    EXPECT_EQ(Grid(form, document::kList)->CellText(0, 1), number);
    messages_.clear();
    Click(form, document::kSave);
    EXPECT_EQ(
        messages_,
        QStringList(QStringLiteral("操作提示|入库单号 %1 已存在，请按“新单”重新开单").arg(number)));
    EXPECT_EQ(Value("SELECT COUNT(*) FROM p_receipt WHERE code_0 = '" + number + "'"), "1");

    // A click in the list shows a saved receipt with its lines.
    const int row = RowWith(Grid(form, document::kList), 1, number);
    ASSERT_GE(row, 0);
    Click(form, document::kNew);
    EXPECT_EQ(lines->RowCount(), 1);
    ClickRow(form, document::kList, row);
    EXPECT_EQ(Text(form, document::kPartner), supplier);
    EXPECT_EQ(Column(lines, document::kCodeColumn), QStringList({"JG0001", "JG0005", "JG0010"}));
    EXPECT_EQ(Text(form, document::kTotal), "515.00");
}

TEST_F(DemoForms, AFailingGoodsReceiptLeavesNothingBehind) {
    const QString receipts = Value("SELECT COUNT(*) FROM p_receipt");
    const QString lines = Value("SELECT COUNT(*) FROM p_receipt_line");
    const QString stock = Value("SELECT SUM(qty_0) FROM p_sto");
    ASSERT_TRUE(db_.Execute("INSERT INTO c_material (code_0, name_0, unit_0, category_0, price_0) "
                            "VALUES ('TMP001', '临时物料', '个', '五金工具', 3)"));
    const struct {
        bool supplier;
        int linesToAdd;
        bool dropMaterial; // the second line's material disappears before saving
        const char* message;
    } cases[] = {
        {true, 3, true,
         "第 2 行数据异常,请检查数据:\n\n表格第2行,第1列（物料编码）,TMP001对应基础数据异常。\n\n"},
        {false, 3, false, "请正确填写（或者选择）必填项供应商"},
        {true, 0, false, "入库单没有明细，请先加入物料"},
    };
    for (const auto& c : cases) {
        CloseForms();
        messages_.clear();
        FormWindow* form = Open(21);
        ASSERT_TRUE(form);
        if (c.supplier)
            Choose(form, document::kPartner, QStringLiteral("宁波鑫盛紧固件有限公司"));
        const QString codes[] = {"JG0001", "TMP001", "JG0003"};
        for (int i = 0; i < c.linesToAdd; ++i)
            AddLine(form, codes[i], "5");
        ASSERT_EQ(Grid(form, document::kLines)->RowCount(), c.linesToAdd + 1);
        if (c.dropMaterial) {
            ASSERT_TRUE(db_.Execute("UPDATE c_material SET code_0 = 'TMP001-old' WHERE code_0 = "
                                    "'TMP001'"));
        }
        Click(form, document::kSave);
        EXPECT_EQ(messages_, QStringList(QStringLiteral("操作提示|") + c.message)) << c.message;
        EXPECT_EQ(Value("SELECT COUNT(*) FROM p_receipt"), receipts) << c.message;
        EXPECT_EQ(Value("SELECT COUNT(*) FROM p_receipt_line"), lines) << c.message;
        EXPECT_EQ(Value("SELECT SUM(qty_0) FROM p_sto"), stock) << c.message;
        // The receipt is still new: a corrected save inserts it, and the empty line the save
        // took away is back for typing.
        EXPECT_EQ(Text(form, document::kKey), "0") << c.message;
        ASSERT_EQ(Grid(form, document::kLines)->RowCount(), c.linesToAdd + 1) << c.message;
        EXPECT_EQ(Grid(form, document::kLines)->CellText(c.linesToAdd, document::kCodeColumn), "")
            << c.message;
        for (int r = 0; r < Grid(form, document::kLines)->RowCount(); ++r)
            EXPECT_EQ(Grid(form, document::kLines)->RowState(r), 1) << c.message;
        if (c.dropMaterial) {
            ASSERT_TRUE(db_.Execute("UPDATE c_material SET code_0 = 'TMP001' WHERE code_0 = "
                                    "'TMP001-old'"));
        }
    }
}

TEST_F(DemoForms, ContractIsSavedAsDraftAndAuditedAfterConfirmation) {
    FormWindow* form = Open(31);
    ASSERT_TRUE(form);
    const QString number = Text(form, document::kCode);
    Choose(form, document::kPartner, QStringLiteral("扬州大学后勤集团"));
    AddLine(form, "BG0001", "10");
    AddLine(form, "QJ0001", "2");
    Click(form, document::kSave);
    EXPECT_EQ(messages_, QStringList("操作提示|操作成功。"));
    const QString key = Value("SELECT uid_0 FROM p_contract WHERE code_0 = '" + number + "'");
    ASSERT_FALSE(key.isEmpty());
    EXPECT_EQ(Value("SELECT state_0 FROM p_contract WHERE uid_0 = " + key), "草稿");
    // Lines are priced at the sale price.
    EXPECT_NEAR(
        Value("SELECT SUM(amount_0) FROM p_contract_line WHERE head_uid_0 = " + key).toDouble(),
        Value("SELECT SUM(CASE code_0 WHEN 'BG0001' THEN 10 ELSE 2 END * sale_price_0) "
              "FROM c_material WHERE code_0 IN ('BG0001', 'QJ0001')")
            .toDouble(),
        0.005);

    // A draft takes more lines: saving again updates the header and adds only the new line.
    AddLine(form, "DG0001", "1");
    messages_.clear();
    Click(form, document::kSave);
    EXPECT_EQ(messages_, QStringList("操作提示|操作成功。"));
    EXPECT_EQ(Value("SELECT COUNT(*) FROM p_contract_line WHERE head_uid_0 = " + key), "3");

    // The questions name the contract they act on.
    const QString audit = QStringLiteral("操作确认|是否审核合同 %1？").arg(number);
    const struct {
        int button;
        std::vector<MessageAnswer> answers;
        QStringList messages;
        const char* state;
    } steps[] = {
        {document::kAudit, {MessageAnswer::No}, {audit}, "草稿"},
        {document::kAudit, {MessageAnswer::Yes}, {audit, "操作提示|操作成功。"}, "已审核"},
        {document::kAudit,
         {MessageAnswer::Yes},
         {audit, QStringLiteral("操作提示|合同 %1 已审核，不需要再审核").arg(number)},
         "已审核"},
        {document::kSave,
         {},
         {QStringLiteral("操作提示|合同 %1 已审核，不能修改").arg(number)},
         "已审核"},
        {document::kUnaudit,
         {MessageAnswer::Yes},
         {QStringLiteral("操作确认|是否反审核合同 %1（退回草稿）？").arg(number),
          "操作提示|操作成功。"},
         "草稿"},
    };
    for (const auto& s : steps) {
        messages_.clear();
        answers_.assign(s.answers.begin(), s.answers.end());
        if (s.button == document::kSave)
            AddLine(form, "DG0002", "1", "1");
        Click(form, s.button);
        EXPECT_EQ(messages_, s.messages) << s.button << s.state;
        EXPECT_EQ(Value("SELECT state_0 FROM p_contract WHERE uid_0 = " + key), s.state);
        EXPECT_EQ(Text(form, document::kContractState), s.state);
    }
    EXPECT_EQ(Value("SELECT COUNT(*) FROM p_contract_line WHERE head_uid_0 = " + key), "3");

    // An audited contract from the list shows its auditor; a draft has none.
    ASSERT_TRUE(
        db_.Execute("UPDATE p_contract SET state_0 = '已审核', audit_user_0 = '系统管理员', "
                    "audit_time_0 = '2025-01-02 10:00:00' WHERE uid_0 = " +
                    key));
    Click(form, 7);
    const int row = RowWith(Grid(form, document::kList), 1, number);
    ASSERT_GE(row, 0);
    ClickRow(form, document::kList, row);
    EXPECT_EQ(Text(form, 57), QStringLiteral("审核：系统管理员 2025-01-02 10:00:00"));
}

TEST_F(DemoForms, TheClerkMayNotDeleteMaterialsNorAuditContracts) {
    LogIn("zhangxm");
    EXPECT_FALSE(Application::Instance().session.rights.split(',').contains("41"));
    FormWindow* materialsForm = Open(11);
    ASSERT_TRUE(materialsForm);
    QWidget* remove = Control(materialsForm, materials::kDelete);
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_TRUE(remove->isVisible());
    EXPECT_TRUE(Control(materialsForm, materials::kSave)->isEnabled());
    // Even when the click reaches the form, the rights check refuses it.
    const QString count = Value("SELECT COUNT(*) FROM c_material");
    ClickRow(materialsForm, materials::kList, 0);
    messages_.clear();
    Click(materialsForm, materials::kDelete);
    EXPECT_EQ(messages_, QStringList("操作提示|亲，您无权限本次操作，请与管理员联系！"));
    EXPECT_EQ(Value("SELECT COUNT(*) FROM c_material"), count);

    // A draft may be audited, but not by the clerk: the rights outrank the state.
    FormWindow* contracts = Open(31);
    ASSERT_TRUE(contracts);
    ClickRow(contracts, document::kList, 0);
    EXPECT_EQ(Text(contracts, document::kContractState), QStringLiteral("草稿"));
    EXPECT_FALSE(Control(contracts, document::kAudit)->isEnabled());
    EXPECT_FALSE(Control(contracts, document::kUnaudit)->isEnabled());
    EXPECT_TRUE(Control(contracts, document::kSave)->isEnabled());

    // The administrator's buttons stay enabled.
    LogIn("admin");
    EXPECT_TRUE(Control(Open(11), materials::kDelete)->isEnabled());
    FormWindow* adminContracts = Open(31);
    ClickRow(adminContracts, document::kList, 0);
    EXPECT_TRUE(Control(adminContracts, document::kAudit)->isEnabled());
}

TEST_F(DemoForms, ANewUserLogsInWithTheInitialPassword) {
    FormWindow* form = Open(41);
    ASSERT_TRUE(form);
    Click(form, users::kNew);
    Type(form, users::kId, "lisi");
    Type(form, users::kName, QStringLiteral("李四"));
    Choose(form, users::kGroup, QStringLiteral("营业员"));
    Click(form, users::kSave);
    EXPECT_EQ(messages_, QStringList("操作提示|操作成功。"));
    EXPECT_EQ(Text(form, users::kStatus), QStringLiteral("已保存用户 lisi"));
    EXPECT_GE(RowWith(Grid(form, users::kList), 1, "lisi"), 0);

    messages_.clear();
    Click(form, users::kNew);
    Type(form, users::kId, "li si");
    Type(form, users::kName, QStringLiteral("李四"));
    Choose(form, users::kGroup, QStringLiteral("营业员"));
    Click(form, users::kSave);
    EXPECT_EQ(messages_, QStringList("操作提示|账号只能由字母、数字、点和下划线组成"));

    LogIn("lisi");
    EXPECT_EQ(Application::Instance().session.rights,
              Value("SELECT auth_0 FROM c_user_group WHERE name_0 = '营业员'"));
}

} // namespace

// 网上报价: a material's supplier page goes to the browser, its picture shows from the client's
// pictures folder, and a supplier's price list page (served on loopback) becomes grid rows.
TEST_F(DemoForms, WebPricesOpensPagesShowsPicturesAndReadsAPriceList) {
    constexpr int kList = 9, kPage = 21, kPicturePath = 22, kOpen = 31, kShow = 32, kPicture = 30,
                  kAddress = 41, kFetch = 42, kPrices = 50, kFound = 45;
    LoopbackHttpServer server;
    server.setRoute("/prices.html", 200,
                    QStringLiteral("<html><body><h1>五金报价</h1><table class='prices'>"
                                   "<tr><td>WJ0001</td><td><a href='/g/1'>十字螺丝刀</a></td>"
                                   "<td>6.80</td><td>2025-06-02</td></tr>"
                                   "<tr><td>WJ0002</td><td>十字螺丝刀</td><td>7.90</td>"
                                   "<td>2025-06-02</td></tr></table></body></html>")
                        .toUtf8(),
                    "text/html; charset=utf-8");
    QStringList opened;
    platform::SetDesktopOpener([&](const QString& link) {
        opened.append(link);
        return true;
    });
    const QString previousFolder = QDir::currentPath();
    QDir::setCurrent(set_->folder()); // the client runs in its own folder
    FormWindow* form = Open(15);
    ASSERT_TRUE(form);
    ClickRow(form, kList, 0);
    const QString code = Grid(form, kList)->CellText(0, 1);
    EXPECT_EQ(Text(form, kPage), "https://gys.example.cn/goods/" + code);
    EXPECT_EQ(Text(form, kPicturePath), "pictures/" + code + ".png");
    Click(form, kOpen);
    EXPECT_EQ(opened, QStringList({"https://gys.example.cn/goods/" + code}));
    Click(form, kShow); // no picture yet: the control stays empty and the message says why
    EXPECT_TRUE(Control<PictureView>(form, kPicture)->Picture().isNull());
    EXPECT_EQ(messages_, QStringList("操作提示|图片文件不存在：" +
                                     QFileInfo("pictures/" + code + ".png").absoluteFilePath()));
    messages_.clear();
    QDir().mkpath("pictures");
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save("pictures/" + code + ".png"));
    Click(form, kShow);
    EXPECT_EQ(Control<PictureView>(form, kPicture)->Picture().size(), QSize(8, 6));

    Type(form, kAddress, server.baseUrl() + "/prices.html");
    Click(form, kFetch);
    const GridView* prices = Grid(form, kPrices);
    ASSERT_EQ(prices->RowCount(), 2);
    EXPECT_EQ(Column(prices, 0), QStringList({"WJ0001", "WJ0002"}));
    EXPECT_EQ(Column(prices, 1), QStringList({"十字螺丝刀", "十字螺丝刀"}));
    EXPECT_EQ(Column(prices, 2), QStringList({"6.80", "7.90"}));
    EXPECT_EQ(Text(form, kFound), " 15 -  15  - Html Elements found");
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));

    platform::SetDesktopOpener({});
    QDir::setCurrent(previousFolder);
}

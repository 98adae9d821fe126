// The conventions the command families share, exercised through real forms on a real SQLite
// account set: control references, value reading and writing by control kind, SQL binding from
// controls and grid rows, filling targets from a query, and the runner's jump.
#include "app/Application.h"
#include "app/Login.h"
#include "commands/CommandSupport.h"
#include "commands/CommandTable.h"
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/InsertedText.h"
#include "form/CommandRegistry.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/AppMessage.h"
#include "support/SessionFacts.h"
#include "support/TestAccountSet.h"
#include "widgets/DrawnLabel.h"
#include "widgets/EditWithButton.h"
#include "widgets/GridView.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSet>
#include <QTabWidget>
#include <QTimer>

#include <functional>
#include <map>

#include <gtest/gtest.h>

namespace {

// Records the commands that ran, and leaves a row behind so that queries can count the runs.
QStringList* gTrace = nullptr;

void RegisterTraceCommand() {
    RegisterCommand("t_log", [](CommandContext& form, const FormXml::XmlNode& c, int) {
        const QString name = c.GetAttribute("name");
        if (gTrace)
            gTrace->append(name);
        CommandResult result;
        result.ok = form.AccountSession().Execute(
            QStringLiteral("INSERT INTO c_material (name_0) VALUES ('%1')").arg(name));
        return result;
    });
}

const char* kForm = R"xml(<html version='1.0' id='0'>
<head title='订单' pos='0,0,700,500'/>
<body><dialog>
  <static id='1' value='客户' pos='10,10,80,30'/>
  <textbox id='2' pos='90,10,300,30'/>
  <droplist id='3' value='甲;乙' pos='90,40,300,60'/>
  <datectrl id='4' value='2020-01-01' pos='90,70,300,90'/>
  <editbutton id='5' popup='12' pos='310,10,450,30'/>
  <textbox id='6' style='4' pos='310,40,450,90'/>
  <table id='9' pos='10,100,400,200'><PARA><col_info>
    <col id='1' title='名称' width='80'/><col id='2' title='数量' width='80'/>
  </col_info></PARA></table>
  <panel id='20' pos='10,210,400,400'>
    <html version='1.0' id='31' title='基本'><body><dialog>
      <textbox id='7' pos='5,5,100,25'/></dialog></body></html>
    <html version='1.0' id='32' title='明细'><body><dialog>
      <textbox id='8' pos='5,5,100,25'/><textbox id='2' pos='5,30,100,50'/>
    </dialog></body></html>
  </panel>
</dialog><popup><html version='1.0' id='12'><head title='选择' pos='0,0,200,100'/><body><dialog>
  <textbox id='2' pos='10,10,80,30'/>
</dialog></body></html></popup></body></html>)xml";

// Runs `act` on the modal pop-up as soon as it is shown, then closes it.
void WhenPopupShown(std::function<void(FormWindow*)> act, int triesLeft = 250) {
    QTimer::singleShot(20, [act = std::move(act), triesLeft]() mutable {
        if (auto* popup = qobject_cast<FormWindow*>(QApplication::activeModalWidget())) {
            act(popup);
            popup->close();
        } else if (triesLeft > 0) {
            WhenPopupShown(std::move(act), triesLeft - 1);
        }
    });
}

class CommandSupport : public ::testing::Test {
protected:
    CommandResult result; // what the helpers report, as a command would return it
    void SetUp() override {
        QString why;
        set_ = TestAccountSet::Create(Engine::Sqlite, why);
        ASSERT_TRUE(set_) << qPrintable(why);
        Application& app = Application::Instance();
        UseAccountSetAsConfigured(*set_, app);
        previousSink_ = SetMessageSink([this](const AppMessageRequest& r) {
            messages_.append(r.caption + QStringLiteral("|") + r.text);
            return MessageAnswer::Ok;
        });
        DbSession login(DbSession::FromConfig);
        ASSERT_EQ(AttemptLogin(login, app, "admin", "1"), LoginResult::LoggedIn);
        RegisterCommandFamilies();
        RegisterTraceCommand();
        gTrace = &trace_;
    }
    void TearDown() override {
        gTrace = nullptr;
        SetMessageSink(previousSink_);
        for (QDialog* form : Application::Instance().forms.openForms.keys())
            delete form;
        Application::Instance().forms.openForms.clear();
    }

    FormWindow* Open(const QString& definition = QString::fromUtf8(kForm)) {
        FormWindow* form = FormWindow::OpenForm(definition, QString(), QString(), "5", "订单", "");
        EXPECT_TRUE(form);
        return form;
    }
    static DbSession& OpenSession(FormWindow* form) {
        if (!form->Session.IsOpen()) {
            EXPECT_TRUE(form->Session.Open());
        }
        return form->Session;
    }
    template <typename T = QWidget> T* Control(FormWindow* form, int id) {
        return qobject_cast<T*>(form->ControlByWindowId(id + FormControls::kWindowIdBase));
    }
    FormWindow* Page(FormWindow* form, int index) {
        auto* tabs = Control<QTabWidget>(form, 20);
        return tabs ? tabs->widget(index)->findChild<FormWindow*>() : nullptr;
    }
    static FormXml::XmlNode Element(FormXml::XmlDocument& doc, const QString& xml) {
        EXPECT_TRUE(doc.LoadXml(xml)) << qPrintable(xml);
        return doc.GetRoot();
    }

    std::unique_ptr<TestAccountSet> set_;
    QStringList messages_;
    QStringList trace_;
    MessageSink previousSink_;
};

TEST_F(CommandSupport, ReferencesResolveInTheFormItsPagesAndItsParent) {
    FormWindow* form = Open();
    FormWindow* page1 = Page(form, 0);
    FormWindow* page2 = Page(form, 1);
    ASSERT_TRUE(page1 && page2);
    QWidget* box2 = Control(form, 2);
    QWidget* page2Box8 = Control(page2, 8);

    const struct {
        const char* reference;
        QWidget* expected;
    } cases[] = {
        {"", nullptr},
        {"2", box2},
        {"0", form},
        {":2", form}, // ":" first reads as one part, whose number is 0
        {"20:1:7", Control(page1, 7)},
        {"20:2:2", Control(page2, 2)}, // the page's own control 2, not the form's
        {"20:3:7", nullptr},           // no third page: an empty slot
        {"8", page2Box8},              // not in the form itself: found on a page
        {"5:2", nullptr},              // no parent
    };
    for (const auto& c : cases) {
        QWidget* window = page2; // whatever it held is replaced
        result.error.reset();
        EXPECT_TRUE(ResolveControl(*form, result, c.reference, window)) << c.reference;
        EXPECT_EQ(window, c.expected) << c.reference;
        EXPECT_TRUE(result.error.value_or(QString()).isEmpty()) << c.reference;
    }

    // A page form finds the form holding the panel as its parent.
    QWidget* window = nullptr;
    EXPECT_TRUE(ResolveControl(*page1, result, "0:2", window));
    EXPECT_EQ(window, box2);

    // A pop-up names its opener's controls with two parts, its own with one.
    QWidget* own = nullptr;
    QWidget* ownExpected = form;
    QWidget* opener = nullptr;
    bool popupOk = false;
    WhenPopupShown([&](FormWindow* popup) {
        ownExpected = Control(popup, 2);
        popupOk = ResolveControl(*popup, result, "2", own) &&
                  ResolveControl(*popup, result, "99:2", opener);
    });
    Control<EditWithButton>(form, 5)->OpenButton();
    EXPECT_TRUE(popupOk);
    EXPECT_EQ(own, ownExpected);
    EXPECT_EQ(opener, box2);
}

TEST_F(CommandSupport, UnresolvableReferencesFailWithTheReference) {
    FormWindow* form = Open();
    for (const char* reference : {"99", "20:1:8", "2:1:7", "77:1:7", "1:2:3:4", "20:2:99"}) {
        result.error.reset();
        QWidget* window = form;
        EXPECT_FALSE(ResolveControl(*form, result, reference, window)) << reference;
        EXPECT_EQ(window, nullptr) << reference;
        EXPECT_EQ(result.error.value_or(QString()), QStringLiteral("控件指向出错:\n") + reference);
    }
}

TEST_F(CommandSupport, ReadingControlsAsTextAndNumbers) {
    FormWindow* form = Open();
    auto* list = Control<QComboBox>(form, 3);
    list->setCurrentIndex(1);
    list->setEditText(QStringLiteral("手改"));
    EXPECT_EQ(ReadControlValue(list), QStringLiteral("乙")); // the selection, not the edit text
    list->setCurrentIndex(-1);
    list->setEditText(QStringLiteral("手改"));
    EXPECT_EQ(ReadControlValue(list), QStringLiteral("手改"));
    EXPECT_EQ(ReadControlValue(Control(form, 4)), QStringLiteral("2020-01-01"));
    EXPECT_EQ(ReadControlValue(nullptr), QString());

    Control<QLineEdit>(form, 2)->setText("12件");
    EXPECT_EQ(ReadControlInt(*form, result, "2"), 12);
    EXPECT_EQ(ReadControlInt(*form, result, ""), -1);
    EXPECT_EQ(ReadControlInt(*form, result, "99"), 0);
    Control<QLineEdit>(form, 2)->clear();
    EXPECT_EQ(ReadControlInt(*form, result, "2"), 0);
}

TEST_F(CommandSupport, WritingValuesByControlKind) {
    FormWindow* form = Open();

    auto* list = Control<QComboBox>(form, 3);
    WriteControlValue(list, QStringLiteral("乙"));
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_EQ(list->count(), 2);
    WriteControlValue(list, QStringLiteral("丙")); // missing: becomes the first item
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(0), QStringLiteral("丙"));
    EXPECT_EQ(list->currentIndex(), 0);
    WriteControlValue(list, QStringLiteral("乙 ")); // compared exactly
    EXPECT_EQ(list->itemText(0), QStringLiteral("乙 "));
    WriteControlValue(list, QString()); // empty and missing: no selection, nothing inserted
    EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_EQ(list->count(), 4);

    auto* date = Control<QDateEdit>(form, 4);
    const struct {
        const char* value;
        QDate expected;
    } dates[] = {
        {"2024-03-05", QDate(2024, 3, 5)},
        {"2024/3/6 10:20:30", QDate(2024, 3, 6)},
        {"不是日期", QDate(2024, 3, 6)}, // left as it was
        {"", QDate(2024, 3, 6)},
    };
    for (const auto& d : dates) {
        WriteControlValue(date, QString::fromUtf8(d.value));
        EXPECT_EQ(date->date(), d.expected) << d.value;
    }

    // An edit box shows the start of its new text, all of it selected.
    auto* edit = Control<QLineEdit>(form, 2);
    edit->setText("旧");
    WriteControlValue(edit, QStringLiteral("上海市浦东新区"));
    EXPECT_EQ(edit->text(), QStringLiteral("上海市浦东新区"));
    EXPECT_EQ(edit->selectedText(), QStringLiteral("上海市浦东新区"));
    EXPECT_EQ(edit->cursorPosition(), 0);

    auto* box = Control<QPlainTextEdit>(form, 6);
    ASSERT_TRUE(box);
    WriteControlValue(box, QStringLiteral("第一行\n第二行"));
    EXPECT_EQ(box->toPlainText(), QStringLiteral("第一行\n第二行"));
    EXPECT_EQ(box->textCursor().selectedText(), QStringLiteral("第一行\u2029第二行"));
    EXPECT_EQ(box->textCursor().position(), 0);

    auto* editButton = Control<EditWithButton>(form, 5);
    WriteControlValue(editButton, QStringLiteral("供应商乙"));
    EXPECT_EQ(editButton->text(), QStringLiteral("供应商乙"));
    EXPECT_FALSE(editButton->hasSelectedText());

    auto* label = Control<DrawnLabel>(form, 1);
    ASSERT_TRUE(label);
    WriteControlValue(label, QStringLiteral("新客户"));
    EXPECT_EQ(ControlText(label), QStringLiteral("新客户"));
    SetWindowText(label, QString());
    EXPECT_EQ(ControlText(label), QString());

    EXPECT_TRUE(WriteControlValue(nullptr, QStringLiteral("无处")));
}

TEST_F(CommandSupport, SealLiteralMakesALiteralWhereverItIsOpened) {
    // Inside a literal the quotes double; outside one the value becomes a literal itself.
    EXPECT_EQ(OpenInsertedValuesInSql("'" + SealLiteral("O'Neil''s") + "'"), "'O''Neil''''s'");
    EXPECT_EQ(OpenInsertedValuesInSql(SealLiteral("无引号")), QStringLiteral("'无引号'"));
    EXPECT_EQ(OpenInsertedValuesInSql(SealLiteral("")), "");
}

TEST_F(CommandSupport, WhereParametersDropEmptyFiltersAndQuoteOnce) {
    FormWindow* form = Open();
    DbSession& db = OpenSession(form);
    ASSERT_TRUE(db.Execute("INSERT INTO c_material (name_0) VALUES ('O''Brien')"));
    ASSERT_TRUE(db.Execute("INSERT INTO c_material (name_0) VALUES ('丙')"));
    Control<QLineEdit>(form, 2)->setText("O'Brien");
    Control<QComboBox>(form, 3)->setCurrentIndex(-1);

    FormXml::XmlDocument doc;
    const FormXml::XmlNode where =
        Element(doc, QStringLiteral("<para_info_where>"
                                    "<a value='2' where=\" AND name_0='{{self}}'\"/>"
                                    "<b value='3' default='丙' where=\" OR name_0='{{self}}'\"/>"
                                    "<c value='99' where=' AND 1=0'/>"
                                    "</para_info_where>"));
    const QString query = "SELECT count(*) FROM c_material WHERE 1=1{{p1}}{{p2}}{{p3}}";

    QString sql = query;
    BindWhereParameters(*form, result, where, sql);
    EXPECT_EQ(OpenInsertedValuesInSql(sql),
              "SELECT count(*) FROM c_material WHERE 1=1 AND name_0='O''Brien'");
    QString count;
    ASSERT_TRUE(db.QueryValue(sql, count));
    EXPECT_EQ(count, "1");

    sql = query;
    BindWhereParameters(*form, result, where, sql, WhereDefaults::Use);
    ASSERT_TRUE(db.QueryValue(sql, count));
    EXPECT_EQ(count, "2"); // the empty drop-down took its default

    Control<QLineEdit>(form, 2)->clear();
    sql = query;
    BindWhereParameters(*form, result, where, sql);
    EXPECT_EQ(OpenInsertedValuesInSql(sql), "SELECT count(*) FROM c_material WHERE 1=1");
}

TEST_F(CommandSupport, ValueParametersBindWindowsDeletedKeysAndPlaceholders) {
    FormWindow* form = Open();
    Control<QLineEdit>(form, 2)->setText("O'Brien");
    Control<QComboBox>(form, 3)->setEditText(QStringLiteral("乙"));
    form->SetDeletedKeys("4,5");

    FormXml::XmlDocument doc;
    const FormXml::XmlNode list =
        Element(doc, QStringLiteral("<para_info><a value='2' where=\"name_0='{{self}}'\"/>"
                                    "<b wnd='3' where='k={{self}}'/><c value='7' wnd='99'/>"
                                    "</para_info>"));
    QString sql = "{{p1}}|{{p2}}|{{p3}}|{{deleted_uid_0}}|{{userid}}";
    ASSERT_TRUE(BindValueParameters(*form, result, list, sql));
    EXPECT_EQ(OpenInsertedValuesInSql(sql), QStringLiteral("name_0='O''Brien'|k='乙'||4,5|") +
                                                Application::Instance().session.userUid);

    FormXml::XmlDocument broken;
    const FormXml::XmlNode bad = Element(broken, "<para_info><a wnd='99' where='x'/></para_info>");
    sql = "{{p1}}";
    EXPECT_FALSE(BindValueParameters(*form, result, bad, sql));
    EXPECT_EQ(result.error.value_or(QString()), QStringLiteral("控件指向出错:\n99"));
    sql.clear();
    EXPECT_TRUE(BindValueParameters(*form, result, bad, sql)); // nothing to bind
}

TEST_F(CommandSupport, SelectedRowBindsItsKeyAndCells) {
    FormWindow* form = Open();
    auto* grid = Control<GridView>(form, 9);
    ASSERT_TRUE(grid);
    ASSERT_EQ(grid->ColumnCount(), 2);
    const QStringList names = {"螺丝", "O'Ring", "垫片"};
    for (int row = 0; row < names.size(); ++row) {
        grid->InsertRow(row, names[row]);
        grid->SetCellText(row, 1, QString::number(row + 10));
        grid->SetRowData(row, nullptr, QString::number(row + 100), 0);
    }
    const QString sql = "{{id?uid}}|{{id?0}}|{{id?1}}|{{id?2}}";
    QString bound = sql;
    EXPECT_FALSE(BindSelectedRow(*grid, bound, RowColumns::FromZero));
    EXPECT_EQ(OpenInsertedValuesInSql(bound), sql);

    grid->SelectRow(2, true);
    grid->SelectRow(1, true);
    const struct {
        RowColumns columns;
        int num;
        const char* expected;
    } cases[] = {
        {RowColumns::FromZero, 0, "101|'O''Ring'|11|{{id?2}}"},
        {RowColumns::FromOne, 0, "101|{{id?0}}|'O''Ring'|11"},
        {RowColumns::UidOnly, 0, "101|{{id?0}}|{{id?1}}|{{id?2}}"},
        {RowColumns::FromOne, 2, "102|{{id?0}}|'垫片'|12"},    // `num` picks the row by index
        {RowColumns::FromOne, 3, "101|{{id?0}}|'O''Ring'|11"}, // out of range: the selection
    };
    for (const auto& c : cases) {
        bound = sql;
        EXPECT_TRUE(BindSelectedRow(*grid, bound, c.columns, c.num));
        EXPECT_EQ(OpenInsertedValuesInSql(bound), QString::fromUtf8(c.expected)) << c.num;
    }

    bound = sql;
    EXPECT_FALSE(BindTableRow(*form, result, "99", bound, RowColumns::FromZero));
    EXPECT_EQ(result.error.value_or(QString()), QStringLiteral("控件指向出错:\n99"));
    result.error.reset();
    EXPECT_FALSE(BindTableRow(*form, result, "2", bound, RowColumns::FromZero)); // not a grid
    EXPECT_TRUE(result.error.value_or(QString()).isEmpty());
}

// Names and keys from the database reach a statement as values: a quote in a user's name, or a
// name written as an expression, is only text.
TEST_F(CommandSupport, StoredNamesAndKeysInStatementsStayValues) {
    FormWindow* form = Open();
    DbSession& db = OpenSession(form);
    Application& app = Application::Instance();
    const QString name = app.session.userName;
    const QStringList hostile = {
        "O'Brien", "' || (SELECT pass_0 FROM c_user WHERE id_0 = 'admin') || '", "{{date}}"};
    for (const QString& text : hostile) {
        ChangeUser(app.session, [&](SessionContext::User& user) { user.userName = text; });
        QString value;
        ASSERT_TRUE(db.QueryValue(form->ExpandStatementPlaceholders(
                                      "SELECT '{{username}}' FROM c_user WHERE id_0 = 'admin'"),
                                  value))
            << qPrintable(db.Detail());
        EXPECT_EQ(value, text);
    }
    ChangeUser(app.session, [&](SessionContext::User& user) { user.userName = name; });
    // Shown texts are not statements: the name is shown as it is.
    EXPECT_EQ(form->ExpandPlaceholders("经办人：{{username}}"), "经办人：" + name);
}

TEST_F(CommandSupport, QueriesRunOnTheSessionTheCommandChooses) {
    FormWindow* form = Open();
    OpenSession(form);
    Control<QLineEdit>(form, 2)->setText("admin");
    FormXml::XmlDocument doc;
    const FormXml::XmlNode command =
        Element(doc, QStringLiteral("<q values=\"SELECT name_0 FROM c_user WHERE 1=1{{p1}}\">"
                                    "<para_info_where><a value='2' where=\" AND id_0='{{self}}'\"/>"
                                    "</para_info_where></q>"));
    QString sql;
    ASSERT_TRUE(BuildCommandSql(*form, result, command, RowColumns::FromZero, sql));
    EXPECT_EQ(OpenInsertedValuesInSql(sql), "SELECT name_0 FROM c_user WHERE 1=1 AND id_0='admin'");
    QStringList values;
    EXPECT_EQ(QueryAllValues(CommandSession(*form, command), sql, values), 1);
    EXPECT_EQ(values, QStringList{QStringLiteral("系统管理员")});

    // The text session has no account-set tables; an empty result is not positive either.
    FormXml::XmlDocument textDoc;
    const FormXml::XmlNode onText = Element(textDoc, "<q txt='1'/>");
    EXPECT_EQ(&CommandSession(*form, onText), &form->TextSession);
    EXPECT_LE(QueryAllValues(form->TextSession, sql, values), 0);
    EXPECT_LE(QueryAllValues(form->Session, "SELECT name_0 FROM c_user WHERE 1=0", values), 0);
}

TEST_F(CommandSupport, FillTargetsWritesOneValuePerTargetOrClearsThem) {
    FormWindow* form = Open();
    OpenSession(form);
    auto* edit = Control<QLineEdit>(form, 2);
    auto* list = Control<QComboBox>(form, 3);
    auto* page2Box = Control<QLineEdit>(Page(form, 1), 8);

    EXPECT_TRUE(FillTargets(*form, result, "2;3;20:2:8", "SELECT 'a', '乙', 'c'"));
    EXPECT_EQ(edit->text(), "a");
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_EQ(page2Box->text(), "c");

    // Two rows of one field each count as two values.
    EXPECT_TRUE(FillTargets(*form, result, "2;20:2:8",
                            "SELECT 'x' AS v UNION ALL SELECT 'y' ORDER BY v DESC"));
    EXPECT_EQ(edit->text(), "y");
    EXPECT_EQ(page2Box->text(), "x");

    EXPECT_FALSE(FillTargets(*form, result, "2;3", "SELECT 'only'"));
    EXPECT_EQ(messages_, QStringList{QStringLiteral("Vemo|参数和值数量不匹配!")});
    EXPECT_EQ(edit->text(), "y");

    EXPECT_TRUE(FillTargets(*form, result, "2;20:2:8", "SELECT 'a', 'b' WHERE 1=0"));
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_TRUE(page2Box->text().isEmpty());

    EXPECT_FALSE(FillTargets(*form, result, "", "SELECT 1"));
    EXPECT_FALSE(FillTargets(*form, result, "2;99", "SELECT 1, 2"));
    EXPECT_EQ(result.error.value_or(QString()), QStringLiteral("控件指向出错:\n99"));
    EXPECT_EQ(edit->text(), "1"); // targets before the bad one were written
}

// Actions of one button each, run by the form's runner; t_log leaves its name in the trace.
TEST_F(CommandSupport, JumpMovesTheRunnerByItsQuery) {
    const struct {
        const char* commands;
        bool ok;
        const char* trace;
        const char* error;
    } cases[] = {
        {"<jump values='SELECT 1'/><t_log name='a'/><t_log name='b'/>", true, "a,b", ""},
        {"<jump values='SELECT 2'/><t_log name='a'/><t_log name='b'/>", true, "b", ""},
        {"<jump values='SELECT 9'/><t_log name='a'/>", true, "", ""},
        {"<t_log name='a'/><jump values='SELECT -3'/><t_log name='b'/>", true, "a", ""},
        {"<t_log name='a'/><jump values=\"SELECT CASE WHEN count(*)&lt;3 THEN -1 ELSE 1 END "
         "FROM c_material WHERE name_0='a'\"/><t_log name='b'/>",
         true, "a,a,a,b", ""},
        {"<jump values='SELECT 0'/><t_log name='a'/>", false, "", "jump为0无效"},
        {"<jump values='SELECT 2 FROM nowhere'/><t_log name='a'/>", false, "", "jump无效"},
        {"<jump values='SELECT 1 WHERE 1=0'/><t_log name='a'/>", false, "", "jump无效"},
        // The text session has no account-set tables.
        {"<jump txt='1' values='SELECT count(*)+1 FROM c_material'/><t_log name='a'/>", false, "",
         "jump无效"},
        {"<jump values='SELECT 1{{p1}}'><para_info_where><p value='2' where='+{{self}}'/>"
         "</para_info_where></jump><t_log name='a'/><t_log name='b'/>",
         true, "b", ""},
        {"<jump table_id='9' values='SELECT {{id?uid}}'/><t_log name='a'/>", false, "", ""},
        {"<jump table_id='99' values='SELECT 1'/><t_log name='a'/>", false, "",
         "控件指向出错:\n99"},
        // A name the client knows but cannot run yet stops the action and says so.
        {"<t_log name='a'/><print_pre/><t_log name='b'/>", false, "a",
         "本客户端还不能执行命令 print_pre，请升级客户端或联系管理员。"},
        // Unknown names, upper case included, are ignored and succeed.
        {"<no_such_command/><Run_sql values='DELETE FROM c_user'/><t_log name='a'/>", true, "a",
         ""},
    };
    QString buttons;
    for (int i = 0; i < int(std::size(cases)); ++i)
        buttons += QStringLiteral("<button id='%1' value='b' pos='0,0,10,10'><ACTION><CLICK>%2"
                                  "</CLICK></ACTION></button>")
                       .arg(40 + i)
                       .arg(QString::fromUtf8(cases[i].commands));
    FormWindow* form = Open(QStringLiteral("<html version='1.0' id='0'><head title='跳转' pos='0'/>"
                                           "<body><dialog><textbox id='2' pos='0,0,10,10'/>%1"
                                           "<table id='9' pos='0,0,10,10'/></dialog></body></html>")
                                .arg(buttons));
    OpenSession(form);
    Control<QLineEdit>(form, 2)->setText("1");
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const auto& c = cases[i];
        trace_.clear();
        form->Runner().ErrorText.clear();
        ASSERT_TRUE(form->Session.Execute("DELETE FROM c_material"));
        EXPECT_EQ(form->RunAction(40 + i + FormControls::kWindowIdBase, "CLICK"), c.ok) << i;
        EXPECT_EQ(trace_.join(','), QString::fromUtf8(c.trace)) << i;
        EXPECT_EQ(form->Runner().ErrorText, QString::fromUtf8(c.error)) << i;
    }
    QString users;
    ASSERT_TRUE(form->Session.QueryValue("SELECT count(*) FROM c_user", users));
    EXPECT_NE(users, "0");
}

TEST_F(CommandSupport, CommandTableNamesEveryCommandOnce) {
    const auto table = CommandTable();
    QSet<QString> names;
    std::map<CommandFamily, int> perFamily;
    for (const CommandEntry& entry : table) {
        names.insert(QString::fromLatin1(entry.name));
        ++perFamily[entry.family];
    }
    EXPECT_EQ(names.size(), qsizetype(table.size()));
    EXPECT_EQ(table.size(), 119u); // 118 for RunCommand, and the runner's jump
    const std::map<CommandFamily, int> expected = {
        {CommandFamily::Flow, 1},     {CommandFamily::Query, 14},  {CommandFamily::Save, 7},
        {CommandFamily::Grid, 33},    {CommandFamily::Window, 37}, {CommandFamily::Print, 6},
        {CommandFamily::TreeList, 1}, {CommandFamily::Chart, 5},   {CommandFamily::Web, 10},
        {CommandFamily::File, 5}};
    EXPECT_EQ(perFamily, expected);
    for (const CommandEntry& entry : table) {
        if (entry.handler) {
            EXPECT_TRUE(FindCommand(QString::fromLatin1(entry.name))) << entry.name;
        }
    }
}

} // namespace

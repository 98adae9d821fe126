// The record-saving commands run through real forms on a real SQLite account set, one action
// per button, so the runner's transaction and rollback bookkeeping take part.
#include "app/Application.h"
#include "app/Login.h"
#include "commands/CommandTable.h"
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/ConnectionText.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/AppMessage.h"
#include "support/TestAccountSet.h"
#include "widgets/GridView.h"

#include <QFile>
#include <QLineEdit>

#include <sqlite3.h>

#include <chrono>
#include <future>
#include <thread>

#include <deque>

#include <gtest/gtest.h>

namespace {

// Header t_head with detail rows t_line; column 0 of the grid is the row number.
const char* kForm = R"xml(<html version='1.0' id='0'>
<head title='单据' pos='0,0,700,500'/>
<body><dialog>
  <textbox id='1' pos='10,10,100,30'/>
  <textbox id='2' pos='110,10,200,30'/>
  <textbox id='3' pos='210,10,300,30'/>
  <textbox id='4' pos='310,10,400,30'/>
  <textbox id='5' pos='410,10,500,30'/>
  <table id='9' pos='10,100,600,300'><PARA>
    <table_info><para_info parent_field='head_uid_0' parent_field_ID='1'
      auto_index_field='line_0' insert_sql='t_line'
      update_sql='SELECT * FROM t_line WHERE uid_0={{id?uid}}'
      can_insert_sql="SELECT '数量不能为负' FROM t_head WHERE '{{id?2}}' LIKE '-%'"
      run_sql_insert="INSERT INTO t_log (v) VALUES ('ins {{id?uid}} {{id?1}}')"/></table_info>
    <col_info>
      <col id='1' title='序号' width='40'/><col id='2' title='物料' width='80'/>
      <col id='3' title='数量' width='60'/>
      <col col_id='1' title='物料' field_name='item_0' empty='1'/>
      <col col_id='2' title='数量' field_name='qty_0'/>
    </col_info></PARA></table>
  <button id='20' value='保存' pos='10,320,90,340'><ACTION><CLICK>
    <insert_head><head_para_info uid_wnd_id='1' insert_sql='t_head'
        can_insert_sql="SELECT '编码重复' FROM t_head WHERE code_0='{{p1}}'">
      <f field='code_0' wnd='2' empty='1' desp='编码'/><f field='name_0' wnd='3'/>
    </head_para_info></insert_head>
    <insert_detail><p table_id='9'/></insert_detail>
  </CLICK></ACTION></button>
  <button id='21' value='修改' pos='100,320,190,340'><ACTION><CLICK>
    <update_head><head_para_info uid_wnd_id='1'
        update_sql='SELECT * FROM t_head WHERE uid_0={{id?uid}}'
        run_sql="INSERT INTO t_log (v) VALUES ('head {{id?uid}}')">
      <f field='name_0' wnd='3'/>
    </head_para_info></update_head>
    <insert_detail><p table_id='9' not_save_rownum='1'
        delete_sql='DELETE FROM t_line WHERE uid_0 IN ({{deleted_uid_0}})'/></insert_detail>
  </CLICK></ACTION></button>
  <button id='22' value='复制' pos='200,320,290,340'><ACTION><CLICK>
    <reset_detail target_ids='9' values='1'/>
    <insert_detail><p table_id='9'/></insert_detail>
  </CLICK></ACTION></button>
</dialog></body></html>)xml";

class SaveCommands : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        QString why;
        set_ = TestAccountSet::Create(GetParam(), why);
        if (!set_)
            GTEST_SKIP() << qPrintable(why);
        Application& app = Application::Instance();
        UseAccountSetAsConfigured(*set_, app);
        previousSink_ = SetMessageSink([this](const AppMessageRequest& r) {
            messages_.append(r.caption + QStringLiteral("|") + r.text);
            buttons_.push_back(r.buttons);
            if (answers_.empty())
                return MessageAnswer::Ok;
            const MessageAnswer answer = answers_.front();
            answers_.pop_front();
            return answer;
        });
        DbSession login(DbSession::FromConfig);
        ASSERT_EQ(AttemptLogin(login, app, "admin", "1"), LoginResult::LoggedIn);
        RegisterCommandFamilies();
        db_ = std::make_unique<DbSession>(DbSession::FromConfig);
        ASSERT_TRUE(db_->Open());
        const QString serial = AutoKeyType(GetParam());
        for (const QString& sql :
             {QStringLiteral("CREATE TABLE t_head (uid_0 %1, code_0 TEXT NOT NULL DEFAULT '', "
                             "name_0 TEXT NOT NULL DEFAULT '', state_0 INTEGER NOT NULL "
                             "DEFAULT 0)")
                  .arg(serial),
              QStringLiteral("CREATE TABLE t_line (uid_0 %1, head_uid_0 INTEGER NOT NULL "
                             "DEFAULT 0, line_0 INTEGER NOT NULL DEFAULT 0, item_0 TEXT NOT NULL "
                             "DEFAULT '', qty_0 REAL NOT NULL DEFAULT 0)")
                  .arg(serial),
              // A new row may reuse a deleted row's item only when deletions go first.
              QStringLiteral("CREATE UNIQUE INDEX t_line_item ON t_line (item_0)"),
              QStringLiteral("CREATE TABLE t_log (uid_0 %1, v TEXT)").arg(serial)})
            ASSERT_TRUE(db_->Execute(sql)) << qPrintable(sql) << qPrintable(db_->Detail());
    }
    void TearDown() override {
        if (!set_)
            return;
        SetMessageSink(previousSink_);
        for (QDialog* form : Application::Instance().forms.openForms.keys())
            delete form;
        Application::Instance().forms.openForms.clear();
    }

    FormWindow* Open(const QString& definition = QString::fromUtf8(kForm)) {
        // Each form its own menu entry, so none is taken for a hidden one to re-show.
        FormWindow* form = FormWindow::OpenForm(definition, QString(), QString(),
                                                QString::number(100 + opened_++), "单据", "");
        EXPECT_TRUE(form);
        return form;
    }
    static QLineEdit* Box(FormWindow* form, int id) {
        return qobject_cast<QLineEdit*>(form->ControlByWindowId(id + FormControls::kWindowIdBase));
    }
    static GridView* Grid(FormWindow* form, int id = 9) {
        return qobject_cast<GridView*>(form->ControlByWindowId(id + FormControls::kWindowIdBase));
    }
    static void Click(FormWindow* form, int id) {
        form->RunEvent(id + FormControls::kWindowIdBase, "CLICK");
    }
    // Rows inserted with explicit keys do not move a PostgreSQL serial on; later inserts must
    // not collide with them.
    void SyncKeys(const char* table) {
        if (GetParam() != Engine::Postgres)
            return;
        ASSERT_TRUE(db_->Execute(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', "
                                                "'uid_0'), (SELECT MAX(uid_0) FROM %1))")
                                     .arg(table)));
    }
    QStringList Rows(const QString& sql) {
        QStringList values;
        db_->QueryList(sql, values);
        return values;
    }
    static QList<int> States(const GridView* grid) {
        QList<int> states;
        for (int r = 0; r < grid->RowCount(); ++r)
            states.append(grid->RowState(r));
        return states;
    }

    std::unique_ptr<TestAccountSet> set_;
    std::unique_ptr<DbSession> db_;
    QStringList messages_;
    std::deque<MessageAnswer> answers_;
    std::vector<MessageButtons> buttons_;
    MessageSink previousSink_;
    int opened_ = 0;
};

TEST_P(SaveCommands, HeaderAndDetailSaveInOneAction) {
    FormWindow* form = Open();
    Box(form, 1)->setText("0");
    Box(form, 2)->setText("D001");
    Box(form, 3)->setText("O'Neil");
    GridView* grid = Grid(form);
    grid->AppendRow({"1", "螺丝", "5"}, "0", 1);
    grid->AppendRow({"2", "螺母", "7"}, "0", 1);
    grid->AppendRow({"3", "", ""}, "0", 1); // the untouched entry row

    Click(form, 20);

    const QStringList head = Rows("SELECT uid_0, code_0, name_0 FROM t_head");
    ASSERT_EQ(head.size(), 3) << qPrintable(messages_.join('\n'));
    EXPECT_EQ(head.mid(1), QStringList({"D001", "O'Neil"}));
    EXPECT_EQ(Box(form, 1)->text(), head[0]);
    EXPECT_EQ(Rows("SELECT head_uid_0, line_0, item_0, qty_0 FROM t_line ORDER BY uid_0"),
              QStringList({head[0], "1", "螺丝", "5", head[0], "2", "螺母", "7"}));
    ASSERT_EQ(grid->RowCount(), 2);
    EXPECT_EQ(States(grid), QList<int>({0, 0}));
    const QStringList keys = Rows("SELECT uid_0 FROM t_line ORDER BY uid_0");
    EXPECT_EQ(QStringList({grid->RowKey(0), grid->RowKey(1)}), keys);
    // The statement after each insert sees the row's new key and its cells.
    EXPECT_EQ(Rows("SELECT v FROM t_log ORDER BY uid_0"),
              QStringList({"ins " + keys[0] + " 螺丝", "ins " + keys[1] + " 螺母"}));
    EXPECT_EQ(messages_, QStringList({"操作提示|操作成功"}));
}

// A text loaded into a single-line box and saved unchanged is stored whole, however long: the
// box itself has no length limit.
TEST_P(SaveCommands, LongTextLoadedIntoABoxIsSavedWhole) {
    FormWindow* form = Open(QStringLiteral(R"xml(<html version='1.0' id='0'>
<head title='长文本' pos='0,0,400,200'/>
<body><dialog>
  <textbox id='1' pos='10,10,100,30'/>
  <textbox id='3' pos='110,10,300,30'/>
  <button id='20' value='读取' pos='10,50,90,70'><ACTION><CLICK>
    <query_to_wnds values='SELECT uid_0, name_0 FROM t_head' target_ids='1;3'/>
  </CLICK></ACTION></button>
  <button id='21' value='保存' pos='100,50,190,70'><ACTION><CLICK>
    <update_head><head_para_info uid_wnd_id='1'
        update_sql='SELECT * FROM t_head WHERE uid_0={{id?uid}}'>
      <f field='name_0' wnd='3'/>
    </head_para_info></update_head>
  </CLICK></ACTION></button>
</dialog></body></html>)xml"));
    for (const qsizetype length : {qsizetype(40003), qsizetype(1) << 20}) {
        // The end differs from the rest, so a cut anywhere shows.
        const QString text = QString(length - 2, QChar(u'名')) + QStringLiteral("尾。");
        ASSERT_TRUE(db_->Execute("DELETE FROM t_head"));
        ASSERT_TRUE(db_->Execute("INSERT INTO t_head (name_0) VALUES (?)", {text}));
        messages_.clear();
        Click(form, 20);
        EXPECT_EQ(Box(form, 3)->text().size(), length);
        Click(form, 21);
        const QStringList stored = Rows("SELECT name_0 FROM t_head");
        ASSERT_EQ(stored.size(), 1) << qPrintable(messages_.join('\n'));
        EXPECT_EQ(stored[0].size(), length) << qPrintable(messages_.join('\n'));
        EXPECT_TRUE(stored[0] == text);
    }
}

TEST_P(SaveCommands, HeaderChecksRefuseBeforeAnythingIsWritten) {
    ASSERT_TRUE(db_->Execute("INSERT INTO t_head (code_0) VALUES ('D001')"));
    const struct {
        const char* code;
        const char* message;
    } cases[] = {
        {"", "请正确填写（或者选择）必填项编码"},
        {"D001", "编码重复"}, // the guard's answer, verbatim
    };
    for (const auto& c : cases) {
        messages_.clear();
        FormWindow* form = Open();
        Box(form, 1)->setText("0");
        Box(form, 2)->setText(c.code);
        Grid(form)->AppendRow({"1", "螺丝", "5"}, "0", 1);
        Click(form, 20);
        EXPECT_EQ(messages_, QStringList({QStringLiteral("操作提示|") + c.message})) << c.code;
        EXPECT_EQ(Rows("SELECT COUNT(*) FROM t_head"), QStringList({"1"}));
        EXPECT_EQ(Rows("SELECT COUNT(*) FROM t_line"), QStringList({"0"}));
        EXPECT_EQ(Grid(form)->RowState(0), 1);
        delete form;
        Application::Instance().forms.openForms.clear();
    }
}

TEST_P(SaveCommands, FailingDetailRowRollsBackTheWholeAction) {
    const struct {
        const char* item;
        const char* qty;
        const char* rowMessage;
    } cases[] = {
        {"螺母", "-1", "数量不能为负"},                   // the row guard
        {"", "3", "表格第3行,第1列（物料）内容不能为空"}, // a required cell
    };
    for (const auto& c : cases) {
        messages_.clear();
        FormWindow* form = Open();
        Box(form, 1)->setText("0");
        Box(form, 2)->setText("D002");
        GridView* grid = Grid(form);
        grid->AppendRow({"1", "螺丝", "5"}, "0", 1);
        grid->AppendRow({"2", "垫片", "1"}, "0", 1);
        grid->AppendRow({"3", c.item, c.qty}, "0", 1);

        Click(form, 20);

        EXPECT_EQ(messages_,
                  QStringList(
                      {QStringLiteral("操作提示|第 3 行数据异常,请检查数据:\n\n") + c.rowMessage}))
            << c.rowMessage;
        EXPECT_EQ(Rows("SELECT COUNT(*) FROM t_head"), QStringList({"0"}));
        EXPECT_EQ(Rows("SELECT COUNT(*) FROM t_line"), QStringList({"0"}));
        EXPECT_EQ(Rows("SELECT COUNT(*) FROM t_log"), QStringList({"0"}));
        // The first rows had been saved; their states come back, and the key field says "new".
        EXPECT_EQ(States(grid), QList<int>({1, 1, 1}));
        EXPECT_EQ(Box(form, 1)->text(), "0");
        delete form;
        Application::Instance().forms.openForms.clear();
    }
}

TEST_P(SaveCommands, UpdateWritesChangedRowsOnlyAfterDeletingRemovedOnes) {
    ASSERT_TRUE(db_->Execute("INSERT INTO t_head (uid_0, code_0, name_0) VALUES (7, 'D7', '旧')"));
    ASSERT_TRUE(db_->Execute("INSERT INTO t_line (uid_0, head_uid_0, line_0, item_0, qty_0) "
                             "VALUES (1, 7, 1, 'A', 1), (2, 7, 2, 'B', 2), (3, 7, 3, 'C', 3), "
                             "(4, 7, 4, 'D', 4)"));
    SyncKeys("t_head");
    SyncKeys("t_line");
    FormWindow* form = Open();
    Box(form, 1)->setText("7");
    Box(form, 3)->setText("新");
    GridView* grid = Grid(form);
    grid->AppendRow({"1", "B", "20"}, "2", 0); // unchanged on screen: not written
    grid->AppendRow({"2", "C", "30"}, "3", 3); // edited
    grid->AppendRow({"3", "D", "40"}, "4", 2); // renumbered only
    grid->AppendRow({"4", "A", "9"}, "0", 1);  // reuses the deleted row's unique item
    form->SetDeletedKeys("1");

    Click(form, 21);

    EXPECT_EQ(messages_, QStringList({"操作提示|操作成功"}));
    EXPECT_EQ(Rows("SELECT name_0 FROM t_head"), QStringList({"新"}));
    EXPECT_EQ(Rows("SELECT v FROM t_log ORDER BY uid_0"), QStringList({"head 7", "ins 5 A"}));
    EXPECT_EQ(Rows("SELECT uid_0, line_0, qty_0 FROM t_line WHERE uid_0 < 5 ORDER BY uid_0"),
              QStringList({"2", "2", "2", "3", "2", "30", "4", "4", "4"}));
    EXPECT_EQ(Rows("SELECT head_uid_0, line_0, item_0 FROM t_line WHERE uid_0 >= 5"),
              QStringList({"7", "4", "A"}));
    EXPECT_EQ(States(grid), QList<int>({0, 0, 0, 0}));
    EXPECT_TRUE(form->DeletedKeys().isEmpty());
}

TEST_P(SaveCommands, DetailWithoutRowsSucceedsAndResetCopiesEveryRow) {
    ASSERT_TRUE(db_->Execute("INSERT INTO t_line (uid_0, head_uid_0, item_0) VALUES (1, 7, 'A')"));
    SyncKeys("t_line");
    FormWindow* form = Open();
    Box(form, 1)->setText("8");
    Click(form, 22);
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));
    EXPECT_EQ(form->Runner().ErrorText, "表格无需要保存新数据"); // not a failure: nothing shown

    ASSERT_TRUE(db_->Execute("DROP INDEX t_line_item"));
    Grid(form)->AppendRow({"1", "A", "1"}, "1", 0);
    form->SetDeletedKeys("1");
    Click(form, 22);
    EXPECT_EQ(Rows("SELECT head_uid_0, item_0 FROM t_line ORDER BY uid_0"),
              QStringList({"7", "A", "8", "A"}));
    EXPECT_NE(Grid(form)->RowKey(0), "1");
}

// --- check / checkthis ---

const char* kCheckForm = R"xml(<html version='1.0' id='0'>
<head title='审核' pos='0,0,500,400'/>
<body><dialog>
  <textbox id='1' pos='10,10,100,30'/>
  <table id='9' pos='10,40,400,200'><PARA><col_info>
    <col id='1' title='编码' width='80'/></col_info></PARA></table>
  <button id='20' value='审核' pos='10,320,90,340'><ACTION><CLICK>
    <%1><para_info table_id='9'
      check_sql="SELECT '{{id?0}} 已有明细，继续？' FROM t_line WHERE head_uid_0={{id?uid}}"
      can_update_sql="SELECT '已审核' FROM t_head WHERE uid_0={{id?uid}} AND state_0=1"
      update_sql="UPDATE t_head SET state_0=1 WHERE uid_0={{id?uid}}"/></%1>
  </CLICK></ACTION></button>
  <button id='21' value='按键' pos='100,320,190,340'><ACTION><CLICK>
    <checkthis><para_info uid_wnd_id='1'
      update_sql="UPDATE t_head SET state_0=2 WHERE uid_0={{id?uid}}"/></checkthis>
  </CLICK></ACTION></button>
</dialog></body></html>)xml";

// The questions are Yes/No; only Yes goes on (an OK, which no such question offers, stops too).
TEST_P(SaveCommands, CheckAsksYesOrNoBeforeActingAndNoStops) {
    const struct {
        const char* command;
        std::vector<MessageAnswer> answers;
        QStringList questions;
        const char* state;
    } cases[] = {
        {"check", {MessageAnswer::No}, {"是否确认操作？"}, "0"},
        {"check",
         {MessageAnswer::Yes, MessageAnswer::No},
         {"是否确认操作？", "D'7 已有明细，继续？"},
         "0"},
        {"check", {MessageAnswer::Ok}, {"是否确认操作？"}, "0"},
        {"checkthis",
         {MessageAnswer::Yes, MessageAnswer::Yes},
         {"是否确认操作？", "是否确认操作？"},
         "1"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(db_->Execute("DELETE FROM t_head"));
        ASSERT_TRUE(db_->Execute("DELETE FROM t_line"));
        ASSERT_TRUE(db_->Execute("INSERT INTO t_head (uid_0) VALUES (7)"));
        ASSERT_TRUE(db_->Execute("INSERT INTO t_line (head_uid_0) VALUES (7)"));
        messages_.clear();
        buttons_.clear();
        answers_.assign(c.answers.begin(), c.answers.end());
        FormWindow* form = Open(QString::fromUtf8(kCheckForm).arg(c.command));
        Grid(form)->AppendRow({"D'7"}, "7", 0);
        Grid(form)->SelectRow(0, true);
        Click(form, 20);
        QStringList expected;
        for (const QString& q : c.questions)
            expected.append("操作确认|" + q);
        std::vector<MessageButtons> buttons(c.questions.size(), MessageButtons::YesNo);
        if (QString(c.state) == "1") {
            expected.append("操作提示|操作成功");
            buttons.push_back(MessageButtons::Ok);
        }
        EXPECT_EQ(buttons_, buttons) << c.command;
        EXPECT_EQ(messages_, expected) << c.command;
        EXPECT_EQ(Rows("SELECT state_0 FROM t_head"), QStringList({c.state})) << c.command;

        // Once done, the guard refuses a second time with its own text.
        if (QString(c.state) == "1") {
            messages_.clear();
            answers_.assign({MessageAnswer::Yes, MessageAnswer::Yes});
            Click(form, 20);
            EXPECT_EQ(messages_.last(), "操作提示|已审核");
        }
        delete form;
        Application::Instance().forms.openForms.clear();
    }
}

// A form's own first question names the record: the selected row's key and cells, or a box's
// text, are shown as they stand, braces and quotes included, and never expanded again.
TEST_P(SaveCommands, CheckAsksTheFormsOwnQuestionWithTheRecordsValues) {
    const char* form = R"xml(<html version='1.0' id='0'>
<head title='审核' pos='0,0,500,400'/>
<body><dialog>
  <textbox id='1' pos='10,10,100,30'/>
  <textbox id='2' pos='110,10,200,30'/>
  <table id='9' pos='10,40,400,200'><PARA><col_info>
    <col id='1' title='编码' width='80'/></col_info></PARA></table>
  <button id='20' value='行' pos='10,320,90,340'><ACTION><CLICK>
    <check><para_info table_id='9' ask_text='是否审核单据 {{id?0}}（{{id?uid}}）？'
      update_sql="UPDATE t_head SET state_0=1 WHERE uid_0={{id?uid}}"/></check>
  </CLICK></ACTION></button>
  <button id='21' value='框' pos='100,320,190,340'><ACTION><CLICK>
    <checkthis><para_info uid_wnd_id='1' ask_text='{{username}}，是否审核单据 {{p1}}？'
      update_sql="UPDATE t_head SET state_0=2 WHERE uid_0={{id?uid}}">
      <code value='2' where='{{self}}'/></para_info></checkthis>
  </CLICK></ACTION></button>
</dialog></body></html>)xml";
    const struct {
        int button;
        const char* cell; // the selected row's code, or box 2's text
        const char* question;
        const char* state;
    } cases[] = {
        {20, "D'7", "是否审核单据 D'7（7）？", "1"},
        {20, "{{id?uid}} {{date}} '); DROP TABLE t_head; --",
         "是否审核单据 {{id?uid}} {{date}} '); DROP TABLE t_head; --（7）？", "1"},
        {21, "{{p1}}{{username}}", "系统管理员，是否审核单据 {{p1}}{{username}}？", "2"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(db_->Execute("DELETE FROM t_head"));
        ASSERT_TRUE(db_->Execute("INSERT INTO t_head (uid_0) VALUES (7)"));
        messages_.clear();
        answers_.assign({MessageAnswer::Yes});
        FormWindow* shown = Open(QString::fromUtf8(form));
        Grid(shown)->AppendRow({QString::fromUtf8(c.cell)}, "7", 0);
        Grid(shown)->SelectRow(0, true);
        Box(shown, 1)->setText("7");
        Box(shown, 2)->setText(QString::fromUtf8(c.cell));
        Click(shown, c.button);
        EXPECT_EQ(messages_,
                  QStringList({"操作确认|" + QString::fromUtf8(c.question), "操作提示|操作成功"}))
            << c.cell;
        EXPECT_EQ(Rows("SELECT state_0 FROM t_head"), QStringList({c.state})) << c.cell;
        delete shown;
        Application::Instance().forms.openForms.clear();
    }
}

TEST_P(SaveCommands, CheckNeedsARecord) {
    FormWindow* form = Open(QString::fromUtf8(kCheckForm).arg("check"));
    Grid(form)->AppendRow({"x"}, "7", 0);
    Click(form, 20);
    Click(form, 21); // key control empty
    EXPECT_EQ(messages_,
              QStringList({"操作提示|请选择记录！",
                           "操作提示|请选择记录或者录入关联索引的指定控件编号uid_wnd_id！"}));
}

// --- run_sql ---

const char* kRunForm = R"xml(<html version='1.0' id='0'>
<head title='批处理' pos='0,0,500,400'/>
<body><dialog>
  <textbox id='1' pos='10,10,100,30'/>
  <textbox id='2' pos='110,10,200,30'/>
  <textbox id='3' pos='210,10,300,30'/>
  <table id='9' pos='10,40,400,200'><PARA><col_info>
    <col id='1' title='编码' width='80'/><col id='2' title='名称' width='80'/></col_info></PARA></table>
  <button id='20' value='运行' pos='10,320,90,340'><ACTION><CLICK>
    <run_sql>%1</run_sql>
  </CLICK></ACTION></button>
</dialog></body></html>)xml";

class RunSqlCommand : public SaveCommands {
protected:
    FormWindow* OpenWithStep(const QString& steps) {
        FormWindow* form = Open(QString::fromUtf8(kRunForm).arg(steps));
        GridView* grid = Grid(form);
        grid->AppendRow({"a", "O'x"}, "1", 0);
        grid->AppendRow({"b", "y"}, "2", 0);
        grid->AppendRow({"c", "z"}, "3", 0);
        return form;
    }
};

TEST_P(RunSqlCommand, PassesFollowTheRowMode) {
    const struct {
        const char* step;
        QList<int> selected;
        QStringList logged;
    } cases[] = {
        {"<s run_sql=\"INSERT INTO t_log (v) VALUES ('-')\"/>", {}, {"-"}},
        {"<s table_id='9' all_rows='1' run_sql=\"INSERT INTO t_log (v) VALUES "
         "('{{id?uid}}{{id?1}}{{id?2}}')\"/>",
         {},
         {"1aO'x", "2by", "3cz"}},
        {"<s table_id='9' all_rows='2' run_sql=\"INSERT INTO t_log (v) VALUES ('{{id?uid}}')\"/>",
         {},
         {"3", "2", "1"}},
        {"<s table_id='9' run_sql=\"INSERT INTO t_log (v) VALUES ('{{id?uid}}')\"/>",
         {0, 2},
         {"1", "3"}},
        {"<s table_id='9' run_sql=\"INSERT INTO t_log (v) VALUES "
         "('{{id?uid_all_selected}}')\"/>",
         {0, 2},
         {"1,3"}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(db_->Execute("DELETE FROM t_log"));
        messages_.clear();
        FormWindow* form = OpenWithStep(c.step);
        for (int row : c.selected)
            Grid(form)->SelectRow(row, true);
        Click(form, 20);
        EXPECT_EQ(Rows("SELECT v FROM t_log ORDER BY uid_0"), c.logged) << c.step;
        EXPECT_EQ(messages_, QStringList({"操作提示|操作成功。"})) << c.step;
        delete form;
        Application::Instance().forms.openForms.clear();
    }
}

TEST_P(RunSqlCommand, RegistersRepeatAndStopTheirStages) {
    // Stage B repeats its first part while the count is below three; stage A stops at the
    // query that writes 0 into its register, so the second query never fills control 3.
    FormWindow* form = OpenWithStep(
        "<s jp_id='1' ids1='1' query1='SELECT 0' ids2='3' query2=\"SELECT 'x'\" jump_id='2' "
        "run_sql=\"INSERT INTO t_log (v) VALUES ('b')\" target_ids='2' "
        "query_sql='SELECT CASE WHEN COUNT(*) &lt; 3 THEN 1 ELSE 0 END FROM t_log' "
        "ids10='3' query10=\"SELECT 'c'\"/>");
    Click(form, 20);
    EXPECT_EQ(messages_, QStringList({"操作提示|操作成功。"}));
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM t_log"), QStringList({"3"}));
    EXPECT_EQ(Box(form, 1)->text(), "0");
    EXPECT_EQ(Box(form, 2)->text(), "0");
    EXPECT_EQ(Box(form, 3)->text(), "c"); // stage C still runs
}

// A statement that fails skips the rest of its own pass; the other rows' passes still run, and
// the step fails after them. A query whose targets are missing fails its pass too.
TEST_P(RunSqlCommand, AFailedPassSkipsItsRestAndTheOthersStillRun) {
    const struct {
        const char* step;
        const char* shownLast;
    } cases[] = {
        // Every row's statement fails; each pass still fills field 1 before it, so the last
        // row's pass has run.
        {"<s table_id='9' all_rows='1' ids1='1' query1=\"SELECT '{{id?1}}'\""
         " run_sql=\"INSERT INTO t_log (v) SELECT 'x' FROM t_log WHERE nowhere=1\"/>",
         "c"},
        {"<s table_id='9' all_rows='1' ids1='1' query1=\"SELECT '{{id?1}}'\""
         " query_sql=\"SELECT 'lost'\"/>",
         "c"},
    };
    for (const auto& c : cases) {
        messages_.clear();
        FormWindow* form = OpenWithStep(c.step);
        Click(form, 20);
        EXPECT_EQ(Box(form, 1)->text(), QString::fromUtf8(c.shownLast)) << c.step;
        EXPECT_EQ(messages_, QStringList({"操作提示|运行异常，如自己无法解决，请联系管理员。"}))
            << c.step;
        EXPECT_EQ(Rows("SELECT COUNT(*) FROM t_log"), QStringList({"0"})) << c.step;
        delete form;
        Application::Instance().forms.openForms.clear();
    }
}

TEST_P(RunSqlCommand, FailuresStopTheActionAndRollBack) {
    const struct {
        const char* steps;
        QList<int> selected;
        const char* message;
    } cases[] = {
        {"<s run_sql=\"INSERT INTO t_log (v) VALUES ('1')\"/><s run_sql='INSERT INTO nowhere "
         "VALUES (1)'/><s run_sql=\"INSERT INTO t_log (v) VALUES ('3')\"/>",
         {},
         "运行异常，如自己无法解决，请联系管理员。"},
        {"<s run_sql=\"INSERT INTO t_log (v) VALUES ('1')\"/><s table_id='9' "
         "can_run_sql=\"SELECT '{{id?1}} 已锁定' FROM t_log WHERE '{{id?uid}}'='2'\" "
         "run_sql=\"INSERT INTO t_log (v) "
         "VALUES ('2')\"/>",
         {1},
         "b 已锁定"},
        {"<s run_sql=\"INSERT INTO t_log (v) VALUES ('1')\"/><s table_id='9' run_sql='x'/>",
         {},
         "请选择行"},
    };
    for (const auto& c : cases) {
        messages_.clear();
        FormWindow* form = OpenWithStep(c.steps);
        for (int row : c.selected)
            Grid(form)->SelectRow(row, true);
        Click(form, 20);
        EXPECT_EQ(messages_, QStringList({QStringLiteral("操作提示|") + c.message})) << c.steps;
        EXPECT_EQ(Rows("SELECT COUNT(*) FROM t_log"), QStringList({"0"})) << c.steps;
        delete form;
        Application::Instance().forms.openForms.clear();
    }
}

// --- the action's transaction, its guards and its reports ---

// Keeps a read transaction open on a SQLite file from another connection for `ms`, as a second
// client reading the account set does; a writer cannot commit until it ends.
class SqliteReader {
public:
    SqliteReader(const QString& file, int ms) {
        std::promise<void> started;
        auto ready = started.get_future();
        thread_ = std::thread([file, ms, &started] {
            sqlite3* db = nullptr;
            sqlite3_open(file.toUtf8().constData(), &db);
            sqlite3_exec(db, "BEGIN; SELECT COUNT(*) FROM t_head;", nullptr, nullptr, nullptr);
            started.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        });
        ready.wait();
    }
    ~SqliteReader() { thread_.join(); }

private:
    std::thread thread_;
};

TEST_P(SaveCommands, ACommitThatFailsIsAFailedActionAndKeepsNothing) {
    const int limit = DbSession::LockWaitLimitSeconds();
    DbSession::SetLockWaitLimitSeconds(1);
    std::unique_ptr<SqliteReader> reader;
    if (GetParam() == Engine::Sqlite) {
        reader =
            std::make_unique<SqliteReader>(MapToDriver(set_->connectionText()).databaseName, 3500);
    } else {
        // The engine checks a deferred key only when the transaction commits.
        ASSERT_TRUE(db_->Execute("CREATE TABLE t_parent (uid_0 INTEGER PRIMARY KEY)"));
        ASSERT_TRUE(db_->Execute("ALTER TABLE t_line ADD CONSTRAINT t_line_parent FOREIGN KEY "
                                 "(head_uid_0) REFERENCES t_parent (uid_0) DEFERRABLE INITIALLY "
                                 "DEFERRED"));
    }
    FormWindow* form = Open();
    Box(form, 1)->setText("0");
    Box(form, 2)->setText("D001");
    GridView* grid = Grid(form);
    grid->AppendRow({"1", "螺丝", "5"}, "0", 1);

    Click(form, 20);
    reader.reset();
    DbSession::SetLockWaitLimitSeconds(limit);

    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].startsWith(QStringLiteral("操作提示|保存失败，数据没有写入账套")))
        << qPrintable(messages_[0]);
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM t_head"), QStringList({"0"}));
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM t_line"), QStringList({"0"}));
    // Saving again inserts again: the key and the row states are those before the click.
    EXPECT_EQ(Box(form, 1)->text(), "0");
    EXPECT_EQ(States(grid), QList<int>({1}));
    EXPECT_TRUE(QFile::exists(Application::Instance().session.exeFolder + "/log_vemo.log"));
}

TEST_P(SaveCommands, ACommitWaitsForAReaderThatLetsGo) {
    if (GetParam() != Engine::Sqlite)
        GTEST_SKIP() << "readers never hold a PostgreSQL writer back";
    const int limit = DbSession::LockWaitLimitSeconds();
    DbSession::SetLockWaitLimitSeconds(5);
    FormWindow* form = Open();
    Box(form, 1)->setText("0");
    Box(form, 2)->setText("D002");
    Grid(form)->AppendRow({"1", "螺丝", "5"}, "0", 1);
    {
        SqliteReader reader(MapToDriver(set_->connectionText()).databaseName, 600);
        Click(form, 20);
    }
    DbSession::SetLockWaitLimitSeconds(limit);
    EXPECT_EQ(messages_, QStringList({"操作提示|操作成功"}));
    EXPECT_EQ(Rows("SELECT code_0 FROM t_head"), QStringList({"D002"}));
}

const char* kGuardForm = R"xml(<html version='1.0' id='0'>
<head title="O'Neil的单据" pos='0,0,500,400'/>
<body><dialog>
  <textbox id='1' pos='10,10,100,30'><ACTION><ENTER log='1'>
    <run_sql><s run_sql="INSERT INTO t_log (v) VALUES ('typed')"/></run_sql>
  </ENTER></ACTION></textbox>
  <button id='20' value='循环' pos='10,320,90,340'><ACTION><CLICK>
    <run_sql><s run_sql="INSERT INTO t_log (v) VALUES ('loop')"/></run_sql>
    <jump values='SELECT 1'/>
    <jump values='SELECT -1'/>
  </CLICK></ACTION></button>
  <button id='21' value='别处' pos='100,320,190,340'><ACTION>
    <CLICK connstr='Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/nonexistent/vemo.dat;'>
    <run_sql><s run_sql="INSERT INTO t_log (v) VALUES ('x')"/></run_sql>
  </CLICK></ACTION></button>
</dialog></body></html>)xml";

TEST_P(SaveCommands, TheOpeningLogStoresTypedTextAsText) {
    FormWindow* form = Open(QString::fromUtf8(kGuardForm));
    const QString typed =
        "x',1,'x',1); UPDATE c_user SET user_group_uid_0=99 WHERE uid_0=1; --{{date}}";
    Box(form, 1)->setText(typed);
    form->RunEvent(1 + FormControls::kWindowIdBase, "ENTER");
    EXPECT_EQ(Rows("SELECT menu_name_0, open_user_id_0, control_id_0 FROM log_dh_open"),
              QStringList({"O'Neil的单据 -> " + typed, "admin", "1"}));
    EXPECT_EQ(Rows("SELECT user_group_uid_0 FROM c_user WHERE uid_0=1"), QStringList({"1"}));
    EXPECT_EQ(Rows("SELECT v FROM t_log"), QStringList({"typed"}));
}

TEST_P(SaveCommands, AnEndlessJumpStopsWithAMessageAndKeepsNothing) {
    if (GetParam() != Engine::Sqlite)
        GTEST_SKIP() << "the limit is the runner's own; one engine shows it";
    FormWindow* form = Open(QString::fromUtf8(kGuardForm));
    Click(form, 20);
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].contains(QStringLiteral("jump形成了循环")))
        << qPrintable(messages_[0]);
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM t_log"), QStringList({"0"}));
}

TEST_P(SaveCommands, AnActionThatCannotReachItsDatabaseSaysSo) {
    FormWindow* form = Open(QString::fromUtf8(kGuardForm));
    Click(form, 21);
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].startsWith(QStringLiteral("操作提示|"))) << qPrintable(messages_[0]);
    EXPECT_GT(messages_[0].size(), 6);
    // The form is back on the account set: its next action runs there.
    messages_.clear();
    Box(form, 1)->setText("a");
    form->RunEvent(1 + FormControls::kWindowIdBase, "ENTER");
    EXPECT_EQ(Rows("SELECT v FROM t_log"), QStringList({"typed"}));
}

INSTANTIATE_TEST_SUITE_P(Engines, SaveCommands, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(EngineName(info.param)); });

INSTANTIATE_TEST_SUITE_P(Engines, RunSqlCommand,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(EngineName(info.param)); });

} // namespace

// The form linter: each rule finds the fault seeded into a small form, on the right line, and
// every demo form is clean.
#include "FormLint.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// A form around `body` (controls and actions), with a grid 9, a box 2 and a button 20.
QString Form(const QString& dialog, const QString& extra = QString()) {
    return QStringLiteral("<html version='1.0' id='0'>\n<head title='t' pos='0,0,400,300'/>\n"
                          "<body><dialog>\n"
                          "<table id='9' pos='10,10,200,100'/>\n"
                          "<textbox id='2' pos='10,110,100,130'/>\n") +
           dialog + QStringLiteral("\n</dialog>") + extra + QStringLiteral("</body></html>\n");
}

QString Button(const QString& commands) {
    return QStringLiteral("<button id='20' value='b' pos='10,140,80,160'><ACTION><CLICK>\n") +
           commands + QStringLiteral("\n</CLICK></ACTION></button>");
}

TEST(FormLint, EachRuleFindsItsFault) {
    const struct {
        QString text;
        const char* rule;
        int line;
    } cases[] = {
        {QStringLiteral("<html><body>"), "xml", 1},
        {Form(Button("<no_such_command/>")), "unknown-command", 7},
        {Form("<textbox id='2' pos='1,1,2,2'/>"), "duplicate-id", 6},
        {Form(Button("<query_to_wnds target_ids='2;77' values='SELECT 1, 2'/>")), "missing-control",
         7},
        {Form(Button("<select_info_table><para_info_where table_id='8' select='SELECT 1'/>"
                     "</select_info_table>")),
         "missing-control", 7},
        {Form("<static id='3' pos='1,2,3'/>"), "rectangle", 6},
        {Form(Button("<jump values='SELECT 5'/>")), "jump-outside", 7},
        {Form(Button("<query_to_wnds target_ids='2' values=\"SELECT '{{nonsense}}'\"/>")),
         "placeholder", 7},
        {Form(Button("<query_to_wnds target_ids='2' values='SELECT 1 WHERE 1=1{{p2}}'>"
                     "<para_info_where><a value='2' where='{{self}}'/></para_info_where>"
                     "</query_to_wnds>")),
         "parameters", 7},
        {Form("<button id='21' value='空' pos='1,1,2,2'/>"), "button-without-action", 6},
        {Form("<button id='21' value='b' pos='1,1,2,2'><ACTION>\n<CLICKED/></ACTION></button>"),
         "unraised-event", 7},
        {Form(Button("<query_to_wnds target_ids='2' values=\"SELECT printf('%.2f', 1)\"/>")),
         "dialect", 7},
        {Form("<textbox id='21' pos='300,250,396,280'/>"), "window-fit", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        const QList<LintFinding> findings = LintDefinition(c.text);
        ASSERT_FALSE(findings.isEmpty()) << qPrintable(c.text);
        EXPECT_EQ(findings.first().rule, QString::fromLatin1(c.rule));
        EXPECT_EQ(findings.first().line, c.line);
        EXPECT_EQ(findings.first().error, QLatin1String(c.rule) != "button-without-action" &&
                                              QLatin1String(c.rule) != "unraised-event" &&
                                              QLatin1String(c.rule) != "dialect" &&
                                              QLatin1String(c.rule) != "window-fit");
    }
    // Every rule of the table has its case above.
    QStringList covered;
    for (const auto& c : cases)
        covered.append(QString::fromLatin1(c.rule));
    for (const QString& rule : LintRuleNames())
        EXPECT_TRUE(covered.contains(rule)) << qPrintable(rule);
}

TEST(FormLint, ReferencesAreCheckedInTheirOwnDocument) {
    // Box 5 exists only in the nested pop-up: its own reference is fine, the main form's is not.
    const QString nested =
        QStringLiteral("<popup><html id='7'><body><dialog><textbox id='5' pos='1,1,2,2'/>"
                       "<button id='6' value='x' pos='1,1,2,2'><ACTION><CLICK>"
                       "<query_to_wnds target_ids='5' values='SELECT 1'/></CLICK></ACTION></button>"
                       "</dialog></body></html></popup>");
    const QList<LintFinding> findings = LintDefinition(
        Form(Button("<query_to_wnds target_ids='5;P:3;1:2:3' values='SELECT 1'/>"), nested));
    ASSERT_EQ(findings.size(), 1);
    EXPECT_EQ(findings.first().message, QStringLiteral("target_ids=\"5\" 指向的控件不存在"));
    EXPECT_EQ(
        LintLine("f.xml", findings.first()),
        QStringLiteral("f.xml:7: error: target_ids=\"5\" 指向的控件不存在 (missing-control)"));
}

// Only SQLite's own functions and GLOB are named: Access functions of the same name as a
// column or word are not.
TEST(FormLint, NamesSqliteOnlySqlOnly) {
    const struct {
        const char* sql;
        QStringList words;
    } cases[] = {
        {"SELECT Format(d, 'yyyy'), DateAdd('d', 1, d), date_0, Date(), CStr(total) FROM t", {}},
        {"SELECT strftime('%Y', d), group_concat(n, ',') FROM t WHERE c GLOB 'A*'",
         {"strftime", "glob"}},
        {"UPDATE t SET d = date('now') WHERE 'printf(' <> ''", {"date"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        QStringList words;
        for (const LintFinding& f : LintDefinition(
                 Form(Button(QStringLiteral("<query_to_wnds target_ids='2' values=\"%1\"/>")
                                 .arg(QString::fromUtf8(c.sql).toHtmlEscaped())))))
            if (f.rule == QLatin1String("dialect"))
                words << f.message.section(QLatin1Char(' '), 0, 0);
        EXPECT_EQ(words, c.words);
    }
}

TEST(FormLint, EveryDemoFormIsClean) {
    const QDir forms(QStringLiteral(VEMO_SOURCE_DIR "/demo/forms"));
    const QStringList files = forms.entryList({QStringLiteral("*.xml")});
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        QFile file(forms.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        for (const LintFinding& finding : LintDefinition(QString::fromUtf8(file.readAll())))
            ADD_FAILURE() << qPrintable(LintLine(name, finding));
    }
}

} // namespace

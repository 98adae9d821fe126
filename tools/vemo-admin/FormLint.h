#pragma once
// Checking form definitions without running them: each rule is a row of one table (its name,
// level and check), and every finding names the file and line it is about.
#include <QList>
#include <QString>
#include <QStringList>

struct LintFinding {
    int line = 0;
    bool error = true; // false: a warning
    QString rule;
    QString message;
};

// The findings of one definition text, in line order.
QList<LintFinding> LintDefinition(const QString& text);

// The rule names of the table, in order (for the usage text and the tests).
QStringList LintRuleNames();

// "FILE:LINE: error|warning: message (rule)"
QString LintLine(const QString& file, const LintFinding& finding);

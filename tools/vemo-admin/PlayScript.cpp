#include "PlayScript.h"

#include <Qt>

namespace {

// What a step takes: `words` arguments in all; with `freeText` the last one is the rest of the
// line (blanks included, possibly empty), otherwise every argument is one word.
struct StepShape {
    const char* name;
    int words;
    bool freeText;
};

constexpr StepShape kSteps[] = {
    {"login", 2, true},        {"open", 1, false},        {"open-xml", 1, true},
    {"set", 2, true},          {"type", 2, true},         {"click", 1, false},
    {"dclick", 1, false},      {"key", 2, false},         {"check", 2, false},
    {"select", 2, true},       {"edit", 4, true},         {"answer", 1, false},
    {"close", 0, false},       {"expect", 2, true},       {"dump", 1, false},
    {"sql", 1, true},          {"tree-select", 2, false}, {"tree-check", 3, false},
    {"row-click", 2, true},    {"save-image", 2, true},   {"edit-key", 2, false},
    {"pick", 1, false},        {"clipboard", 0, false},   {"clipboard-set", 1, true},
    {"dump-colors", 1, false}, {"print-to", 1, true},     {"pdf-text", 1, true},
    {"menu-pick", 1, true},    {"file", 1, true},         {"state", 1, false},
    {"without", 1, false},     {"focus", 0, false},
};

const StepShape* ShapeOf(const QString& name) {
    for (const StepShape& shape : kSteps)
        if (name == QLatin1String(shape.name))
            return &shape;
    return nullptr;
}

bool IsBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

int SkipBlanks(const QString& line, int at) {
    while (at < line.size() && IsBlank(line[at]))
        ++at;
    return at;
}

// The word starting at `at` (no blanks in it); `at` moves past it.
QString TakeWord(const QString& line, int& at) {
    const int start = at;
    while (at < line.size() && !IsBlank(line[at]))
        ++at;
    return line.mid(start, at - start);
}

bool IsSignedNumber(const QString& text) {
    bool ok = false;
    text.toInt(&ok);
    return ok && !text.isEmpty() && (text[0] == QLatin1Char('-') || text[0].isDigit());
}

bool IsNumber(const QString& text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (!c.isDigit() || c.unicode() > 0x7F)
            return false;
    bool ok = false;
    text.toInt(&ok);
    return ok;
}

QString LineError(int line, const QString& text) {
    return QStringLiteral("第 %1 行：%2").arg(line).arg(text);
}

// Checks the words that have a fixed vocabulary; "" when the step is well-formed.
QString CheckArguments(const PlayStep& step) {
    const QString& name = step.name;
    const QStringList& a = step.args;
    if (name == QLatin1String("open") && !IsNumber(a[0]))
        return QStringLiteral("业务功能编号须是整数：%1").arg(a[0]);
    if (name == QLatin1String("key") && PlayKeyCode(a[1]) == 0)
        return QStringLiteral("未知的按键 %1（可用 Enter、Escape、Tab、Up、Down、F1 到 F24）")
            .arg(a[1]);
    if (name == QLatin1String("edit-key") && PlayKeyCode(a[1]) == 0)
        return QStringLiteral("未知的按键 %1（可用 Enter、Escape、Tab、Shift+Tab、Up、Down）")
            .arg(a[1]);
    if (name == QLatin1String("pick") && !IsNumber(a[0]))
        return QStringLiteral("候选行号须是整数：%1").arg(a[0]);
    if (name == QLatin1String("check") && a[1] != QLatin1String("0") && a[1] != QLatin1String("1"))
        return QStringLiteral("check 的值须是 0 或 1：%1").arg(a[1]);
    if (name == QLatin1String("without") && a[0] != QLatin1String("printer") &&
        a[0] != QLatin1String("program"))
        return QStringLiteral("without 的值须是 printer 或 program：%1").arg(a[0]);
    if (name == QLatin1String("answer") &&
        !QStringList({"yes", "no", "ok", "cancel"}).contains(a[0]))
        return QStringLiteral("answer 的值须是 yes、no、ok 或 cancel：%1").arg(a[0]);
    QList<int> rows;
    if (name == QLatin1String("select") && !ParseRowList(a[1], rows))
        return QStringLiteral("行号须是以逗号分隔的整数：%1").arg(a[1]);
    if (name == QLatin1String("edit") && (!IsNumber(a[1]) || !IsNumber(a[2])))
        return QStringLiteral("行号和列号须是整数：%1 %2").arg(a[1], a[2]);
    if ((name == QLatin1String("tree-select") || name == QLatin1String("tree-check")) &&
        !IsSignedNumber(a[1]))
        return QStringLiteral("节点的键须是整数：%1").arg(a[1]);
    if (name == QLatin1String("tree-check") && a[2] != QLatin1String("0") &&
        a[2] != QLatin1String("1"))
        return QStringLiteral("tree-check 的值须是 0 或 1：%1").arg(a[2]);
    if (name == QLatin1String("row-click")) {
        int row = 0;
        bool right = false;
        if (!ParseRowClick(a[1], row, right))
            return QStringLiteral("row-click 须是“行号”或“行号 right”：%1").arg(a[1]);
    }
    if ((name == QLatin1String("open-xml") || name == QLatin1String("sql") ||
         name == QLatin1String("save-image")) &&
        a[0].trimmed().isEmpty())
        return QStringLiteral("%1 缺少参数").arg(name);
    return {};
}

} // namespace

QString EscapeScriptText(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            result += QLatin1String("\\\\");
            break;
        case '\n':
            result += QLatin1String("\\n");
            break;
        case '\t':
            result += QLatin1String("\\t");
            break;
        case '\r':
            result += QLatin1String("\\r");
            break;
        default:
            result += c;
        }
    }
    return result;
}

QString UnescapeScriptText(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            const char16_t next = text[i + 1].unicode();
            const QChar resolved = next == u'n'    ? QChar(u'\n')
                                   : next == u't'  ? QChar(u'\t')
                                   : next == u'r'  ? QChar(u'\r')
                                   : next == u'\\' ? QChar(u'\\')
                                                   : QChar();
            if (!resolved.isNull()) {
                result += resolved;
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

int PlayKeyCode(const QString& name) {
    const QString key = name.toLower();
    if (key == QLatin1String("enter"))
        return Qt::Key_Return;
    if (key == QLatin1String("escape"))
        return Qt::Key_Escape;
    if (key == QLatin1String("tab"))
        return Qt::Key_Tab;
    if (key == QLatin1String("shift+tab"))
        return Qt::Key_Backtab;
    if (key == QLatin1String("up"))
        return Qt::Key_Up;
    if (key == QLatin1String("down"))
        return Qt::Key_Down;
    if (key.size() >= 2 && key[0] == QLatin1Char('f') && IsNumber(key.mid(1))) {
        const int number = key.mid(1).toInt();
        if (number >= 1 && number <= 24 && !key.mid(1).startsWith(QLatin1Char('0')))
            return Qt::Key_F1 + number - 1;
    }
    return 0;
}

bool ParseRowClick(const QString& text, int& row, bool& right) {
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty() || words.size() > 2 || !IsNumber(words[0]))
        return false;
    if (words.size() == 2 && words[1] != QLatin1String("right"))
        return false;
    row = words[0].toInt();
    right = words.size() == 2;
    return true;
}

bool ParseRowList(const QString& text, QList<int>& rows) {
    rows.clear();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return true;
    for (const QString& part : trimmed.split(QLatin1Char(','))) {
        const QString number = part.trimmed();
        if (!IsNumber(number))
            return false;
        rows.append(number.toInt());
    }
    return true;
}

bool ParsePlayScript(const QString& script, QList<PlayStep>& steps, QString& error) {
    steps.clear();
    const QStringList lines = script.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        int at = SkipBlanks(line, 0);
        if (at >= line.size() || line[at] == QLatin1Char('#'))
            continue;
        PlayStep step;
        step.line = n + 1;
        step.name = TakeWord(line, at);
        const StepShape* shape = ShapeOf(step.name);
        if (!shape) {
            error = LineError(step.line, QStringLiteral("未知的步骤 %1").arg(step.name));
            return false;
        }
        for (int i = 0; i < shape->words; ++i) {
            at = SkipBlanks(line, at);
            const bool last = i == shape->words - 1;
            if (last && shape->freeText) {
                step.args.append(line.mid(at));
                at = line.size();
                break;
            }
            const QString word = TakeWord(line, at);
            if (word.isEmpty()) {
                error =
                    LineError(step.line,
                              QStringLiteral("%1 需要 %2 个参数").arg(step.name).arg(shape->words));
                return false;
            }
            step.args.append(word);
        }
        if (SkipBlanks(line, at) < line.size()) {
            error = LineError(step.line, QStringLiteral("%1 的参数过多").arg(step.name));
            return false;
        }
        for (QString& arg : step.args)
            arg = UnescapeScriptText(arg);
        const QString problem = CheckArguments(step);
        if (!problem.isEmpty()) {
            error = LineError(step.line, problem);
            return false;
        }
        steps.append(step);
    }
    return true;
}

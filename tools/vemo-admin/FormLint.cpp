#include "FormLint.h"

#include "commands/CommandTable.h"
#include "data/SqlTokenizer.h"
#include "form/ControlBuilders.h"
#include "platform/ValueGrammars.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <pugixml.hpp>

#include <functional>
#include <string>

namespace {

// One form document (the main one or a nested pop-up): its controls and where it starts.
struct Document {
    pugi::xml_node html;
    QHash<int, pugi::xml_node> controls;
};

struct Context {
    const QString& text;
    pugi::xml_document& doc;
    QList<Document> documents;
    QList<LintFinding>& findings;
    std::vector<int> lineStarts;

    int LineOf(const pugi::xml_node& node) const {
        const ptrdiff_t offset = node.offset_debug();
        if (offset < 0)
            return 0;
        const auto it = std::upper_bound(lineStarts.begin(), lineStarts.end(), int(offset));
        return int(it - lineStarts.begin());
    }
};

using Check = void (*)(Context&, const struct Rule&);

struct Rule {
    const char* name;
    bool error;
    Check check;
};

QString Advice(const QString& word, const QString& instead) {
    return QStringLiteral("%1 是 SQLite 专用的写法，这个表单在 PostgreSQL 账套上无法运行%2")
        .arg(word, instead.isEmpty() ? QString() : QStringLiteral("（改用 %1）").arg(instead));
}

void Report(Context& c, const Rule& rule, const pugi::xml_node& node, const QString& message) {
    c.findings.append({c.LineOf(node), rule.error, QString::fromLatin1(rule.name), message});
}

QString Attr(const pugi::xml_node& node, const char* name) {
    return QString::fromUtf8(node.attribute(name).value());
}

bool IsCommandName(const QString& name) {
    for (const CommandEntry& entry : CommandTable())
        if (name == QLatin1String(entry.name))
            return true;
    return false;
}

// Every event element (a child of an ACTION) of a document, with the document it is in.
template <typename F> void ForEachEvent(Context& c, F f) {
    for (const Document& d : c.documents)
        for (pugi::xpath_node action : d.html.select_nodes(".//ACTION")) {
            // An ACTION of a nested document belongs to that document.
            pugi::xml_node owner = action.node().parent();
            while (owner && std::string(owner.name()) != "html")
                owner = owner.parent();
            if (owner != d.html)
                continue;
            for (pugi::xml_node event : action.node().children())
                if (event.type() == pugi::node_element)
                    f(d, event);
        }
}

void UnknownCommands(Context& c, const Rule& rule) {
    ForEachEvent(c, [&](const Document&, pugi::xml_node event) {
        for (pugi::xml_node command : event.children())
            if (command.type() == pugi::node_element &&
                !IsCommandName(QString::fromUtf8(command.name())))
                Report(c, rule, command,
                       QStringLiteral("未知的命令 <%1>").arg(QString::fromUtf8(command.name())));
    });
}

void DuplicateIds(Context& c, const Rule& rule) {
    for (const Document& d : c.documents) {
        QSet<int> seen;
        for (pugi::xml_node control : d.html.child("body").child("dialog").children()) {
            if (!FindControlBuilder(QString::fromUtf8(control.name())) || !control.attribute("id"))
                continue;
            const int id = control.attribute("id").as_int();
            if (seen.contains(id))
                Report(c, rule, control, QStringLiteral("控件编号 %1 重复").arg(id));
            seen.insert(id);
        }
    }
}

// Attributes that name controls of the form by plain number.
const char* const kReferenceAttributes[] = {
    "table_id",  "result_id",    "to_table_id",   "num_id",       "source_id", "uid_wnd_id",
    "button_id", "from_wnd_id",  "to_wnd_id",     "hidden_wnd",   "sum",       "target",
    "target_id", "row_begin_id", "rows_count_id", "save_path_id", "title_id",  "parent_field_ID",
};

void CheckReference(Context& c, const Rule& rule, const Document& d, pugi::xml_node node,
                    const char* attribute, const QString& reference) {
    const QString text = reference.trimmed();
    bool number = false;
    const int id = text.toInt(&number);
    // "P:N" and "A:B:C" name controls of other forms or pages: not checked here.
    if (!number || id == 0 || d.controls.contains(id))
        return;
    Report(c, rule, node,
           QStringLiteral("%1=\"%2\" 指向的控件不存在").arg(QLatin1String(attribute), text));
}

void MissingControls(Context& c, const Rule& rule) {
    for (const Document& d : c.documents) {
        for (pugi::xpath_node found : d.html.select_nodes(".//*")) {
            pugi::xml_node node = found.node();
            pugi::xml_node owner = node.parent();
            while (owner && std::string(owner.name()) != "html")
                owner = owner.parent();
            if (owner != d.html)
                continue;
            for (const char* attribute : kReferenceAttributes)
                if (node.attribute(attribute))
                    for (const QString& part : Attr(node, attribute).split(QLatin1Char(';')))
                        CheckReference(c, rule, d, node, attribute, part);
            // target_ids lists controls, except where it lists grid columns (the export, the
            // end-of-edit steps of a grid column).
            const std::string name = node.name();
            const bool columns = name == "export_excel" || name == "copy_table" ||
                                 std::string(node.parent().name()) == "ENDEDIT";
            if (node.attribute("target_ids") && !columns)
                for (const QString& part : Attr(node, "target_ids").split(QLatin1Char(';')))
                    CheckReference(c, rule, d, node, "target_ids", part);
        }
    }
}

void Rectangles(Context& c, const Rule& rule) {
    for (pugi::xpath_node found : c.doc.select_nodes("//*[@pos]")) {
        // A chart series' pos is the height of its baseline, not a rectangle.
        if (std::string(found.node().parent().name()) == "cols")
            continue;
        const QString pos = Attr(found.node(), "pos");
        QString error;
        ReadRectText(pos, error);
        if (!error.isEmpty())
            Report(c, rule, found.node(), QStringLiteral("pos=\"%1\"：%2").arg(pos, error));
    }
}

void Jumps(Context& c, const Rule& rule) {
    static const QRegularExpression literal(QStringLiteral("^\\s*SELECT\\s+(-?\\d+)\\s*$"),
                                            QRegularExpression::CaseInsensitiveOption);
    ForEachEvent(c, [&](const Document&, pugi::xml_node event) {
        int index = 0;
        int count = 0;
        for (pugi::xml_node command : event.children())
            count += command.type() == pugi::node_element ? 1 : 0;
        for (pugi::xml_node command : event.children()) {
            if (command.type() != pugi::node_element)
                continue;
            if (std::string(command.name()) == "jump") {
                const auto m = literal.match(Attr(command, "values"));
                if (m.hasMatch()) {
                    const int target = index + m.captured(1).toInt();
                    if (target < 0 || target > count)
                        Report(c, rule, command,
                               QStringLiteral("jump 跳到第 %1 条命令，动作只有 %2 条")
                                   .arg(target + 1)
                                   .arg(count));
                }
            }
            ++index;
        }
    });
}

bool KnownPlaceholder(const QString& token) {
    static const QSet<QString> exact = {"index2",
                                        "type",
                                        "cpy",
                                        "today:year",
                                        "today:month",
                                        "today:day",
                                        "today:today",
                                        "index",
                                        "userid",
                                        "user_id",
                                        "username",
                                        "date",
                                        "datetime",
                                        "today:year_big",
                                        "today:month_big",
                                        "today:day_big",
                                        "selected_uid_0",
                                        "selected_uids_now",
                                        "db_path",
                                        "version_exe",
                                        "exe_name",
                                        "ltime",
                                        "TOP30",
                                        "TOP100",
                                        "self",
                                        "SELF",
                                        "id?uid",
                                        "id?uid_all_selected",
                                        "id?tip1",
                                        "id?tip2",
                                        "id?tip3",
                                        "row_num",
                                        "para_in",
                                        "popup?id",
                                        "deleted_uid_0",
                                        ";",
                                        "",
                                        "\\n",
                                        "\\t",
                                        "conn"};
    static const QRegularExpression numbered(QStringLiteral("^(p|c|A|id\\?)?\\d+$"));
    return exact.contains(token) || numbered.match(token).hasMatch();
}

void Placeholders(Context& c, const Rule& rule) {
    static const QRegularExpression token(QStringLiteral("\\{\\{([^{}]*)\\}\\}"));
    for (pugi::xpath_node found : c.doc.select_nodes("//*")) {
        for (pugi::xml_attribute attribute : found.node().attributes()) {
            const QString value = QString::fromUtf8(attribute.value());
            for (auto it = token.globalMatch(value); it.hasNext();) {
                const QString name = it.next().captured(1);
                if (!KnownPlaceholder(name))
                    Report(c, rule, found.node(),
                           QStringLiteral("占位符 {{%1}} 没有规则展开").arg(name));
            }
        }
    }
}

// {{pN}} of a command against its parameter children: each used one must exist, each child
// must be used.
void Parameters(Context& c, const Rule& rule) {
    static const QRegularExpression used(QStringLiteral("\\{\\{p(\\d+)\\}\\}"));
    ForEachEvent(c, [&](const Document&, pugi::xml_node event) {
        for (pugi::xml_node command : event.children()) {
            if (command.type() != pugi::node_element)
                continue;
            // The list is the command's para_info_where, or that of its own para_info.
            pugi::xml_node list = command.child("para_info_where");
            pugi::xml_node holder = command;
            if (!list) {
                list = command.child("para_info").child("para_info_where");
                if (list)
                    holder = command.child("para_info");
            }
            if (!list)
                list = command.child("para_info_where");
            if (!list || std::string(command.name()) == "set_wnds_color1" ||
                std::string(command.name()) == "set_wnds_color2")
                continue;
            QString sql;
            for (pugi::xml_attribute a : list.attributes())
                sql += QString::fromUtf8(a.value());
            for (pugi::xml_attribute a : holder.attributes())
                sql += QString::fromUtf8(a.value());
            if (holder != command)
                for (pugi::xml_attribute a : command.attributes())
                    sql += QString::fromUtf8(a.value());
            int children = 0;
            for (pugi::xml_node child : list.children())
                children += child.type() == pugi::node_element ? 1 : 0;
            QSet<int> numbers;
            for (auto it = used.globalMatch(sql); it.hasNext();)
                numbers.insert(it.next().captured(1).toInt());
            for (int n : numbers)
                if (n < 1 || n > children)
                    Report(c, rule, command,
                           QStringLiteral("{{p%1}} 没有对应的参数（只有 %2 个）")
                               .arg(n)
                               .arg(children));
            for (int n = 1; n <= children; ++n)
                if (!numbers.contains(n))
                    Report(c, rule, command,
                           QStringLiteral("第 %1 个参数没有 {{p%1}} 使用它").arg(n));
        }
    });
}

void ButtonsWithoutAction(Context& c, const Rule& rule) {
    for (const Document& d : c.documents)
        for (pugi::xml_node control : d.html.child("body").child("dialog").children("button"))
            // A group frame (style 7) is drawn, not pressed.
            if (!control.child("ACTION") && control.attribute("style").as_int() != 7)
                Report(c, rule, control,
                       QStringLiteral("按钮 %1（%2）没有动作")
                           .arg(Attr(control, "id"), Attr(control, "value")));
}

// Events the form raises: a control's clicks, text and focus changes, Enter, the start-up
// action and the end of a cell edit. An action under any other name never runs by itself.
void UnraisedEvents(Context& c, const Rule& rule) {
    static const QSet<QString> raised = {"CLICK",        "DCLICK", "RCLICK", "EN_CHANGE",
                                         "EN_KILLFOCUS", "ENTER",  "INIT",   "ENDEDIT"};
    ForEachEvent(c, [&](const Document&, pugi::xml_node event) {
        const QString name = QString::fromUtf8(event.name());
        if (!raised.contains(name))
            Report(c, rule, event,
                   QStringLiteral("没有控件会引发事件 %1（只能由 sendmessage 调用）").arg(name));
    });
}

// SQLite's own functions and words in a form's SQL. Forms are written in Access SQL, which the
// client translates for the local file and for PostgreSQL; these are passed through as they
// are, so such a form runs on the local file only.
void EngineDialect(Context& c, const Rule& rule) {
    static const QHash<QString, QString> sqliteOnly = {{"printf", "Format"},
                                                       {"strftime", "Format"},
                                                       {"julianday", "DateDiff"},
                                                       {"datetime", "DateAdd 或 Now()"},
                                                       {"date", "DateAdd 或 Date()"},
                                                       {"ifnull", "Nz 或 COALESCE"},
                                                       {"total", "Sum"},
                                                       {"typeof", ""},

                                                       {"glob", "LIKE"},
                                                       {"randomblob", ""},
                                                       {"zeroblob", ""},
                                                       {"changes", ""},
                                                       {"sqlite_version", ""}};
    static const QRegularExpression statement(
        QStringLiteral("^\\s*(select|insert|update|delete|with)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    for (pugi::xpath_node x : c.doc.select_nodes("//*")) {
        for (pugi::xml_attribute a : x.node().attributes()) {
            const QString sql = QString::fromUtf8(a.value());
            if (!statement.match(sql).hasMatch())
                continue;
            SqlTokenizer reader(sql);
            SqlToken token;
            QString previous;
            bool dateCall = false; // after "date(": Access's Date() has no arguments
            while (reader.Next(token)) {
                if (token.kind == SqlTokenKind::Space || token.kind == SqlTokenKind::Comment)
                    continue;
                if (dateCall && !reader.IsPunct(token, u')'))
                    Report(c, rule, x.node(), Advice(QStringLiteral("date"), sqliteOnly["date"]));
                dateCall = false;
                const QString word = reader.Text(token).toString().toLower();
                if (token.kind != SqlTokenKind::Word) {
                    // A function is a word before "(".
                    if (reader.IsPunct(token, u'(') && previous == QLatin1String("date"))
                        dateCall = true;
                    else if (reader.IsPunct(token, u'(') && sqliteOnly.contains(previous) &&
                             previous != QLatin1String("glob"))
                        Report(c, rule, x.node(), Advice(previous, sqliteOnly.value(previous)));
                    previous.clear();
                    continue;
                }
                if (word == QLatin1String("glob"))
                    Report(c, rule, x.node(), Advice(word, sqliteOnly.value(word)));
                previous = word;
            }
        }
    }
}

// A form's placement is its outer rectangle: the window manager's caption and border come out
// of it, so a control drawn to the very edge is cut off on screen.
void WindowFit(Context& c, const Rule& rule) {
    constexpr int kFrameWidth = 8;
    constexpr int kFrameHeight = 40;
    for (const Document& d : c.documents) {
        const pugi::xml_node head = d.html.child("head");
        QString error;
        const RectValue outer = ReadRectText(Attr(head, "pos"), error);
        // Pages of a panel, scrolling forms and frameless ones have no frame to leave room for.
        if (!head.attribute("pos") || Attr(head, "pos") == QLatin1String("0") || !error.isEmpty() ||
            head.attribute("scroll") || head.attribute("style").as_int() == 4)
            continue;
        const int width = outer.right - outer.left;
        const int height = outer.bottom - outer.top;
        for (const pugi::xml_node control : d.controls) {
            if (control.attribute("hidden").as_int() == 2 || control.attribute("desp").as_int() > 0)
                continue;
            const RectValue rect = ReadRectText(Attr(control, "pos"), error);
            if (!error.isEmpty())
                continue;
            if (rect.right + kFrameWidth > width || rect.bottom + kFrameHeight > height)
                Report(c, rule, control,
                       QStringLiteral("控件 %1 在窗口边框内放不下：窗口位置 %2×%3 含标题栏和边框，"
                                      "控件右侧须留 %4 像素、下方须留 %5 像素")
                           .arg(Attr(control, "id"))
                           .arg(width)
                           .arg(height)
                           .arg(kFrameWidth)
                           .arg(kFrameHeight));
        }
    }
}

constexpr Rule kRules[] = {
    {"unknown-command", true, UnknownCommands},
    {"duplicate-id", true, DuplicateIds},
    {"missing-control", true, MissingControls},
    {"rectangle", true, Rectangles},
    {"jump-outside", true, Jumps},
    {"placeholder", true, Placeholders},
    {"parameters", true, Parameters},
    {"button-without-action", false, ButtonsWithoutAction},
    {"unraised-event", false, UnraisedEvents},
    {"dialect", false, EngineDialect},
    {"window-fit", false, WindowFit},
};

} // namespace

QList<LintFinding> LintDefinition(const QString& text) {
    QList<LintFinding> findings;
    pugi::xml_document doc;
    const QByteArray utf8 = text.toUtf8();
    const pugi::xml_parse_result parsed = doc.load_buffer(utf8.constData(), size_t(utf8.size()));
    Context c{text, doc, {}, findings, {0}};
    for (qsizetype i = 0; i < utf8.size(); ++i)
        if (utf8[i] == '\n')
            c.lineStarts.push_back(int(i + 1));
    if (!parsed) {
        const auto it =
            std::upper_bound(c.lineStarts.begin(), c.lineStarts.end(), int(parsed.offset));
        findings.append(
            {int(it - c.lineStarts.begin()), true, QStringLiteral("xml"),
             QStringLiteral("XML 无法解析：%1").arg(QString::fromUtf8(parsed.description()))});
        return findings;
    }
    for (pugi::xpath_node html : doc.select_nodes("//html")) {
        Document d{html.node(), {}};
        for (pugi::xml_node control : html.node().child("body").child("dialog").children())
            if (FindControlBuilder(QString::fromUtf8(control.name())) && control.attribute("id"))
                d.controls.insert(control.attribute("id").as_int(), control);
        c.documents.append(d);
    }
    for (const Rule& rule : kRules)
        rule.check(c, rule);
    std::stable_sort(findings.begin(), findings.end(),
                     [](const LintFinding& a, const LintFinding& b) { return a.line < b.line; });
    return findings;
}

QStringList LintRuleNames() {
    QStringList names{QStringLiteral("xml")};
    for (const Rule& rule : kRules)
        names.append(QString::fromLatin1(rule.name));
    return names;
}

QString LintLine(const QString& file, const LintFinding& finding) {
    return QStringLiteral("%1:%2: %3: %4 (%5)")
        .arg(file)
        .arg(finding.line)
        .arg(finding.error ? QStringLiteral("error") : QStringLiteral("warning"), finding.message,
             finding.rule);
}

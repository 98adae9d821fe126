// Commands that reach outside the form: a file chosen by the user, and a command line run
// through the shell with its output shown.
#include "commands/CommandSupport.h"
#include "commands/WindowCommands.h"
#include "data/InsertedText.h"
#include "form/CommandContext.h"
#include "platform/Gbk.h"
#include "platform/PopupChoice.h"
#include "widgets/GridView.h"

#include <QEventLoop>
#include <QProcess>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <vector>

using FormXml::XmlNode;
using FormXml::XmlNodes;

namespace {

// A command line that has not ended by then is killed; its output so far is kept.
constexpr int kCommandLineLimitMs = 30000;

// One word for the shell whatever the text holds: single quotes around it, each single quote
// inside written as '\'' (end the quoted part, an escaped quote, start a new quoted part).
QString ShellQuoted(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// A text from a control or a row, sealed: nothing scanning the command line after it is
// inserted can see into it, and it is opened as one shell word.
QString ShellWord(const QString& text) {
    return text.isEmpty() ? QStringLiteral("''") : SealInsertedText(text);
}

// `line` with each token of `parameters` replaced in one left-to-right pass: an inserted
// fragment is not scanned again, so a value holding "{{p2}}" cannot pull in the second one.
QString ReplaceOnce(const QString& line,
                    const std::vector<std::pair<QString, QString>>& parameters) {
    const QStringView view(line);
    QString out;
    out.reserve(line.size());
    qsizetype copied = 0;
    for (qsizetype at = view.indexOf(u"{{"); at >= 0; at = view.indexOf(u"{{", at)) {
        const QStringView rest = view.sliced(at);
        const auto hit = std::find_if(parameters.begin(), parameters.end(),
                                      [&](const auto& p) { return rest.startsWith(p.first); });
        if (hit == parameters.end()) {
            ++at;
            continue;
        }
        out.append(view.sliced(copied, at - copied));
        out.append(hit->second);
        at += hit->first.size();
        copied = at;
    }
    out.append(view.sliced(copied));
    return out;
}

// UTF-8 when the bytes read as UTF-8, otherwise GBK (what older tools on a Chinese system
// print).
QString DecodeOutput(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? platform::DecodeGbk(bytes) : text;
}

} // namespace

QString RunCommandLine(const QString& commandLine) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    QByteArray output;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop,
                     [&] { output += process.readAllStandardOutput(); });
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            loop.quit();
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        process.kill();
        loop.quit();
    });
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine});
    limit.start(kCommandLineLimitMs);
    // The form's other windows keep working while the command runs; input to this form is
    // held back by its busy action as for any other action.
    if (process.state() != QProcess::NotRunning || process.waitForStarted(0))
        loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(1000);
    }
    output += process.readAllStandardOutput();
    return DecodeOutput(output);
}

bool SelectFile(CommandContext& form, CommandResult& result, const XmlNode& command,
                int /*windowId*/) {
    const QString kind = command.GetAttribute("values");
    const QString all = QStringLiteral("All Files(*.*) (*)");
    QStringList filters;
    if (kind.isEmpty())
        filters = {all, QStringLiteral("Excel2007 Files (*.xlsx)"),
                   QStringLiteral("Excel2003 Files(*.xls) (*.xls)"),
                   QStringLiteral("Txt Files(*.txt) (*.txt)")};
    else if (kind == QLatin1String("pic"))
        filters = {all, QStringLiteral("Pic Files (*.jpeg *.jpg *.png *.bmp)")};
    else
        filters = {all};
    const std::optional<QString> path = ChooseFileToOpen(QStringLiteral("打开文件"), filters);
    if (!path) {
        result.ok = false;
        return false; // cancelled: nothing to say
    }
    QWidget* target = nullptr;
    if (!ResolveControl(form, result, command.GetAttribute("target_ids"), target))
        return false;
    WriteControlValue(target, *path);
    return true;
}

bool Cmd(CommandContext& form, CommandResult& result, const XmlNode& command, int /*windowId*/) {
    // The command line is the author's; what comes from the row or from controls goes in as
    // single shell words, so no typed text can add commands of its own.
    std::vector<std::pair<QString, QString>> parameters;
    const QString table = command.GetAttribute("table_id");
    if (!table.isEmpty()) {
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, table, window))
            return false;
        if (auto* grid = qobject_cast<GridView*>(window)) {
            const QList<int> rows = grid->SelectedRows();
            if (rows.isEmpty())
                return false;
            parameters.emplace_back(QStringLiteral("{{id?uid}}"),
                                    ShellWord(grid->RowKey(rows.first())));
        }
    }
    const XmlNodes filters = command.GetChild("para_info_where").GetChildren();
    for (int i = 0; i < filters.GetCount(); ++i) {
        const XmlNode filter = filters.GetItem(i);
        QWidget* source = nullptr;
        if (!ResolveControl(form, result, filter.GetAttribute("value"), source))
            return false;
        const QString value = ReadControlValue(source);
        QString fragment;
        if (!value.isEmpty()) {
            fragment = filter.GetAttribute("where");
            fragment.replace(QLatin1String("{{self}}"), ShellWord(value));
        }
        parameters.emplace_back(QStringLiteral("{{p%1}}").arg(i + 1), fragment);
    }
    // The values stay sealed through the form's own placeholders, whose values from users and
    // the database are sealed too, and each is opened last as one shell word.
    const QString line = OpenInsertedTextsWith(
        form.ExpandStatementPlaceholders(ReplaceOnce(command.GetAttribute("values"), parameters)),
        ShellQuoted);
    QWidget* target = nullptr;
    if (!ResolveControl(form, result, command.GetAttribute("target_ids"), target))
        return false;
    WriteControlValue(target, RunCommandLine(line));
    return true;
}

bool Wait(CommandContext& /*form*/, CommandResult& /*result*/, const XmlNode& command,
          int /*windowId*/) {
    // Other windows keep working meanwhile; this form's busy action holds back its own events.
    const int milliseconds = qMax(0, command.GetAttributeInt("values", 0));
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    return true;
}

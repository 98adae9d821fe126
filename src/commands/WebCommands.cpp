#include "commands/WebCommands.h"

#include "commands/CommandSupport.h"
#include "data/CfgFile.h"
#include "data/SessionContext.h"
#include "form/CommandContext.h"
#include "net/UrlCodec.h"
#include "net/WebRequest.h"
#include "platform/AppMessage.h"
#include "platform/ShellOpen.h"
#include "platform/ValueGrammars.h"
#include "widgets/GridView.h"
#include "widgets/PictureView.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <cerrno>
#include <unistd.h>

namespace {

const QString kNoRow = QStringLiteral("请选择记录！");
const QString kNoUrlId = QStringLiteral("请选择记录或者录入关联索引的指定控件编号url_id！");
const QString kNoNumId = QStringLiteral("请选择记录或者录入关联索引的指定控件编号num_id！");
const QString kNoResultId = QStringLiteral("请指定控件编号result_id！");

bool FailSilently(CommandResult& result) {
    result.ok = false;
    return false;
}

bool Fail(CommandResult& result, const QString& message) {
    result = CommandResult::Failed(message);
    return false;
}

// The control a plain id names; none for an empty id.
QWidget* ControlById(CommandContext& form, const QString& id) {
    return id.isEmpty() ? nullptr : form.ControlOfFormOrPages(ParseIntegerText(id));
}

QString RowText(const GridView& grid, int row, int col) {
    return col > 0 ? grid.CellText(row, col - 1) : grid.RowKey(row);
}

// The source text of the command's `para_info`, by plain ids; `idAttribute` names the control
// read when no grid is given.
bool ReadSourceText(CommandContext& form, CommandResult& result, const FormXml::XmlNode& para,
                    const char* idAttribute, const QString& missingId, QString& text) {
    const QString tableId = para.GetAttribute("table_id");
    if (!tableId.isEmpty()) {
        const auto* grid = qobject_cast<const GridView*>(ControlById(form, tableId));
        if (!grid)
            return FailSilently(result);
        const QList<int> selected = grid->SelectedRows();
        if (selected.isEmpty())
            return Fail(result, kNoRow);
        text = RowText(*grid, selected.first(), para.GetAttributeInt("col", 0));
        return true;
    }
    const QString id = para.GetAttribute(idAttribute);
    if (id.isEmpty())
        return Fail(result, missingId);
    const QWidget* window = ControlById(form, id);
    if (!window)
        return FailSilently(result);
    text = ReadControlValue(window);
    return true;
}

enum class Verb { Get, Post, FormSession };

bool RunRequest(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                Verb verb) {
    const FormXml::XmlNode para = command.GetChild("para_info");
    WebRequestSettings settings;
    if (!ReadSourceText(form, result, para, "url_id", kNoUrlId, settings.url))
        return false;
    const QString resultId = para.GetAttribute("result_id");
    if (resultId.isEmpty())
        return Fail(result, kNoResultId);
    settings.body = ReadControlValue(ControlById(form, para.GetAttribute("value_id")));
    settings.tls = ReadWebTlsSettings();
    if (verb == Verb::FormSession) {
        settings.session = &form.WebSession();
        settings.post =
            para.GetAttribute("is_post").compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
        settings.keepConnection = para.GetAttributeInt("login", 0) != 0;
        settings.charset = para.GetAttribute("code");
        settings.timeouts = WebTimeouts::FormSession();
    } else {
        settings.post = verb == Verb::Post;
    }
    bool answered = false;
    form.WaitOffInterface([&settings, &answered] { answered = HttpRequest(settings); });
    SetWindowText(ControlById(form, resultId), answered ? settings.response : settings.status);
    if (answered)
        return true;
    // The result control may well be hidden, and the commands after this one would read the
    // reason as the page: a failed request stops the action and says why, naming the address.
    return Fail(result, settings.status.contains(settings.url)
                            ? settings.status
                            : settings.status + QStringLiteral("\n网址：") + settings.url);
}

bool Codec(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
           QString (*convert)(const QString&)) {
    const FormXml::XmlNode para = command.GetChild("para_info");
    QString text;
    if (!ReadSourceText(form, result, para, "num_id", kNoNumId, text))
        return false;
    const QString resultId = para.GetAttribute("result_id");
    if (resultId.isEmpty())
        return Fail(result, kNoResultId);
    SetWindowText(ControlById(form, resultId), convert(text));
    return true;
}

} // namespace

WebTlsSettings ReadWebTlsSettings() {
    const SessionContext& app = SessionContext::Current();
    const CfgSection https = CfgSection(app.CfgPath(), QStringLiteral("HTTPS"));
    WebTlsSettings tls;
    const QString caFile = https.Value(QStringLiteral("CA_FILE")).trimmed();
    if (!caFile.isEmpty())
        tls.extraCaFile =
            QDir::isAbsolutePath(caFile) ? caFile : QDir(app.exeFolder).filePath(caFile);
    tls.uncheckedHosts =
        https.Value(QStringLiteral("UNCHECKED_HOSTS")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return tls;
}

bool OpenUrl(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
             int /*windowId*/) {
    QString link;
    if (!ReadSourceText(form, result, command.GetChild("para_info"), "url_id", kNoUrlId, link))
        return false;
    if (!platform::OpenLinkWithDesktop(link))
        return Fail(result, QStringLiteral("打开链接(") + link +
                                QStringLiteral(")出错！\n链接格式是否正确？ 网络是否正常？"));
    return true;
}

bool OpenFile(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
              int /*windowId*/) {
    QString path;
    if (!ReadSourceText(form, result, command.GetChild("para_info"), "url_id", kNoUrlId, path))
        return false;
    if (path.isEmpty())
        return Fail(result, QStringLiteral("文件名为空，不能打开! "));
    // The desktop's opener starts detached and reports nothing back, so a missing or unreadable
    // file is caught here, with the system's error number.
    const QByteArray local = QFile::encodeName(path);
    int error = ::access(local.constData(), R_OK) == 0 ? 0 : errno;
    if (error == 0 && !platform::OpenWithDesktop(path))
        error = ENOEXEC;
    if (error != 0)
        return Fail(
            result,
            QStringLiteral("打开文件(%1)出错！\n文件是否存在？\n err:%2 ").arg(path).arg(error));
    return true;
}

bool ShowPic(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
             int /*windowId*/) {
    const FormXml::XmlNode para = command.GetChild("para_info");
    QString path;
    const QString tableId = para.GetAttribute("table_id");
    if (!tableId.isEmpty()) {
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, tableId, window))
            return false;
        const auto* grid = qobject_cast<const GridView*>(window);
        if (!grid)
            return FailSilently(result);
        const QList<int> selected = grid->SelectedRows();
        if (selected.isEmpty())
            return Fail(result, kNoRow);
        path = RowText(*grid, selected.first(), para.GetAttributeInt("col", 0));
    } else {
        const QString urlId = para.GetAttribute("url_id");
        if (urlId.isEmpty())
            return Fail(result, kNoUrlId);
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, urlId, window))
            return false;
        path = ReadControlValue(window);
    }
    QWidget* target = nullptr;
    if (!ResolveControl(form, result, para.GetAttribute("target"), target))
        return false;
    auto* picture = qobject_cast<PictureView*>(target);
    if (!picture)
        return true;
    const QImage image = path.isEmpty() ? QImage() : QImage(path);
    picture->SetPicture(image);
    // The action goes on without the picture, but an empty control alone would not say why.
    if (!path.isEmpty() && image.isNull()) {
        const QFileInfo file(path);
        ShowAppMessage((file.exists() ? QStringLiteral("无法读取图片文件：%1")
                                      : QStringLiteral("图片文件不存在：%1"))
                           .arg(QDir::toNativeSeparators(file.absoluteFilePath())),
                       QStringLiteral("操作提示"), MessageButtons::Ok, form.FormWidget());
    }
    return true;
}

bool GetHtml(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
             int /*windowId*/) {
    return RunRequest(form, result, command, Verb::Get);
}

bool PostHtml(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
              int /*windowId*/) {
    return RunRequest(form, result, command, Verb::Post);
}

bool Post2Html(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
               int /*windowId*/) {
    return RunRequest(form, result, command, Verb::FormSession);
}

bool UrlEncodeCommand(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                      int /*windowId*/) {
    return Codec(form, result, command, &UrlEncode);
}

bool UrlDecodeCommand(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                      int /*windowId*/) {
    return Codec(form, result, command, &UrlDecode);
}

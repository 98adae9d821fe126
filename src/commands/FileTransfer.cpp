#include "commands/FileTransfer.h"

#include "commands/CommandSupport.h"
#include "commands/GridCommandSupport.h"
#include "data/DbSession.h"
#include "data/SessionContext.h"
#include "form/CommandContext.h"
#include "platform/AppMessage.h"
#include "widgets/GridView.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using FormXml::XmlNode;
using FormXml::XmlNodes;

namespace {

bool IsRecordKey(const QString& key) {
    bool number = false;
    key.toLongLong(&number);
    return number;
}

} // namespace

bool ReadWholeFile(const QString& path, QByteArray& bytes, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("无法读取文件：%1").arg(QDir::toNativeSeparators(path));
        return false;
    }
    bytes = file.readAll();
    if (file.error() != QFile::NoError) {
        error = QStringLiteral("无法读取文件：%1").arg(QDir::toNativeSeparators(path));
        return false;
    }
    return true;
}

bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("无法写入文件：%1").arg(QDir::toNativeSeparators(path));
        return false;
    }
    return true;
}

bool ReadFileForForm(CommandContext& form, const QString& path, QByteArray& bytes, QString& error) {
    bool ok = false;
    form.WaitOffInterface([&] { ok = ReadWholeFile(path, bytes, error); });
    return ok;
}

std::optional<QString> SelectedRecordKey(CommandContext& form, int tableId) {
    const GridView* grid = GridById(form, tableId);
    const QList<int> rows = grid ? grid->SelectedRows() : QList<int>();
    if (rows.isEmpty())
        return std::nullopt;
    const QString key = grid->RowKey(rows.first());
    // The key goes into the statement's text: only a record number may.
    if (key.isEmpty() || !IsRecordKey(key))
        return std::nullopt;
    return key;
}

QString UploadLogSql(int kind, const QString& table, const QString& nameColumn) {
    // The name, the user and the key are bound: a name with a quote is stored as it is.
    return QStringLiteral("UPDATE %1 SET %2=?,date_up_0=%3,up_user_uid_0=? where uid_0=?")
        .arg(table, nameColumn, kind == 1 ? QStringLiteral("getdate()") : QStringLiteral("NOW()"));
}

bool StoreAttachment(CommandContext& form, CommandResult& result, const QString& path,
                     const QString& fileName, const QString& table, const QString& nameColumn,
                     const QString& contentColumn, const QString& key) {
    QByteArray bytes;
    QString error;
    if (!ReadFileForForm(form, path, bytes, error)) {
        result.error = error;
        return false;
    }
    if (bytes.size() > kAttachmentLimit) {
        result.error = QStringLiteral("文件太大，只能上传小于2M的文件");
        return false;
    }
    DbSession& session = form.AccountSession();
    if (!session.WriteBinary(QStringLiteral("SELECT * FROM %1 WHERE uid_0=%2").arg(table, key),
                             {contentColumn}, {bytes})) {
        result.error = QStringLiteral("上传失败") + session.Detail();
        return false;
    }
    if (!session.Execute(
            UploadLogSql(session.Kind(), table, nameColumn),
            {fileName, SessionContext::Current().userUid.toLongLong(), key.toLongLong()})) {
        result.error = QStringLiteral("更新上传日志失败");
        result.detail = session.Detail();
        return false;
    }
    return true;
}

bool StoreFileInField(CommandContext& form, CommandResult& result, const QString& path,
                      const QString& sql, const QString& contentColumn, int limitMiB) {
    QByteArray bytes;
    QString error;
    if (!ReadFileForForm(form, path, bytes, error)) {
        result.error = error;
        return false;
    }
    if (bytes.size() > qint64(limitMiB) * 1024 * 1024) {
        result.error = QStringLiteral("文件太大，只能上传小于%1M的文件").arg(limitMiB);
        return false;
    }
    DbSession& session = form.AccountSession();
    if (!session.WriteBinary(sql, {contentColumn}, {bytes})) {
        result.error = QStringLiteral("上传失败") + session.Detail();
        return false;
    }
    return true;
}

std::optional<QString> FetchAttachment(CommandContext& form, CommandResult& result,
                                       const QString& table, const QString& nameColumn,
                                       const QString& contentColumn, const QString& key,
                                       const QString& folder, const QString& failureCaption,
                                       const QString& nothingStored) {
    DbSession& session = form.AccountSession();
    QStringList names;
    if (!session.QueryColumns(
            QStringLiteral("SELECT %1 FROM %2 WHERE uid_0=%3").arg(nameColumn, table, key),
            {nameColumn}, names) ||
        names.isEmpty()) {
        // No record and a record without a file look alike to the user; a failed query does not.
        if (!session.Message().isEmpty()) {
            result.error = session.Message();
            result.detail = session.Detail();
        } else {
            result.error = nothingStored;
        }
        return std::nullopt;
    }
    QList<QByteArray> content;
    if (!session.ReadBinary(
            QStringLiteral("SELECT %1 FROM %2 where uid_0=%3").arg(contentColumn, table, key),
            {contentColumn}, content)) {
        ShowAppMessage(QStringLiteral("下载文件失败"), failureCaption);
        return std::nullopt;
    }
    if (content.isEmpty() || content.first().isEmpty()) {
        result.error = nothingStored;
        return std::nullopt;
    }
    // The stored name is data: only its last part names the file, so that it stays in the
    // folder whatever it holds.
    QString name =
        QFileInfo(QString(names.first()).replace(QLatin1Char('\\'), QLatin1Char('/'))).fileName();
    if (name.isEmpty() || name == QLatin1String("..") || name == QLatin1String("."))
        name = QStringLiteral("附件");
    const QDir dir(SessionContext::Current().exeFolder);
    dir.mkpath(folder);
    QString error;
    if (!WriteWholeFile(dir.filePath(folder + QLatin1Char('/') + name), content.first(), error)) {
        ShowAppMessage(error, failureCaption);
        return std::nullopt;
    }
    return name;
}

bool BindPictureSql(CommandContext& form, CommandResult& result, const XmlNode& command,
                    QString& sql) {
    sql = command.GetAttribute("values");
    const QString table = command.GetAttribute("table_id");
    if (!table.isEmpty()) {
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, table, window))
            return false;
        const auto* grid = qobject_cast<const GridView*>(window);
        const QList<int> rows = grid ? grid->SelectedRows() : QList<int>();
        if (rows.isEmpty() || !IsRecordKey(grid->RowKey(rows.first())))
            return false;
        sql.replace(QLatin1String("{{id?uid}}"), grid->RowKey(rows.first()));
    }
    const XmlNodes filters = command.GetChild("para_info_where").GetChildren();
    for (int i = 0; i < filters.GetCount(); ++i) {
        const XmlNode filter = filters.GetItem(i);
        QWidget* control = nullptr;
        // Unlike a query's filter, a filter whose control does not exist fails the command.
        if (!ResolveControl(form, result, filter.GetAttribute("value"), control) || !control) {
            if (!result.error)
                result.error = QStringLiteral("控件指向出错:\n") + filter.GetAttribute("value");
            return false;
        }
        const QString text = ReadControlValue(control);
        QString fragment;
        if (!text.isEmpty()) {
            fragment = filter.GetAttribute("where");
            fragment.replace(QLatin1String("{{self}}"), SealLiteral(text));
        }
        sql.replace(QStringLiteral("{{p%1}}").arg(i + 1), fragment);
    }
    sql = form.ExpandStatementPlaceholders(sql);
    return true;
}

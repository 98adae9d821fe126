// The file commands: a document attached to the selected record (upload, download), a picture
// in a record (upload_pic, download_pic) and a grid exported into a spreadsheet made from a
// stored template (export_excel).
#include "commands/FileCommands.h"
#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"
#include "commands/FileTransfer.h"
#include "commands/GridCommandSupport.h"
#include "data/DbSession.h"
#include "data/SessionContext.h"
#include "form/CommandContext.h"
#include "form/FormControls.h"
#include "platform/AppMessage.h"
#include "platform/FileSystem.h"
#include "platform/PopupChoice.h"
#include "platform/ShellOpen.h"
#include "platform/TemplateWorkbook.h"
#include "platform/ValueGrammars.h"
#include "widgets/GridView.h"
#include "widgets/PictureView.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

using FormXml::XmlNode;

namespace {

const QString kTip = QStringLiteral("提示");

struct AttachmentColumns {
    QString table;
    QString name;
    QString content;
};

AttachmentColumns ColumnsOf(const XmlNode& info) {
    return {info.GetAttribute("select_table"), info.GetAttribute("file_field_name"),
            info.GetAttribute("img_field_name")};
}

// Opens a file with the desktop's program; when none opens it, its folder; when that fails too,
// says where it is.
void OpenDownloaded(const QString& path) {
    if (platform::OpenWithDesktop(path) || platform::OpenWithDesktop(QFileInfo(path).path()))
        return;
    ShowAppMessage(QStringLiteral("请手动打开下载好的文件：\n") + QDir::toNativeSeparators(path),
                   kTip);
}

} // namespace

bool Upload(CommandContext& form, CommandResult& result, const XmlNode& command, int /*windowId*/) {
    const XmlNode info = command.GetChild("para_info");
    const std::optional<QString> key = SelectedRecordKey(form, info.GetAttributeInt("table_id", 0));
    if (!key)
        return false;
    const AttachmentColumns columns = ColumnsOf(info);
    const std::optional<QString> path =
        ChooseFileToOpen(QStringLiteral("打开文件"),
                         {QStringLiteral("All Files(*.*) (*)"), QStringLiteral("PDF Files (*.pdf)"),
                          QStringLiteral("JPG Files(*.jpg) (*.jpg)")});
    if (!path)
        return false;
    if (!StoreAttachment(form, result, *path, QFileInfo(*path).fileName(), columns.table,
                         columns.name, columns.content, *key))
        return false;
    result.info = QStringLiteral("上传成功");
    return true;
}

bool Download(CommandContext& form, CommandResult& result, const XmlNode& command,
              int /*windowId*/) {
    const XmlNode info = command.GetChild("para_info");
    const std::optional<QString> key = SelectedRecordKey(form, info.GetAttributeInt("table_id", 0));
    if (!key)
        return false;
    const AttachmentColumns columns = ColumnsOf(info);
    const std::optional<QString> name =
        FetchAttachment(form, result, columns.table, columns.name, columns.content, *key,
                        QStringLiteral("temp"), kTip, QStringLiteral("该记录没有附件，无法下载。"));
    if (!name)
        return false;
    OpenDownloaded(
        QDir(SessionContext::Current().exeFolder).filePath(QStringLiteral("temp/") + *name));
    return true;
}

bool UploadPic(CommandContext& form, CommandResult& result, const XmlNode& command,
               int /*windowId*/) {
    QString sql;
    if (!BindPictureSql(form, result, command, sql))
        return false;
    QWidget* source = nullptr;
    if (!ResolveControl(form, result, command.GetAttribute("source_id"), source))
        return false;
    const int limit = command.GetAttributeInt("max", 2);
    if (!StoreFileInField(form, result, ReadControlValue(source), sql,
                          command.GetAttribute("img_field_name"), limit))
        return false;
    result.info = QStringLiteral("上传成功");
    return true;
}

bool DownloadPic(CommandContext& form, CommandResult& result, const XmlNode& command,
                 int /*windowId*/) {
    QString sql;
    if (!BindPictureSql(form, result, command, sql))
        return false;
    const QString column = command.GetAttribute("img_field_name");
    DbSession& session = CommandSession(form, command);
    QStringList present;
    if (!session.QueryColumns(sql, {column}, present) || present.isEmpty())
        return false;
    QList<QByteArray> content;
    if (!session.ReadBinary(sql, {column}, content))
        ShowAppMessage(QStringLiteral("下载图片失败"), kTip);
    if (content.isEmpty() || content.first().isEmpty())
        return false;
    QWidget* target = nullptr;
    if (!ResolveControl(form, result, command.GetAttribute("target_ids"), target))
        return false;
    // Bytes that are no picture leave the control empty; the command still succeeds.
    if (auto* picture = qobject_cast<PictureView*>(target))
        picture->SetPicture(QImage::fromData(content.first()));
    return true;
}

bool ExportExcel(CommandContext& form, CommandResult& result, const XmlNode& command,
                 int /*windowId*/) {
    // The template, fetched from its record into xltx/.
    const XmlNode info = command.GetChild("para_info");
    const QString key = ReadControlValue(
        form.ControlByWindowId(WindowIdOfDocumentId(info.GetAttributeInt("target_id", 0))));
    if (key.isEmpty())
        return false;
    bool number = false;
    key.toLongLong(&number);
    if (!number)
        return false; // the key goes into the statement: only a record number may
    const AttachmentColumns columns = ColumnsOf(info);
    const std::optional<QString> templateName = FetchAttachment(
        form, result, columns.table, columns.name, columns.content, key, QStringLiteral("xltx"),
        CommandTexts::kAppCaption, QStringLiteral("模板记录中没有Excel模板文件，无法导出。"));
    if (!templateName)
        return false;

    // The cells: grid columns by number (from 1) from the start cell "row,column".
    GridView* grid = GridById(form, command.GetAttributeInt("table_id", 0));
    if (!grid || grid->RowCount() == 0)
        return false;
    const QString start = command.GetAttribute("values", QStringLiteral("2,1"));
    const qsizetype comma = start.indexOf(QLatin1Char(','));
    platform::WorkbookFill fill;
    fill.startRow = comma < 0 ? 0 : ParseIntegerText(start.left(comma));
    fill.startColumn = ParseIntegerText(comma < 0 ? start : start.mid(comma + 1));
    QList<int> columnsToExport;
    const QString list = command.GetAttribute("target_ids");
    if (!list.isEmpty())
        for (const QString& piece : list.split(QLatin1Char(',')))
            columnsToExport.append(ParseIntegerText(piece) - 1);
    if (fill.startRow < 1 || fill.startColumn < 1) {
        result.error = QStringLiteral("导出的起始单元格“%1”不正确").arg(start);
        return false;
    }
    if (!columnsToExport.isEmpty()) {
        fill.rows.reserve(grid->RowCount());
        for (int r = 0; r < grid->RowCount(); ++r) {
            QStringList cells;
            cells.reserve(columnsToExport.size());
            for (int c : columnsToExport)
                cells.append(c >= 0 && c < grid->ColumnCount() ? grid->CellText(r, c) : QString());
            fill.rows.append(cells);
        }
    }

    const QDir exe(SessionContext::Current().exeFolder);
    fill.templatePath = exe.filePath(QStringLiteral("xltx/") + *templateName);
    if (QFileInfo(*templateName).suffix().compare(QLatin1String("xls"), Qt::CaseInsensitive) == 0) {
        // LibreOffice takes seconds: the forms go on meanwhile.
        QString converted;
        platform::WorkbookResult conversion;
        form.WaitOffInterface([&] {
            conversion = platform::ConvertLegacyWorkbook(
                fill.templatePath, exe.filePath(QStringLiteral("xltx")), converted);
        });
        if (!conversion.ok) {
            result.error = conversion.error;
            return false;
        }
        fill.templatePath = converted;
    }
    exe.mkpath(QStringLiteral("temp"));
    fill.outputPath = platform::FreeNumberedPath(exe.filePath(QStringLiteral("temp")),
                                                 QFileInfo(*templateName).completeBaseName(),
                                                 QStringLiteral("xlsx"));

    // Written off the interface thread; the form's title tells how far it got.
    QPointer<QWidget> window = form.FormWidget();
    const QString title = window->windowTitle();
    const int total = int(fill.rows.size());
    fill.progress = [window, title, total](int written) {
        QMetaObject::invokeMethod(window.data(), [window, title, written, total] {
            if (window)
                window->setWindowTitle(
                    QStringLiteral("%1（正在导出 %2 / %3 行）").arg(title).arg(written).arg(total));
        });
    };
    platform::WorkbookResult written;
    form.WaitOffInterface([&] { written = platform::FillTemplateWorkbook(fill); });
    if (window)
        window->setWindowTitle(title);
    if (!written.ok) {
        result.error = written.error;
        return false;
    }
    // The workbook is written whether or not a program opens it: the message says where it is.
    if (!platform::OpenWithDesktop(fill.outputPath))
        ShowAppMessage(QStringLiteral("已导出到文件：\n%1\n本机没有找到打开 Excel "
                                      "文件的程序，请用电子表格程序手动打开该文件。")
                           .arg(QDir::toNativeSeparators(fill.outputPath)),
                       CommandTexts::kAppCaption);
    return true;
}

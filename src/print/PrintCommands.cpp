#include "print/PrintCommands.h"

#include "print/PrintLayout.h"

#include "commands/CommandSupport.h"
#include "data/CfgFile.h"
#include "data/DbSession.h"
#include "data/SessionContext.h"
#include "form/CommandContext.h"
#include "form/CommandRegistry.h"
#include "form/ControlHost.h"
#include "form/ControlValues.h"
#include "form/FormControls.h"
#include "platform/AppMessage.h"
#include "platform/FileSystem.h"
#include "platform/ShellOpen.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTimer>
#include <QWidget>

#include <array>

using FormXml::XmlNode;

namespace {

// Paper size codes kept in cfg.ini (the printer drivers' DMPAPER numbers) and their sizes.
struct PaperCode {
    int code;
    QPageSize::PageSizeId size;
};
constexpr auto kPaperCodes = std::to_array<PaperCode>({
    {1, QPageSize::Letter},
    {3, QPageSize::Tabloid},
    {4, QPageSize::Ledger},
    {5, QPageSize::Legal},
    {7, QPageSize::Executive},
    {8, QPageSize::A3},
    {9, QPageSize::A4},
    {11, QPageSize::A5},
    {12, QPageSize::JisB4},
    {13, QPageSize::JisB5},
    {20, QPageSize::Envelope10},
    {27, QPageSize::EnvelopeDL},
    {70, QPageSize::A6},
});

PrinterChoice g_printer;
QString g_folder;
std::function<void(const QString&, int)> g_written;
int g_jobs = 0;
int g_pendingClicks = 0;

bool RealSetupDialog(PrinterChoice& choice);
PrinterSetupDialog g_setupDialog = &RealSetupDialog;
PrinterPresence g_printerPresence;

const QString kPrintCaption = QStringLiteral("打印");

bool PrinterPresent() {
    return g_printerPresence ? g_printerPresence()
                             : !QPrinterInfo::availablePrinterNames().isEmpty();
}

// Per-form printing state, kept on the form window.
constexpr char kPreviewFlag[] = "vemoPrintPreview";
constexpr char kPrintKey[] = "vemoPrintKey";
constexpr char kPrintQueue[] = "vemoPrintQueue";

QString CfgFilePath() {
    return SessionContext::Current().CfgPath();
}

QString MenuUidOf(CommandContext& form) {
    const auto* host = dynamic_cast<const ControlHost*>(form.FormWidget());
    return host ? host->MenuUid() : QString();
}

QString ButtonSection(CommandContext& form, int windowId) {
    return QStringLiteral("B%1_%2").arg(MenuUidOf(form)).arg(DocumentIdOfWindowId(windowId));
}

QWidget* ControlOf(CommandContext& form, int documentId) {
    return documentId > 0 ? form.ControlByWindowId(WindowIdOfDocumentId(documentId)) : nullptr;
}

QString TextOf(CommandContext& form, int documentId) {
    return ControlText(ControlOf(form, documentId));
}

// Makes the printer stored under `section` the one jobs use, when the section names one.
void ApplyStoredPrinter(const QString& section) {
    const QString cfg = CfgFilePath();
    const QString name = ReadCfg(cfg, section, QStringLiteral("PNAME"));
    const QString size = ReadCfg(cfg, section, QStringLiteral("PSIZE"));
    if (name.isEmpty() || size.isEmpty())
        return;
    PrinterChoice choice;
    choice.name = name;
    choice.paper = size.toInt();
    const int orientation = ReadCfg(cfg, section, QStringLiteral("PORIE")).toInt();
    choice.orientation = orientation == 2 ? 2 : 1;
    g_printer = choice;
}

void ConfigurePrinter(QPrinter& printer, const QString& title) {
    if (!g_printer.name.isEmpty() && QPrinterInfo::printerInfo(g_printer.name).isNull() == false)
        printer.setPrinterName(g_printer.name);
    printer.setPageSize(PageSizeOfPaperCode(g_printer.paper));
    printer.setPageOrientation(g_printer.orientation == 2 ? QPageLayout::Landscape
                                                          : QPageLayout::Portrait);
    printer.setDocName(title);
}

bool RealSetupDialog(PrinterChoice& choice) {
    QPrinter printer(QPrinter::HighResolution);
    ConfigurePrinter(printer, QString());
    QPrintDialog dialog(&printer);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    choice.name = printer.printerName();
    choice.paper = PaperCodeOfPageSize(printer.pageLayout().pageSize());
    choice.orientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
    return true;
}

// The next print job of the batch: the next record's uid into the layout's uid control and a
// click on its print button, posted so that it starts after this job has ended.
void ContinueBatch(CommandContext& form, const XmlNode& para) {
    QWidget* window = form.FormWidget();
    QStringList queue = window->property(kPrintQueue).toStringList();
    if (queue.isEmpty())
        return;
    queue.removeFirst();
    window->setProperty(kPrintQueue, queue);
    if (queue.isEmpty())
        return;
    SetControlText(ControlOf(form, para.GetAttributeInt("uid_id", 0)), queue.first());
    QPointer<QWidget> button = ControlOf(form, para.GetAttributeInt("print_btn", 0));
    if (!button)
        return;
    ++g_pendingClicks;
    // Not tied to the form: the count must come down even when the form has closed.
    QTimer::singleShot(0, [button] {
        --g_pendingClicks;
        if (button)
            PressControl(button);
    });
}

// Without a printer a direct job would vanish: it is written as a PDF file under temp/ instead
// and opened with the desktop's program, so the user can still see, keep or send it.
void SaveJobAsPdf(PrintLayout& layout, const QString& title, QWidget* owner) {
    const QDir exe(SessionContext::Current().exeFolder);
    exe.mkpath(QStringLiteral("temp"));
    const QString path = platform::FreeNumberedPath(exe.filePath(QStringLiteral("temp")),
                                                    platform::FileBaseNameOf(title, kPrintCaption),
                                                    QStringLiteral("pdf"));
    const QString shown = QDir::toNativeSeparators(path);
    const int pages = WritePdf(layout, path, PageSizeOfPaperCode(g_printer.paper),
                               g_printer.orientation == 2, title);
    if (pages <= 0) {
        QFile::remove(path);
        ShowAppMessage(pages == 0 ? QStringLiteral("没有可用的打印机。")
                                  : QStringLiteral("没有可用的打印机，打印内容也无法存为 PDF "
                                                   "文件：\n%1")
                                        .arg(shown),
                       kPrintCaption, MessageButtons::Ok, owner);
        return;
    }
    if (platform::OpenWithDesktop(path))
        ShowAppMessage(QStringLiteral("没有可用的打印机，打印内容已存为 PDF 文件并打开：\n%1\n"
                                      "可以在打开它的程序中保存或打印。")
                           .arg(shown),
                       kPrintCaption, MessageButtons::Ok, owner);
    else
        ShowAppMessage(QStringLiteral("没有可用的打印机，打印内容已存为 PDF 文件：\n%1\n"
                                      "本机没有找到打开 PDF 文件的程序，请手动打开该文件。")
                           .arg(shown),
                       kPrintCaption, MessageButtons::Ok, owner);
}

PageShift ShiftOf(CommandContext& form, int windowId) {
    QString section = form.FormWidget()->property(kPrintKey).toString();
    if (section.isEmpty())
        section = ButtonSection(form, windowId);
    const QString cfg = CfgFilePath();
    return {ReadCfg(cfg, section, QStringLiteral("POS_LEFT")).toInt(),
            ReadCfg(cfg, section, QStringLiteral("POS_TOP")).toInt()};
}

struct PositionControls {
    QString section;
    QWidget* left = nullptr;
    QWidget* top = nullptr;
};

PositionControls PositionControlsOf(CommandContext& form, const XmlNode& command) {
    const XmlNode info = command.GetChild("para_info");
    PositionControls controls;
    controls.section =
        QStringLiteral("B%1_%2").arg(TextOf(form, info.GetAttributeInt("d_uid_id", 0)),
                                     TextOf(form, info.GetAttributeInt("button_id", 0)));
    controls.left = ControlOf(form, info.GetAttributeInt("left_id", 0));
    controls.top = ControlOf(form, info.GetAttributeInt("top_id", 0));
    return controls;
}

} // namespace

QPageSize PageSizeOfPaperCode(int code) {
    for (const PaperCode& paper : kPaperCodes)
        if (paper.code == code)
            return QPageSize(paper.size);
    return QPageSize(QPageSize::A4);
}

int PaperCodeOfPageSize(const QPageSize& size) {
    for (const PaperCode& paper : kPaperCodes)
        if (paper.size == size.id())
            return paper.code;
    return 9;
}

bool PrintBatchPending() {
    return g_pendingClicks > 0;
}

PrinterChoice CurrentPrinter() {
    return g_printer;
}

void SetCurrentPrinter(const PrinterChoice& choice) {
    g_printer = choice;
}

void SetPrintToFolder(const QString& folder,
                      std::function<void(const QString& file, int pages)> written) {
    g_folder = folder;
    g_written = std::move(written);
    g_jobs = 0;
}

void SetPrinterPresence(PrinterPresence presence) {
    g_printerPresence = std::move(presence);
}

void SetPrinterSetupDialog(PrinterSetupDialog dialog) {
    g_setupDialog = dialog ? dialog : &RealSetupDialog;
}

bool Print(CommandContext& form, CommandResult& /*result*/, const XmlNode& command, int windowId) {
    ApplyStoredPrinter(ButtonSection(form, windowId));
    const XmlNode para = command.GetChild("print_para");
    const QString nameId = para.GetAttribute("name_id");
    const QString title = nameId.isEmpty() ? kPrintCaption : TextOf(form, nameId.toInt());
    const bool direct = PrintsWithoutDialog(form, para);
    const bool preview = form.FormWidget()->property(kPreviewFlag).toBool();
    PrintLayout layout(form, para, ShiftOf(form, windowId));

    if (!g_folder.isEmpty()) {
        // Unattended: every job becomes a file, whatever the dialogs would have asked.
        QDir().mkpath(g_folder);
        const QString path =
            QDir(g_folder).filePath(QStringLiteral("%1%2.pdf")
                                        .arg(++g_jobs, 3, 10, QLatin1Char('0'))
                                        .arg(preview ? QStringLiteral("-preview") : QString()));
        const int pages = WritePdf(layout, path, PageSizeOfPaperCode(g_printer.paper),
                                   g_printer.orientation == 2, title);
        if (g_written)
            g_written(path, pages);
        if (!preview)
            ContinueBatch(form, para);
        return true;
    }

    if (direct && !preview && !PrinterPresent()) {
        SaveJobAsPdf(layout, title, form.FormWidget());
        // Nothing went to a printer: a batch stays where it was, as after a cancelled dialog.
        return true;
    }
    QPrinter printer(QPrinter::HighResolution);
    ConfigurePrinter(printer, title);
    if (preview) {
        QPrintPreviewDialog dialog(&printer, form.FormWidget());
        dialog.setWindowTitle(title);
        dialog.setWindowIcon(QApplication::windowIcon());
        dialog.resize(1440, 900);
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested,
                         [&layout](QPrinter* target) { PrintPages(layout, *target); });
        dialog.showMaximized();
        dialog.exec();
        return true;
    }
    if (!direct) {
        QPrintDialog dialog(&printer, form.FormWidget());
        dialog.setWindowTitle(title);
        // A cancelled dialog prints nothing and leaves the batch where it was.
        if (dialog.exec() != QDialog::Accepted)
            return true;
    }
    if (PrintPages(layout, printer) < 0) {
        const QString name = printer.printerName();
        ShowAppMessage(
            (name.isEmpty() ? QStringLiteral("打印机") : QStringLiteral("打印机“%1”").arg(name)) +
                QStringLiteral("无法打印，请检查打印机是否连接并开启。"),
            kPrintCaption, MessageButtons::Ok, form.FormWidget());
        return true;
    }
    ContinueBatch(form, para);
    return true;
}

bool PrintPre(CommandContext& form, CommandResult& /*result*/, const XmlNode& command,
              int /*windowId*/) {
    const int target = command.GetAttributeInt("target_ids", 0);
    QWidget* button = ControlOf(form, target);
    if (!button)
        return true;
    if (!button->isEnabled()) {
        ShowAppMessage(QStringLiteral("无权限,不能操作"), QStringLiteral("操作提示"));
        return true;
    }
    QWidget* window = form.FormWidget();
    window->setProperty(kPreviewFlag, true);
    const bool ok = form.RunAction(WindowIdOfDocumentId(target), QStringLiteral("CLICK"));
    window->setProperty(kPreviewFlag, false);
    return ok;
}

bool PrintSetup(CommandContext& form, CommandResult& /*result*/, const XmlNode& command,
                int windowId) {
    const QString key = ButtonSection(form, windowId);
    form.FormWidget()->setProperty(kPrintKey, key);
    ApplyStoredPrinter(key);
    PrinterChoice choice = g_printer;
    if (!g_setupDialog(choice))
        return true;
    g_printer = choice;
    const QString cfg = CfgFilePath();
    const QString menu = MenuUidOf(form);
    for (const QString& id :
         command.GetAttribute("target_ids").split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString section = QStringLiteral("B%1_%2").arg(menu).arg(id.trimmed().toInt());
        WriteCfg(cfg, section, QStringLiteral("PNAME"), choice.name);
        WriteCfg(cfg, section, QStringLiteral("PSIZE"), QString::number(choice.paper));
        WriteCfg(cfg, section, QStringLiteral("PORIE"), QString::number(choice.orientation));
    }
    return true;
}

bool PrintPosGet(CommandContext& form, CommandResult& /*result*/, const XmlNode& command,
                 int /*windowId*/) {
    const PositionControls controls = PositionControlsOf(form, command);
    const QString cfg = CfgFilePath();
    const auto valueOf = [&](const QString& key) {
        const QString value = ReadCfg(cfg, controls.section, key);
        return value.isEmpty() ? QStringLiteral("0") : value;
    };
    SetControlText(controls.left, valueOf(QStringLiteral("POS_LEFT")));
    SetControlText(controls.top, valueOf(QStringLiteral("POS_TOP")));
    return true;
}

bool PrintPosSetup(CommandContext& form, CommandResult& /*result*/, const XmlNode& command,
                   int /*windowId*/) {
    const PositionControls controls = PositionControlsOf(form, command);
    const QString cfg = CfgFilePath();
    WriteCfg(cfg, controls.section, QStringLiteral("POS_LEFT"), ControlText(controls.left));
    WriteCfg(cfg, controls.section, QStringLiteral("POS_TOP"), ControlText(controls.top));
    return true;
}

bool QueryToPrint(CommandContext& form, CommandResult& result, const XmlNode& command,
                  int /*windowId*/) {
    QWidget* window = form.FormWidget();
    window->setProperty(kPrintQueue, QStringList());
    QString sql = command.GetAttribute("values");
    const XmlNode info = command.GetChild("para_info");
    BindWhereParameters(form, result, info.IsEmpty() ? command.GetChild("para_info_where") : info,
                        sql);
    sql = form.ExpandStatementPlaceholders(sql);
    QStringList queue;
    QStringList names;
    CommandSession(form, command).QueryRows(sql, names, [&queue](QStringList&& row) {
        queue.append(row.value(0));
    });
    window->setProperty(kPrintQueue, queue);
    return true;
}

bool PrintsWithoutDialog(CommandContext& form, const XmlNode& printPara) {
    const int isDirect = printPara.GetAttributeInt("is_direct", 0);
    if (isDirect == 0 || isDirect == 1)
        return isDirect == 1;
    const QString decides = TextOf(form, isDirect);
    return !decides.isEmpty() && decides != QLatin1String("0");
}

void RegisterPrintCommands() {
    const std::pair<const char*, bool (*)(CommandContext&, CommandResult&, const XmlNode&, int)>
        handlers[] = {
            {"print", &Print},
            {"print_pre", &PrintPre},
            {"print_setup", &PrintSetup},
            {"print_pos_get", &PrintPosGet},
            {"print_pos_setup", &PrintPosSetup},
            {"query_to_print", &QueryToPrint},
        };
    for (const auto& [name, handler] : handlers) {
        RegisterCommand(QString::fromLatin1(name),
                        [handler](CommandContext& form, const XmlNode& command, int windowId) {
                            CommandResult result;
                            result.ok = handler(form, result, command, windowId);
                            return result;
                        });
    }
}

#include "PlayRunner.h"
#include "app/CommandFamilies.h"

#include "AccountSetInit.h"

#include "PlayDrivers.h"
#include "PlayOutput.h"
#include "PlayScript.h"
#include "app/Application.h"
#include "app/ChineseInterface.h"
#include "app/Login.h"
#include "app/OpenBusinessFunction.h"
#include "commands/CommandSupport.h"
#include "commands/CommandTable.h"
#include "data/CfgFile.h"
#include "data/ConnectionText.h"
#include "data/DbSession.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "form/XmlDocument.h"
#include "platform/AppMessage.h"
#include "platform/Clock.h"
#include "platform/PopupChoice.h"
#include "platform/ShellOpen.h"
#include "print/PrintCommands.h"
#include "widgets/GridView.h"
#include "widgets/TreeListView.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QStringDecoder>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

const char kPlayUsage[] =
    "  vemo-admin play [--dir EXE_FOLDER] SCRIPT\n"
    "    以 EXE_FOLDER（默认当前文件夹）中 cfg.ini 的账套运行表单脚本，不需要显示器。\n"
    "    每行一步；空行和以 # 开头的行跳过；参数以空格分隔，最后一个参数取到行尾，\n"
    "    其中 \\n \\t \\r \\\\ 表示换行、制表符、回车、反斜杠。步骤作用于当前表单：最后打开或\n"
    "    显示、仍然可见的表单（弹出表单关闭后回到前一个）。\n"
    "      login ID PASSWORD        登录，检查和记录与登录对话框相同\n"
    "      open UID                 打开业务功能\n"
    "      open-xml FILE            打开文件中的表单定义（相对路径从脚本所在文件夹算起）\n"
    "      set ID TEXT              写入控件，不触发事件\n"
    "      type ID TEXT             聚焦控件，逐键输入，再移开焦点\n"
    "      click ID | dclick ID     单击、双击（控件禁用或隐藏时无效）\n"
    "      key ID KEY               按键：Enter Escape Tab Up Down F1..F24\n"
    "      check ID 0|1             勾选或取消勾选\n"
    "      select ID ROWS           选择表格行（从 0 数，逗号分隔）、下拉列表项或分页\n"
    "      edit ID ROW COL TEXT     在单元格中编辑并确认；候选列表显示且没有完整输入某一候选时，\n"
    "                               编辑保持打开，等待 pick\n"
    "      edit-key ID KEY          向表格中打开的编辑框（或表格）按键：Up Down Tab Shift+Tab\n"
    "                               Enter Escape\n"
    "      pick N                   选择打开的候选列表（或候选弹出表单的表格）的第 N 行（从 0 "
    "数）\n"
    "      answer yes|no|ok|cancel  下一个询问的回答（没有预备的回答时答“否”）\n"
    "      close                    关闭当前表单\n"
    "      expect ID TEXT           比较控件的文字\n"
    "      dump ID                  打印控件\n"
    "      state ID                 打印控件能否使用：state ID: enabled|disabled, shown|hidden\n"
    "      focus                    打印键盘焦点所在：focus: ID、focus: ID row R column C（表格的"
    "单元格编辑框）、focus: form 或 focus: none\n"
    "                               （不能输入的文字框再加 \", read-only\"）\n"
    "      tree-select ID KEY       单击树中键为 KEY 的节点\n"
    "      tree-check ID KEY 0|1    勾选或取消勾选树节点\n"
    "      row-click ID ROW [right] 单击（或右击）树形列表或表格的第 ROW 行（从 0 "
    "数，按显示顺序）\n"
    "      save-image ID FILE       把控件按显示的样子存为 PNG（相对路径从 EXE_FOLDER 算起）\n"
    "      clipboard | clipboard-set TEXT  打印剪贴板的文字；写入剪贴板\n"
    "      dump-colors ID           打印表格每个单元格的背景色和文字颜色（r,g,b）\n"
    "      print-to DIR             此后每个打印任务不经对话框写成 DIR/NNN.pdf（预览为\n"
    "                               NNN-preview.pdf）\n"
    "      pdf-text FILE            打印 PDF 文件的文字\n"
    "      menu-pick NAME           选择下一个弹出菜单中名为 NAME 的项\n"
    "      without printer|program  此后本机没有打印机（不经对话框的打印任务改存为 PDF）；\n"
    "                               或桌面没有打开文件和链接的程序\n"
    "      file PATH|cancel         回答下一个文件对话框\n"
    "      sql QUERY                在账套上执行，打印结果行\n"
    "    标准输出（文字里的换行、制表符、回车、反斜杠写作 \\n \\t \\r \\\\）：\n"
    "      message [标题] 文字（EXE_FOLDER 中的路径写成相对路径）\n"
    "      open 路径：客户端要用桌面程序打开的文件（相对 EXE_FOLDER）或链接，只记录不打开\n"
    "      expect failed: ID，随后 \"  expected: 文字\" 和 \"  actual: 文字\" 两行\n"
    "      dump ID: 文字（文字为空时只有 \"dump ID:\"），随后：复选框 \"checked: 0|1|2\"；\n"
    "        图片框 \"picture: 宽x高\"，没有图片时 \"picture: none\"；\n"
    "        下拉列表每项一行，\"* 项\" 为选中项，\"- 项\" 为其他；表格先一行\n"
    "        \"key<TAB>state<TAB>列标题...\"，再每行 \"键<TAB>状态<TAB>单元格...\"；树每个节点\n"
    "        一行（深度优先，每层缩进两个空格）\"键<TAB>勾选<TAB>文字\"，勾选为 0、1，只勾了\n"
    "        部分子节点的为 2；树形列表每行一行（缩进同上）\n"
    "        \"键<TAB>提示1<TAB>提示2<TAB>提示3<TAB>颜色<TAB>标题<TAB>单元格...\"\n"
    "      sql 的结果每行一行，字段以 TAB 分隔\n"
    "    退出码：0 全部通过；1 有 expect 不符；2 脚本错误（未知步骤、控件或表单），运行停止，\n"
    "    错误写在标准错误上。\n";

namespace {

bool StartsWithWord(const QString& sql, const char* word) {
    const QString trimmed = sql.trimmed();
    const int length = int(qstrlen(word));
    return trimmed.left(length).compare(QLatin1String(word), Qt::CaseInsensitive) == 0 &&
           (trimmed.size() == length || !trimmed[length].isLetterOrNumber());
}

// A file's text: UTF-8 unless a byte-order mark says otherwise.
QString DecodeText(const QByteArray& bytes) {
    const auto encoding = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8));
    return decoder.decode(bytes);
}

bool ReadTextFile(const QString& path, QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    text = DecodeText(file.readAll());
    return true;
}

// The form window that holds a control (the control itself when it is a form).
FormWindow* FormOf(QWidget* control) {
    for (QWidget* widget = control; widget; widget = widget->parentWidget())
        if (auto* form = qobject_cast<FormWindow*>(widget))
            return form;
    return nullptr;
}

// A form from a file, opened as the main window opens a menu entry's, but never taken for one:
// its registry entry has no menu uid, so opening a menu entry does not show it again.
FormWindow* OpenXmlForm(const QString& definition) {
    Application& app = Application::Instance();
    app.forms.handOff = FormOpenHandOff{definition, {}, {}, QStringLiteral("0"), {}, {}};
    auto* form = new FormWindow(nullptr);
    app.forms.openForms.insert(form, OpenFormEntry{QString(), true, nullptr});
    form->LoadDefinition(definition);
    form->menuUid = QStringLiteral("0");
    form->Build();
    return form;
}

// The offscreen platform notes every window operation it cannot do (raising, grabbing the
// keyboard); a play run forces that platform, so its notes say nothing about the script.
QtMessageHandler g_previousHandler = nullptr;

void QuietPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const bool platformNote =
        type == QtWarningMsg &&
        (QLatin1String(context.category ? context.category : "")
             .startsWith(QLatin1String("qt.qpa")) ||
         text.startsWith(QLatin1String("This plugin does not support")) ||
         text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")));
    if (platformNote)
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, text).toUtf8().constData());
}

// The client's start-up as far as a run without login dialog and main window needs it.
void PrepareApplication(Application& app, const QString& exeFolder) {
    app.forms.formCache.clear();
    app.forms.openForms.clear();
    app.forms.formCacheFlushTick = platform::TickCountMs();
    const QString folder = QDir(exeFolder).absolutePath() + QLatin1Char('/');
    QDir::setCurrent(folder);
    app.session.ApplyStartUp(SessionContext::StartUpIn(folder, QStringLiteral(VEMO_VERSION_TEXT)));
    DbSession::SetLockWaitLimitSeconds(ParseTimeoutSeconds(
        ReadCfg(app.CfgPath(), QStringLiteral("SERVER"), QStringLiteral("TIMEOUT"))));
}

// Closes what the run left open for real, as the client's exit does, but leaves the folders of
// the exe folder alone: a play run is not the client ending.
void CloseOpenForms(Application& app) {
    const auto forms = app.forms.openForms.keys();
    for (QDialog* form : forms) {
        if (form && !app.forms.openForms.value(form).parentForm) {
            form->setProperty("closeForReal", true);
            form->close();
        }
    }
    app.forms.openForms.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class PlayRunner : public QObject {
public:
    PlayRunner(QList<PlayStep> steps, QString scriptFolder)
        : steps_(std::move(steps)), scriptFolder_(std::move(scriptFolder)) {
        tick_.setSingleShot(true);
        tick_.setInterval(0);
        connect(&tick_, &QTimer::timeout, this, &PlayRunner::Next);
    }

    int Run();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A step being run, with the modal window that was on top when it started: while that is
    // still the top one when the step ends, the step ran in the loop that goes on.
    struct Frame {
        QPointer<QWidget> modalAtStart;
    };

    void Next();
    void Finish(int code);
    MessageAnswer Answer(const AppMessageRequest& request);
    // Runs one step; false with `error` for a script error.
    bool RunStep(const PlayStep& step, QString& error);
    FormWindow* CurrentForm() const;
    bool Resolve(const QString& id, QWidget*& control, QString& error);

    bool Login(const PlayStep& step);
    bool PrintPdfText(const QString& file, QString& error);
    bool Open(const PlayStep& step, QString& error);
    bool OpenXml(const PlayStep& step, QString& error);
    bool RunSql(const PlayStep& step, QString& error);
    bool CloseCurrent(QString& error);
    bool ControlStep(const PlayStep& step, QString& error);

    QList<PlayStep> steps_;
    QString scriptFolder_;
    int next_ = 0;
    QTimer tick_;
    QList<Frame> frames_;
    QList<QPointer<FormWindow>> forms_;   // in the order they were last shown
    QList<bool> answers_;                 // queued answers: true for yes and ok
    QStringList menuPicks_;               // queued menu choices by item text
    QList<std::optional<QString>> files_; // queued file dialog answers; none: cancel
    bool desktopPrograms_ = true;         // false after "without program"
    bool expectFailed_ = false;
    bool finished_ = false;
    int exitCode_ = kPlayPassed;
};

int PlayRunner::Run() {
    const MessageSink previous =
        SetMessageSink([this](const AppMessageRequest& request) { return Answer(request); });
    // A menu takes the next queued choice (an unknown name or none dismisses it); a file
    // dialog the next queued answer (none cancels it).
    const MenuChooser previousMenu = SetMenuChooser([this](QMenu& menu) -> QAction* {
        const QString name = menuPicks_.isEmpty() ? QString() : menuPicks_.takeFirst();
        for (QAction* item : menu.actions())
            if (!name.isEmpty() && item->text() == name && item->isEnabled())
                return item;
        return nullptr;
    });
    const FileChooser previousFile =
        SetFileChooser([this](const QString&, const QStringList&) -> std::optional<QString> {
            return files_.isEmpty() ? std::nullopt : files_.takeFirst();
        });
    // Opening with the desktop's program is recorded, not done: a file by its path in the
    // client's folder, a link as it is. A desktop without programs opens nothing.
    const platform::DesktopOpener previousOpener =
        platform::SetDesktopOpener([this](const QString& target) {
            if (!desktopPrograms_)
                return false;
            const bool local = !target.contains(QLatin1String("://")) && QFileInfo::exists(target);
            PrintPlayLine(QStringLiteral("open ") +
                          (local ? QDir::current().relativeFilePath(target) : target));
            return true;
        });
    qApp->installEventFilter(this);
    tick_.start();
    QApplication::exec();
    qApp->removeEventFilter(this);
    CloseOpenForms(Application::Instance());
    SetPrinterPresence({});
    platform::SetDesktopOpener(previousOpener);
    SetFileChooser(previousFile);
    SetMenuChooser(previousMenu);
    SetMessageSink(previous);
    return exitCode_;
}

MessageAnswer PlayRunner::Answer(const AppMessageRequest& request) {
    // A file the client names by its full path is shown as "open" shows it: relative to the
    // client's folder, which is another temporary folder in every run.
    QString text = request.text;
    text.replace(QDir::toNativeSeparators(Application::Instance().session.exeFolder), QString());
    PrintPlayLine(MessageLine(request.caption, text));
    if (request.buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    const bool yes = !answers_.isEmpty() && answers_.takeFirst();
    if (request.buttons == MessageButtons::YesNo)
        return yes ? MessageAnswer::Yes : MessageAnswer::No;
    return yes ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

bool PlayRunner::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show || !watched->isWidgetType())
        return false;
    auto* window = static_cast<QWidget*>(watched);
    if (!window->isWindow())
        return false;
    if (auto* form = qobject_cast<FormWindow*>(window)) {
        forms_.removeAll(form);
        forms_.append(form);
    }
    // A modal window shown by a running step is about to run its own loop: the next step
    // runs inside it, while the step that opened it waits for it to close.
    if (window->isModal() && !frames_.isEmpty() && !finished_)
        tick_.start();
    return false;
}

void PlayRunner::Next() {
    if (finished_)
        return;
    // A loop turned inside a running step without a new modal window (a command pumping
    // events): the step is not done yet, and it starts the next one when it is.
    if (!frames_.isEmpty() && QApplication::activeModalWidget() == frames_.last().modalAtStart)
        return;
    // A batch of print jobs goes on by posted clicks: the script sees it when it has ended.
    if (PrintBatchPending()) {
        tick_.start();
        return;
    }
    if (next_ >= steps_.size()) {
        Finish(expectFailed_ ? kPlayExpectFailed : kPlayPassed);
        return;
    }
    const PlayStep step = steps_[next_++];
    frames_.append(Frame{QApplication::activeModalWidget()});
    QString error;
    const bool ok = RunStep(step, error);
    const Frame frame = frames_.takeLast();
    if (finished_)
        return;
    if (!ok) {
        std::fprintf(stderr, "vemo-admin: 第 %d 行：%s\n", step.line, error.toUtf8().constData());
        std::fflush(stderr);
        Finish(kPlayScriptError);
        return;
    }
    // When the modal window this step ran in has closed, its loop is ending and the step that
    // opened it resumes; that one goes on with the script when it ends.
    if (QApplication::activeModalWidget() == frame.modalAtStart)
        tick_.start();
}

void PlayRunner::Finish(int code) {
    if (finished_)
        return;
    finished_ = true;
    exitCode_ = code;
    tick_.stop();
    // Ends every loop, pop-up forms' included: their steps unwind and the run returns.
    QCoreApplication::exit(code);
}

FormWindow* PlayRunner::CurrentForm() const {
    for (auto it = forms_.crbegin(); it != forms_.crend(); ++it)
        if (*it && (*it)->isVisible())
            return *it;
    return nullptr;
}

bool PlayRunner::Resolve(const QString& id, QWidget*& control, QString& error) {
    FormWindow* form = CurrentForm();
    if (!form) {
        error = QStringLiteral("没有打开的表单");
        return false;
    }
    const bool found = form->FindControl(id, control) && control;
    if (!found) {
        error = QStringLiteral("当前表单“%1”没有控件 %2").arg(form->windowTitle(), id);
        return false;
    }
    return true;
}

bool PlayRunner::RunStep(const PlayStep& step, QString& error) {
    const QString& name = step.name;
    if (name == QLatin1String("login"))
        return Login(step);
    if (name == QLatin1String("open"))
        return Open(step, error);
    if (name == QLatin1String("open-xml"))
        return OpenXml(step, error);
    if (name == QLatin1String("sql"))
        return RunSql(step, error);
    if (name == QLatin1String("answer")) {
        const QString& answer = step.args[0];
        answers_.append(answer == QLatin1String("yes") || answer == QLatin1String("ok"));
        return true;
    }
    if (name == QLatin1String("close"))
        return CloseCurrent(error);
    if (name == QLatin1String("menu-pick")) {
        menuPicks_.append(step.args[0]);
        return true;
    }
    if (name == QLatin1String("file")) {
        if (step.args[0] == QLatin1String("cancel"))
            files_.append(std::nullopt);
        else
            files_.append(QDir(scriptFolder_).absoluteFilePath(step.args[0]));
        return true;
    }
    if (name == QLatin1String("pick")) {
        ActivateWindowOf(CurrentForm());
        return PickCandidate(CurrentForm(), step.args[0].toInt(), error);
    }
    if (name == QLatin1String("focus")) {
        PrintPlayLine(FocusLine(CurrentForm()));
        return true;
    }
    if (name == QLatin1String("clipboard")) {
        PrintPlayLine(ClipboardLine(QGuiApplication::clipboard()->text()));
        return true;
    }
    if (name == QLatin1String("print-to")) {
        SetPrintToFolder(QDir(step.args[0]).absolutePath(), [](const QString& file, int pages) {
            PrintPlayLine(
                QStringLiteral("printed %1: %2").arg(QFileInfo(file).fileName()).arg(pages));
        });
        return true;
    }
    if (name == QLatin1String("without")) {
        if (step.args[0] == QLatin1String("printer"))
            SetPrinterPresence([] { return false; });
        else
            desktopPrograms_ = false;
        return true;
    }
    if (name == QLatin1String("pdf-text"))
        return PrintPdfText(step.args[0], error);
    if (name == QLatin1String("clipboard-set")) {
        QGuiApplication::clipboard()->setText(step.args[0]);
        return true;
    }
    return ControlStep(step, error);
}

// The texts of a PDF file line by line, as poppler reads them, without blank lines.
bool PlayRunner::PrintPdfText(const QString& file, QString& error) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        error = QStringLiteral("无法读取 PDF 文件 %1").arg(file);
        return false;
    }
    const QStringList lines =
        QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QString text = line.simplified();
        if (!text.isEmpty())
            PrintPlayLine(text);
    }
    return true;
}

bool PlayRunner::Login(const PlayStep& step) {
    Application& app = Application::Instance();
    const QString cfg = app.CfgPath();
    // What the login dialog does when it opens, then what its login button does.
    DbSession session(DbSession::FromConfig);
    ApplyLikeRewriteSetting(app);
    ResolveLoginConnection(cfg);
    QString message;
    AttemptLogin(session, app, step.args[0], step.args[1], &message);
    if (!message.isEmpty())
        ShowAppMessage(message, QStringLiteral("Vemo软件"));
    return true;
}

bool PlayRunner::Open(const PlayStep& step, QString& error) {
    Application& app = Application::Instance();
    const QString uid = QString::number(step.args[0].toLongLong());
    QString menuName;
    {
        DbSession session(DbSession::FromConfig);
        if (!session.Open()) {
            error = AccountSetOpenError(session);
            return false;
        }
        auto rows = session.OpenRecordset(
            QStringLiteral("SELECT name_0 FROM c_menu_dh WHERE uid_0=%1").arg(uid));
        if (!rows || rows->RecordCount() < 1) {
            error = QStringLiteral("没有业务功能 %1").arg(uid);
            return false;
        }
        menuName = rows->Text(0);
        session.Close();
    }
    // The main window offers only the entries of the user's rights (all of them to the
    // administrator), so a function outside them cannot be opened.
    const QString wrapped = QLatin1Char(',') + app.session.rights + QLatin1Char(',');
    if (app.session.userUid != QLatin1String("1") &&
        !wrapped.contains(QLatin1Char(',') + uid + QLatin1Char(','))) {
        error = QStringLiteral("用户的导航中没有业务功能 %1").arg(uid);
        return false;
    }
    switch (OpenBusinessFunction(app, uid, menuName)) {
    case OpenFunctionResult::Opened:
        return true;
    case OpenFunctionResult::NothingToOpen:
        error = QStringLiteral("业务功能 %1 没有表单定义").arg(uid);
        return false;
    case OpenFunctionResult::LoadFailed:
        break;
    }
    error = QStringLiteral("业务功能 %1 的表单无法加载").arg(uid);
    return false;
}

bool PlayRunner::OpenXml(const PlayStep& step, QString& error) {
    const QString path = QDir(scriptFolder_).absoluteFilePath(step.args[0]);
    QString definition;
    if (!ReadTextFile(path, definition)) {
        error = QStringLiteral("无法读取表单文件 %1").arg(path);
        return false;
    }
    FormXml::XmlDocument check;
    if (!check.LoadXml(definition)) {
        error = QStringLiteral("表单文件不是有效的 XML：%1").arg(path);
        return false;
    }
    OpenXmlForm(definition);
    return true;
}

bool PlayRunner::RunSql(const PlayStep& step, QString& error) {
    DbSession session(DbSession::FromConfig);
    if (!session.Open()) {
        error = AccountSetOpenError(session);
        return false;
    }
    const QString& sql = step.args[0];
    bool ok = true;
    if (StartsWithWord(sql, "SELECT") || StartsWithWord(sql, "WITH")) {
        auto rows = session.OpenRecordset(sql);
        ok = rows != nullptr;
        for (; rows && !rows->IsEof(); rows->MoveNext()) {
            QStringList fields;
            for (int i = 0; i < rows->FieldCount(); ++i)
                fields.append(rows->Text(i));
            PrintPlayLine(RowLine(fields));
        }
    } else {
        ok = session.Execute(sql);
    }
    if (!ok)
        error = QStringLiteral("SQL 执行失败：%1 %2").arg(session.Message(), session.Detail());
    session.Close();
    return ok;
}

bool PlayRunner::CloseCurrent(QString& error) {
    // A dialog of a control (the text editor, the colour chooser) sits above the form: the
    // user closes that first.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && !qobject_cast<FormWindow*>(modal)) {
        modal->close();
        return true;
    }
    FormWindow* form = CurrentForm();
    if (!form) {
        error = QStringLiteral("没有打开的表单");
        return false;
    }
    ActivateWindowOf(form);
    form->close();
    return true;
}

bool PlayRunner::ControlStep(const PlayStep& step, QString& error) {
    const QString& name = step.name;
    QWidget* control = nullptr;
    if (!Resolve(step.args[0], control, error))
        return false;
    QPointer<QWidget> guard(control);
    if (name == QLatin1String("expect")) {
        const QString actual = ControlText(control);
        if (actual != step.args[1]) {
            expectFailed_ = true;
            for (const QString& line : ExpectFailureLines(step.args[0], step.args[1], actual))
                PrintPlayLine(line);
        }
        return true;
    }
    if (name == QLatin1String("dump")) {
        for (const QString& line : DumpLines(step.args[0], control))
            PrintPlayLine(line);
        return true;
    }
    if (name == QLatin1String("state")) {
        PrintPlayLine(StateLine(step.args[0], control));
        return true;
    }
    if (name == QLatin1String("save-image")) {
        const QString path = QDir::current().absoluteFilePath(step.args[1]);
        if (!control->grab().save(path, "PNG")) {
            error = QStringLiteral("无法写入图片 %1").arg(path);
            return false;
        }
        return true;
    }
    if (name == QLatin1String("dump-colors")) {
        auto* grid = qobject_cast<GridView*>(control);
        if (!grid) {
            error = QStringLiteral("控件 %1 不是表格").arg(step.args[0]);
            return false;
        }
        for (const QString& line : ColorDumpLines(step.args[0], *grid))
            PrintPlayLine(line);
        return true;
    }
    if (name == QLatin1String("set")) {
        // Written as a command writes a value; the form hears nothing of it.
        FormWindow* form = FormOf(control);
        const bool suppressed = form ? form->eventsSuppressed : false;
        if (form)
            form->eventsSuppressed = true;
        WriteControlValue(control, step.args[1]);
        if (form)
            form->eventsSuppressed = suppressed;
        return true;
    }

    // The rest is the user's hands: on the active window, like every real input.
    ActivateWindowOf(control);
    if (name == QLatin1String("type")) {
        TypeIntoControl(control, step.args[1]);
        return true;
    }
    if (name == QLatin1String("click")) {
        ClickControl(control);
        return true;
    }
    if (name == QLatin1String("dclick")) {
        DoubleClickControl(control);
        return true;
    }
    if (name == QLatin1String("key")) {
        PressKeyOn(control, PlayKeyCode(step.args[1]));
        return true;
    }
    if (name == QLatin1String("check")) {
        if (!CheckControl(control, step.args[1] == QLatin1String("1"), error)) {
            error = QStringLiteral("控件 %1：%2").arg(step.args[0], error);
            return false;
        }
        return true;
    }
    if (name == QLatin1String("select")) {
        QList<int> rows;
        ParseRowList(step.args[1], rows);
        if (!SelectInControl(control, rows, error)) {
            error = QStringLiteral("控件 %1：%2").arg(step.args[0], error);
            return false;
        }
        return true;
    }
    if (name == QLatin1String("edit-key")) {
        auto* grid = qobject_cast<GridView*>(control);
        if (!grid) {
            error = QStringLiteral("控件 %1 不是表格").arg(step.args[0]);
            return false;
        }
        PressEditKey(grid, PlayKeyCode(step.args[1]));
        return true;
    }
    if (name == QLatin1String("tree-select") || name == QLatin1String("tree-check")) {
        auto* tree = qobject_cast<QTreeWidget*>(control);
        if (!tree) {
            error = QStringLiteral("控件 %1 不是树").arg(step.args[0]);
            return false;
        }
        const int key = step.args[1].toInt();
        const bool ok = name == QLatin1String("tree-select")
                            ? ClickTreeNode(tree, key, error)
                            : CheckTreeNode(tree, key, step.args[2] == QLatin1String("1"), error);
        if (!ok)
            error = QStringLiteral("控件 %1：%2").arg(step.args[0], error);
        return ok;
    }
    if (name == QLatin1String("row-click")) {
        int row = 0;
        bool right = false;
        ParseRowClick(step.args[1], row, right);
        if (auto* grid = qobject_cast<GridView*>(control)) {
            if (row < 0 || row >= grid->RowCount()) {
                error = QStringLiteral("控件 %1：没有第 %2 行").arg(step.args[0]).arg(row);
                return false;
            }
            // A click on the first cell of the row, as a person's would select it first.
            grid->SelectRow(-1, false);
            grid->SelectRow(row, true);
            if (right)
                Q_EMIT grid->rightClicked(row, 0);
            else
                Q_EMIT grid->clicked(row, 0);
            return true;
        }
        auto* chart = qobject_cast<TreeListView*>(control);
        if (!chart) {
            error = QStringLiteral("控件 %1 不是树形列表或表格").arg(step.args[0]);
            return false;
        }
        if (!ClickTreeListRow(chart, row, right, error)) {
            error = QStringLiteral("控件 %1：%2").arg(step.args[0], error);
            return false;
        }
        return true;
    }
    if (name == QLatin1String("edit")) {
        auto* grid = qobject_cast<GridView*>(control);
        if (!grid) {
            error = QStringLiteral("控件 %1 不是表格").arg(step.args[0]);
            return false;
        }
        if (!EditGridCell(grid, step.args[1].toInt(), step.args[2].toInt(), step.args[3], error)) {
            error = QStringLiteral("控件 %1：%2").arg(step.args[0], error);
            return false;
        }
        return true;
    }
    error = QStringLiteral("未知的步骤 %1").arg(name);
    return false;
}

} // namespace

void QuietPlayPlatformNotes() {
    g_previousHandler = qInstallMessageHandler(QuietPlatformNotes);
}

int RunPlay(const QString& exeFolder, const QString& scriptPath) {
    auto fail = [](const QString& message) {
        std::fprintf(stderr, "vemo-admin: %s\n", message.toUtf8().constData());
        return kPlayScriptError;
    };
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return fail(QStringLiteral("play 需要图形界面的应用对象"));
    // Taken before the run moves into the exe folder.
    const QString scriptFolder = QFileInfo(scriptPath).absolutePath();
    QString text;
    if (!ReadTextFile(scriptPath, text))
        return fail(QStringLiteral("无法读取脚本 %1").arg(scriptPath));
    QList<PlayStep> steps;
    QString error;
    if (!ParsePlayScript(text, steps, error))
        return fail(error);
    if (!QFileInfo(exeFolder).isDir())
        return fail(QStringLiteral("没有文件夹 %1").arg(exeFolder));

    // As the client's start: the Chinese interface, the commands, the application object.
    const ChineseInterface chinese;
    RegisterAllCommands();
    // Closing the last form must not end the run: the script decides when it is over.
    QApplication::setQuitOnLastWindowClosed(false);
    Application& app = Application::Instance();
    PrepareApplication(app, exeFolder);

    PlayRunner runner(steps, scriptFolder);
    const int code = runner.Run();
    SetPrintToFolder(QString());
    return code;
}

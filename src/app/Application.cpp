#include "app/Application.h"

#include "app/ClientUpdate.h"
#include "app/LoginDialog.h"
#include "app/StartScreen.h"
#include "app/UpdateWorker.h"
#include "data/CfgFile.h"
#include "data/DbSession.h"
#include "platform/AppMessage.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <cstdlib>

Application::Application() : session(SessionContext::Current()), forms(FormRegistry::Instance()) {}

Application& Application::Instance() {
    static Application app;
    return app;
}

bool IsAcceptedExecutableName(const QString& fileName) {
    return fileName == QLatin1String("vemo") || fileName == QLatin1String("Vemo");
}

QString WrongExecutableNameMessage(const QString& fileName) {
    return QStringLiteral("主程序名不能改为 %1 须是默认的 vemo\n\n请修改后重新运行程序！\n\n"
                          "可以发送主程序的快捷方式到桌面，再修改快捷方式的名称。")
        .arg(fileName);
}

bool Application::InitInstance() {
    forms.formCache.clear();
    forms.formCache.reserve(17);
    forms.openForms.clear();
    forms.openForms.reserve(17);
    forms.formCacheFlushTick = platform::TickCountMs();

    const QString modulePath = QCoreApplication::applicationFilePath();
    const QString folder = QFileInfo(modulePath).absolutePath() + QLatin1Char('/');
    QDir::setCurrent(folder);
    session.ApplyStartUp(SessionContext::StartUpIn(folder, QStringLiteral(VEMO_VERSION_TEXT)));
    const QString& exeFolder = session.exeFolder;
    DbSession::SetLockWaitLimitSeconds(ParseTimeoutSeconds(
        ReadCfg(CfgPath(), QStringLiteral("SERVER"), QStringLiteral("TIMEOUT"))));

    if (platform::IsRemoteFileSystem(exeFolder)) {
        ShowAppMessage(QStringLiteral("主程序必须安装在自己电脑,请重新安装软件。"));
        return false;
    }
    const QString fileName = QFileInfo(modulePath).fileName();
    if (!IsAcceptedExecutableName(fileName)) {
        ShowAppMessage(WrongExecutableNameMessage(fileName));
        return false;
    }

    // The update worker runs beside the login (backup, client and definitions updates),
    // started once the login dialog is up so that it never competes with showing it.
    // Its login shows, so this client starts well: a new one that `up` has just put in place
    // says so, and `up` stops keeping the old one.
    QTimer::singleShot(0, [this] {
        ReportHealthyStart(session.exeFolder);
        StartUpdateWorker(session);
    });
    {
        LoginDialog login;
        if (login.exec() != QDialog::Accepted)
            return false;
    }
    RunMainWindow(*this);
    return true;
}

void Application::ExitInstance() {
    FinishUpdateWorker();
    forms.formCache.clear();

    const auto open = forms.openForms.keys();
    for (QDialog* form : open) {
        const OpenFormEntry data = forms.openForms.value(form);
        if (form && !data.parentForm) {
            form->setProperty("closeForReal", true);
            form->close();
        }
    }
    forms.openForms.clear();

    if (session.updatePending.load())
        platform::EmptyAndRemoveFolder(session.exeFolder + QStringLiteral("update"));
    platform::EmptyAndRemoveFolder(QDir::current().absoluteFilePath(QStringLiteral("temp")));
}

void RestartProcess(const QString& program, const QString& exeFolder) {
    if (QProcess::startDetached(program, {}, exeFolder))
        std::_Exit(-1);
    ShowAppMessage(QStringLiteral("软件未能重新启动（%1），新的设置已保存，请关闭后手动启动软件。")
                       .arg(program));
}

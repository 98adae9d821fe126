#include "app/StartScreen.h"

#include "app/AppMessage.h"
#include "app/MainApp.h"

void ShowMainWindowPlaceholder(CMainApp& app) {
    const QString accountSet = app.accountSetPath.isEmpty()
                                   ? QStringLiteral("服务器账套")
                                   : QStringLiteral("账套文件 ") + app.accountSetPath;
    ShowAppMessage(QStringLiteral("欢迎，%1（%2）。\n%3，登录时间 %4。\n主窗口将在后续版本中提供。")
                       .arg(app.userName, app.loginId, accountSet, app.loginTime),
                   QStringLiteral("Vemo软件"));
}

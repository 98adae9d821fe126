#include "app/StartScreen.h"

#include "app/AppMessage.h"
#include "app/MainApp.h"
#include "data/DbSession.h"

bool ShowStartScreen(CMainApp& app) {
    CDbSession session(CDbSession::FromConfig);
    QString state;
    if (session.Open()) {
        QString users;
        session.QueryValue(QStringLiteral("SELECT count(*) FROM c_user"), users);
        state = QStringLiteral("账套连接正常（用户 %1 个）。").arg(users);
        session.Close();
    } else {
        state = QStringLiteral("账套连接失败：") + session.Message().trimmed();
    }
    ShowAppMessage(QStringLiteral("Vemo %1 已启动。\n%2\n登录窗口和主窗口将在后续版本中提供。")
                       .arg(app.exeVersion, state),
                   QStringLiteral("Vemo"));
    return true;
}

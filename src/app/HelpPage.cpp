#include "app/HelpPage.h"

#include "app/Application.h"
#include "net/UpdateSites.h"
#include "platform/AppMessage.h"
#include "platform/ShellOpen.h"

QString HelpPageAddress(const QString& section) {
    return QStringLiteral("http://%1/help/help.aspx?s=%2&appid=%3")
        .arg(UpdateSiteHost(), section, Application::Instance().session.appId.Get());
}

void OpenHelpPage(const QString& section, QWidget* owner) {
    const QString address = HelpPageAddress(section);
    if (platform::OpenLinkWithDesktop(address))
        return;
    ShowAppMessage(
        QStringLiteral("没有找到可以打开网页的浏览器。请在浏览器中打开帮助页面：\n%1").arg(address),
        QStringLiteral("在线帮助"), MessageButtons::Ok, owner);
}

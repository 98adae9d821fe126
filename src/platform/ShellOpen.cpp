#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

namespace {

DesktopOpener& Opener() {
    static DesktopOpener opener;
    return opener;
}

} // namespace

bool OpenWithDesktop(const QString& path) {
    if (Opener())
        return Opener()(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool OpenLinkWithDesktop(const QString& link) {
    if (Opener())
        return Opener()(link);
    const QUrl url = QUrl::fromUserInput(link);
    return url.isValid() && QDesktopServices::openUrl(url);
}

DesktopOpener SetDesktopOpener(DesktopOpener opener) {
    DesktopOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

} // namespace platform
